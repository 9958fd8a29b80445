#include "platform/ui/controls.h"

#include <algorithm>
#include <mutex>
#include <utility>

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

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool beginsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    return std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return asciiLower(a) == asciiLower(b); });
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
        if (beginsWithIgnoringCase(entries[i], prefix)) {
            return static_cast<int>(i);
        }
    }
    return kNoSelection;
}

}  // namespace qvl::ui
