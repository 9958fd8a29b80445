// Learned files: what the program has seen at an airport, in the stand-file
// format (learned mode), under airports/learned. Read on top of the stands
// that the airport's own stand file gave: flights learned at its stands,
// radii and cargo marks the engine had to change, stands the user made by
// hand, and the parking settings in force there. A handmade learned file
// replaces the stand file's stands altogether.
#pragma once

#include <pugixml.hpp>

#include <filesystem>
#include <string_view>

#include "airports/loaded_park_airport.h"
#include "airports/stand.h"
#include "core/range_control.h"
#include "core/status.h"
#include "core/version.h"

namespace qvl {

// Learned files written before this version keep their settings, manual
// stands and changes, but not their flights.
inline constexpr VersionRecord kLearnedFlightsSince{.major = 11, .minor = 10, .patch = 0};

// Reads the learned file into the park airport's stands and the settings,
// reporting each setting it changes to the status. Every problem is logged;
// what was applied before it stays.
void lf_readLearned(const std::filesystem::path& learnedPath, LoadedParkAirport& park, RangeControl& range,
                    Status& status);

// One parkpos of a learned file, for the stand it belongs to.
struct LearnedStandEntry {
    std::string_view id;
    pugi::xml_node parkpos;
    bool oldVersion = false;  // the file is older than kLearnedFlightsSince
};

// False when the stand is not the parkpos's; otherwise merges the parkpos's
// changes and new flights into the stand and answers true.
bool lf_mergeLearnedFlights(const LearnedStandEntry& entry, Stand& stand);

}  // namespace qvl
