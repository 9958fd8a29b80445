// The flying step: when an airborne aircraft's front sample falls due, the
// altitude, pitch, heading and bank steps towards the next sample are chosen
// within its category's limits, and its configuration follows its height.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "engine/base/client_events.h"
#include "engine/base/engine_math.h"
#include "engine/base/motion_tables.h"
#include "engine/motion/motion_steps.h"
#include "platform/units.h"
#include "simlink/sim_queues.h"

namespace qvl {
namespace {

constexpr double kFeetPerTickPerFpm = 1.0 / 6000.0;
constexpr double kStandardPressureHpa = 1013.25;
constexpr double kFl100 = 10000.0;

void descendAt(LiveAc& ac, TrafficSample& next, double verticalSpeed) {
    next.verticalSpeed = verticalSpeed;
    ac.motion.verticalSpeedFpm = verticalSpeed;
    ac.motion.altitudeStep = verticalSpeed * kFeetPerTickPerFpm;
}

// Towards a higher next sample, no faster than the category climbs; level otherwise.
void climbToNext(LiveAc& ac, const TrafficSample& next, double ticks) {
    ac.motion.altitudeStep =
        next.altitude > ac.altitude ? std::min((next.altitude - ac.altitude) / ticks, ac.flight.maxVerticalStep) : 0.0;
}

void bothAirborneAltitude(Engine& engine, LiveAc& ac, double ticks) {
    const TrafficSample& front = ac.samples[0];
    TrafficSample& next = ac.samples[1];
    const double step = (next.altitude - ac.altitude) / ticks;
    if (ac.motion.approaching) {
        // Level samples low on the approach are the feed lagging behind the
        // descent: keep descending.
        const bool levelLow = next.altitude == front.altitude && ac.motion.heightAboveGround <= 1000.0 &&
                              front.verticalSpeed + next.verticalSpeed <= 100.0;
        if (levelLow) {
            descendAt(ac, next, descentRate(engine.qnh(), ac, front, next));
        } else {
            ac.motion.altitudeStep = step;
        }
        return;
    }
    // Low over the ground an aircraft that is not approaching keeps climbing.
    ac.motion.altitudeStep = ac.motion.heightAboveGround > 1000.0
                                 ? std::min(step, ac.flight.maxVerticalStep)
                                 : std::min(std::max(step, 0.2), ac.flight.maxVerticalStep);
}

void landingSegmentAltitude(Engine& engine, LiveAc& ac, double ticks) {
    const TrafficSample& front = ac.samples[0];
    TrafficSample& next = ac.samples[1];
    const auto park = engine.parkAirport.current();
    if (park && engine.qnh() <= 1013) {
        ac.motion.altitudeStep = (static_cast<double>(park->elevationFeet) - ac.altitude) / ticks;
    } else {
        descendAt(ac, next, engine.qnh() <= 1013 ? -601.0 : descentRate(engine.qnh(), ac, front, next));
    }
    gf_setGear(engine, ac, true);
}

// Front and next on the ground while the aircraft still flies.
void groundSamplesAltitude(Engine& engine, LiveAc& ac) {
    const double climbSum = std::accumulate(ac.samples.begin(), ac.samples.end(), 0.0,
                                            [](double sum, const TrafficSample& s) { return sum + s.verticalSpeed; });
    if (ac.motion.approaching || climbSum <= 100.0) {
        descendAt(ac, ac.samples[1], descentRate(engine.qnh(), ac, ac.samples[0], ac.samples[1]));
    } else {
        bool jumped = false;
        const std::size_t last = std::min<std::size_t>(ac.samples.size() - 1, 10);
        for (std::size_t i = 3; i <= last && !jumped; ++i) jumped = jumpAhead(engine.now(), ac, i);
        if (!jumped) {
            TrafficSample& next = ac.samples[1];
            next.verticalSpeed = std::max(next.verticalSpeed, 601.0);
            ac.motion.altitudeStep = next.verticalSpeed * kFeetPerTickPerFpm;
        }
    }
    gf_setGear(engine, ac, true);
}

void flyingAltitude(Engine& engine, LiveAc& ac) {
    const TrafficSample& front = ac.samples[0];
    const TrafficSample& next = ac.samples[1];
    const double ticks = ticksTo(next, engine.now());
    if (front.airborne != 0 && next.airborne != 0) {
        bothAirborneAltitude(engine, ac, ticks);
    } else if (front.airborne != 0) {
        landingSegmentAltitude(engine, ac, ticks);
    } else if (next.airborne != 0) {
        climbToNext(ac, next, ticks);
    } else {
        groundSamplesAltitude(engine, ac);
    }
}

// Nose up with the climb, down with the descent, changing no faster than
// the category allows.
void flyingPitch(std::int32_t now, LiveAc& ac) {
    const TrafficSample& next = ac.samples[1];
    double v = next.verticalSpeed;
    v = v >= 0.0 ? std::min(v, 2400.0) : std::max(v, -3000.0) * 0.5;
    const double target = -3.0 * kDegToRad - (v / 600.0) * 2.2 * kDegToRad;
    const double limit = maxPitchChange(ac.flight.category);
    ac.motion.pitchStep = std::clamp((target - ac.pitch) / ticksTo(next, now), -limit, limit);
}

// The turn still to make towards the track from the next sample to the one after it.
double turnAhead(const LiveAc& ac) {
    if (ac.samples.size() < 3) return 0.0;
    return wrapPi(gf_initialBearing(positionOf(ac.samples[1]), positionOf(ac.samples[2])) - ac.heading);
}

void flyingHeadingAndBank(std::int32_t now, LiveAc& ac) {
    const TrafficSample& next = ac.samples[1];
    const double ticks = ticksTo(next, now);
    const double lowHeight = ac.motion.approaching ? 2000.0 : 1000.0;
    const bool headingGiven = next.trueHeadingUsed != 0 && next.rollValid != 0 && next.trueHeadingValid != 0;
    const double turn =
        headingGiven && ac.motion.heightAboveGround < lowHeight ? wrapPi(next.trueHeading - ac.heading) : turnAhead(ac);
    ac.motion.headingStep = turn / ticks;
    if (next.rollValid != 0) {
        ac.motion.bankStep = (next.roll - ac.bank) / ticks;
        return;
    }
    const AircraftCategory category = ac.flight.category;
    const double bankLimit = maxBank(category);
    const double target = -std::clamp(turn, -bankLimit, bankLimit);
    const double changeLimit = maxBankChange(category);
    ac.motion.bankStep = std::clamp((target - ac.bank) / ticks, -changeLimit, changeLimit);
}

void flyingConfiguration(Engine& engine, LiveAc& ac) {
    if (ac.samples[0].altitude < kFl100) {
        lowLevelConfiguration(engine, ac);
        return;
    }
    if (ac.motion.aboveFl100Configured) return;
    ac.motion.aboveFl100Configured = true;
    // So that the low-level lights come on again on the way down.
    ac.motion.lowLevelLightsSet = false;
    gf_queueLights(engine.link.queues, ac.objectId, {.nav = true, .beacon = true, .cabin = true});
    gf_setThrottle(engine, ac, ac.flight.category == AircraftCategory::Rotorcraft ? 4 : 3);
    gf_setGear(engine, ac, false);
    gf_setFlaps(engine, ac, 0);
}

}  // namespace

double descentRate(std::int32_t qnh, const LiveAc& ac, const TrafficSample& front, const TrafficSample& next) {
    if (ac.motion.heightAboveGround <= 100.0) return -600.0;
    const double mean = (front.verticalSpeed + next.verticalSpeed) / 2.0;
    return std::min(-601.0, mean - (static_cast<double>(qnh) - kStandardPressureHpa) * 6.0);
}

bool jumpAhead(std::int32_t now, LiveAc& ac, std::size_t i) {
    if (i < 2 || ac.samples.size() < i || ac.samples[i - 1].airborne == 0) return false;
    const auto first = ac.samples.begin() + 1;
    ac.samples.erase(first, first + static_cast<std::ptrdiff_t>(i - 2));
    const TrafficSample& front = ac.samples[0];
    const TrafficSample& next = ac.samples[1];
    retimeBy(now, ac, std::max(ticksForDistance(front, next, estimateSpeed(front, next)), kMinStepTicks));
    const double ticks = ticksTo(next, now);
    climbToNext(ac, next, ticks);
    // The sample the position steps led to is gone: lead them to the new next one.
    ac.motion.latStep = (next.latitude - ac.position.latitude) / ticks;
    ac.motion.lonStep = wrap180(next.longitude - ac.position.longitude) / ticks;
    return true;
}

void flyingStep(Engine& engine, LiveAc& ac) {
    if (ac.phase != GroundPhase::take_off && ac.phase != GroundPhase::flying) ac.setPhase(GroundPhase::flying);
    ac.motion.tas = ac.samples[1].trueAirspeed;
    ac.motion.verticalSpeedFpm = ac.samples[1].verticalSpeed;
    // In the flare the flare alone decides altitude and pitch.
    if (ac.motion.flareStage == 0) {
        flyingAltitude(engine, ac);
        if (ac.phase != GroundPhase::take_off) flyingPitch(engine.now(), ac);
    }
    flyingHeadingAndBank(engine.now(), ac);
    flyingConfiguration(engine, ac);
}

}  // namespace qvl
