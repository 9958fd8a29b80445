#include "engine/flight_plans.h"

#include <system_error>

namespace qvl {

FlightRules flightRulesOf(AircraftCategory category) noexcept {
    switch (category) {
        case AircraftCategory::Buzjets:
        case AircraftCategory::Large:
        case AircraftCategory::Heavy: return FlightRules::ifr;
        default: return FlightRules::vfr;
    }
}

bool FolderFlightPlans::write(std::uint32_t objectId, const FlightRec& flight) {
    return lf_writeFlightPlan(path(objectId), {.rules = flightRulesOf(flight.category),
                                               .origin = flight.origin.view(),
                                               .destination = flight.destination.view()});
}

std::filesystem::path FolderFlightPlans::path(std::uint32_t objectId) { return lf_flightPlanPath(folder_, objectId); }

Result<void, FlightPlanError> FolderFlightPlans::remove(std::uint32_t objectId) {
    std::error_code ec;
    std::filesystem::remove(path(objectId), ec);
    if (ec) return fail(FlightPlanError::notRemoved, ec.message());
    return {};
}

}  // namespace qvl
