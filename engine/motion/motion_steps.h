// The steps inside the motion of a live aircraft, shared by the motion's own
// files and reachable by its tests. Everything here runs on the run thread,
// on one aircraft at a time; `now` is always the engine's tick counter.
#pragma once

#include <cstdint>

#include "core/geodesy.h"
#include "engine/base/engine.h"
#include "engine/base/live_ac.h"

namespace qvl {

inline GeoPosition positionOf(const TrafficSample& sample) noexcept {
    return {.latitude = sample.latitude, .longitude = sample.longitude};
}
inline GeoPosition positionOf(const LiveAc& ac) noexcept { return ac.position; }

// A due tick moved by a number of ticks, counted in 64 bits.
inline std::uint32_t dueAfter(std::uint32_t due, std::int64_t ticks) noexcept {
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(due) + ticks);
}

// Turns the heading towards the bearing by at most the aircraft's turn step,
// the short way round; within half a degree it is left as it is.
void turnTowards(LiveAc& ac, double bearing);

// The curve's control values are NaN while no ground curve is set.
bool curveIsSet(const LiveAc& ac) noexcept;
void clearCurve(LiveAc& ac) noexcept;

// --- Timing of the next sample ---

// Knots between the two samples: the mean of their ground speeds, or when
// both report 0 the speed that covers their distance in the time between
// their due ticks. Never below 1 kt, so a tick count can always be made.
double estimateSpeed(const TrafficSample& front, const TrafficSample& next);

// Moves the next sample's due tick to now + n ticks, held within the
// aircraft's early and late limits of its current due tick (unless the
// aircraft is extending), and never before now.
void retimeBy(std::int32_t now, LiveAc& ac, std::int64_t ticks);

// The air case of moving the next sample's due tick, by distance and speed.
void retimeAir(std::int32_t now, LiveAc& ac);

// The ground retiming: a moving next sample by distance and estimated speed,
// a stationary one by the time the feed left between the two samples.
void retimeGround(std::int32_t now, LiveAc& ac);

// Both limits 100 ticks nearer to 1000; a limit at or below 1000 stays.
void lowerRetimeLimits(LiveAc& ac) noexcept;

// Ticks needed to cover the distance from front to next at the speed,
// rounded; throws gsl::narrowing_error when that is no 32-bit whole number.
std::int32_t ticksForDistance(const TrafficSample& front, const TrafficSample& next, double speedKt);

// --- Continuation samples ---

// Appends a continuation sample when fewer than two are queued; false when
// none may be made (the stream ends).
bool extendSamples(Engine& engine, LiveAc& ac);
// Appends one continuation sample after the front one and leaves n more to make.
void extend(StandService& stands, LiveAc& ac, std::int32_t n);

// --- Steps when a sample falls due ---

// The steps towards the next sample, its retiming and the pop of the front one.
void setUpStep(Engine& engine, LiveAc& ac);
// The airborne case: altitude, pitch, heading and bank steps, configuration.
void flyingStep(Engine& engine, LiveAc& ac);
// The ground case: throttle, roll-out, ground attitude and the rotation check.
void groundRoll(Engine& engine, LiveAc& ac);
// Rotation starts now (a take-off, or a touch-and-go after a landing).
void startRotation(Engine& engine, LiveAc& ac);

// ft/min of a descent towards the ground, by height and QNH.
double descentRate(std::int32_t qnh, const LiveAc& ac, const TrafficSample& front, const TrafficSample& next);
// Skips ahead to the i-th queued sample (the front being the first) when it is
// airborne, and climbs towards it; false when there is none such.
bool jumpAhead(std::int32_t now, LiveAc& ac, std::size_t i);

// Lights, throttle, gear and flaps by height below 10000 ft.
void lowLevelConfiguration(Engine& engine, LiveAc& ac);
// At or below the approach height: clean up for a climb or begin an approach.
void approachConfiguration(Engine& engine, LiveAc& ac);
// The height over ground at or below which an aircraft of its category is
// on its approach (or its climb-out): 2050 ft for jets, 625 ft for others.
double approachHeight(AircraftCategory category) noexcept;

// --- On the ground ---

// Puts a sample halfway between the front and the next one after the front.
void insertMidpoint(LiveAc& ac);
// A midpoint where the speed changes by more than 5 kt over 100 m or more.
void checkSpeedChange(LiveAc& ac);
// A curve from the current position, pulled towards the next sample, to the
// one after it; the next sample is dropped.
void setUpCurve(LiveAc& ac);
// One tick along the ground curve: position and heading (tail first while
// pushing back).
void followCurve(LiveAc& ac);
// The last two samples lead onto the stand and stop there.
void drive2Stand(LiveAc& ac, const StandPlace& stand);
// Looks for a stand at the aircraft's last sample (55 m with `wide`, else
// 20 m), makes way on it and drives the aircraft onto it (phase parking).
void try2Park(Engine& engine, LiveAc& ac, bool wide);

// Fewer than two samples remain while parking: parked on the stand when
// within 2 m, removed when another aircraft occupies it, else taxiing on.
void arriveAtStand(Engine& engine, LiveAc& ac);
// A parked aircraft whose departure was asked for: a pull-out when the way
// out lies ahead, else a push-back.
void leaveStand(Engine& engine, LiveAc& ac);
void startPullOut(Engine& engine, LiveAc& ac);
void startPushBack(Engine& engine, LiveAc& ac);
// The push-back's steps when a sample falls due: the turn (or a straight
// push), then pushed back.
void pushBackStep(Engine& engine, LiveAc& ac);
// The side a push-back turns to by a sample taken while it starts: 1 when
// the sample's heading (its true heading, else its track) lies clockwise of
// the aircraft's heading, -1 when anticlockwise, 0 when it tells nothing.
std::int32_t pushTurnSide(const LiveAc& ac, const TrafficSample& sample) noexcept;

// --- Per tick ---

// A parked aircraft with a stand that does not yet face the stand's heading:
// turnOnStand turns it, and its way off the stand waits until it has.
bool turningOnStand(const LiveAc& ac) noexcept;

// Rotation and climb-out in phase take_off.
void rotationTick(Engine& engine, LiveAc& ac);
// The flare stages while approaching, low and airborne.
void flareTick(Engine& engine, LiveAc& ac);
// The nose comes down after touchdown; true while it is coming down.
bool derotationTick(LiveAc& ac);

}  // namespace qvl
