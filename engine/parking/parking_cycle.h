// The parking cycle: the first filling of the park airport once its stands
// are loaded, the adjustment every 20 minutes or on request, and leaving the
// park airport. The number of static aircraft wanted is the park limit's
// (engine/conflicts/park_limit.h).
#pragma once

#include <cstdint>

#include "engine/base/live_ac.h"

namespace qvl {

struct Engine;

// Called with true when the main loop starts and with false from the
// 16-second step: loads a chosen park airport and fills it, or chooses,
// keeps or leaves the park airport.
void gf_updateStaticParking(Engine& engine, bool first);
// Every second: the park airport that the answer to the ground question
// chooses is taken at once and its files' read begins, not a 16-second
// step later.
void takeParkAirportAnswer(Engine& engine);
// The first filling after the stands are loaded.
void lf_selectParkPositions(Engine& engine);
// The adjustment: static aircraft that no longer fit go, departing flights
// are replaced, the stands are filled up to the wanted count.
void lf_adjustParking(Engine& engine);
// The callsigns the traffic reader collected become the live callsigns.
void lf_takeOverLiveCallsigns(Engine& engine);
// Leaves the park airport: every static aircraft goes, live aircraft on
// the ground there go, the learned file is saved.
void gf_leaveParkAirport(Engine& engine);
// Saves what was learned and forgets the park airport.
void lf_resetParkAirport(Engine& engine);
// Logs the traffic time with its day of the week and half hour.
void lf_logWeekTime(Engine& engine, WeekTime now);

}  // namespace qvl
