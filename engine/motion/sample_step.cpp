// What happens when a live aircraft's front sample falls due: hovering
// samples are skipped, the stream is continued when it runs dry, the next
// sample is retimed and the per-tick steps towards it are set.
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include <fmt/format.h>
#include <gsl/narrow>

#include "core/log.h"
#include "core/rounding.h"
#include "engine/base/engine_math.h"
#include "engine/base/removal.h"
#include "engine/motion/motion.h"
#include "engine/motion/motion_steps.h"
#include "platform/units.h"

namespace qvl {
namespace {

constexpr double kMinSpeedKt = 1.0;
constexpr std::int32_t kRetimeLimitFloor = 1000;
constexpr std::int32_t kRetimeLimitStep = 100;

// An airborne aircraft never hovers unless it is a Rotorcraft: a stationary
// next sample in the air is a repeat of the feed and is dropped.
void skipHoveringSamples(LiveAc& ac) {
    while (ac.samples.size() >= 2 && !ac.onGround && ac.flight.category != AircraftCategory::Rotorcraft &&
           ac.samples[1].stationary != 0) {
        ac.samples.erase(ac.samples.begin() + 1);
    }
}

void setPositionSteps(std::int32_t now, LiveAc& ac) {
    const TrafficSample& next = ac.samples[1];
    if (next.stationary != 0) {
        ac.motion.latStep = 0.0;
        ac.motion.lonStep = 0.0;
        if (!ac.motion.landed && !ac.motion.departing) lowerRetimeLimits(ac);
        return;
    }
    const double ticks = ticksTo(next, now);
    ac.motion.latStep = (next.latitude - ac.position.latitude) / ticks;
    // The short way round, also across the date line.
    ac.motion.lonStep = wrap180(next.longitude - ac.position.longitude) / ticks;
}

// A departure from the stand starts (a push-back or a pull-out, both along
// the stand heading) only once the aircraft faces the stand: its front sample
// stays due and the samples behind it keep their times while turnOnStand ends
// the turn, at most half a turn at the ground turn rate. The front standing
// still is what keeps turnOnStand running, so the wait always ends.
bool departureWaitsForStandTurn(const LiveAc& ac) noexcept {
    return ac.motion.departureRequested && !ac.samples.empty() && ac.samples.front().stationary != 0 &&
           turningOnStand(ac);
}

void logStepFailure(const LiveAc& ac, const std::exception& error) {
    gf_logAttention(fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", "nextPosMain", error.what(), ac.flight.callsign,
                                ac.samples.size(), gf_groundPhaseName(ac.phase), gf_simStatusName(ac.status)));
}

}  // namespace

bool curveIsSet(const LiveAc& ac) noexcept {
    return !std::isnan(ac.motion.curve.controlEast) && !std::isnan(ac.motion.curve.controlNorth);
}

void clearCurve(LiveAc& ac) noexcept {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    ac.motion.curve.t0 = nan;
    ac.motion.curve.t1 = nan;
    ac.motion.curve.controlEast = nan;
    ac.motion.curve.controlNorth = nan;
}

void lowerRetimeLimits(LiveAc& ac) noexcept {
    const auto lower = [](std::int32_t limit) {
        return limit > kRetimeLimitFloor ? std::max(limit - kRetimeLimitStep, kRetimeLimitFloor) : limit;
    };
    ac.motion.earlyLimit = lower(ac.motion.earlyLimit);
    ac.motion.lateLimit = lower(ac.motion.lateLimit);
}

double estimateSpeed(const TrafficSample& front, const TrafficSample& next) {
    if (front.groundSpeed == 0.0 && next.groundSpeed == 0.0) {
        const std::int64_t between = std::max<std::int64_t>(
            kMinStepTicks, static_cast<std::int64_t>(next.dueTick) - static_cast<std::int64_t>(front.dueTick));
        const double speed =
            gf_distanceNm(positionOf(front), positionOf(next)) * kTicksPerHour / static_cast<double>(between);
        return std::isfinite(speed) ? std::max(speed, kMinSpeedKt) : kMinSpeedKt;
    }
    // A speed of 0 or less (or none at all) would give no tick count, or a
    // negative one: the floor of the distance case holds here too.
    const double mean = (front.groundSpeed + next.groundSpeed) / 2.0;
    return std::isfinite(mean) && mean > 0.0 ? std::max(mean, kMinSpeedKt) : kMinSpeedKt;
}

std::int32_t ticksForDistance(const TrafficSample& front, const TrafficSample& next, double speedKt) {
    const double ticks = gf_distanceNm(positionOf(front), positionOf(next)) * kTicksPerHour / speedKt;
    return roundToInt32(ticks);
}

void retimeBy(std::int32_t tick, LiveAc& ac, std::int64_t ticks) {
    TrafficSample& next = ac.samples[1];
    const std::int64_t now = tick;
    const std::int64_t due = next.dueTick;
    std::int64_t wanted = now + ticks;
    if (ac.extendCount < 1) {
        const std::int64_t latest = due + ac.motion.lateLimit;
        wanted = wanted > latest ? latest : std::max(wanted, due - ac.motion.earlyLimit);
    }
    wanted = std::clamp<std::int64_t>(wanted, now, std::numeric_limits<std::uint32_t>::max());
    next.dueTick = static_cast<std::uint32_t>(wanted);
}

void retimeAir(std::int32_t now, LiveAc& ac) {
    const TrafficSample& front = ac.samples[0];
    const TrafficSample& next = ac.samples[1];
    if (next.stationary != 0) {
        if (ac.flight.category == AircraftCategory::Rotorcraft) retimeGround(now, ac);
        return;
    }
    double speed = 0.0;
    if (ac.motion.approaching && next.airborne == 0) {
        // The touchdown leg is flown at the front sample's ground speed; the
        // feed's 0 (or a speed it could not give) stands for 100 kt.
        speed = std::isfinite(front.groundSpeed) && front.groundSpeed > 0.0 ? front.groundSpeed : 100.0;
    } else {
        speed = estimateSpeed(front, next);
    }
    retimeBy(now, ac, std::max(ticksForDistance(front, next, speed), kMinStepTicks));
}

void setUpStep(Engine& engine, LiveAc& ac) {
    clearCurve(ac);
    ac.motion.curveProgress = 0.0;
    {
        const TrafficSample& front = ac.samples[0];
        TrafficSample& next = ac.samples[1];
        if (next.stationary == 0 && samePosition(front.latitude, front.longitude, next.latitude, next.longitude)) {
            next.stationary = 1;
        }
        if (next.stationary == 0) ac.motion.bearingToNext = gf_initialBearing(positionOf(front), positionOf(next));
    }
    if (ac.onGround) {
        nextPosGround(engine, ac);
    } else {
        retimeAir(engine.now(), ac);
    }
    setPositionSteps(engine.now(), ac);
    // Standing still there is nothing to roll or fly towards; a parked
    // aircraft stays parked until it moves again.
    if (ac.samples[1].stationary == 0) {
        if (ac.onGround) {
            groundRoll(engine, ac);
        } else {
            flyingStep(engine, ac);
        }
    }
    ac.samples.pop_front();
}

void nextPosMain(Engine& engine, LiveAc& ac) {
    try {
        if (departureWaitsForStandTurn(ac)) return;
        skipHoveringSamples(ac);
        if (ac.samples.size() < 2 && !extendSamples(engine, ac)) {
            removeAircraftFromSim(engine, ac);
            return;
        }
        setUpStep(engine, ac);
    } catch (const std::exception& error) {
        logStepFailure(ac, error);
        throw;
    }
}

}  // namespace qvl
