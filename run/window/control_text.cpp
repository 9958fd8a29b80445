#include "run/window/control_text.h"

#include <fmt/format.h>

#include <algorithm>
#include <memory>

#include "core/log.h"
#include "platform/sys/text_codec.h"
#include "platform/ui/controls.h"
#include "run/window/window_layout.h"

namespace qvl {
namespace {

// The control of the main window that carries the id; kNoControl when the
// window has none (not created yet, or an id of no child control).
ui::ControlHandle childWithId(const ui::Controls& controls, std::uint16_t controlId) {
    const auto children = mainWindowControls();
    const auto it = std::find_if(children.begin(), children.end(),
                                 [&](const ChildControl& child) { return child.binding->controlId() == controlId; });
    if (it == children.end()) return ui::kNoControl;
    const ui::ControlHandle handle = it->binding->controlHandle();
    return controls.exists(handle) ? handle : ui::kNoControl;
}

}  // namespace

std::string lf_getTextFromId(std::uint16_t controlId) {
    const std::shared_ptr<ui::Controls> controls = ui::installedControls();
    const ui::ControlHandle handle = controls ? childWithId(*controls, controlId) : ui::kNoControl;
    if (handle == ui::kNoControl) {
        gf_log(fmt::format("GetDlgItem failed for ID {}", controlId));
        return {};
    }
    std::string text = controls->text(handle);
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
