// The stand questions of spawning and the stand conflicts, answered by the
// stand lookups and the stand learning.
#include "engine/stands/stand_seams.h"

#include "engine/engine.h"
#include "engine/parking/park_airports.h"
#include "engine/stands/stands.h"

namespace qvl {
const Stand* standNear(Engine& engine, const GeoPosition& position, const LiveAc& ac, double radiusNm, bool wide) {
    return gf_findStandNear(engine, position, ac, radiusNm, wide);
}

const Stand* standByNumber(Engine& engine, std::uint32_t number) {
    if (number == 0) return nullptr;
    return engine.stands.findStand(number);
}

bool standKeptFree(Engine& engine, const Stand& stand) { return isReservedStand(engine, stand); }

bool standUnderUser(Engine& engine, const Stand& stand) {
    const UserAircraftBlock user = engine.clocks.userAircraft();
    if (user.zeroPosition()) return false;
    const std::string name =
        gf_standNameAtPosition(engine, engine.state.userStandName, user.position(), user.onGround.has_value());
    return !name.empty() && name == stand.id;
}

void learnStandOption(Engine& engine, std::uint32_t standNumber, FlightRec& flight, int mode) {
    lf_addRealStandOption(engine, standNumber, flight, static_cast<StandLearning>(mode));
}

}  // namespace qvl
