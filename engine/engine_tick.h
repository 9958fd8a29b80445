// The engine's work for one 10 ms tick of the main loop: the simulator's
// object events, every live aircraft stepped, the tick's positions handed to
// the simulator link, creations and removals released at a fixed pace, the
// traffic taken in, the periodic requests, and the tick counted.
//
// Pace: one removal per 10 ticks, one creation per 50 ticks (live before
// static), the aircraft-in-range request every 20 ticks, the user's state to
// the traffic client every 100 ticks; two traffic records a tick, and every
// record that is already overdue, up to 50.
#pragma once

#include "feed/realtraffic_link.h"
#include "simlink/user_aircraft_block.h"

namespace qvl {

struct Engine;
struct EngineState;

// The user aircraft as the traffic client's message carries it: the one
// place where the link's snapshot becomes the feed's message.
UserState userStateFor(const UserAircraftBlock& user);

// One engine tick (run thread only).
void lf_handleAddingStack(Engine& engine);
// The paced release of queued removals and creations.
void lf_releaseQueuedCommands(Engine& engine);
// The aircraft-in-range request and the user's state.
void lf_periodicRequests(Engine& engine);

// When a traffic run starts: room for a full run (once per process).
void gf_initAiTraffic(Engine& engine);
// When a run ends: every container of the engine emptied, with the traffic
// queue and the simulator link's queues. The tick counter keeps running.
void gf_clearAiTraffic(Engine& engine);
// Empties the created-flight map: once a day of the run's seconds and at the
// end of a run, so that it does not grow for as long as the program runs.
void gf_clearSpawnMap(EngineState& state);

}  // namespace qvl
