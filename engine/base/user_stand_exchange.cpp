#include "engine/base/user_stand_exchange.h"

#include <utility>

#include "engine/base/engine_math.h"

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

}  // namespace qvl
