// The stand and flight selection: which learned flights stand at which
// stands of the park airport now, by day of the week and half hour. The
// passes append candidates to the parking state's list.
#pragma once

#include <cstdint>
#include <vector>

#include "airports/stand.h"
#include "engine/live_ac.h"

namespace qvl {

struct Engine;

// Runs the passes (real and soft flights, of today and of any day) until
// the candidates plus `occupied` reach `wanted`.
void lf_fillParkPositions(Engine& engine, WeekTime now, std::int64_t wanted, std::int64_t occupied);
// Marks as blocked the reserved stand and the stand under the user aircraft.
void lf_blockReservedStands(Engine& engine);
// Marks the stand taken and its neighbours adjacent. The stand list is
// sorted by number.
void blockNeighbourStands(std::vector<Stand>& stands, Stand& stand);

}  // namespace qvl
