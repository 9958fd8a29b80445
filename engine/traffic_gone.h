// The traffic client has gone while the run goes on: its aircraft would
// freeze where the feed left them, so every live one is taken away.
#pragma once

namespace qvl {

struct Engine;

// Every active live aircraft and every one being added leaves the
// simulator; nothing happens once the run is closing.
void takeLiveAircraftAway(Engine& engine);

}  // namespace qvl
