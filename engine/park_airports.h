// The park airports (the user's list and the one current now) and the static
// parking at the current one, as the run's steps call them.
#pragma once

#include <string>

namespace qvl {

struct Engine;

// my_park_airports.txt, read at the start of a run.
void lf_readMyParkAirports(Engine& engine);
// The stand the current park airport keeps free, cleared of aircraft.
void clearParkReservedStand(Engine& engine);
// True with a text for the message line when the current park airport
// changed.
bool gf_checkParkAirports(Engine& engine, std::string& text);
void gf_updateStaticParking(Engine& engine, bool initialPass);
void lf_adjustParking(Engine& engine);
void gf_leaveParkAirport(Engine& engine);

}  // namespace qvl
