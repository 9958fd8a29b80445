// Ground paths between samples: midpoints where the feed's samples are far
// apart, curves through corners, and the last leg onto a stand.
#include <algorithm>
#include <cmath>

#include <fmt/format.h>
#include <gsl/narrow>

#include "core/log.h"
#include "engine/base/engine_math.h"
#include "engine/motion/motion_steps.h"
#include "platform/units.h"

namespace qvl {
namespace {

constexpr double kMetresPerDegreeLatitude = 111132.95;
constexpr double kSpeedChangeKt = 5.0;
constexpr double kSpeedChangeDistanceNm = 100.0 / kMetresPerNm;
constexpr double kCurveProgressMax = 0.999999;
constexpr double kMinStandLegTicks = 100.0;
constexpr std::uint32_t kStandStopTicks = 50;

struct LocalMetres {
    double north = 0.0;
    double east = 0.0;
};

// Metres north and east of the origin in a flat frame around it.
LocalMetres localMetres(double originLatitude, double originLongitude, const TrafficSample& point) {
    const double latitude = originLatitude > 180.0 ? originLatitude - 360.0 : originLatitude;
    return {
        .north = (point.latitude - originLatitude) * kMetresPerDegreeLatitude,
        .east = wrap180(point.longitude - originLongitude) * kMetresPerDegreeLatitude * std::cos(latitude * kDegToRad)};
}

}  // namespace

void insertMidpoint(LiveAc& ac) {
    const TrafficSample& front = ac.samples[0];
    const TrafficSample& next = ac.samples[1];
    TrafficSample middle = front;
    middle.latitude = (front.latitude + next.latitude) / 2.0;
    middle.longitude = front.longitude + wrap180(next.longitude - front.longitude) / 2.0;
    middle.groundSpeed = (front.groundSpeed + next.groundSpeed) / 2.0;
    middle.altitude = (front.altitude + next.altitude) / 2.0;
    const double due = (static_cast<double>(front.dueTick) + static_cast<double>(next.dueTick)) / 2.0;
    middle.dueTick = static_cast<std::uint32_t>(std::llround(due));
    middle.airborne = middle.altitude > 0.0 ? 1 : 0;
    if (middle.airborne == 0) middle.altitude = 0.0;
    middle.stationary = 0;
    ac.samples.insert(ac.samples.begin() + 1, middle);
}

void checkSpeedChange(LiveAc& ac) {
    const TrafficSample& front = ac.samples[0];
    const TrafficSample& next = ac.samples[1];
    if (front.groundSpeed <= 0.0 && next.groundSpeed <= 0.0) return;
    if (std::fabs(front.groundSpeed - next.groundSpeed) <= kSpeedChangeKt) return;
    if (gf_distanceNm(positionOf(front), positionOf(next)) < kSpeedChangeDistanceNm) return;
    insertMidpoint(ac);
}

void setUpCurve(LiveAc& ac) {
    TrafficSample& end = ac.samples[2];
    if (end.groundSpeed == 0.0) end.groundSpeed = (ac.samples[0].groundSpeed + ac.samples[1].groundSpeed) / 2.0;
    const LocalMetres control = localMetres(ac.position.latitude, ac.position.longitude, ac.samples[1]);
    const LocalMetres to = localMetres(ac.position.latitude, ac.position.longitude, end);
    ac.motion.curve = CurveRecord{.originLatitude = ac.position.latitude,
                                  .originLongitude = ac.position.longitude,
                                  .t0 = 0.0,
                                  .endNorth = to.north,
                                  .endEast = to.east,
                                  .t1 = 1.0,
                                  .controlEast = control.east,
                                  .controlNorth = control.north};
    ac.motion.curveProgress = 0.0;
    ac.samples.erase(ac.samples.begin() + 1);
}

void followCurve(LiveAc& ac) {
    ac.motion.curveProgress = std::clamp(ac.motion.curveProgress + ac.motion.curveStep, 0.0, kCurveProgressMax);
    GeoPosition position;
    double track = 0.0;
    if (!gf_curvePosition(ac.motion.curve, position, track, ac.motion.curveProgress)) {
        gf_logAttention(fmt::format("{} error in curve at index: {:.2F}", ac.flight.callsign, ac.motion.curveProgress));
        return;
    }
    ac.position.latitude = position.latitude;
    ac.position.longitude = position.longitude;
    const double wanted = ac.phase == GroundPhase::pushing_back ? normalizeHeading(track + kPi) : track;
    turnTowards(ac, wanted);
}

void drive2Stand(LiveAc& ac, const StandPlace& stand) {
    if (ac.samples.empty()) {
        gf_logAttention(fmt::format("{} empty sz?", "drive2Stand"));
        return;
    }
    TrafficSample& last = ac.samples.back();
    const GeoPosition standAt = stand.position;
    const double speed = ac.flight.standApproachSpeed;
    const double ticks =
        std::max(std::round(gf_distanceNm(positionOf(last), standAt) * kTicksPerHour / speed), kMinStandLegTicks);
    const auto n = gsl::narrow<std::int32_t>(ticks);
    last.groundSpeed = speed;
    const bool alreadyThere =
        samePosition(last.latitude, last.longitude, stand.position.latitude, stand.position.longitude);

    TrafficSample onStand = last;
    onStand.latitude = stand.position.latitude;
    onStand.longitude = stand.position.longitude;
    onStand.altitude = ac.altitude;
    onStand.groundSpeed = speed;
    onStand.track = stand.heading * kRadToDeg;
    onStand.verticalSpeed = 0.0;
    onStand.trueAirspeed = speed;
    onStand.dueTick = dueAfter(ac.samples.front().dueTick, n);
    onStand.airborne = 0;
    onStand.stationary = alreadyThere ? 1 : 0;
    onStand.trueHeadingUsed = ac.samples.front().trueHeadingUsed;
    onStand.roll = ac.bank;
    onStand.rollValid = 1;
    onStand.trueHeadingValid = 0;
    ac.samples.push_back(onStand);

    TrafficSample stopped = onStand;
    stopped.groundSpeed = 0.0;
    stopped.trueAirspeed = 0.0;
    stopped.stationary = 1;
    stopped.dueTick = dueAfter(onStand.dueTick, kStandStopTicks);
    ac.samples.push_back(stopped);

    ac.motion.bearingToNext = stand.heading;
    if (ac.extendCount >= 1) {
        ac.extendCount = 0;
        ac.motion.lateLimit = ac.motion.departing ? 5000 : 3000;
        ac.motion.earlyLimit = 3000;
    }
}

}  // namespace qvl
