// The per-tick update of one live aircraft: the status machine. An aircraft
// in "buffer" is offered to the simulator, an "active" one is stepped to its
// due sample and sends its position, and one whose samples have run dry is
// removed.
#pragma once

#include "engine/base/live_ac.h"

namespace qvl {

struct Engine;

// True when the record is to be erased now (its erase-now or erase-dropped
// flag is set). A record flagged by another aircraft's rule returns true at
// once and is not stepped. Nothing it throws leaves it: a failing active
// aircraft is logged once and removed, a failing buffered one is dropped.
bool updateLiveAc(Engine& engine, LiveAc& ac);

}  // namespace qvl
