#include "engine/conflicts/park_limit.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include <gsl/narrow>

#include "core/rounding.h"
#include "core/settings.h"
#include "core/strings.h"
#include "engine/base/engine.h"
#include "engine/conflicts/conflicts.h"

namespace qvl {
namespace {

constexpr std::int32_t kHalfShare = 50;  // percent; below it three stands or fewer still get one

void showMaxPark(Engine& engine, std::int64_t wanted, std::int32_t percent) {
    ParkingDisplay& display = engine.state.parking.display;
    display.maxPark = gsl::narrow<std::int32_t>(wanted);
    display.maxParkPercent = percent;
    engine.status.showParking(display);
}

// The share of the stands that static parking fills: at least one, and
// round(p x n / 100) from four stands on (or from two at 50 % and more).
std::int64_t shareOfStands(std::int64_t stands) {
    const std::int32_t percent = percentInUse();
    if (stands <= 1 || (stands <= 3 && percent < kHalfShare)) return 1;
    return roundToInt32(static_cast<double>(percent) * static_cast<double>(stands) / 100.0);
}

}  // namespace

std::int32_t percentInUse() {
    const std::int32_t custom = CUSTOM_PARKING_PERCENTAGE.value();
    return custom < 0 ? parking_percentage.value() : custom;
}

std::int64_t lf_wantedStaticCount(Engine& engine) {
    if (MAX_PARK_SEL.value() <= 0) {
        showMaxPark(engine, 0, parking_percentage.value());
        return 0;
    }
    const auto stands = std::ssize(engine.stands.standList());
    // Without stands nothing can stand anywhere.
    if (stands == 0) {
        showMaxPark(engine, 0, 0);
        return 0;
    }
    const std::int64_t wanted = std::min<std::int64_t>(MAX_PARK_SEL.value(), shareOfStands(stands));
    showMaxPark(engine, wanted, gf_percent(wanted, stands));
    return wanted;
}

void lf_checkMaxPark(Engine& engine, std::int32_t extra) {
    // The wanted count stays within MAX_PARK_SEL, so it fits.
    const std::int64_t wanted = lf_wantedStaticCount(engine);
    const auto limit =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(wanted, 0, std::numeric_limits<std::int32_t>::max()));
    checkParkLimit(engine, extra, limit);
}

}  // namespace qvl
