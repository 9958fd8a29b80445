// The limit on parked aircraft at the park airport: as many may stand parked
// as static aircraft are wanted there. An aircraft that parks, a static one
// on its way and the parking cycle all ask for it, so it lies below them.
#pragma once

#include <cstdint>

namespace qvl {

struct Engine;

// With `extra` more parked aircraft on the way, the longest parked ones go
// while the park airport's limit is exceeded; no static aircraft wanted: no
// limit.
void lf_checkMaxPark(Engine& engine, std::int32_t extra);

// The number of static aircraft wanted at the park airport; the main window
// is shown it with its share of the stands.
std::int64_t lf_wantedStaticCount(Engine& engine);

// The share of the stands in use, in percent: the custom share when one is
// set, else the drop-down's.
std::int32_t percentInUse();

}  // namespace qvl
