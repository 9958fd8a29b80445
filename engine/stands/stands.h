// Stand lookups for live aircraft and the learning of which flight stood on
// which stand and when, through the park airport's stand service.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/geodesy.h"
#include "engine/base/engine.h"
#include "engine/base/live_ac.h"

namespace qvl {

// Why a stand option is recorded.
enum class StandLearning : std::int32_t {
    arrival = 0,      // the aircraft arrived at the stand
    birth = 1,        // it was born on the stand
    leaving = 2,      // it leaves the stand (seen while parked)
    removedAway = 3,  // it was removed away from the stand (seen while parked)
};

// Half hours from `from` to `now`, counted back from now over the week's
// 336 slots, so Sunday evening to Monday morning is a few half hours.
std::int32_t halfHoursSince(WeekTime from, WeekTime now) noexcept;
// Day 1..7 and slot 0..47.
bool isValidWeekTime(WeekTime time) noexcept;

// The name of the stand within 55 m of the position (the first of equals),
// empty when none is or the user's ground state has not arrived yet.
std::string gf_standNameAtPosition(Engine& engine, StandNameCache& cache, GeoPosition position, bool userGroundKnown);

// The nearest stand that fits the aircraft within the radius; a stand too
// small but within 20 m is taken all the same and learns the aircraft's size.
// With `wide`, a stand within 85 m where this flight was seen before is the
// fallback. Helipads go to Rotorcraft only, and Rotorcraft to helipads only;
// nullptr when no stand is found.
const Stand* gf_findStandNear(Engine& engine, GeoPosition position, const LiveAc& ac, double radiusNm, bool wide);

// The park airport's reserved stand, which no aircraft may take.
bool isReservedStand(const Engine& engine, const Stand& stand);
// The stand lies under the user aircraft, which may take or leave it.
bool standUnderUser(Engine& engine, const Stand& stand);

// Records the flight as a real option of the stand for the current half
// hour (extending its latest option when it stood there recently). Nothing
// happens without a known registration or a valid week time.
void lf_addRealStandOption(Engine& engine, std::uint32_t standNumber, FlightRec& flight, StandLearning mode);

// A cargo aircraft on a stand still marked for cargo takes the mark off:
// the stand file keeps the change and the window shows one more update.
void updateCargoStandDisplay(Engine& engine, const LiveAc& ac);

// Copies the callsign parts of the flight's learned option near now into the
// flight's second and third texts.
void gf_findLearnedStand(Engine& engine, WeekTime now, LiveAc& ac);

// Whether the stand holds a learned flight of this aircraft within the last
// `windowHalfHours` half hours (reaching into the previous day).
bool lf_standHasFlightNow(Engine& engine, WeekTime now, std::uint32_t standNumber, const FlightRec& flight,
                          std::int32_t windowHalfHours);

}  // namespace qvl
