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
#include <stop_token>
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

    // The start of a run, once its folder is in place: what earlier runs
    // left is removed away from the loop. Plans still in the folder itself
    // (it could not be moved aside) go on the plans' writer, before this
    // run's first plan; the folder of ended plans on a thread of its own.
    void startRun();
    // The end of a run, which waits for no plan: the plan jobs still waiting
    // are dropped (their folder goes, and the aircraft with the run), the
    // folder is moved aside in one rename and its removal goes on the thread
    // of its own. What that has not removed when the program ends, the next
    // start removes.
    void endRun();
    // Waits at most `bound` until the removals handed over are done; true
    // when they are.
    bool drainRemovals(std::chrono::milliseconds bound);

    ~FolderFlightPlans() override;
    FolderFlightPlans(const FolderFlightPlans&) = delete;
    FolderFlightPlans& operator=(const FolderFlightPlans&) = delete;

private:
    void removeEndedPlans();
    void logRemovalErrors();

    const FlightPlanFolder& folder_;
    FileWriter writer_;
    // Removes what ended runs left; ends, between two entries, with the
    // program.
    FileWriter remover_;
    // Ends a removal (on either writer) between two entries.
    std::stop_source stop_;
    // The ticket of each object's latest write still waiting, and back.
    std::unordered_map<std::uint32_t, std::uint64_t> latestWrite_;
    std::map<std::uint64_t, std::uint32_t> writes_;
};

// Jets and airliners fly IFR; light aircraft, fast military and rotorcraft VFR.
FlightRules flightRulesOf(AircraftCategory category) noexcept;

}  // namespace qvl
