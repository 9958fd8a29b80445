#include "engine/base/first_park_airport.h"

namespace qvl {

void FirstParkAirportBoard::publish(std::optional<GeoPosition> position) {
    std::lock_guard lock(mutex_);
    position_ = position;
}

std::optional<GeoPosition> FirstParkAirportBoard::position() const {
    std::lock_guard lock(mutex_);
    return position_;
}

}  // namespace qvl
