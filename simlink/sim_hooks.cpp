#include "simlink/sim_hooks.h"

#include <utility>

#include "core/parameters.h"
#include "core/settings.h"

namespace qvl {

void SimLinkHookSlot::publish(SimLinkHooks hooks) {
    auto published = std::make_shared<const SimLinkHooks>(std::move(hooks));
    std::lock_guard lock(mutex_);
    hooks_ = std::move(published);
}

std::shared_ptr<const SimLinkHooks> SimLinkHookSlot::current() const {
    std::lock_guard lock(mutex_);
    return hooks_;
}

void SimLinkHookSlot::queueSimObjectEvent(const SimObjectEvent& event) const {
    const auto hooks = current();
    if (hooks->queueSimObjectEvent) hooks->queueSimObjectEvent(event);
}

void SimLinkHookSlot::repaintWindow() const {
    const auto hooks = current();
    if (hooks->repaintWindow) hooks->repaintWindow();
}

GeoPosition SimLinkHookSlot::userPosition() const {
    const auto hooks = current();
    return hooks->userPosition ? hooks->userPosition() : GeoPosition{};
}

void SimLinkHookSlot::setStringSetting(StringParameter& setting, const std::string& value) const {
    const auto hooks = current();
    if (hooks->setStringParameter) {
        hooks->setStringParameter(setting, value);
    } else {
        gf_setStringParameter(setting, value);  // stored and saved into parameters.xml
    }
}

}  // namespace qvl
