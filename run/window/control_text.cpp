#include "run/window/control_text.h"

#include <fmt/format.h>

#include "core/log.h"
#include "platform/sys/text_codec.h"
#include "platform/ui/controls.h"

namespace qvl {

std::string lf_getTextFromId(const ui::Controls& controls, std::uint16_t controlId) {
    const ui::ControlHandle handle = controls.find(controlId);
    if (handle == ui::kNoControl) {
        gf_log(fmt::format("GetDlgItem failed for ID {}", controlId));
        return {};
    }
    std::string text = controls.text(handle);
    if (text.empty()) return {};
    // Text typed into an edit reaches the settings and parameters.xml: bytes
    // that are no UTF-8 are refused here rather than stored.
    if (!sys::utf8ToUtf16(text)) {
        gf_logAttention(
            fmt::format("{}: UTF-16 UTF-8 failed for id {}: {}", "lf_getTextFromId", controlId, "invalid UTF-8"));
        return {};
    }
    return text;
}

}  // namespace qvl
