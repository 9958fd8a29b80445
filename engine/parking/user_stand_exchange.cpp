#include "engine/parking/user_stand_exchange.h"

#include <list>
#include <utility>

#include "core/current_park_airport.h"
#include "engine/engine.h"
#include "engine/parking/park_airports.h"
#include "engine/parking/parking_state.h"
#include "engine/stands/stands.h"

namespace qvl {
namespace {

// As the engine's own search: the first stand wins among equals.
constexpr double kSearchStartNm = 900.0;

}  // namespace

std::string nearestStandName(const ParkStandPlaces& places, GeoPosition position) {
    const NamedStandPosition* nearest = nullptr;
    double nearestNm = kSearchStartNm;
    for (const NamedStandPosition& place : places.stands) {
        const double distance = gf_distanceNm(position, place.position);
        if (distance < nearestNm) {
            nearestNm = distance;
            nearest = &place;
        }
    }
    if (nearest == nullptr || nearestNm > kStandSearchWideNm) return {};
    return nearest->id;
}

void UserStandExchange::publish(const FixedCode4& airport, const std::vector<Stand>& stands) {
    auto places = std::make_shared<ParkStandPlaces>();
    places->airport = airport;
    places->stands.reserve(stands.size());
    for (const Stand& stand : stands) {
        places->stands.push_back(
            {.id = stand.id, .position = {.latitude = stand.latitude, .longitude = stand.longitude}});
    }
    // The swapped-out publication is freed after the lock is released.
    std::shared_ptr<const ParkStandPlaces> published = std::move(places);
    std::lock_guard lock(mutex_);
    places_.swap(published);
}

void UserStandExchange::clearStands() {
    std::shared_ptr<const ParkStandPlaces> none = std::make_shared<const ParkStandPlaces>();
    std::lock_guard lock(mutex_);
    places_.swap(none);
}

std::optional<UserStandHandOver> UserStandExchange::takeHandOver() {
    std::lock_guard lock(mutex_);
    return std::exchange(handOver_, std::nullopt);
}

void UserStandExchange::reset() {
    clearStands();
    std::lock_guard lock(mutex_);
    handOver_.reset();
}

std::shared_ptr<const ParkStandPlaces> UserStandExchange::places() const {
    std::lock_guard lock(mutex_);
    return places_;
}

std::string UserStandExchange::standNameAt(GeoPosition position) const { return nearestStandName(*places(), position); }

void UserStandExchange::handOverUserStand(const std::string& stand) {
    std::lock_guard lock(mutex_);
    handOver_ = UserStandHandOver{.airport = places_->airport, .stand = stand};
}

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
