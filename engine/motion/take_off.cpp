// On the ground and into the air: the throttle of the take-off run, the
// roll-out after a landing, the rotation when the samples ahead fly fast
// enough, and the climb-out tick by tick until the aircraft is flying.
#include <algorithm>

#include <fmt/format.h>

#include "core/log.h"
#include "engine/base/client_events.h"
#include "engine/base/engine_math.h"
#include "engine/base/motion_tables.h"
#include "engine/motion/motion.h"
#include "engine/motion/motion_steps.h"
#include "platform/units.h"
#include "simlink/sim_queues.h"

namespace qvl {
namespace {

constexpr double kRotationMinSpeedKt = 43.0;
constexpr double kLiftOffClimbFpm = 256.0;
constexpr double kRunwayHeadingToleranceDeg = 15.0;
constexpr double kClimbOutHeightFt = 800.0;
constexpr std::int32_t kGearUpCountdown = -300;
// The climb-out's first three seconds after the rotation (the countdown runs
// below 0): a tenth of the step, then a fifth, then half.
constexpr std::int32_t kClimbTenthUntil = -99;
constexpr std::int32_t kClimbFifthUntil = -199;
constexpr std::int32_t kClimbHalfUntil = -299;
constexpr std::int32_t kRotationCountdownFloor = -1000;

bool isRotorcraft(const AcRecord& ac) { return ac.flight.category == AircraftCategory::Rotorcraft; }

std::uint32_t takeOffRunThrottle(double frontSpeed, double nextSpeed) {
    if (frontSpeed >= 25.0 || nextSpeed >= 30.0) return 4;
    if (frontSpeed >= 20.0 || nextSpeed >= 25.0) return 2;
    if (frontSpeed >= 15.0 || nextSpeed >= 20.0) return 1;
    return 0;
}

void zeroSpoilersAndThrottles(Engine& engine, const LiveAc& ac) {
    if (ac.flight.category != AircraftCategory::Light) writeSpoilersThrottles(engine, ac, {});
}

// After touchdown: off the runway once the heading has turned away from the
// touchdown heading, slowing down with flaps 1 until then.
void rollOut(Engine& engine, LiveAc& ac, const TrafficSample& front) {
    if (angleApartDeg(ac.heading * kRadToDeg, ac.motion.touchdownHeading * kRadToDeg) >= kRunwayHeadingToleranceDeg) {
        gf_setFlaps(engine, ac, 0);
        ac.motion.landed = false;
        ac.motion.touchdownHeading = 0.0;
        gf_setThrottle(engine, ac, isRotorcraft(ac) ? 4 : 0);
        gf_setSpoilers(engine, ac, false);
        zeroSpoilersAndThrottles(engine, ac);
        gf_queueLights(engine.link.queues, ac.objectId,
                       {.nav = true, .beacon = true, .taxi = true, .logo = true, .cabin = true});
    } else if (front.groundSpeed <= 90.0) {
        gf_setSpoilers(engine, ac, false);
        zeroSpoilersAndThrottles(engine, ac);
        gf_setFlaps(engine, ac, 1);
    }
}

// Rotates once every sample ahead is airborne and fast enough to fly, or
// every sample ahead already climbs.
void rotationCheck(Engine& engine, LiveAc& ac) {
    const auto later = ac.samples.begin() + 1;
    const double liftOff = liftOffSpeed(ac.flight.category);
    const bool anyOnGround =
        std::any_of(later, ac.samples.end(), [](const TrafficSample& s) { return s.airborne == 0; });
    const bool allClimbing =
        std::all_of(later, ac.samples.end(), [](const TrafficSample& s) { return s.verticalSpeed > kLiftOffClimbFpm; });
    if (!allClimbing) {
        const bool allFast = std::all_of(later, ac.samples.end(),
                                         [liftOff](const TrafficSample& s) { return s.groundSpeed >= liftOff; });
        if (!allFast || anyOnGround) return;
        ac.motion.altitudeStep = ac.flight.maxVerticalStep;
    } else if (anyOnGround) {
        ac.motion.altitudeStep = ac.flight.maxVerticalStep;
    } else {
        const TrafficSample& next = ac.samples[1];
        ac.motion.altitudeStep = std::max(next.altitude - ac.altitude, 0.1) / ticksTo(next, engine.now());
    }
    startRotation(engine, ac);
}

// The altitude gained on a tick of the climb-out: a gentle start after the
// rotation, the gear coming up at -300, then the full step.
void climbOutAltitude(Engine& engine, LiveAc& ac) {
    const std::int32_t countdown = ac.motion.rotationCountdown;
    if (countdown == 0) return;
    if (countdown >= kClimbTenthUntil) {
        ac.altitude += ac.motion.altitudeStep / 10.0;
    } else if (countdown >= kClimbFifthUntil) {
        ac.altitude += ac.motion.altitudeStep / 5.0;
    } else if (countdown >= kClimbHalfUntil) {
        ac.altitude += ac.motion.altitudeStep * 0.5;
    } else {
        if (countdown == kGearUpCountdown) gf_setGear(engine, ac, false);
        ac.altitude += ac.motion.altitudeStep;
    }
}

}  // namespace

void startTakeOff(Engine& engine, LiveAc& ac) {
    if (ac.motion.towed) gf_log(fmt::format("towed aircraft takes-off? {}", ac.flight.callsign));
    ac.motion.departing = true;
    gf_setThrottle(engine, ac, 0);
    gf_setSpoilers(engine, ac, false);
    gf_setFlaps(engine, ac, 1);
    ac.motion.approaching = false;
    ac.motion.landedHere = false;
    ac.motion.climbConfigured = false;
    gf_queueLights(engine.link.queues, ac.objectId,
                   {.nav = true, .beacon = true, .landing = true, .taxi = true, .strobes = true, .logo = true});
    ac.motion.lateLimit = 5000;
    ac.motion.earlyLimit = 3000;
}

void startRotation(Engine& engine, LiveAc& ac) {
    const std::int32_t ticks = static_cast<std::int32_t>(std::clamp<std::uint32_t>(ac.flight.rotationTicks, 1, 100000));
    ac.bank = 0.0;
    ac.motion.bankStep = 0.0;
    ac.motion.rotationCountdown = ticks;
    ac.motion.pitchStep = (ac.flight.rotationPitch - ac.pitch) / ticks;
    if (!ac.motion.departing) startTakeOff(engine, ac);
    ac.setPhase(GroundPhase::take_off);
    ac.motion.headingStep = 0.0;
    clearCurve(ac);
    if (ac.motion.landed) {
        // A touch-and-go.
        ac.motion.landed = false;
        ac.motion.approaching = false;
        ac.motion.landedHere = false;
        gf_setThrottle(engine, ac, 4);
        gf_setSpoilers(engine, ac, true);
        gf_setFlaps(engine, ac, 1);
    }
}

void groundRoll(Engine& engine, LiveAc& ac) {
    const TrafficSample& front = ac.samples[0];
    const TrafficSample& next = ac.samples[1];
    if (ac.phase == GroundPhase::flying || ac.phase == GroundPhase::parked) {
        ac.setPhase(GroundPhase::taxi);
    } else if (ac.motion.departing) {
        gf_setThrottle(engine, ac, isRotorcraft(ac) ? 4 : takeOffRunThrottle(front.groundSpeed, next.groundSpeed));
    } else if (ac.motion.landed) {
        rollOut(engine, ac, front);
    } else {
        gf_setThrottle(engine, ac, isRotorcraft(ac) ? 4 : 0);
    }
    if (!ac.motion.landed && !ac.motion.departing) lowerRetimeLimits(ac);
    if (ac.motion.flareStage == 0 && ac.phase != GroundPhase::take_off) {
        ac.pitch = ac.flight.staticPitch;
        ac.bank = 0.0;
        ac.motion.pitchStep = 0.0;
        ac.motion.bankStep = 0.0;
    }
    if (curveIsSet(ac)) ac.motion.curveStep = 1.0 / ticksTo(next, engine.now());
    ac.motion.tas = ac.phase == GroundPhase::pushing_back ? -next.groundSpeed : next.groundSpeed;
    if (ac.motion.departing && ac.phase != GroundPhase::take_off && front.groundSpeed >= kRotationMinSpeedKt) {
        rotationCheck(engine, ac);
    }
}

void rotationTick(Engine& engine, LiveAc& ac) {
    ac.motion.rotationCountdown = std::max(ac.motion.rotationCountdown - 1, kRotationCountdownFloor);
    if (ac.motion.rotationCountdown >= 1) {
        ac.onGround = false;
        if (ac.pitch > ac.flight.rotationPitch) ac.pitch += ac.motion.pitchStep;
        return;
    }
    ac.bank = std::clamp(ac.bank + ac.motion.bankStep, -kPi, kPi);
    const FlightRec& flight = ac.flight;
    if (ac.pitch > flight.climbPitch) {
        const double transition = std::max<std::uint32_t>(flight.pitchTransitionTicks, 1);
        ac.pitch += (flight.climbPitch - flight.rotationPitch) / transition;
    }
    climbOutAltitude(engine, ac);
    if (ac.motion.rotationCountdown >= kGearUpCountdown || ac.pitch > flight.climbPitch) return;
    ac.motion.pitchStep = 0.0;
    if (ac.motion.heightAboveGround >= kClimbOutHeightFt) {
        gf_setThrottle(engine, ac, isRotorcraft(ac) ? 4 : 3);
        ac.setPhase(GroundPhase::flying);
        ac.motion.rotationCountdown = 1;
    }
}

}  // namespace qvl
