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

void gf_setSimLinkHooks(SimLinkHooks hooks) {
    auto published = std::make_shared<const SimLinkHooks>(std::move(hooks));
    HookSlot& slot = hookSlot();
    std::lock_guard lock(slot.mutex);
    slot.hooks = std::move(published);
}

std::shared_ptr<const SimLinkHooks> gf_simLinkHooks() {
    HookSlot& slot = hookSlot();
    std::lock_guard lock(slot.mutex);
    return slot.hooks;
}

void gf_queueSimObjectEvent(const SimObjectEvent& event) {
    const auto hooks = gf_simLinkHooks();
    if (hooks->queueSimObjectEvent) hooks->queueSimObjectEvent(event);
}

void gf_repaintSimStatus() {
    const auto hooks = gf_simLinkHooks();
    if (hooks->repaintWindow) hooks->repaintWindow();
}

GeoPosition gf_hookedUserPosition() {
    const auto hooks = gf_simLinkHooks();
    return hooks->userPosition ? hooks->userPosition() : GeoPosition{};
}

void gf_setSimStringSetting(StringParameter& setting, const std::string& value) {
    const auto hooks = gf_simLinkHooks();
    if (hooks->setStringParameter) {
        hooks->setStringParameter(setting, value);
    } else {
        gf_setStringParameter(setting, value);  // stored and saved into parameters.xml
    }
}

}  // namespace qvl
