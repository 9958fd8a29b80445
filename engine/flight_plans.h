// The engine's flight plans as files in the run's flight-plan folder: one
// "<object id>.pln" per created aircraft, written when it is created and
// deleted when the simulator reports it removed. The files are written and
// deleted by a writer of their own, so that the loop never waits on the disk.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/file_writer.h"
#include "engine/base/engine.h"
#include "simlink/flight_plan.h"

namespace qvl {

// Called on the run thread only.
class FolderFlightPlans final : public FlightPlanService {
public:
    // The folder object is the run's; it must outlive this service. The
    // file layer is what the writer writes and deletes through.
    FolderFlightPlans(const FlightPlanFolder& folder, std::shared_ptr<FileLayer> files);

    void write(std::uint32_t objectId, const FlightRec& flight) override;
    std::filesystem::path path(std::uint32_t objectId) override;
    void remove(std::uint32_t objectId) override;
    [[nodiscard]] std::vector<FlightPlanWritten> takeWritten() override;

    // Waits at most `bound` until every file job handed over is done; true
    // when they are. Their outcomes stay for takeWritten().
    bool drain(std::chrono::milliseconds bound);
    // The end of a run: the writer works off its jobs for at most `bound`
    // and ends; what waits for an outcome is forgotten.
    bool endRun(std::chrono::milliseconds bound);

private:
    const FlightPlanFolder& folder_;
    FileWriter writer_;
    // The ticket of each object's latest write still waiting, and back.
    std::unordered_map<std::uint32_t, std::uint64_t> latestWrite_;
    std::map<std::uint64_t, std::uint32_t> writes_;
};

// Jets and airliners fly IFR; light aircraft, fast military and rotorcraft VFR.
FlightRules flightRulesOf(AircraftCategory category) noexcept;

}  // namespace qvl
