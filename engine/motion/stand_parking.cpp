// A taxiing aircraft that reaches a stand takes it: the aircraft that stand
// and its neighbours hold give way first.
#include <fmt/format.h>

#include "core/log.h"
#include "engine/base/engine.h"
#include "engine/base/engine_math.h"
#include "engine/base/removal.h"
#include "engine/conflicts/conflicts.h"
#include "engine/motion/motion_steps.h"
#include "engine/stands/stands.h"

namespace qvl {
namespace {

void removeParkedOn(Engine& engine, const LiveAc& arriving, const Stand& stand) {
    for (LiveAc& other : engine.state.liveAircraft) {
        if (&other == &arriving || other.status != SimStatus::active || other.phase != GroundPhase::parked ||
            other.standNumber != stand.number) {
            continue;
        }
        gf_log(fmt::format("{:8}: {:8} removed, {} wants to park there", stand.id, other.flight.callsign,
                           arriving.flight.callsign));
        removeAircraftFromSim(engine, other);
    }
}

}  // namespace

void try2Park(Engine& engine, LiveAc& ac, bool wide) {
    if (ac.samples.empty()) {
        gf_logAttention(fmt::format("{} empty sz?", "try2Park"));
        return;
    }
    const TrafficSample& last = ac.samples.back();
    GeoPosition& parkTry = ac.motion.parkTry;
    if (samePosition(last.latitude, last.longitude, parkTry.latitude, parkTry.longitude)) return;
    parkTry = {.latitude = last.latitude, .longitude = last.longitude};
    const Stand* stand =
        gf_findStandNear(engine, positionOf(last), ac, wide ? kStandSearchWideNm : kStandSearchNm, wide);
    if (stand == nullptr || isReservedStand(engine, *stand) || standUnderUser(engine, *stand)) return;

    removeParkedOn(engine, ac, *stand);
    for (const std::uint32_t neighbour : stand->neighbours) lf_clearAdjacentLive(engine, neighbour, ac, *stand);
    lf_makeWayAtStand(engine, ac, *stand);

    ac.stand = {.position = {.latitude = stand->latitude, .longitude = stand->longitude}, .heading = stand->heading};
    ac.standNumber = stand->number;
    ac.standFlag = stand->cargo ? 1 : 0;
    ac.samples.resize(1);
    ac.setPhase(GroundPhase::parking);
    drive2Stand(ac, ac.stand);
}

}  // namespace qvl
