// What the simulator reports of the engine's aircraft: an object created,
// removed, its ground data, its static height and pitch, a creation that
// failed. The simulator link's thread queues the events; the run thread
// handles them at the start of every tick. A created aircraft settles for
// 200 ticks (its lights toggled at 50 and 100) before it becomes active.
#pragma once

#include <cstdint>

#include "engine/base/live_ac.h"
#include "simlink/sim_hooks.h"

namespace qvl {

struct Engine;
struct EngineState;

// From any thread: appends a copy to the engine's event queue.
void gf_queueSimObjectEvent(EngineState& state, const SimObjectEvent& event);

// Handles and empties the event queue, then lets the settling aircraft on.
void lf_handleSimObjectEvents(Engine& engine);

// A new object of a live aircraft: stores its object id, settles it when it
// starts on the ground, writes its flight plan and asks for its static
// values. False for an object id below 3.
bool lf_requestStaticCG(Engine& engine, LiveAc& ac, const SimObjectEvent& event);
// Hands the flight plan of a flight with origin and destination to the
// writer; sendWrittenFlightPlans passes it on once it is on disk.
void lf_createFlightPlan(Engine& engine, LiveAc& ac);
// The plans that the writer has put on disk since the last tick go to the
// simulator (with MSFS 2020); a plan that could not be written is logged.
void sendWrittenFlightPlans(Engine& engine);
// On the ground: gear down, no climb; a parked one takes its stand.
void lf_settleOnGround(Engine& engine, LiveAc& ac);
// Counts the settling aircraft on and makes those that are done active.
void lf_activateCreatedObjects(Engine& engine);
// The object is gone: an aircraft waiting for a new livery goes back to
// "buffer"; any other loses its flight plan and its record.
void gf_removeFlightPlan(Engine& engine, std::uint32_t objectId);
// A blocked callsign: removed from the simulator or from the buffer.
void lf_removeWhileBlocked(Engine& engine, std::uint32_t hexId);

}  // namespace qvl
