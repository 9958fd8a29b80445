// The engine's flight plans as files in the run's flight-plan folder: one
// "<object id>.pln" per created aircraft, written when it is created and
// deleted when the simulator reports it removed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/base/engine.h"
#include "simlink/flight_plan.h"

namespace qvl {

class FolderFlightPlans final : public FlightPlanService {
public:
    // The folder object is the run's; it must outlive this service.
    explicit FolderFlightPlans(const FlightPlanFolder& folder) : folder_(folder) {}

    bool write(std::uint32_t objectId, const FlightRec& flight) override;
    std::filesystem::path path(std::uint32_t objectId) override;
    Result<void, FlightPlanError> remove(std::uint32_t objectId) override;

private:
    const FlightPlanFolder& folder_;
};

// Jets and airliners fly IFR; light aircraft, fast military and rotorcraft VFR.
FlightRules flightRulesOf(AircraftCategory category) noexcept;

}  // namespace qvl
