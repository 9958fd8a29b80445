// The ground case of the step set-up. The feed's ground samples are sparse
// and noisy: corners become curves through the corner sample, far-apart
// samples get a midpoint, an aircraft turns in place towards a sample well
// off its heading, and one that stops near its last sample starts parking.
// Parked and pushing-back aircraft have their own steps (pushback.cpp).
#include <algorithm>
#include <cmath>
#include <exception>

#include <fmt/format.h>

#include "core/log.h"
#include "engine/base/engine_math.h"
#include "engine/motion/motion.h"
#include "engine/motion/motion_steps.h"
#include "platform/units.h"

namespace qvl {
namespace {

constexpr double kStraightDeg = 3.0;
constexpr double kCornerDeg = 45.0;
constexpr double kCurveMaxDeg = 160.0;
constexpr double kMidpointMinNm = 0.02699784;  // 50 m
constexpr double kMidpointMaxSpeedKt = 43.0;
constexpr std::int64_t kMidpointMinTicks = 600;
constexpr double kParkNearLastNm = 0.018898488;  // 35 m
constexpr double kParkMaxSpeedKt = 5.0;

// A stationary next sample: as long as the feed stood still, counted from
// the front sample's due tick.
void retimeStop(std::int32_t now, LiveAc& ac) {
    const std::int64_t frontDue = ac.samples[0].dueTick;
    const std::int64_t nextDue = ac.samples[1].dueTick;
    const std::int64_t stop = std::max<std::int64_t>(nextDue - frontDue, kMinStepTicks);
    const std::int64_t wait = std::max<std::int64_t>(frontDue - now + stop, kMinStepTicks);
    retimeBy(now, ac, wait);
}

// The turn at the next sample towards the one after it, in degrees.
double turnAheadDeg(const LiveAc& ac) {
    const double bearing = gf_initialBearing(positionOf(ac.samples[1]), positionOf(ac.samples[2]));
    return std::fabs(wrapPi(bearing - ac.heading)) * kRadToDeg;
}

bool cornerWantsMidpoint(const LiveAc& ac) {
    const TrafficSample& front = ac.samples[0];
    const TrafficSample& next = ac.samples[1];
    return gf_distanceNm(positionOf(front), positionOf(next)) > kMidpointMinNm &&
           front.groundSpeed <= kMidpointMaxSpeedKt &&
           static_cast<std::int64_t>(next.dueTick) - static_cast<std::int64_t>(front.dueTick) >= kMidpointMinTicks;
}

// Step 1: midpoints and curves ahead of a moving next sample.
void shapePath(LiveAc& ac) {
    if (ac.samples[1].stationary != 0) return;
    if (ac.samples.size() >= 3) {
        if (ac.samples[2].stationary != 0) {
            checkSpeedChange(ac);
            return;
        }
        const double turn = turnAheadDeg(ac);
        if (turn <= kStraightDeg || turn > kCurveMaxDeg) {
            checkSpeedChange(ac);
            return;
        }
        if (turn > kCornerDeg && cornerWantsMidpoint(ac)) {
            insertMidpoint(ac);
            return;
        }
        const TrafficSample& front = ac.samples[0];
        const TrafficSample& afterNext = ac.samples[2];
        if (samePosition(front.latitude, front.longitude, afterNext.latitude, afterNext.longitude)) {
            checkSpeedChange(ac);
            return;
        }
        ac.motion.curveAngle = turn;
        setUpCurve(ac);
        return;
    }
    if (ac.extendCount < 1) checkSpeedChange(ac);
}

// Step 2: turning in place towards a sample well off the heading.
void decideTurning(LiveAc& ac) {
    if (curveIsSet(ac)) {
        ac.motion.turningOnGround = false;
        return;
    }
    ac.motion.headingDifference = std::fabs(wrapPi(ac.motion.bearingToNext - ac.heading)) * kRadToDeg;
    ac.motion.turningOnGround = ac.motion.headingDifference > kStraightDeg;
}

bool leavingStand(const LiveAc& ac) {
    const GroundPhase before = ac.previousPhase;
    return !ac.motion.towed &&
           (before == GroundPhase::parked || before == GroundPhase::pushing_back || before == GroundPhase::pushed_back);
}

// Step 3: an aircraft that stops near its last sample looks for its stand.
void considerParking(Engine& engine, LiveAc& ac) {
    if (ac.samples.back().stationary == 0 || ac.phase != GroundPhase::taxi) return;
    if (!engine.parkAirport.standsLoaded() || leavingStand(ac)) return;
    if (ac.extendCount >= 1) {
        try2Park(engine, ac, ac.motion.landedHere);
        return;
    }
    const bool slow = ac.samples[1].groundSpeed <= kParkMaxSpeedKt;
    if (slow && gf_distanceNm(positionOf(ac), positionOf(ac.samples.back())) <= kParkNearLastNm) {
        try2Park(engine, ac, false);
    }
}

// The turn rate that fits the turn into the leg's time.
void fitTurnStep(LiveAc& ac, double distanceNm, std::int64_t n) {
    const bool turningInPlace = !curveIsSet(ac);
    const double a = turningInPlace ? ac.motion.headingDifference : ac.motion.curveAngle;
    const double m = std::round(a / ac.flight.turnStep / 100.0);
    if (!(a > 0.0) || !(distanceNm > 0.0)) return;
    const double r = static_cast<double>(n) / std::max(m, 1.0);
    if (a <= kCornerDeg) {
        if (r >= 1.2) {
            const double slower = std::min({r, r * 10.0 / a, r * (30.0 / 1852.0) / distanceNm});
            if (slower > 0.0) ac.flight.turnStep /= slower;
        } else if (r > 0.0) {
            ac.flight.turnStep /= r;
        }
        return;
    }
    ac.flight.turnStep *= std::min(r, std::min(a, 90.0) / 30.0);
    if (a >= 90.0) {
        ac.motion.earlyLimit = std::max(ac.motion.earlyLimit, 2000);
        ac.motion.lateLimit = std::max(ac.motion.lateLimit, 2000);
    }
}

}  // namespace

void retimeGround(std::int32_t now, LiveAc& ac) {
    if (ac.samples[1].stationary != 0) {
        retimeStop(now, ac);
        return;
    }
    ac.flight.turnStep = ac.flight.groundTurnStep;
    const TrafficSample& front = ac.samples[0];
    const TrafficSample& next = ac.samples[1];
    const double distance = gf_distanceNm(positionOf(front), positionOf(next));
    const std::int64_t n = std::max(ticksForDistance(front, next, estimateSpeed(front, next)), kMinStepTicks);
    if (curveIsSet(ac) || ac.motion.turningOnGround) fitTurnStep(ac, distance, n);
    retimeBy(now, ac, n);
}

void nextPosGround(Engine& engine, LiveAc& ac) {
    try {
        if (ac.phase == GroundPhase::pushing_back) {
            pushBackStep(engine, ac);
        } else if (ac.phase == GroundPhase::parked) {
            leaveStand(engine, ac);
        } else {
            shapePath(ac);
            decideTurning(ac);
            considerParking(engine, ac);
        }
        if (ac.samples.size() >= 2) retimeGround(engine.now(), ac);
    } catch (const std::exception& error) {
        gf_logAttention(
            fmt::format("{}: {}, {}, sz:{}", "nextPosGround", error.what(), ac.flight.callsign, ac.samples.size()));
        throw;
    }
}

}  // namespace qvl
