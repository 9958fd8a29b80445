#include "engine/parking/first_park_airport.h"

#include "engine/engine.h"

namespace qvl {

void FirstParkAirportBoard::publish(std::optional<GeoPosition> position) {
    std::lock_guard lock(mutex_);
    position_ = position;
}

std::optional<GeoPosition> FirstParkAirportBoard::position() const {
    std::lock_guard lock(mutex_);
    return position_;
}

void publishFirstParkAirport(Engine& engine) {
    const auto& list = engine.state.parking.parkAirports;
    engine.state.firstParkAirport.publish(list.empty() ? std::nullopt : std::optional(list.front().position));
}

}  // namespace qvl
