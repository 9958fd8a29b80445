// The placing of one waiting static parked aircraft on its stand.
#pragma once

#include <string>

namespace qvl {

struct Engine;

// Turns the last waiting candidate into a StaticAc and queues its creation;
// the tick calls it on every 50th tick on which no live creation is released.
void lf_detcs(Engine& engine);
// The callsign a static aircraft shows: trailing "_" removed and "*"
// appended unless it ends in "*" already.
std::string lf_staticCallsign(std::string callsign);

}  // namespace qvl
