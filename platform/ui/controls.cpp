#include "platform/ui/controls.h"

#include "platform/sys/ascii.h"

namespace qvl::ui {

int findPrefixIgnoringCase(const std::vector<std::string>& entries, std::string_view prefix) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (sys::startsWithIgnoringAsciiCase(entries[i], prefix)) {
            return static_cast<int>(i);
        }
    }
    return kNoSelection;
}

}  // namespace qvl::ui
