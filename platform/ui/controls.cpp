#include "platform/ui/controls.h"

#include <mutex>
#include <utility>

#include "platform/sys/ascii.h"

namespace qvl::ui {

namespace {

// Function-local statics: settings of other translation units may ask for
// the controls during their own start-up.
struct Installation {
    std::mutex mutex;  // a leaf lock: nothing else is taken while it is held
    std::shared_ptr<Controls> controls;
};

Installation& installationSlot() {
    static Installation installation;
    return installation;
}

}  // namespace

void installControls(std::shared_ptr<Controls> controls) {
    Installation& installation = installationSlot();
    std::shared_ptr<Controls> previous;
    {
        std::lock_guard lock(installation.mutex);
        previous = std::exchange(installation.controls, std::move(controls));
    }
    // `previous` may be the last owner; it is destroyed here, outside the lock.
}

std::shared_ptr<Controls> installedControls() {
    Installation& installation = installationSlot();
    std::lock_guard lock(installation.mutex);
    return installation.controls;
}

int findPrefixIgnoringCase(const std::vector<std::string>& entries, std::string_view prefix) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (sys::startsWithIgnoringAsciiCase(entries[i], prefix)) {
            return static_cast<int>(i);
        }
    }
    return kNoSelection;
}

}  // namespace qvl::ui
