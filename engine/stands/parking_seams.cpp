// The stand rules that static parking answers: the cargo mark a cargo
// aircraft shows on its stand, and how many aircraft the park airport may
// hold parked.
#include "engine/engine.h"
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

}  // namespace qvl
