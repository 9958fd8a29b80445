#include "engine/parking/park_limit.h"

#include <algorithm>
#include <limits>

#include "engine/conflicts/conflicts.h"
#include "engine/parking/parking_cycle.h"

namespace qvl {

void lf_checkMaxPark(Engine& engine, std::int32_t extra) {
    // The wanted count stays within MAX_PARK_SEL, so it fits.
    const std::int64_t wanted = lf_wantedStaticCount(engine);
    const auto limit =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(wanted, 0, std::numeric_limits<std::int32_t>::max()));
    checkParkLimit(engine, extra, limit);
}

}  // namespace qvl
