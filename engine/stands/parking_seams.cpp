// The stand rules that static parking answers: the cargo mark a cargo
// aircraft shows on its stand, and how many aircraft the park airport may
// hold parked.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "engine/engine.h"
#include "engine/parking/parking_cycle.h"
#include "engine/stands/stand_seams.h"

namespace qvl {

void showCargoStand(Engine& engine, const LiveAc& ac) {
    if (ac.flight.key.cargo == 0 || ac.standFlag != 0) return;
    const Stand* stand = engine.stands.findStand(ac.standNumber);
    if (stand == nullptr || !stand->cargo) return;
    engine.stands.clearCargoFlag(ac.standNumber);
    // The board repaints only when the count it shows changes.
    engine.loadedPark.stats.setUpdates(engine.loadedPark.learnedUpdates);
}

std::int32_t parkLimit(Engine& engine) {
    // As many aircraft may stand parked as static aircraft are wanted; the
    // wanted count stays within MAX_PARK_SEL, so it fits.
    const std::int64_t wanted = lf_wantedStaticCount(engine);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(wanted, 0, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace qvl
