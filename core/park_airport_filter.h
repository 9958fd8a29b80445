// What the traffic filters know of the park airport: its reference
// elevation (set when its stand file has been loaded, cleared when the park
// airport is left) and its position and elevation (set while a park airport
// is current). The run thread and the stand files write them, the traffic
// reader reads them for every line, so each reads and writes in one piece.
// They live in core because the stand files, below the feed, set them.
#pragma once

#include <cstdint>
#include <optional>

#include "core/geodesy.h"

namespace qvl {

void setReferenceElevation(double feet);
void clearReferenceElevation();
// Empty while no reference elevation is set.
std::optional<double> referenceElevation();

struct FilterParkAirport {
    GeoPosition position;
    std::int32_t elevationFeet = 0;
};
void setFilterParkAirport(const GeoPosition& position, std::int32_t elevationFeet);
void clearFilterParkAirport();
// Empty while no park airport is current.
std::optional<FilterParkAirport> filterParkAirport();

}  // namespace qvl
