#include "engine/sample_checks.h"

#include <cmath>
#include <cstdint>
#include <optional>

#include <fmt/format.h>

#include "core/geodesy.h"
#include "core/log.h"
#include "core/settings.h"
#include "engine/base/engine.h"
#include "engine/base/engine_math.h"
#include "engine/base/removal.h"
#include "engine/stands/stands.h"
#include "platform/units.h"

namespace qvl {
namespace {

constexpr double kAtStandNm = 0.0458963282937365;       // 85 m
constexpr double kStandMoveNm = 0.0016198704103671706;  // 3 m
constexpr double kLeftStandNm = 0.10799136069114472;    // 200 m
constexpr std::uint32_t kMovesToLeave = 3;
constexpr double kHoldWingspans = 2.75;
constexpr double kHoldMaxWingspans = 6.0;
constexpr double kTurnedAwayDeg = 100.0;
constexpr double kBehindDeg = 90.0;
constexpr double kReversedDeg = 150.0;
constexpr double kSlowRollKt = 40.0;
constexpr std::uint32_t kWeekOfTicks = 60480000;
constexpr double kNearSameDegrees = 0.00015;
constexpr double kTurnedBackDeg = 100.0;

GeoPosition positionOf(const TrafficSample& s) { return {.latitude = s.latitude, .longitude = s.longitude}; }
GeoPosition positionOf(const LiveAc& ac) { return ac.position; }
GeoPosition standOf(const LiveAc& ac) { return ac.stand.position; }

// Degrees between the bearing from one sample to another and the heading, the short way.
double bearingOffDeg(const TrafficSample& from, const TrafficSample& to, double heading) {
    return std::fabs(wrap180((gf_initialBearing(positionOf(from), positionOf(to)) - heading) * kRadToDeg));
}

void returnToFeed(Engine& engine, LiveAc& ac) {
    ac.extendCount = 0;
    ac.motion.earlyLimit = 3000;
    ac.motion.lateLimit = ac.motion.departing ? 5000 : 3000;
    if (!ac.samples.empty()) ac.samples.front().dueTick = nextTick(engine.now());
}

void endHold(LiveAc& ac) {
    ac.holding = false;
    ac.holdStart = 0;
}

void logEmpty(const char* where, const LiveAc& ac) {
    gf_logAttention(fmt::format("{} empty sz?", where));
    (void)ac;
}

// Seen at its stand: it moved away when its distance from the first sample
// there grew by more than its half span, or by half of it over three moves.
bool movedOffStand(LiveAc& ac, double d) {
    MotionState& m = ac.motion;
    if (!m.standDistanceRef) {
        m.standDistanceRef = d;
        ac.motion.standDistanceMax = d;
        ac.motion.standMoveCount = 0;
        return false;
    }
    if (d >= ac.motion.standDistanceMax + kStandMoveNm) {
        ++ac.motion.standMoveCount;
        ac.motion.standDistanceMax = d;
    } else if (d <= ac.motion.standDistanceMax - kStandMoveNm) {
        ac.motion.standMoveCount = 0;
    }
    const double moved = d - *m.standDistanceRef;
    const double hs = ac.flight.halfSpan;
    return moved > hs || (ac.motion.standMoveCount >= kMovesToLeave && moved >= hs / 2.0);
}

bool checkAtStand(Engine& engine, LiveAc& ac, TrafficSample& sample) {
    if (ac.status == SimStatus::buffer || ac.status == SimStatus::adding2sim) return false;
    ac.seenAtStand = true;
    const double d = gf_distanceNm(standOf(ac), positionOf(sample));
    const double atStandRadius = ac.previousPhase == GroundPhase::parking ? 2.0 * kAtStandNm : kAtStandNm;
    if (d <= atStandRadius) {
        ac.parkedAt = engine.clocks.steadyNow();
        if (!movedOffStand(ac, d)) return false;
        lf_leaveStand(engine, ac, sample);
        return true;
    }
    if (ac.phase == GroundPhase::parking) {
        ac.setPhase(GroundPhase::taxi);
        sample.stationary = 0;
        return true;
    }
    if (d > kLeftStandNm) {
        lf_addRealStandOption(engine, ac.standNumber, ac.flight, StandLearning::removedAway);
        removeAircraftFromSim(engine, ac);
        return false;
    }
    lf_leaveStand(engine, ac, sample);
    return true;
}

// The heading the new sample shows, radians; none for a bare track of 0.
bool sampleHeading(const TrafficSample& sample, double& heading) {
    if (sample.trueHeadingValid != 0) {
        heading = sample.trueHeading;
        return true;
    }
    if (sample.track == 0.0) return false;
    heading = sample.track * kDegToRad;
    return true;
}

bool checkPushingBack(LiveAc& ac, const TrafficSample& sample) {
    double heading = 0.0;
    if (!STRAIGHT_PBS_ONLY.value() && ac.motion.pushCountdown == 2 && sampleHeading(sample, heading)) {
        const double diff = wrapPi(heading - ac.heading);
        if (diff != 0.0) ac.motion.pushTurn = diff > 0.0 ? 1 : -1;
    }
    return false;
}

bool checkPushedBack(Engine& engine, LiveAc& ac, TrafficSample& sample) {
    const double d = gf_distanceNm(positionOf(ac), positionOf(sample));
    const double hs = ac.flight.halfSpan;
    // A hold starts with no distance seen yet.
    const double largest = ac.holding ? ac.motion.holdDistance : 0.0;
    if ((d <= kHoldWingspans * hs || d <= largest) && d <= kHoldMaxWingspans * hs) {
        if (!ac.holding) {
            ac.holding = true;
            ac.holdStart = engine.now();
            ac.motion.holdDistance = 0.0;
        }
        ac.motion.holdDistance = std::max(ac.motion.holdDistance, d);
        return false;
    }
    sample.stationary = 0;
    if (ac.extendCount >= 1) returnToFeed(engine, ac);
    ac.motion.pushTurn = 0;
    ac.motion.pushCountdown = 0;
    ac.setPhase(GroundPhase::taxi);
    ac.stand = {};
    ac.standNumber = 0;
    ac.standFlag = 0;
    endHold(ac);
    ac.motion.holdDistance = 0.0;
    return true;
}

bool landingPending(const LiveAc& ac) { return ac.motion.flareStage != 0 || ac.motion.derotating; }

bool movingPhase(GroundPhase phase) {
    return phase == GroundPhase::taxi || phase == GroundPhase::take_off || phase == GroundPhase::flying ||
           phase == GroundPhase::birth;
}

bool checkMoving(Engine& engine, LiveAc& ac, TrafficSample& sample) {
    if (landingPending(ac)) return checkNewPosDuringLanding(engine, ac, sample);
    if (ac.samples.empty()) {
        logEmpty("checkExtendingSituations", ac);
        return false;
    }
    if (!lf_checkBirthSample(ac, sample)) return false;
    if (ac.extendCount < 1) return !startsOverBehind(ac, sample);
    if (behindContinuedPath(ac, sample)) return false;
    returnToFeed(engine, ac);
    endHold(ac);
    return true;
}

// Landing roll with two or more queued: samples lying behind go.
void dropSamplesBehind(LiveAc& ac, const TrafficSample& sample) {
    auto& q = ac.samples;
    const std::size_t queued = q.size();
    if (bearingOffDeg(q.back(), sample, ac.heading) < kBehindDeg) return;
    q.pop_back();
    if (queued >= 3 && bearingOffDeg(q.back(), sample, ac.heading) >= kBehindDeg) q.pop_back();
}

}  // namespace

bool behindContinuedPath(const LiveAc& ac, const TrafficSample& sample) {
    if (ac.extendCount < 1 || ac.onGround || ac.samples.empty()) return false;
    if (!movingPhase(ac.phase) || landingPending(ac)) return false;
    return bearingOffDeg(ac.samples.back(), sample, ac.heading) >= kTurnedAwayDeg;
}

bool checkExtendingSituations(Engine& engine, LiveAc& ac, TrafficSample& sample) {
    switch (ac.phase) {
        case GroundPhase::parked:
        case GroundPhase::parking: return checkAtStand(engine, ac, sample);
        case GroundPhase::pushing_back: return checkPushingBack(ac, sample);
        case GroundPhase::pushed_back: return checkPushedBack(engine, ac, sample);
        default: return checkMoving(engine, ac, sample);
    }
}

bool checkNewPosDuringLanding(Engine& engine, LiveAc& ac, TrafficSample& sample) {
    if (ac.samples.empty()) {
        logEmpty("checkNewPosDuringLanding", ac);
        return false;
    }
    const TrafficSample& last = ac.samples.back();
    if (samePosition(sample.latitude, sample.longitude, last.latitude, last.longitude)) return false;
    if (ac.samples.size() >= 2) {
        dropSamplesBehind(ac, sample);
    } else {
        const double off = bearingOffDeg(ac.samples.front(), sample, ac.heading);
        if (ac.motion.flareStage != 0 && off >= kBehindDeg) return false;
        if (off >= kReversedDeg) {
            if (ac.extendCount >= 1) return false;
            TrafficSample here = ac.samples.front();
            here.latitude = ac.position.latitude;
            here.longitude = ac.position.longitude;
            here.dueTick = nextTick(engine.now());
            ac.samples.front() = here;
        }
    }
    if (ac.extendCount >= 1) returnToFeed(engine, ac);
    const TrafficSample& back = ac.samples.back();
    if (samePosition(sample.latitude, sample.longitude, back.latitude, back.longitude)) {
        sample.stationary = 1;
        return true;
    }
    sample.stationary = 0;
    if (sample.groundSpeed > kSlowRollKt && sample.groundSpeed > back.groundSpeed)
        sample.groundSpeed = back.groundSpeed;
    return true;
}

void lf_leaveStand(Engine& engine, LiveAc& ac, TrafficSample& sample) {
    sample.stationary = 0;
    // Once per departure: later samples of the same departure find it set.
    const bool first = !ac.motion.departureRequested;
    ac.motion.departureRequested = true;
    if (!first || ac.previousPhase == GroundPhase::parked) return;
    if (ac.extendCount >= 1 && ac.phase == GroundPhase::parked && ac.motion.landedHere) {
        const std::uint32_t threshold = ac.flight.category == AircraftCategory::Heavy     ? 360000U
                                        : ac.flight.category == AircraftCategory::Large   ? 150000U
                                        : ac.flight.category == AircraftCategory::Buzjets ? 90000U
                                                                                          : 0U;
        const auto since = static_cast<std::uint32_t>(static_cast<std::int64_t>(engine.now()) -
                                                      static_cast<std::int64_t>(ac.samples.front().dueTick) +
                                                      static_cast<std::int64_t>(kWeekOfTicks));
        if (since < threshold) ac.motion.towed = true;
        ac.motion.landedHere = false;
    }
    // The week-long continuation of a parked aircraft would hold the new
    // samples a week back; the front falls due now so the step set-up
    // starts the push-back or pull-out.
    returnToFeed(engine, ac);
    lf_addRealStandOption(engine, ac.standNumber, ac.flight, StandLearning::leaving);
    engine.stands.setStandOccupied(ac.standNumber, false);
    ac.motion.standDistanceRef.reset();
    ac.setPhase(GroundPhase::parked);
}

bool lf_checkBirthSample(const LiveAc& ac, TrafficSample& sample) {
    const TrafficSample& last = ac.samples.back();
    const bool still = samePosition(sample.latitude, sample.longitude, last.latitude, last.longitude);
    if (still) sample.stationary = 1;
    if (ac.flight.category == AircraftCategory::Rotorcraft) return true;
    const bool flyingAway = sample.airborne != 0 || (ac.status == SimStatus::active && !ac.onGround);
    if (still) {
        if (flyingAway || (ac.motion.departing && sample.groundSpeed > 0.0 && last.groundSpeed >= 30.0)) return false;
        sample.groundSpeed = 0.0;
        return true;
    }
    const bool nearlyStill = std::fabs(sample.latitude - last.latitude) < kNearSameDegrees &&
                             std::fabs(sample.longitude - last.longitude) < kNearSameDegrees;
    if (nearlyStill) {
        if (flyingAway || (ac.motion.departing && sample.groundSpeed > 0.0 && last.groundSpeed >= 50.0)) return false;
        const std::uint32_t due = sample.dueTick;
        sample = last;
        sample.dueTick = due;
        sample.groundSpeed = 0.0;
        sample.stationary = 1;
        return true;
    }
    if (sample.groundSpeed == 0.0 && (ac.motion.departing || sample.airborne != 0)) return last.groundSpeed < 50.0;
    return true;
}

bool startsOverBehind(const LiveAc& ac, const TrafficSample& sample) {
    if (ac.samples.empty() || ac.onGround || sample.airborne == 0 ||
        ac.flight.category == AircraftCategory::Rotorcraft) {
        return false;
    }
    const auto& queued = ac.samples;
    const TrafficSample& last = queued.back();
    // The queue's last leg tells the way; with one sample, the heading of an
    // aircraft that flies already. A new one has none yet.
    std::optional<double> way;
    if (queued.size() >= 2) {
        const TrafficSample& before = queued[queued.size() - 2];
        if (!samePosition(before.latitude, before.longitude, last.latitude, last.longitude)) {
            way = gf_initialBearing(positionOf(before), positionOf(last));
        }
    }
    if (!way && ac.phase != GroundPhase::birth) way = ac.heading;
    if (!way) return false;
    return angleApart(gf_initialBearing(positionOf(last), positionOf(sample)), *way) >= kTurnedBackDeg * kDegToRad;
}

}  // namespace qvl
