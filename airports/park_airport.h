// Loading the park airport: its stand file into the stand list, its learned
// file on top, the stands' neighbours and the airport's quality factors, the
// parking settings adjusted to it; and the user's settings put back when the
// airport is left.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "airports/loaded_park_airport.h"
#include "airports/stand.h"
#include "core/current_park_airport.h"
#include "core/fixed_code.h"
#include "core/range_control.h"
#include "core/result.h"
#include "core/run_state.h"
#include "core/status.h"

namespace qvl {

inline constexpr std::string_view kNoStandsFound = "no stands found";

struct ApfLoadRequest {
    std::string pathText;  // as gf_apfPathFor gave it
    FixedCode4 icao;       // the park airport
};

// What the load sets beyond the park airport's own state.
struct ParkAirportLinks {
    // Whether its stands are loaded, and the traffic filter's reference elevation.
    CurrentParkAirportState& parkAirport;
    RangeControl& range;  // the automatic radius, for a learned file's settings
    // The parking settings the load adjusts, and "Flush static" once stands are loaded.
    Status& status;
    // A close ends the download of an archived stand file.
    const RunState& run;
};

// Why the park airport's stands are not loaded.
enum class ApfLoadError : std::uint8_t {
    notFound,  // the airport has no stand file
    noStands,  // the file was read but gave no stand
    failed,    // the file could not be used; the stand list is empty
};

// Done, or the error with the text the user reads beside it: kNoStandsFound
// without stands, otherwise the error ("65: Parameter altitude not found",
// "gf_readApf: ...").
using ApfLoadResult = Result<void, ApfLoadError>;

// Loads the park airport's stands.
ApfLoadResult gf_readApf(const ApfLoadRequest& request, LoadedParkAirport& park, const ParkAirportLinks& links);

// Puts back the parking settings the user had before the park airport was
// loaded, saving each one that changes and reporting it. Nothing when none
// was loaded.
void gf_applyApfSettings(const LoadedParkAirport& park, Status& status);

QualityFactors gf_computeQualityFactors(const std::vector<Stand>& stands);
// "  " when undetermined, " 8/40" below 45, "63" from 45 on.
std::string gf_qualityFactorText(const QualityFactors& factors);

// Numbers the stands 1, 2, 3 ... in list order and lists each stand's
// overlapping neighbours (distance x 1.1 below the sum of the radii).
void numberStands(std::vector<Stand>& stands);
void linkNeighbours(std::vector<Stand>& stands);

// True when the stand file names its publisher, or a usable manufacturer or
// creator.
bool lf_readApfPublisherInfo(const std::filesystem::path& apfFile);
// The creator that the simulator's own airports carry.
bool lf_isKnownCreator(std::string_view text);

}  // namespace qvl
