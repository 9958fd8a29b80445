#include "engine/traffic_gone.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/run_state.h"
#include "engine/base/engine.h"
#include "engine/base/engine_state.h"
#include "engine/base/removal.h"

namespace qvl {
namespace {

// True when the aircraft's creation was still waiting on the hex-id stack,
// from which it is now taken: it never reaches the creation queue.
bool withdrawFromHexIdStack(EngineState& state, const LiveAc& ac) {
    return std::erase(state.hexIdStack, ac.flight.hexId) != 0;
}

}  // namespace

void takeLiveAircraftAway(Engine& engine) {
    if (engine.run.isClosing()) return;
    EngineState& state = engine.state;
    for (LiveAc& ac : state.liveAircraft) {
        if (ac.flaggedForErase() || ac.status == SimStatus::removingfromsim) continue;
        if (ac.status == SimStatus::adding2sim && withdrawFromHexIdStack(state, ac)) {
            ac.eraseDropped = true;
            continue;
        }
        removeAircraftFromSim(engine, ac);
    }
    // Dropped now rather than at the next tick, so that nothing looks at
    // them meanwhile; the engine's tick holds no reference into the list
    // while the traffic client is served.
    std::erase_if(state.liveAircraft, [](const LiveAc& ac) { return ac.flaggedForErase(); });
    state.returningTraffic.clear();
}

}  // namespace qvl
