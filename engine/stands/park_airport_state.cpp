#include "engine/stands/park_airport_state.h"

namespace qvl {

void ParkAirportState::set(const CurrentParkAirport& airport) {
    std::lock_guard lock(mutex_);
    airport_ = airport;
}

void ParkAirportState::clear() {
    {
        std::lock_guard lock(mutex_);
        airport_.reset();
    }
    standsLoaded_.store(false);
}

std::optional<CurrentParkAirport> ParkAirportState::current() const {
    std::lock_guard lock(mutex_);
    return airport_;
}

}  // namespace qvl
