#include "engine/parking/park_stand_handover.h"

#include <list>
#include <optional>

#include "core/current_park_airport.h"
#include "engine/base/engine.h"
#include "engine/parking/park_airports.h"

namespace qvl {

void publishParkStands(Engine& engine) {
    const std::optional<CurrentParkAirport> current = engine.parkAirport.current();
    if (!current || engine.stands.standList().empty()) {
        engine.state.userStandExchange.clearStands();
        return;
    }
    engine.state.userStandExchange.publish(current->code, engine.stands.standList());
}

void keepHandedOverUserStand(Engine& engine) {
    const std::optional<UserStandHandOver> handOver = engine.state.userStandExchange.takeHandOver();
    if (!handOver || handOver->stand.empty()) return;
    const std::optional<CurrentParkAirport> current = engine.parkAirport.current();
    // Named from stands that are no longer the park airport's: not for it.
    if (!current || !handOver->airport.isSet() || current->code != handOver->airport) return;
    std::list<ParkAirport>& list = engine.state.parking.parkAirports;
    if (list.empty() || list.front().icao != current->code) return;
    if (list.front().reservedStand == handOver->stand) return;
    list.front().reservedStand = handOver->stand;
    gf_addParkAirport(engine);
}

}  // namespace qvl
