// The queue of live aircraft awaiting a learned-stand check, served one
// entry a second by the main loop so that no second carries them all.
#pragma once

#include <cstdint>

namespace qvl {

struct Engine;

// The first queued hex id: its live aircraft, when it still exists, gets its
// learned stand once in its life and its static twins removed; the entry
// goes either way.
void checkNextLearnedStand(Engine& engine, std::uint64_t daySlot);

}  // namespace qvl
