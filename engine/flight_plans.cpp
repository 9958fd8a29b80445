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
    : folder_(folder), writer_(files), remover_(std::move(files)) {}

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
        if (done.kind == FileJobKind::task) {
            if (done.error) gf_log(fmt::format("gf_removeFlightPlanFolder: {}", done.error.message()));
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
    logRemovalErrors();
    return written;
}

bool FolderFlightPlans::drain(std::chrono::milliseconds bound) { return writer_.drain(bound); }

FolderFlightPlans::~FolderFlightPlans() {
    // A removal under way stops after its entry: the next start goes on
    // with what is left.
    stop_.request_stop();
    remover_.close(std::chrono::milliseconds{0});
}

void FolderFlightPlans::startRun() {
    const std::filesystem::path planFolder = folder_.path();
    if (planFolder.empty()) return;
    // Whatever the folder still holds could not be moved aside with the
    // earlier run's folder. It goes before this run's first plan, which may
    // have the same name.
    writer_.perform(planFolder, [planFolder, stop = stop_.get_token()](FileLayer& layer) {
        return removeFolderContents(planFolder, layer, stop);
    });
    removeEndedPlans();
}

void FolderFlightPlans::endRun() {
    // Not worked off: hundreds of plans may wait, each an operation on a
    // disk that may be slow, for a folder that goes anyway. Only a job under
    // way is waited for, briefly.
    writer_.close(std::chrono::milliseconds{0});
    // The run's aircraft are gone with it: only a failure is still news.
    static_cast<void>(takeWritten());
    latestWrite_.clear();
    writes_.clear();
    static_cast<void>(gf_removeFlightPlanFolder(folder_));
    removeEndedPlans();
}

bool FolderFlightPlans::drainRemovals(std::chrono::milliseconds bound) { return remover_.drain(bound); }

void FolderFlightPlans::removeEndedPlans() {
    const std::filesystem::path planFolder = folder_.path();
    if (planFolder.empty()) return;
    const std::filesystem::path ended = endedPlansFolder(planFolder);
    remover_.perform(ended, [ended, stop = stop_.get_token()](FileLayer& layer) {
        return qvl::removeEndedPlans(ended, layer, stop);
    });
}

void FolderFlightPlans::logRemovalErrors() {
    for (const FileJobDone& done : remover_.takeDone()) {
        if (done.error) gf_log(fmt::format("gf_removeFlightPlanFolder: {}", done.error.message()));
    }
}

}  // namespace qvl
