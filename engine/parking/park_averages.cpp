#include "engine/parking/park_averages.h"

#include <cmath>

#include "engine/base/engine.h"
#include "engine/stands/stands.h"

namespace qvl {
namespace {

// Sums the stays of the aircraft that `counts`, counted back from now over
// the week, so a stay across Sunday midnight counts its few half hours.
template <typename Aircraft, typename Counts>
ParkAverage averageOf(const std::vector<Aircraft>& aircraft, WeekTime now, Counts counts) {
    std::int32_t count = 0;
    std::int64_t halfHours = 0;
    for (const Aircraft& ac : aircraft) {
        if (!counts(ac)) continue;
        ++count;
        if (isValidWeekTime(now) && isValidWeekTime(ac.parkedSince)) halfHours += halfHoursSince(ac.parkedSince, now);
    }
    const float mean =
        count == 0 ? 0.0f
                   : static_cast<float>(static_cast<double>(halfHours) / (2.0 * static_cast<double>(count)) + 0.5);
    return {.count = count, .meanHours = mean};
}

}  // namespace

ParkAverage staticParkAverage(const Engine& engine) {
    return averageOf(engine.state.staticAircraft, engine.weekTime(), [](const StaticAc& ac) {
        return ac.status == SimStatus::active || ac.status == SimStatus::removingfromsim;
    });
}

ParkAverage liveParkAverage(const Engine& engine) {
    return averageOf(engine.state.liveAircraft, engine.weekTime(), [](const LiveAc& ac) {
        return ac.status == SimStatus::active && ac.phase == GroundPhase::parked;
    });
}

bool parkMeanChanged(float shownMeanHours, float meanHours) noexcept {
    return std::isnan(shownMeanHours) || meanHours != shownMeanHours;
}

}  // namespace qvl
