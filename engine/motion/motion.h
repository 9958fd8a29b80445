// The motion of a live aircraft between its traffic samples: what happens
// when a sample falls due (the next target, its timing and the per-tick
// steps), the per-tick integration of those steps, the ground retiming and
// the start of a take-off run. The per-tick update and the intake call in
// here; the configuration events they send are in engine/base/client_events.h.
#pragma once

#include "engine/base/engine.h"
#include "engine/base/live_ac.h"

namespace qvl {

// The front sample has fallen due: skips hovering samples, makes a
// continuation sample when fewer than two remain (removes the aircraft
// through removeAircraftFromSim when none can be made), sets the steps
// towards the next sample, retimes it and pops the front one. A parked
// aircraft whose departure was asked for while it still turns on its stand
// waits: its front sample stays due until the turn has ended. Logs what it
// throws with the flight and rethrows.
void nextPosMain(Engine& engine, LiveAc& ac);

// One tick along the steps: heading, position, attitude and altitude,
// rotation and climb-out, flare and de-rotation; the position stays
// normalised. Called on every tick of an active aircraft whose front sample
// is not stationary, after nextPosMain.
void integrateStep(Engine& engine, LiveAc& ac);

// One tick of a parked aircraft that stands still: it turns in place towards
// its stand's heading at its ground turn rate, the short way, and the last
// step ends on the stand heading. Called on every tick of an active aircraft
// whose front sample is stationary; while it turns, nextPosMain holds back a
// departure from the stand.
void turnOnStand(LiveAc& ac);

// The ground case of moving the next sample's due tick (and the ground
// steps that go with it).
void nextPosGround(Engine& engine, LiveAc& ac);

// The start of a take-off run: departing set, throttle, spoilers, flaps,
// lights and the retiming limits of a departure.
void startTakeOff(Engine& engine, LiveAc& ac);

}  // namespace qvl
