#include "simlink/sim_hooks.h"

#include <mutex>

#include "core/parameters.h"
#include "core/settings.h"

namespace qvl {
namespace {

struct HookSlot {
    std::mutex mutex;  // a leaf lock: guards `hooks` only
    std::shared_ptr<const SimLinkHooks> hooks = std::make_shared<const SimLinkHooks>();
};

HookSlot& hookSlot() {
    static HookSlot slot;
    return slot;
}

}  // namespace

void setSimLinkHooks(SimLinkHooks hooks) {
    auto published = std::make_shared<const SimLinkHooks>(std::move(hooks));
    HookSlot& slot = hookSlot();
    std::lock_guard lock(slot.mutex);
    slot.hooks = std::move(published);
}

std::shared_ptr<const SimLinkHooks> simLinkHooks() {
    HookSlot& slot = hookSlot();
    std::lock_guard lock(slot.mutex);
    return slot.hooks;
}

void gf_queueSimObjectEvent(const SimObjectEvent& event) {
    const auto hooks = simLinkHooks();
    if (hooks->queueSimObjectEvent) hooks->queueSimObjectEvent(event);
}

void repaintSimStatus() {
    const auto hooks = simLinkHooks();
    if (hooks->repaintWindow) hooks->repaintWindow();
}

GeoPosition hookedUserPosition() {
    const auto hooks = simLinkHooks();
    return hooks->userPosition ? hooks->userPosition() : GeoPosition{};
}

void setSimStringSetting(StringParameter& setting, const std::string& value) {
    const auto hooks = simLinkHooks();
    if (hooks->setStringParameter) {
        hooks->setStringParameter(setting, value);
    } else {
        gf_setStringParameter(setting, value);  // stored and saved into parameters.xml
    }
}

}  // namespace qvl
