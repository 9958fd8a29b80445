// The engine's side of the first park airport's board
// (engine/base/first_park_airport.h): the run thread publishes where the
// head of the park-airport list lies.
#pragma once

namespace qvl {

struct Engine;

// Run thread: the list's first entry as it stands now.
void publishFirstParkAirport(Engine& engine);

}  // namespace qvl
