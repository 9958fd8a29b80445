// How far a position is from the nearest stand of an airport, read from the
// airport's stand file without touching the park airport's stands. The
// closest-airport search asks it when two airports compete.
#pragma once

#include <string>

#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "core/run_state.h"

namespace qvl {

// The stand file "airport.xml" that an archived airport is fetched into, in
// the working folder; it is gone again when the call returns.
inline constexpr const char* kClosestStandTempFile = "airport.xml";

// Nautical miles from the position to the airport's nearest stand, with the
// stand's id in `standId`; 100.0 when no stand is found (`standId` is then
// left as it was). A close ends the download of an archived stand file.
double gf_readDestApfForClosestStand(const FixedCode4& icao, const GeoPosition& position, std::string& standId,
                                     const RunState& run);

}  // namespace qvl
