// Small arithmetic the engine's steps share: due ticks against the tick
// counter, and differences of angles.
//
// A due tick is an unsigned 32-bit value, the tick counter a signed one:
// every difference and comparison between them is made in signed 64-bit, so
// neither side's sign or wrap turns a sample due far too early or too late.
// Every difference of two headings, tracks or bearings is wrapped before it
// is compared or stepped, so 359.9 degrees against 0.1 is 0.2 apart.
#pragma once

#include <cstdint>

#include "feed/traffic_record.h"

namespace qvl {

// Ticks from now to the due tick; negative once it has passed.
constexpr std::int64_t ticksUntil(std::uint32_t due, std::int32_t now) noexcept {
    return static_cast<std::int64_t>(due) - static_cast<std::int64_t>(now);
}
// The tick counter has reached the due tick.
constexpr bool hasReached(std::int32_t now, std::uint32_t due) noexcept { return ticksUntil(due, now) <= 0; }

// Feet in a nautical mile, to the precision the distances in feet are
// compared at; and the 10 ms ticks of an hour, for speeds in knots.
inline constexpr double kFeetPerNmExact = 6076.11549;
inline constexpr double kTicksPerHour = 360000.0;

// The fewest ticks over which a sample is flown.
inline constexpr std::int32_t kMinStepTicks = 25;
// max(25, due - now): a sample due in the past is flown in 25 ticks, never faster.
std::int32_t ticksTo(const TrafficSample& sample, std::int32_t now) noexcept;

// The tick one after now, as a due tick.
std::uint32_t nextTick(std::int32_t now) noexcept;

// Wrapped into [-pi, pi].
double wrapPi(double radians) noexcept;
// Wrapped into [-180, 180].
double wrap180(double degrees) noexcept;
// |a - b| of two angles in degrees, the short way round: 0 to 180.
double angleApartDeg(double a, double b) noexcept;
// |a - b| of two angles in radians, the short way round: 0 to pi.
double angleApart(double a, double b) noexcept;
// Into [0, 2 pi); a value within 1e-12 of 2 pi becomes 0.
double normalizeHeading(double radians) noexcept;

// A latitude beyond +/-90 is mirrored over the pole (the longitude turns by
// 180 degrees); then the longitude is brought into [-180, 180).
void normalizePosition(double& latitude, double& longitude) noexcept;

// Within 1e-8 degrees in both latitude and longitude.
bool samePosition(double lat1, double lon1, double lat2, double lon2) noexcept;

// How near two aircraft may stand before they touch: 1.1 x (half span +
// half span), nm.
constexpr double collisionDistance(double halfSpanA, double halfSpanB) noexcept {
    return 1.1 * (halfSpanA + halfSpanB);
}

// Radii of the stand searches: the engine's own and the simulator link's
// naming of the user's stand.
inline constexpr double kStandSearchWideNm = 0.029697624190064796;  // 55 m
inline constexpr double kStandSearchNm = 0.010799136069114472;      // 20 m

}  // namespace qvl
