// The flights a stand learns while the park airport is loaded: each time a
// live aircraft parks or is seen parked, the engine records an option (a
// learned flight of the stand) and widens its half hours while the aircraft
// stays. Options are numbered by their ordinal.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "airports/loaded_park_airport.h"
#include "airports/stand.h"
#include "refdata/dbase.h"

namespace qvl {

// Half-hour slots, consumed from the back.
using SlotList = std::vector<std::uint32_t>;

struct NewStandOption {
    DbaseKey ids{.marker = 0};   // marker 0: look the registration up in the database
    std::uint64_t weekTime = 0;  // day and slot, as packDaySlot (core/time_text.h) packs them
    std::string_view callsign;
    std::string_view registration;
    bool cpl = false;
};

struct StandOptionResult {
    std::uint32_t number = 0;  // the option's ordinal; 0 when there is none
    bool added = false;        // false: the option was there already (or no registration)
};

// Adds an option for the flight at the week time's half hour, unless the
// registration is empty (number 0) or the stand has that registration on
// that day with exactly that half hour (its number, not added). Counts each
// added option in the park airport's learned updates. A slot of 48 or more
// throws std::out_of_range before anything changes.
StandOptionResult lf_addStandOption(std::vector<LearnedFlight>& options, const NewStandOption& option,
                                    LoadedParkAirport& park);

// Records a callsign (one trailing '_' dropped) in the option: as its first
// callsign when it has none, else as its second unless it is one of them.
void lf_setOptionCallsign(std::vector<LearnedFlight>& options, std::uint32_t number, std::string_view callsign);

// Sets the listed slots in the option, emptying the list. False when there is
// no such option, or when a slot is 48 or more (logged; slots set before it
// stay set).
bool updateOptions(std::vector<LearnedFlight>& options, SlotList& slots, std::uint32_t number);

// The same for a list that runs back past midnight: the slots up to 47 go to
// the previous day's option, those from 0 on to the current day's. The
// newest slot (the list's first) stays in the list. False for an empty list
// or a missing option.
bool updateOptionsWrapped(std::vector<LearnedFlight>& options, SlotList& slots, std::uint32_t previousDayNumber,
                          std::uint32_t currentDayNumber);

// n slots counting back from the week time's slot, 0 followed by 47.
SlotList lf_slotsBackFrom(std::uint64_t weekTime, std::int32_t n);

}  // namespace qvl
