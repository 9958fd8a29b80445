// The checks a new sample passes, by the aircraft's ground phase, before it
// joins the aircraft's queue.
#pragma once

#include "engine/live_ac.h"

namespace qvl {

struct Engine;

// True when the sample is to be queued; the check may mark it stationary or
// moving and may change the queued samples.
bool checkExtendingSituations(Engine& engine, LiveAc& ac, TrafficSample& sample);

}  // namespace qvl
