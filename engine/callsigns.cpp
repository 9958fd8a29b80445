#include "engine/callsigns.h"

#include "engine/base/engine.h"
#include "engine/base/engine_state.h"
#include "engine/base/removal.h"

namespace qvl {

std::optional<std::uint32_t> activeObjectIdOf(const EngineState& state, const std::string& callsign) {
    for (const LiveAc& ac : state.liveAircraft) {
        if (ac.status == SimStatus::active && ac.flight.callsign == callsign) return ac.objectId;
    }
    return std::nullopt;
}

void removeActiveCallsign(Engine& engine, const std::string& callsign) {
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (ac.status == SimStatus::active && ac.flight.callsign == callsign) {
            removeAircraftFromSim(engine, ac);
            return;
        }
    }
}

}  // namespace qvl
