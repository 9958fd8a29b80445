// The limit on parked aircraft at the park airport: as many may stand parked
// as static aircraft are wanted there.
#pragma once

#include <cstdint>

namespace qvl {

struct Engine;

// With `extra` more parked aircraft on the way, the longest parked ones go
// while the park airport's limit is exceeded; no static aircraft wanted: no
// limit.
void lf_checkMaxPark(Engine& engine, std::int32_t extra);

}  // namespace qvl
