// Every member of a simulator-link hook bundle filled, for tests that wire
// only the hooks they look at. The link refuses a bundle with a missing
// member; the fillers here answer as a program with nothing to tell would:
// no position, no stand, nothing repainted, the setting only set.
#pragma once

#include <string>
#include <utility>

#include "core/settings.h"
#include "simlink/sim_hooks.h"
#include "simlink/user_aircraft_block.h"

namespace qvl::test {

inline SimLinkHooks completeHooks(SimLinkHooks hooks) {
    if (!hooks.queueSimObjectEvent) hooks.queueSimObjectEvent = [](const SimObjectEvent&) {};
    if (!hooks.onSimObjectData) hooks.onSimObjectData = [](const SimObjectDataReply&) {};
    if (!hooks.onSimObjectDataByType) hooks.onSimObjectDataByType = [](const SimObjectDataReply&) {};
    if (!hooks.userPosition) hooks.userPosition = [] { return GeoPosition{}; };
    if (!hooks.userAircraft) hooks.userAircraft = [] { return UserAircraftBlock{}; };
    if (!hooks.standNameAtPosition) hooks.standNameAtPosition = [](const GeoPosition&) { return std::string{}; };
    if (!hooks.reserveUserStand) hooks.reserveUserStand = [](const std::string&) {};
    if (!hooks.repaintWindow) hooks.repaintWindow = [] {};
    if (!hooks.setStringParameter) {
        hooks.setStringParameter = [](StringParameter& setting, const std::string& value) { setting.set(value); };
    }
    if (!hooks.switchSimulator) hooks.switchSimulator = [](SimVersion) {};
    return hooks;
}

}  // namespace qvl::test
