// Arrival at the stand, the parked configuration, and the two ways off the
// stand: a pull-out when the way out lies ahead, else a push-back of 2.5
// stand radii with a turn to one side (or straight back).
#include <cmath>
#include <optional>

#include <fmt/format.h>
#include <gsl/narrow>

#include "core/log.h"
#include "core/rounding.h"
#include "core/settings.h"
#include "engine/base/client_events.h"
#include "engine/base/engine_math.h"
#include "engine/base/removal.h"
#include "engine/conflicts/park_limit.h"
#include "engine/motion/motion_steps.h"
#include "engine/stands/stands.h"
#include "platform/units.h"
#include "simlink/sim_queues.h"

namespace qvl {
namespace {

constexpr double kOnStandNm = 0.0010799136;  // 2 m
constexpr double kPushBackRadii = 2.5;
constexpr double kPullOutMaxDeg = 90.0;
constexpr double kPushTurnDeg = 90.0;

GeoPosition standPosition(const LiveAc& ac) { return ac.stand.position; }

// Ticks to cover the distance at the speed, rounded.
std::int32_t ticksAt(double distanceNm, double speedKt) { return roundToInt32(distanceNm / speedKt * kTicksPerHour); }

void taxiLights(Engine& engine, const LiveAc& ac) {
    if (ac.objectId == 0) return;
    gf_queueLights(engine.link.queues, ac.objectId, {.nav = true, .beacon = true, .taxi = true, .logo = true});
}

void startEngines(Engine& engine, LiveAc& ac) {
    if (ac.objectId != 0) gf_queueEngineStart(engine.link.queues, ac.objectId);
    gf_setThrottle(engine, ac, 0);
    gf_setFlaps(engine, ac, 1);
}

// A sample on the ground at the position, moving at the speed.
TrafficSample groundSampleAt(const TrafficSample& from, GeoPosition at, double speedKt) {
    TrafficSample sample = from;
    sample.latitude = at.latitude;
    sample.longitude = at.longitude;
    sample.groundSpeed = speedKt;
    sample.trueAirspeed = speedKt;
    sample.verticalSpeed = 0.0;
    sample.stationary = 0;
    return sample;
}

void dueIn(TrafficSample& sample, std::int32_t now, std::int64_t ticks) {
    sample.dueTick = dueAfter(static_cast<std::uint32_t>(now), ticks);
}

void parkOnStand(Engine& engine, LiveAc& ac) {
    ac.setPhase(GroundPhase::parked);
    ac.parkedSince = engine.weekTime();
    ac.parkedAt = engine.clocks.steadyNow();
    engine.stands.setStandOccupied(ac.standNumber, true);
    if (ac.motion.towed) gf_log(fmt::format("          towed aircraft {} parks", ac.flight.callsign));
    ac.samples.front().stationary = 1;
    ac.motion.standDistanceMax = 0.0;
    ac.motion.standMoveCount = 0;
    updateCargoStandDisplay(engine, ac);
    setParkedConfiguration(engine, ac);
    gf_log(fmt::format("{:8}: {:8} arrived at stand", engine.stands.standIdText(ac.standNumber), ac.flight.callsign));
    engine.state.perSecondHexIds.push_back(ac.flight.hexId);
    lf_addRealStandOption(engine, ac.standNumber, ac.flight, StandLearning::arrival);
    lf_checkMaxPark(engine, 0);
}

}  // namespace

void arriveAtStand(Engine& engine, LiveAc& ac) {
    if (ac.standNumber > 0) {
        const Stand* stand = engine.stands.findStand(ac.standNumber);
        if (stand != nullptr && stand->occupied) {
            ac.extendCount = 1;
            // The stand stays marked for the aircraft that stands on it: the
            // removal clears the mark of the removed aircraft's own stand.
            ac.standNumber = 0;
            removeAircraftFromSim(engine, ac);
            return;
        }
    }
    if (ac.samples.empty()) return;
    if (gf_distanceNm(positionOf(ac), standPosition(ac)) > kOnStandNm) {
        ac.setPhase(GroundPhase::taxi);
        return;
    }
    parkOnStand(engine, ac);
}

void leaveStand(Engine& engine, LiveAc& ac) {
    ac.motion.lateLimit = ac.motion.departing ? 5000 : 3000;
    ac.motion.earlyLimit = 3000;
    if (!ac.motion.departureRequested || ac.samples.empty()) return;
    const double bearing = gf_initialBearing(standPosition(ac), positionOf(ac.samples.back()));
    const double apart = wrap180((bearing - ac.stand.heading) * kRadToDeg);
    const auto degrees = roundToInt32(apart);
    if (std::abs(degrees) < static_cast<std::int32_t>(kPullOutMaxDeg)) {
        startPullOut(engine, ac);
    } else {
        startPushBack(engine, ac);
    }
}

void startPullOut(Engine& engine, LiveAc& ac) {
    ac.motion.departureRequested = false;
    ac.extendCount = 0;
    ac.motion.turningOnGround = false;
    const double speed = ac.flight.standApproachSpeed;
    // Half spans are nautical miles; the destination point takes feet.
    const GeoPosition target =
        gf_destinationPoint(standPosition(ac), ac.stand.heading, 2.0 * ac.flight.halfSpan * kFeetPerNm);
    TrafficSample& front = ac.samples.front();
    front.groundSpeed = speed;
    TrafficSample out = groundSampleAt(front, target, speed);
    dueIn(out, engine.now(), ticksAt(gf_distanceNm(positionOf(ac), target), speed));
    ac.samples.resize(1);
    ac.samples.push_back(out);
    ac.setPhase(GroundPhase::taxi);
    ac.motion.bearingToNext = ac.heading;
    taxiLights(engine, ac);
    startEngines(engine, ac);
    gf_log(fmt::format("{:8}: {:8} pulling out", engine.stands.standIdText(ac.standNumber), ac.flight.callsign));
}

void startPushBack(Engine& engine, LiveAc& ac) {
    ac.motion.departureRequested = false;
    ac.extendCount = 0;
    const Stand* stand = engine.stands.findStand(ac.standNumber);
    if (stand == nullptr) return;
    ac.motion.turningOnGround = false;
    const double reverse = normalizeHeading(stand->heading + kPi);
    const double speed = ac.flight.standApproachSpeed;
    // Stand radii and half spans are nautical miles; the destination point takes feet.
    const GeoPosition legEnd =
        gf_destinationPoint(positionOf(ac), reverse, kPushBackRadii * stand->radius * kFeetPerNm);
    TrafficSample& front = ac.samples.front();
    front.groundSpeed = speed;
    ac.motion.bearingToNext = ac.heading;
    const std::int32_t t1 = ticksAt(gf_distanceNm(positionOf(ac), legEnd), speed);
    TrafficSample leg = groundSampleAt(front, legEnd, speed);
    dueIn(leg, engine.now(), t1);
    ac.samples.resize(1);
    ac.samples.push_back(leg);
    insertMidpoint(ac);

    const double side = ac.flight.halfSpan * kFeetPerNm;
    const std::int64_t sideDue = t1 / 2 + ticksAt(gf_distanceNm(positionOf(ac.samples[1]), legEnd), speed);
    TrafficSample alternative = groundSampleAt(leg, gf_destinationPoint(legEnd, reverse + kPi / 2.0, side), speed);
    dueIn(alternative, engine.now(), sideDue);
    alternative.airborne = 0;
    alternative.trueHeadingUsed = 0;
    alternative.rollValid = 0;
    alternative.trueHeadingValid = 0;
    ac.motion.alternativeTurnSample = alternative;
    TrafficSample other = groundSampleAt(leg, gf_destinationPoint(legEnd, reverse - kPi / 2.0, side), speed);
    dueIn(other, engine.now(), sideDue);
    ac.samples.push_back(other);

    taxiLights(engine, ac);
    ac.setPhase(GroundPhase::pushing_back);
    ac.motion.pushCountdown = 2;
}

void pushBackStep(Engine& engine, LiveAc& ac) {
    ac.motion.pushCountdown -= 1;
    if (ac.motion.pushCountdown == 1) {
        const bool turn = ac.motion.pushTurn != 0 && !STRAIGHT_PBS_ONLY.value();
        if (turn && ac.samples.size() >= 3) {
            if (ac.motion.pushTurn > 0) ac.samples.back() = ac.motion.alternativeTurnSample;
            setUpCurve(ac);
            const auto n = roundToInt32(kPushTurnDeg / ac.flight.turnStep / 100.0);
            ac.motion.curveStep = 1.0 / static_cast<double>(std::max(n, 1));
            ac.motion.curveAngle = kPushTurnDeg;
        } else if (ac.samples.size() >= 3) {
            ac.samples.pop_back();
        }
        return;
    }
    if (ac.motion.pushCountdown < 1) {
        ac.motion.bearingToNext = ac.heading;
        startEngines(engine, ac);
        ac.setPhase(GroundPhase::pushed_back);
        ac.motion.pushCountdown = 1;
        // The hold after the push-back measures from here.
        ac.motion.holdDistance = 0.0;
        ac.extendCount = 0;
        ac.motion.departureRequested = false;
    }
}

std::int32_t pushTurnSide(const LiveAc& ac, const TrafficSample& sample) noexcept {
    double heading = 0.0;
    if (sample.trueHeadingValid != 0) {
        heading = sample.trueHeading;
    } else if (sample.track != 0.0) {
        // The feed's track is in degrees, the aircraft's heading in radians.
        heading = sample.track * kDegToRad;
    } else {
        return 0;
    }
    const double apart = wrapPi(heading - ac.heading);
    if (apart > 0.0) return 1;
    return apart < 0.0 ? -1 : 0;
}

}  // namespace qvl
