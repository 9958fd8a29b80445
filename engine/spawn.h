// Spawning: an aircraft in "buffer" is offered to the simulator once its
// first sample falls due, and an aircraft whose identity changes may be
// created again with another livery.
#pragma once

#include "engine/live_ac.h"

namespace qvl {

struct Engine;

// The buffer step of an aircraft in "buffer", run by its per-tick update.
void lf_addLiveAcToSim(Engine& engine, LiveAc& ac);

// Decides on a re-creation when a record arrives for the aircraft; false
// when the record is not to be taken because the aircraft is being created
// again.
bool lf_respawnLiveAc(Engine& engine, LiveAc& ac, const TrafficRecord& record);

}  // namespace qvl
