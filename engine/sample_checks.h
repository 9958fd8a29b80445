// The checks a new sample passes, by the aircraft's ground phase, before it
// joins the aircraft's queue: a parked aircraft whose samples leave its
// stand starts to move (or is removed), a pushed-back one holds until its
// samples move away, a landing one drops samples behind it, and an aircraft
// the motion had carried on beyond its data returns to the feed.
#pragma once

#include "engine/base/live_ac.h"

namespace qvl {

struct Engine;

// True when the sample is to be queued; the check may mark it stationary or
// moving and may change the queued samples.
bool checkExtendingSituations(Engine& engine, LiveAc& ac, TrafficSample& sample);

// An airborne aircraft that the engine flies on past its data refuses a
// sample lying behind its path: turning back to it would look wrong.
bool behindContinuedPath(const LiveAc& ac, const TrafficSample& sample);

// The check while a flare or a touchdown is pending.
bool checkNewPosDuringLanding(Engine& engine, LiveAc& ac, TrafficSample& sample);

// The samples show the aircraft leaving its stand.
void lf_leaveStand(Engine& engine, LiveAc& ac, TrafficSample& sample);

// The stationary check against the last queued sample: true when the sample
// may be queued (it may be marked stationary, or replaced by a still copy
// of the last one).
bool lf_checkBirthSample(const LiveAc& ac, TrafficSample& sample);
// An airborne sample 100 degrees or more off the way the end of a flying
// aircraft's queue goes: the feed has started over from a point behind it
// (a replayed or restarted stream). Queued, it would turn the aircraft
// round to fly back. Never for rotorcraft, which may go any way.
bool startsOverBehind(const LiveAc& ac, const TrafficSample& sample);

}  // namespace qvl
