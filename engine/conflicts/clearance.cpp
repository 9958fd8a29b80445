#include "engine/conflicts/clearance.h"

#include <cmath>

#include "core/geodesy.h"
#include "engine/base/engine.h"
#include "engine/base/engine_math.h"
#include "engine/base/removal.h"

namespace qvl {
namespace {

constexpr double kLiveClearFactor = 1.15;
constexpr double kStaticClearFactor = 1.1;
constexpr double kLineHeightFt = 500.0;
constexpr double kLineRangeNm = 1.0;
constexpr double kLineAsideFt = 50.0;
constexpr double kSamePlaceDeg = 1e-8;

GeoPosition positionOf(const LiveAc& ac) { return ac.position; }

bool removeLiveNearUser(Engine& engine, const UserAircraftBlock& user) {
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (!ac.onGround || ac.status != SimStatus::active) continue;
        if (gf_distanceNm(user.position(), positionOf(ac)) >
            kLiveClearFactor * (user.wingspan.halfSpan + ac.flight.halfSpan)) {
            continue;
        }
        removeAircraftFromSim(engine, ac);
        return true;
    }
    return false;
}

// Static aircraft do not move: only a user who moved can have come too close.
void removeStaticNearUser(Engine& engine, const UserAircraftBlock& user) {
    EngineState& state = engine.state;
    const bool moved = std::fabs(user.latitude - state.lastStaticClearance.latitude) > kSamePlaceDeg ||
                       std::fabs(user.longitude - state.lastStaticClearance.longitude) > kSamePlaceDeg;
    if (!moved) return;
    state.lastStaticClearance = user.position();
    for (StaticAc& ac : state.staticAircraft) {
        if (ac.status != SimStatus::active) continue;
        const GeoPosition stand = ac.stand.position;
        const double limit = kStaticClearFactor * ac.flight.halfSpan + kStaticClearFactor * user.wingspan.halfSpan;
        if (gf_distanceNm(user.position(), stand) > limit) continue;
        removeAircraftFromSim(engine, ac);
        return;
    }
}

bool removeOnExtendedLine(Engine& engine, const UserAircraftBlock& user) {
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (ac.status != SimStatus::active || !ac.onGround) continue;
        const double d = gf_distanceNm(user.position(), positionOf(ac));
        if (d > kLineRangeNm) continue;
        const double angle = wrapPi(gf_initialBearing(user.position(), positionOf(ac)) - user.heading);
        if (std::fabs(std::sin(angle)) * d * kFeetPerNmExact > kLineAsideFt) continue;
        removeAircraftFromSim(engine, ac);
        return true;
    }
    return false;
}

}  // namespace

void gf_removeAcNearUser(Engine& engine) {
    const UserAircraftBlock& user = engine.state.userSnapshot;
    if (removeLiveNearUser(engine, user)) return;
    removeStaticNearUser(engine, user);
}

void gf_removeAcOnUserLine(Engine& engine) {
    const UserAircraftBlock& user = engine.state.userSnapshot;
    if (user.aboveGround < kLineHeightFt && removeOnExtendedLine(engine, user)) return;
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (ac.status != SimStatus::active) continue;
        if (gf_removeIfAheadOfUser(engine, ac, UserCorridor::close)) return;
    }
}

}  // namespace qvl
