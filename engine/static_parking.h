// Static parking: the placing of one waiting static parked aircraft.
#pragma once

namespace qvl {

struct Engine;

// Turns the last waiting static aircraft into a StaticAc and queues its
// creation; the tick calls it on every 50th tick on which no live creation
// is released.
void lf_detcs(Engine& engine);

}  // namespace qvl
