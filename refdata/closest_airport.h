// Which listed airport a position is at: the nearest within 5 nautical
// miles, or, when an airport that was nearest so far has been overtaken by a
// nearer one later in code order, the one of the two whose stand file has the
// nearer stand. Stand files are read a level above this one, so the caller
// hands in the stand question.
#pragma once

#include <functional>
#include <string>

#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "refdata/airports.h"

namespace qvl {

// Distance in nautical miles from the position to the nearest stand of the
// airport, with that stand's id in `standId`; 100.0 when no stand is known
// (the id is then left alone).
using NearestStandQuery =
    std::function<double(const FixedCode4& icao, const GeoPosition& position, std::string& standId)>;

// The airport of airportList() the position is at, or nullptr when none is
// within 5 nautical miles. The stand question is asked only when two
// airports compete.
const AirportRec* gf_closestAirport(const GeoPosition& position, const NearestStandQuery& nearestStand);

}  // namespace qvl
