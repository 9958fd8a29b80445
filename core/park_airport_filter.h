// What the traffic filters know of the park airport: its reference
// elevation (set when its stand file has been loaded, cleared when the park
// airport is left) and its position and elevation (set while a park airport
// is current). The run thread and the stand files write them, the traffic
// reader reads them for every line, so each reads and writes in one piece.
// They live in core because the stand files, below the feed, set them.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>

#include "core/geodesy.h"

namespace qvl {

struct FilterParkAirport {
    GeoPosition position;
    std::int32_t elevationFeet = 0;
};

// One object per program, owned with the run's state and passed by
// reference to the traffic reader (reads) and the stand files (write).
class ParkAirportFilter {
public:
    // A non-finite elevation leaves it unset.
    void setReferenceElevation(double feet) noexcept;
    void clearReferenceElevation() noexcept;
    // Empty while no reference elevation is set.
    [[nodiscard]] std::optional<double> referenceElevation() const noexcept;

    void setParkAirport(const GeoPosition& position, std::int32_t elevationFeet);
    void clearParkAirport();
    // Empty while no park airport is current.
    [[nodiscard]] std::optional<FilterParkAirport> parkAirport() const;

    // Neither set.
    void reset();

private:
    // NaN stands for "not set", so value and flag change in one store.
    std::atomic<double> referenceElevationFeet_{std::numeric_limits<double>::quiet_NaN()};
    mutable std::mutex mutex_;  // leaf lock: guards parkAirport_
    std::optional<FilterParkAirport> parkAirport_;
};

}  // namespace qvl
