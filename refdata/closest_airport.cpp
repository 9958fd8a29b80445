#include "refdata/closest_airport.h"

#include <fmt/format.h>

#include "core/log.h"
#include "platform/units.h"

namespace qvl {

namespace {

constexpr double kReachNm = 5.0;
constexpr double kNoStandNm = 100.0;

struct Contenders {
    const AirportRec* closest = nullptr;
    // The airport that was closest before a nearer one came later in code
    // order; only that one is compared by stands.
    const AirportRec* neighbour = nullptr;
};

Contenders findContenders(const GeoPosition& position) {
    Contenders found;
    double best = kNoStandNm;
    for (const AirportRec& airport : airportList()) {
        const double distance = gf_distanceNm(position, {.latitude = airport.latitude, .longitude = airport.longitude});
        if (distance <= kReachNm && distance < best) {
            if (found.closest != nullptr) found.neighbour = found.closest;
            found.closest = &airport;
            best = distance;
        }
    }
    return found;
}

double standDistance(const NearestStandQuery& nearestStand, const AirportRec& airport, const GeoPosition& position,
                     std::string& standId) {
    if (!nearestStand) return kNoStandNm;
    return nearestStand(airport.icao, position, standId);
}

}  // namespace

const AirportRec* gf_closestAirport(const GeoPosition& position, const NearestStandQuery& nearestStand) {
    const Contenders found = findContenders(position);
    if (found.closest == nullptr || found.neighbour == nullptr) return found.closest;

    const auto closestCode = gf_fixedCodeView(found.closest->icao);
    const auto neighbourCode = gf_fixedCodeView(found.neighbour->icao);
    gf_log(fmt::format("Airport {} is closest, neighbour is {}", closestCode, neighbourCode));
    std::string closestStand;
    std::string neighbourStand;
    const double closestDistance = standDistance(nearestStand, *found.closest, position, closestStand);
    const double neighbourDistance = standDistance(nearestStand, *found.neighbour, position, neighbourStand);
    if (neighbourDistance < closestDistance) {
        gf_log(
            fmt::format("Airport {} is closest, but stand {} at neighbouring airport {} is closer at {:.0F} meters ...",
                        closestCode, neighbourStand, neighbourCode, neighbourDistance * kMetresPerNm));
        return found.neighbour;
    }
    return found.closest;
}

}  // namespace qvl
