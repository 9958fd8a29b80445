#include "core/park_airport_filter.h"

#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>

namespace qvl {
namespace {

// NaN stands for "not set", so value and flag change in one store.
std::atomic<double>& elevationSlot() {
    static std::atomic<double> feet{std::numeric_limits<double>::quiet_NaN()};
    return feet;
}

struct ParkAirportSlot {
    // Leaf lock: guards airport.
    std::mutex mutex;
    std::optional<FilterParkAirport> airport;
};

ParkAirportSlot& parkAirport() {
    // Never destroyed: a detached reader thread may still read it while the process ends.
    static ParkAirportSlot& slot = *new ParkAirportSlot;
    return slot;
}

}  // namespace

void setReferenceElevation(double feet) {
    // A non-finite elevation would silently disable the ground rule; keep it unset instead.
    elevationSlot().store(std::isfinite(feet) ? feet : std::numeric_limits<double>::quiet_NaN());
}

void clearReferenceElevation() { elevationSlot().store(std::numeric_limits<double>::quiet_NaN()); }

std::optional<double> referenceElevation() {
    const double feet = elevationSlot().load();
    if (std::isnan(feet)) return std::nullopt;
    return feet;
}

void setFilterParkAirport(const GeoPosition& position, std::int32_t elevationFeet) {
    std::lock_guard lock(parkAirport().mutex);
    parkAirport().airport = FilterParkAirport{position, elevationFeet};
}

void clearFilterParkAirport() {
    std::lock_guard lock(parkAirport().mutex);
    parkAirport().airport.reset();
}

std::optional<FilterParkAirport> filterParkAirport() {
    std::lock_guard lock(parkAirport().mutex);
    return parkAirport().airport;
}

}  // namespace qvl
