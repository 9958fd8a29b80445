// Traffic intake: a record taken from the traffic queue becomes a further
// sample of the live aircraft with its hex id, or a new live aircraft in
// "buffer" and phase "birth". Each sample carries its due tick and is flown
// when the tick counter reaches it.
#pragma once

#include "engine/live_ac.h"

namespace qvl {

struct Engine;

// Intake of one record, dropping repeats, speed jumps, records too close
// behind the last one and aircraft that would be born just over the park
// airport's runway. A record that an aircraft on its way out cannot take is
// kept for takeInReturningTraffic.
void lf_acceptTrafficSample(Engine& engine, TrafficRecord& record);
// The kept records of flights whose old aircraft has gone, taken in as a
// new flight; kept ones that have fallen due, or whose aircraft the feed
// took back, are dropped.
void takeInReturningTraffic(Engine& engine);
// A new flight: its identity completed from the registration database; an
// unknown model is not taken.
void lf_admitNewTraffic(Engine& engine, TrafficRecord& record);
// Appends the new live aircraft, unless its category is switched off or it
// is just above the park airport.
void lf_createLiveAc(Engine& engine, TrafficRecord& record);
// Appends a sample to an aircraft that exists; removes it when more than 200
// are queued or when a hold ends. Logs and rethrows what it throws.
void decodeExisting(Engine& engine, LiveAc& ac, TrafficSample sample);
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
