#include "simlink/sim_hooks.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

namespace qvl {

void requireCompleteHooks(const SimLinkHooks& hooks) {
    std::vector<std::string_view> missing;
    const auto need = [&missing](bool wired, std::string_view name) {
        if (!wired) missing.push_back(name);
    };
    need(static_cast<bool>(hooks.queueSimObjectEvent), "queueSimObjectEvent");
    need(static_cast<bool>(hooks.onSimObjectData), "onSimObjectData");
    need(static_cast<bool>(hooks.onSimObjectDataByType), "onSimObjectDataByType");
    need(static_cast<bool>(hooks.userPosition), "userPosition");
    need(static_cast<bool>(hooks.userAircraft), "userAircraft");
    need(static_cast<bool>(hooks.standNameAtPosition), "standNameAtPosition");
    need(static_cast<bool>(hooks.reserveUserStand), "reserveUserStand");
    need(static_cast<bool>(hooks.repaintWindow), "repaintWindow");
    need(static_cast<bool>(hooks.setStringParameter), "setStringParameter");
    need(static_cast<bool>(hooks.switchSimulator), "switchSimulator");
    if (!missing.empty()) {
        throw std::logic_error(fmt::format("simulator link hooks not wired: {}", fmt::join(missing, ", ")));
    }
}

void SimLinkHookSlot::publish(SimLinkHooks hooks) {
    requireCompleteHooks(hooks);
    auto published = std::make_shared<const SimLinkHooks>(std::move(hooks));
    std::lock_guard lock(mutex_);
    hooks_ = std::move(published);
}

std::shared_ptr<const SimLinkHooks> SimLinkHookSlot::current() const {
    std::shared_ptr<const SimLinkHooks> hooks;
    {
        std::lock_guard lock(mutex_);
        hooks = hooks_;
    }
    if (!hooks) throw std::logic_error("simulator link hooks used before they were published");
    return hooks;
}

void SimLinkHookSlot::queueSimObjectEvent(const SimObjectEvent& event) const { current()->queueSimObjectEvent(event); }

void SimLinkHookSlot::repaintWindow() const { current()->repaintWindow(); }

GeoPosition SimLinkHookSlot::userPosition() const { return current()->userPosition(); }

void SimLinkHookSlot::switchSimulator(SimVersion to) const { current()->switchSimulator(to); }

void SimLinkHookSlot::setStringSetting(StringParameter& setting, const std::string& value) const {
    current()->setStringParameter(setting, value);
}

}  // namespace qvl
