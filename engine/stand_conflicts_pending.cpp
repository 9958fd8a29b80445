// Until the stand rules are built: a stand is taken without making way on
// it, and no park limit applies.
#include <fmt/format.h>

#include "core/log.h"
#include "engine/engine.h"
#include "engine/engine_math.h"
#include "engine/motion/motion_steps.h"
#include "engine/stand_conflicts.h"
#include "engine/stands.h"

namespace qvl {

void try2Park(Engine& engine, LiveAc& ac, bool wide) {
    if (ac.samples.empty()) {
        gf_logAttention(fmt::format("{} empty sz?", "try2Park"));
        return;
    }
    const TrafficSample& last = ac.samples.back();
    if (samePosition(last.latitude, last.longitude, ac.parkTryLatitude, ac.parkTryLongitude)) return;
    ac.parkTryLatitude = last.latitude;
    ac.parkTryLongitude = last.longitude;
    const auto stand = gf_findStandNear(engine, positionOf(last), ac, wide ? kStandSearchWideNm : kStandSearchNm, wide);
    if (!stand) return;
    ac.stand = {.latitude = stand->latitude, .longitude = stand->longitude, .heading = stand->heading};
    ac.standNumber = stand->number;
    ac.samples.resize(1);
    ac.setPhase(GroundPhase::parking);
    drive2Stand(ac, ac.stand);
}

}  // namespace qvl
