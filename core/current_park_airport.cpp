#include "core/current_park_airport.h"

#include <cmath>

namespace qvl {

void CurrentParkAirportState::set(const CurrentParkAirport& airport) {
    std::lock_guard lock(mutex_);
    airport_ = airport;
}

void CurrentParkAirportState::clear() {
    {
        std::lock_guard lock(mutex_);
        airport_.reset();
    }
    standsLoaded_.store(false);
}

std::optional<CurrentParkAirport> CurrentParkAirportState::current() const {
    std::lock_guard lock(mutex_);
    return airport_;
}

void CurrentParkAirportState::setReferenceElevation(double feet) noexcept {
    // A non-finite elevation would silently disable the ground rule; keep it unset instead.
    referenceElevationFeet_.store(std::isfinite(feet) ? feet : std::numeric_limits<double>::quiet_NaN());
}

void CurrentParkAirportState::clearReferenceElevation() noexcept {
    referenceElevationFeet_.store(std::numeric_limits<double>::quiet_NaN());
}

std::optional<double> CurrentParkAirportState::referenceElevation() const noexcept {
    const double feet = referenceElevationFeet_.load();
    if (std::isnan(feet)) return std::nullopt;
    return feet;
}

void CurrentParkAirportState::reset() {
    clearReferenceElevation();
    clear();
}

}  // namespace qvl
