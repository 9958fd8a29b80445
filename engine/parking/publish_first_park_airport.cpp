#include "engine/parking/publish_first_park_airport.h"

#include <optional>

#include "engine/base/engine.h"

namespace qvl {

void publishFirstParkAirport(Engine& engine) {
    const auto& list = engine.state.parking.parkAirports;
    engine.state.firstParkAirport.publish(list.empty() ? std::nullopt : std::optional(list.front().position));
}

}  // namespace qvl
