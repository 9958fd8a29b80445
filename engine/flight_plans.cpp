#include "engine/flight_plans.h"

#include <fmt/format.h>

#include <utility>

#include "core/log.h"
#include "core/text_file.h"

namespace qvl {

FlightRules flightRulesOf(AircraftCategory category) noexcept {
    switch (category) {
        case AircraftCategory::Buzjets:
        case AircraftCategory::Large:
        case AircraftCategory::Heavy: return FlightRules::ifr;
        default: return FlightRules::vfr;
    }
}

FolderFlightPlans::FolderFlightPlans(const FlightPlanFolder& folder, std::shared_ptr<FileLayer> files)
    : folder_(folder), writer_(std::move(files)) {}

void FolderFlightPlans::write(std::uint32_t objectId, const FlightRec& flight) {
    const std::uint64_t ticket =
        writer_.write(path(objectId), flightPlanText({.rules = flightRulesOf(flight.category),
                                                      .origin = flight.origin.view(),
                                                      .destination = flight.destination.view()}));
    if (const auto it = latestWrite_.find(objectId); it != latestWrite_.end()) writes_.erase(it->second);
    latestWrite_[objectId] = ticket;
    writes_[ticket] = objectId;
}

std::filesystem::path FolderFlightPlans::path(std::uint32_t objectId) { return lf_flightPlanPath(folder_, objectId); }

void FolderFlightPlans::remove(std::uint32_t objectId) {
    if (const auto it = latestWrite_.find(objectId); it != latestWrite_.end()) {
        writes_.erase(it->second);
        latestWrite_.erase(it);
    }
    writer_.remove(path(objectId));
}

std::vector<FlightPlanWritten> FolderFlightPlans::takeWritten() {
    std::vector<FlightPlanWritten> written;
    for (FileJobDone& done : writer_.takeDone()) {
        if (done.kind == FileJobKind::remove) {
            if (done.error) gf_log(fmt::format("gf_removeFlightPlan: {}", done.error.message()));
            continue;
        }
        if (done.error) {
            gf_logAttention(fmt::format("lf_writeFlightPlan: {} {}", gf_pathToUtf8(done.file), done.error.message()));
        }
        const auto it = writes_.find(done.ticket);
        // Replaced by a later write, or deleted since: not this plan's news.
        if (it == writes_.end()) continue;
        latestWrite_.erase(it->second);
        written.push_back({.objectId = it->second, .written = !done.error});
        writes_.erase(it);
    }
    return written;
}

bool FolderFlightPlans::drain(std::chrono::milliseconds bound) { return writer_.drain(bound); }

bool FolderFlightPlans::endRun(std::chrono::milliseconds bound) {
    const bool drained = writer_.close(bound);
    // The run's aircraft are gone with it: only a failure is still news.
    static_cast<void>(takeWritten());
    latestWrite_.clear();
    writes_.clear();
    return drained;
}

}  // namespace qvl
