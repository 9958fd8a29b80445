#include "engine/learned_stand_queue.h"

#include <list>

#include "engine/base/engine.h"
#include "engine/base/engine_state.h"
#include "engine/base/live_ac.h"
#include "engine/conflicts/static_conflicts.h"
#include "engine/stands/stands.h"

namespace qvl {

void checkNextLearnedStand(Engine& engine, std::uint64_t daySlot) {
    std::list<std::uint32_t>& queue = engine.state.perSecondHexIds;
    if (queue.empty()) return;
    const std::uint32_t hexId = queue.front();
    queue.pop_front();
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (ac.flight.hexId != hexId) continue;
        if (!ac.flight.learnedStandChecked) {
            ac.flight.learnedStandChecked = true;
            gf_findLearnedStand(engine, WeekTime::fromPacked(daySlot), ac);
        }
        gf_removeStaticTwins(engine, ac);
        return;
    }
}

}  // namespace qvl
