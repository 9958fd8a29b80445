#include "simlink/sim_queues.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <utility>

#include "core/log.h"
#include "core/messages.h"
#include "core/run_state.h"
#include "core/strings.h"
#include "core/time_text.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_state.h"

namespace qvl {
namespace {

constexpr std::size_t kQueueRoom = 256;
constexpr std::int32_t kRequestErrorDelaySeconds = 9;

constexpr std::uint32_t lightValue(bool on) { return on ? 1u : 0u; }

void appendEvent(SimQueues& queues, std::uint32_t objectId, SimEventId eventId, std::uint32_t data) {
    const EventCommand event{.objectId = objectId, .eventId = eventId, .data = data};
    queues.pushEvents({&event, 1});
}

// Takes the first entry that matches; the last entry takes its place.
template <class T, class Match>
std::optional<T> takeFirst(std::vector<T>& list, Match match) {
    const auto it = std::find_if(list.begin(), list.end(), match);
    if (it == list.end()) return std::nullopt;
    T taken = std::move(*it);
    if (it != list.end() - 1) *it = std::move(list.back());
    list.pop_back();
    return taken;
}

void sendPositions(sim::SimConnection& handle, std::span<const PositionCommand> positions, std::uint32_t userObjectId) {
    for (const PositionCommand& p : positions) {
        // 0: the simulator has not reported the object yet.
        if (p.objectId <= userObjectId) continue;
        (void)handle.setDataOnSimObject(defAiPosition, p.objectId, 0, 0, kAiPositionBlockSize, &p);
    }
}

void sendEvents(sim::SimConnection& handle, std::span<const EventCommand> events) {
    for (const EventCommand& e : events) {
        // Flaps move only on an aircraft released from the simulator's AI.
        const bool flaps = e.eventId == evFlapsSet;
        if (flaps) (void)handle.aiReleaseControl(e.objectId, reqReleaseControl);
        const sim::HResult hr = handle.transmitClientEvent(e.objectId, e.eventId, e.data, kSimNotificationGroup, 0);
        if (sim::failed(hr)) {
            gf_showMessage(fmt::format("SimConnect TransmitClientEvent: {} fails", e.eventId), MessageLogging::logged);
        } else if (flaps) {
            (void)handle.aiReleaseControl(e.objectId, reqReleaseControl);
        }
    }
}

}  // namespace

void SimQueues::reserve() {
    {
        std::lock_guard lock(simQueueMutex_);
        for (auto& batch : positionBatches_) batch.reserve(kQueueRoom);
        events_.reserve(kQueueRoom);
        creations_.reserve(kQueueRoom);
        removals_.reserve(kQueueRoom);
    }
    std::lock_guard lock(listMutex_);
    pending_.reserve(kQueueRoom);
    newObjects_.reserve(kQueueRoom);
}

void SimQueues::clear() {
    {
        std::lock_guard lock(simQueueMutex_);
        for (auto& batch : positionBatches_) batch.clear();
        writeIndex_ = 0;
        events_.clear();
        creations_.clear();
        removals_.clear();
    }
    std::lock_guard lock(listMutex_);
    pending_.clear();
    newObjects_.clear();
}

void SimQueues::pushCreation(const CreateAircraftCommand& command) {
    std::lock_guard lock(simQueueMutex_);
    creations_.push_back(command);
}

void SimQueues::pushEvents(std::span<const EventCommand> events) {
    std::lock_guard lock(simQueueMutex_);
    events_.insert(events_.end(), events.begin(), events.end());
}

void SimQueues::pushRemoval(std::uint32_t objectId) {
    std::lock_guard lock(simQueueMutex_);
    removals_.push_back(objectId);
}

void SimQueues::appendPosition(const PositionCommand& position) { writeBatch().push_back(position); }

bool SimQueues::exchangePositionBatches() {
    std::unique_lock lock(simQueueMutex_, std::try_to_lock);
    if (!lock.owns_lock()) {
        // The frame sender is busy: this tick's positions are dropped, the
        // next tick sends fresher ones.
        writeBatch().clear();
        return false;
    }
    writeIndex_ = 1 - writeIndex_;
    writeBatch().clear();
    return true;
}

void SimQueues::discardQueuedLocked() {
    sendBatch().clear();
    events_.clear();
    creations_.clear();
    removals_.clear();
}

SimQueueSizes SimQueues::sizes() const {
    std::lock_guard lock(simQueueMutex_);
    return {.sendPositions = positionBatches_[1 - writeIndex_].size(),
            .events = events_.size(),
            .creations = creations_.size(),
            .removals = removals_.size()};
}

void SimQueues::rememberCreation(PendingCreation creation) {
    std::lock_guard lock(listMutex_);
    const auto oldest = creation.askedAt - kPendingCreationLifetime;
    std::erase_if(pending_, [oldest](const PendingCreation& p) { return p.askedAt < oldest; });
    pending_.push_back(std::move(creation));
}

std::optional<PendingCreation> SimQueues::takeCreationByPacket(std::uint32_t packetId) {
    std::lock_guard lock(listMutex_);
    return takeFirst(pending_, [packetId](const PendingCreation& p) { return p.packetId == packetId; });
}

std::optional<PendingCreation> SimQueues::takeCreationByCallsign(std::string_view callsign) {
    std::lock_guard lock(listMutex_);
    return takeFirst(pending_, [callsign](const PendingCreation& p) { return p.callsign == callsign; });
}

void SimQueues::noteNewObjectId(std::uint32_t objectId) {
    std::lock_guard lock(listMutex_);
    newObjects_.push_back(objectId);
}

bool SimQueues::takeNewObjectId(std::uint32_t objectId) {
    std::lock_guard lock(listMutex_);
    return takeFirst(newObjects_, [objectId](std::uint32_t id) { return id == objectId; }).has_value();
}

std::vector<PendingCreation> SimQueues::pendingCreations() const {
    std::lock_guard lock(listMutex_);
    return pending_;
}

std::vector<std::uint32_t> SimQueues::newObjectIds() const {
    std::lock_guard lock(listMutex_);
    return newObjects_;
}

void gf_initSimQueues(SimLinkState& link) {
    link.queues.reserve();
    link.simQueuesPaused.store(false);
}

void gf_queueCreateAircraft(SimQueues& queues, const CreateAircraftCommand& command) { queues.pushCreation(command); }

void gf_queueEngineShutdown(SimQueues& queues, std::uint32_t objectId) {
    appendEvent(queues, objectId, evEngineAutoShutdown, 0);
}

void gf_queueEngineStart(SimQueues& queues, std::uint32_t objectId) {
    appendEvent(queues, objectId, evEngineAutoStart, 0);
}

void gf_queueLights(SimQueues& queues, std::uint32_t objectId, const Lights& lights) {
    const std::array<EventCommand, 7> events{{
        {.objectId = objectId, .eventId = evNavLightsSet, .data = lightValue(lights.nav)},
        {.objectId = objectId, .eventId = evBeaconLightsSet, .data = lightValue(lights.beacon)},
        {.objectId = objectId, .eventId = evLandingLightsSet, .data = lightValue(lights.landing)},
        {.objectId = objectId, .eventId = evTaxiLightsSet, .data = lightValue(lights.taxi)},
        {.objectId = objectId, .eventId = evStrobesSet, .data = lightValue(lights.strobes)},
        {.objectId = objectId, .eventId = evLogoLightsSet, .data = lightValue(lights.logo)},
        {.objectId = objectId, .eventId = evCabinLightsSet, .data = lightValue(lights.cabin)},
    }};
    queues.pushEvents(events);
}

void gf_queueNavLights(SimQueues& queues, std::uint32_t objectId, bool on) {
    appendEvent(queues, objectId, evNavLightsSet, lightValue(on));
}

void gf_queueCabinLights(SimQueues& queues, std::uint32_t objectId, bool on) {
    appendEvent(queues, objectId, evCabinLightsSet, lightValue(on));
}

void lf_onFrame(SimLinkState& link, RunState& run) {
    // Never wait here: a busy mutex costs one frame, and the commands go out
    // with the next one in the order they were queued. While paused they are
    // dropped under the mutex, so a producer appending at the same moment is
    // safe.
    link.queues.trySend([&](const QueuedCommands& queued) {
        if (link.simQueuesPaused.load()) return true;  // dropped
        sim::SimConnection* handle = link.simHandle.load();
        if (handle == nullptr) return false;  // kept for a connection
        sendPositions(*handle, queued.positions, link.userObjectId.load(std::memory_order_relaxed));
        sendEvents(*handle, queued.events);
        for (const CreateAircraftCommand& c : queued.creations) gf_createAiAircraft(link, run, c);
        for (std::uint32_t id : queued.removals) gf_removeAiAircraft(link, run, id);
        return true;
    });
}

void gf_createAiAircraft(SimLinkState& link, RunState& run, const CreateAircraftCommand& command) {
    sim::SimConnection* handle = link.simHandle.load();
    const sim::HResult hr = handle == nullptr ? sim::kFail
                                              : handle->aiCreateNonAtcAircraft(command.liveryTitle, command.callsign,
                                                                               command.position, reqCreateAircraft);
    if (sim::failed(hr)) {
        gf_logAttention(fmt::format("! Simcon call to create ac in sim failed, hexid:{}, liv: '{}', callsign: {})",
                                    command.hexId, command.liveryTitle, command.callsign));
        gf_onSimConnectRequestError(link, run);
        return;
    }
    std::uint32_t packetId = 0;
    if (sim::failed(handle->getLastSentPacketId(&packetId))) {
        gf_logAttention("GetLastSentPacketID");
        packetId = 0;
    }
    link.queues.rememberCreation({.packetId = packetId,
                                  .hexId = command.hexId,
                                  .callsign = command.callsign,
                                  .askedAt = std::chrono::steady_clock::now()});
}

void gf_removeAiAircraft(SimLinkState& link, RunState& run, std::uint32_t objectId) {
    if (objectId <= link.userObjectId.load()) {
        gf_logAttention(fmt::format("SimConnect call to remove ac with objectid {}", gf_objectIdText(objectId)));
        return;
    }
    sim::SimConnection* handle = link.simHandle.load();
    const sim::HResult hr = handle == nullptr ? sim::kFail : handle->aiRemoveObject(objectId, reqRemoveObject);
    if (sim::failed(hr)) {
        gf_logAttention(fmt::format("{} !SimConnect call to remove AI ac from sim failed, id {}?", gf_utcTimeNow(),
                                    gf_objectIdText(objectId)));
        gf_onSimConnectRequestError(link, run);
    }
}

bool gf_onSimConnectRequestError(SimLinkState& link, RunState& run) {
    gf_showMessage("SimConnect request error", MessageLogging::logged);
    const bool wasPaused = link.simQueuesPaused.exchange(true);
    run.endRun(RestartReason::simConnectError, kRequestErrorDelaySeconds);
    return wasPaused;
}

}  // namespace qvl
