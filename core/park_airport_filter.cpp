#include "core/park_airport_filter.h"

#include <cmath>

namespace qvl {

void ParkAirportFilter::setReferenceElevation(double feet) noexcept {
    // A non-finite elevation would silently disable the ground rule; keep it unset instead.
    referenceElevationFeet_.store(std::isfinite(feet) ? feet : std::numeric_limits<double>::quiet_NaN());
}

void ParkAirportFilter::clearReferenceElevation() noexcept {
    referenceElevationFeet_.store(std::numeric_limits<double>::quiet_NaN());
}

std::optional<double> ParkAirportFilter::referenceElevation() const noexcept {
    const double feet = referenceElevationFeet_.load();
    if (std::isnan(feet)) return std::nullopt;
    return feet;
}

void ParkAirportFilter::setParkAirport(const GeoPosition& position, std::int32_t elevationFeet) {
    std::lock_guard lock(mutex_);
    parkAirport_ = FilterParkAirport{.position = position, .elevationFeet = elevationFeet};
}

void ParkAirportFilter::clearParkAirport() {
    std::lock_guard lock(mutex_);
    parkAirport_.reset();
}

std::optional<FilterParkAirport> ParkAirportFilter::parkAirport() const {
    std::lock_guard lock(mutex_);
    return parkAirport_;
}

void ParkAirportFilter::reset() {
    clearReferenceElevation();
    clearParkAirport();
}

}  // namespace qvl
