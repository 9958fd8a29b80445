// Liveries the simulator could not create, and flights for which no livery
// matched: the first are never chosen again in this process (too many end
// the run with user error 81), the second are listed in Log.txt.
#pragma once

#include "engine/base/live_ac.h"

namespace qvl {

struct Engine;
struct EngineState;

inline constexpr int kTooManyUncreatableCode = 81;
inline constexpr std::size_t kMaxUncreatableLiveries = 20;

// Shows the refused title (unless the run is closing), keeps it from the
// matchers and notes the type and airline. Throws UserErrorException 81 once
// 20 distinct titles have been refused.
void gf_reportUncreatableLivery(Engine& engine, const FlightRec& flight);

// "No match found for:" and one line per flight, then an empty line;
// nothing when the list is empty.
void gf_logNoMatchList(const EngineState& state);

}  // namespace qvl
