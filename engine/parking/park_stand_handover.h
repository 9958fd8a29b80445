// The engine's side of the user-stand exchange
// (engine/base/user_stand_exchange.h), on the run thread.
#pragma once

namespace qvl {

struct Engine;

// The park airport's stands as loaded
// now (none while no park airport is current) go to the simulator link.
void publishParkStands(Engine& engine);
// A stand handed over for the current park airport becomes its reserved
// stand, written into my_park_airports.txt, when the airport heads the
// park-airport list and the stand is new to it.
void keepHandedOverUserStand(Engine& engine);

}  // namespace qvl
