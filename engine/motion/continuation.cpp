// Continuation samples: when the feed has nothing more for an aircraft, the
// engine goes on a little along its path (or holds it in place on the
// ground) rather than freezing it, until the feed resumes or the allowance
// runs out and the aircraft is removed.
#include <algorithm>
#include <cmath>

#include "core/settings.h"
#include "engine/base/engine_math.h"
#include "engine/base/motion_tables.h"
#include "engine/motion/motion_steps.h"
#include "platform/units.h"

namespace qvl {
namespace {

constexpr std::int64_t kTicksPerSecond = 100;
constexpr std::int64_t kTicksPerMinute = 6000;
constexpr std::int64_t kHoldTicks = 300;
// A parked aircraft's continuation waits a week: it stays until the feed or
// a limit moves it.
constexpr std::int64_t kParkedContinuationTicks = 60480000;
constexpr std::int32_t kAirborneExtension = 8;
constexpr std::int32_t kGroundExtension = 10;

// Another aircraft taxiing close by: a holding aircraft would stand in its way.
bool taxiingNeighbourClose(const EngineState& state, const LiveAc& ac) {
    return std::any_of(state.liveAircraft.begin(), state.liveAircraft.end(), [&](const LiveAc& other) {
        return &other != &ac && other.status == SimStatus::active && other.onGround &&
               other.phase == GroundPhase::taxi && other.objectId != ac.objectId &&
               gf_distanceNm(positionOf(ac), positionOf(other)) <= 1.2 * (ac.flight.halfSpan + other.flight.halfSpan);
    });
}

// On the ground without a departure or a landing under way: hold in place
// for a while. False when the aircraft is to go instead.
bool holdInPlace(std::int32_t tick, const EngineState& state, LiveAc& ac) {
    if (taxiingNeighbourClose(state, ac)) {
        ac.holding = false;
        ac.holdStart = 0;
        return false;
    }
    const std::int64_t now = tick;
    if (ac.holding) {
        if (AIRBORNE_ONLY.value()) return false;
        const std::int64_t minutes = (now - ac.holdStart) / kTicksPerMinute;
        if (minutes > MAX_HOLDING_MINUTES.value()) return false;
    } else {
        ac.holdStart = tick;
    }
    ac.holding = true;
    TrafficSample copy = ac.samples.front();
    copy.dueTick = dueAfter(copy.dueTick, kHoldTicks);
    copy.groundSpeed = 0.0;
    copy.stationary = 1;
    ac.samples.push_back(copy);
    ac.extendCount = 1;
    return true;
}

// A landed aircraft slows down step by step.
double rollOutSpeed(double groundSpeed) {
    if (groundSpeed >= 140.0) return 100.0;
    if (groundSpeed >= 100.0) return 80.0;
    if (groundSpeed >= 80.0) return 60.0;
    if (groundSpeed >= 60.0) return 30.0;
    return 20.0;
}

struct SpeedAndClimb {
    double speed;
    double verticalSpeed;
};

// A departing aircraft speeds up towards its lift-off.
SpeedAndClimb takeOffRunSpeed(double groundSpeed) {
    if (groundSpeed <= 30.0) return {40.0, 0.0};
    if (groundSpeed <= 60.0) return {80.0, 0.0};
    if (groundSpeed <= 100.0) return {110.0, 0.0};
    if (groundSpeed <= 140.0) return {150.0, 600.0};
    if (groundSpeed <= 160.0) return {170.0, 1200.0};
    return {180.0, 2400.0};
}

// The copy's speed; marks it stationary when it is to stand still.
double continuationSpeed(const LiveAc& ac, TrafficSample& copy, std::int32_t n) {
    const double groundSpeed = copy.groundSpeed;
    if (copy.stationary != 0 || ac.phase == GroundPhase::parked) {
        copy.stationary = 1;
        return 0.0;
    }
    if (!ac.onGround) {
        if (!ac.motion.approaching) return std::max(0.95 * groundSpeed, 1.0);
        return n >= 4 ? std::max(0.9 * groundSpeed, 1.0) : groundSpeed;
    }
    if (ac.motion.landed) {
        copy.verticalSpeed = 0.0;
        return rollOutSpeed(groundSpeed);
    }
    if (ac.motion.departing) {
        const SpeedAndClimb run = takeOffRunSpeed(groundSpeed);
        copy.verticalSpeed = run.verticalSpeed;
        return run.speed;
    }
    copy.stationary = 1;
    return 0.0;
}

}  // namespace

void extend(StandService& stands, LiveAc& ac, std::int32_t n) {
    const TrafficSample& front = ac.samples.front();
    TrafficSample copy = front;
    const std::int64_t seconds = ac.onGround ? 3 : 8;
    const double speed = continuationSpeed(ac, copy, n);
    copy.groundSpeed = speed;
    if (copy.stationary == 0) {
        const double feet = static_cast<double>(seconds * kTicksPerSecond) * speed * kFeetPerNmExact / kTicksPerHour;
        const GeoPosition to = gf_destinationPoint(positionOf(front), ac.heading, feet);
        copy.latitude = to.latitude;
        copy.longitude = to.longitude;
    }
    if (ac.motion.approaching && ac.motion.flareStage == 0) {
        copy.altitude -= static_cast<double>(seconds) * 10.005;
        copy.verticalSpeed = -667.0;
    } else if (ac.phase == GroundPhase::take_off) {
        copy.altitude += static_cast<double>(seconds) * 25.0;
        copy.verticalSpeed = 1500.0;
    }
    copy.airborne = copy.altitude > 0.0 ? 1 : 0;
    if (copy.airborne == 0) copy.altitude = 0.0;
    if (ac.phase == GroundPhase::parked) {
        copy.dueTick = dueAfter(front.dueTick, kParkedContinuationTicks);
        ac.seenAtStand = false;
        stands.setStandOccupied(ac.standNumber, false);
    } else {
        copy.dueTick = dueAfter(front.dueTick, seconds * kTicksPerSecond);
    }
    ac.samples.insert(ac.samples.begin() + 1, copy);
    ac.extendCount = n;
}

bool extendSamples(Engine& engine, LiveAc& ac) {
    if (ac.samples.empty()) return false;
    if (ac.phase == GroundPhase::parking) {
        // Whatever the arrival leaves, the continuation goes on by its count.
        arriveAtStand(engine, ac);
    } else {
        const bool taxiWithoutRun = ac.phase == GroundPhase::taxi && !ac.motion.departing && !ac.motion.landed;
        if (ac.phase == GroundPhase::pushed_back || taxiWithoutRun) return holdInPlace(engine.now(), engine.state, ac);
    }

    if (ac.extendCount < 0) return false;
    if (ac.extendCount == 1) {
        ac.extendCount = -1;
        return false;
    }
    if (ac.extendCount > 1) {
        extend(engine.stands, ac, ac.extendCount - 1);
        return true;
    }
    if (!categoryShown(ac.flight.category)) return false;
    if (ac.onGround) {
        extend(engine.stands, ac, ac.phase == GroundPhase::parked ? 1 : kGroundExtension);
        return true;
    }
    const UserAircraftBlock& user = engine.state.userSnapshot;
    if (!user.zeroPosition() && gf_distanceNm(user.position(), positionOf(ac)) >= rangeNm.load() - 0.5) return false;
    if (AIRBORNE_ONLY.value()) {
        const auto park = engine.parkAirport.current();
        const double elevation = park ? static_cast<double>(park->elevationFeet) : 0.0;
        if (std::fabs(ac.altitude - elevation) < 1000.0) return false;
    }
    extend(engine.stands, ac, kAirborneExtension);
    return true;
}

}  // namespace qvl
