// The traffic client has gone while the run goes on: its aircraft would
// freeze where the feed left them, and those still buffering would be
// created from what it sent before it went, so every live one goes.
#pragma once

namespace qvl {

struct Engine;

// Every live aircraft goes: an active one (or one waiting to be created
// again) leaves the simulator; one whose creation is not yet handed to the
// simulator, and every one still buffering samples, is dropped at once with
// its samples; one whose creation is under way is removed when created. The
// records kept for flights returning under their hex id go too. Nothing
// happens once the run is closing.
void takeLiveAircraftAway(Engine& engine);

}  // namespace qvl
