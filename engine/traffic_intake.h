// Traffic intake: a record taken from the traffic queue becomes a further
// sample of the live aircraft with its hex id, or a new live aircraft in
// "buffer" and phase "birth". Each sample carries its due tick and is flown
// when the tick counter reaches it.
#pragma once

#include "engine/base/live_ac.h"

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
}  // namespace qvl
