#include "engine/base/engine_math.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/units.h"

namespace qvl {

std::int32_t ticksTo(const TrafficSample& sample, std::int32_t now) noexcept {
    const std::int64_t ticks = std::max<std::int64_t>(kMinStepTicks, ticksUntil(sample.dueTick, now));
    return static_cast<std::int32_t>(std::min<std::int64_t>(ticks, std::numeric_limits<std::int32_t>::max()));
}

std::uint32_t nextTick(std::int32_t now) noexcept {
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(now) + 1);
}

double wrapPi(double radians) noexcept {
    if (!std::isfinite(radians)) return radians;
    double r = std::remainder(radians, kTwoPi);  // [-pi, pi]
    if (r < -kPi) r += kTwoPi;
    if (r > kPi) r -= kTwoPi;
    return r;
}

double wrap180(double degrees) noexcept {
    if (!std::isfinite(degrees)) return degrees;
    return std::remainder(degrees, 360.0);
}

double angleApartDeg(double a, double b) noexcept { return std::fabs(wrap180(a - b)); }

double angleApart(double a, double b) noexcept { return std::fabs(wrapPi(a - b)); }

double normalizeHeading(double radians) noexcept {
    if (!std::isfinite(radians)) return 0.0;
    double h = std::fmod(radians, kTwoPi);
    if (h < 0.0) h += kTwoPi;
    if (h > kTwoPi - 1e-12) h = 0.0;
    return h;
}

void normalizePosition(double& latitude, double& longitude) noexcept {
    if (latitude > 90.0) {
        latitude = 180.0 - latitude;
        longitude += 180.0;
    } else if (latitude < -90.0) {
        latitude = -180.0 - latitude;
        longitude += 180.0;
    }
    if (longitude >= 180.0 || longitude < -180.0) {
        longitude = std::fmod(longitude + 180.0, 360.0);
        if (longitude < 0.0) longitude += 360.0;
        longitude -= 180.0;
    }
}

bool samePosition(double lat1, double lon1, double lat2, double lon2) noexcept {
    return std::fabs(lat1 - lat2) < 1e-8 && std::fabs(lon1 - lon2) < 1e-8;
}

}  // namespace qvl
