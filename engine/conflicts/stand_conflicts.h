// The stand rules that settle which aircraft parks where, as the ground
// movement calls them.
#pragma once

#include <cstdint>

#include "engine/live_ac.h"

namespace qvl {

struct Engine;

// Looks for a stand at the aircraft's last sample (55 m with `wide`, else
// 20 m), makes way on it and drives the aircraft onto it (phase parking).
void try2Park(Engine& engine, LiveAc& ac, bool wide);

}  // namespace qvl
