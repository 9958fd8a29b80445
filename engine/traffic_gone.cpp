#include "engine/traffic_gone.h"

#include "core/run_state.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/removal.h"

namespace qvl {

void takeLiveAircraftAway(Engine& engine) {
    if (engine.run.isClosing()) return;
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (ac.status == SimStatus::active || ac.status == SimStatus::adding2sim) removeAircraftFromSim(engine, ac);
    }
}

}  // namespace qvl
