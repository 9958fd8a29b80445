#include "simlink/sim_queues.h"

#include <fmt/format.h>

#include <array>
#include <utility>

#include "core/log.h"
#include "core/messages.h"
#include "core/run_flags.h"
#include "core/strings.h"
#include "core/time_text.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_state.h"

namespace qvl {
namespace {

constexpr std::size_t kQueueRoom = 256;
constexpr std::int32_t kRequestErrorDelaySeconds = 9;

struct SimQueues {
    std::array<std::vector<PositionCommand>, 2> positionBatches;
    // Which batch is which; both change only under the mutex, on the run thread.
    std::vector<PositionCommand>* writeBatch = &positionBatches[0];
    std::vector<PositionCommand>* sendBatch = &positionBatches[1];
    std::vector<EventCommand> events;
    std::vector<CreateAircraftCommand> creations;
    std::vector<std::uint32_t> removals;
    // SimClient thread only.
    std::vector<PendingCreation> pending;
    std::vector<std::uint32_t> newObjects;
};

SimQueues& queues() {
    static SimQueues q;
    return q;
}

constexpr std::uint32_t lightValue(bool on) { return on ? 1u : 0u; }

void appendEvent(std::uint32_t objectId, SimEventId eventId, std::uint32_t data) {
    std::lock_guard lock(simQueueMutex());
    queues().events.push_back({.objectId = objectId, .eventId = eventId, .data = data});
}

// What the frame sender has not yet sent; the run thread's write batch stays.
void discardQueued(SimQueues& q) {
    q.sendBatch->clear();
    q.events.clear();
    q.creations.clear();
    q.removals.clear();
}

void sendPositions(sim::SimConnection& handle, SimQueues& q) {
    const std::uint32_t user = userObjectId.load(std::memory_order_relaxed);
    for (const PositionCommand& p : *q.sendBatch) {
        // 0: the simulator has not reported the object yet.
        if (p.objectId <= user) continue;
        (void)handle.setDataOnSimObject(defAiPosition, p.objectId, 0, 0, kAiPositionBlockSize, &p);
    }
    q.sendBatch->clear();
}

void sendEvents(sim::SimConnection& handle, SimQueues& q) {
    for (const EventCommand& e : q.events) {
        // Flaps move only on an aircraft released from the simulator's AI.
        const bool flaps = e.eventId == evFlapsSet;
        if (flaps) (void)handle.aiReleaseControl(e.objectId, reqReleaseControl);
        const sim::HResult hr =
            handle.transmitClientEvent(e.objectId, e.eventId, e.data, kSimNotificationGroup, 0);
        if (sim::failed(hr)) {
            gf_showMessage(fmt::format("SimConnect TransmitClientEvent: {} fails", e.eventId), true);
        } else if (flaps) {
            (void)handle.aiReleaseControl(e.objectId, reqReleaseControl);
        }
    }
    q.events.clear();
}

void sendCreations(SimQueues& q) {
    for (const CreateAircraftCommand& c : q.creations) gf_createAiAircraft(c);
    q.creations.clear();
}

void sendRemovals(SimQueues& q) {
    for (std::uint32_t id : q.removals) gf_removeAiAircraft(id);
    q.removals.clear();
}

}  // namespace

std::mutex& simQueueMutex() {
    static std::mutex mutex;
    return mutex;
}

void gf_initSimQueues() {
    {
        std::lock_guard lock(simQueueMutex());
        SimQueues& q = queues();
        for (auto& batch : q.positionBatches) batch.reserve(kQueueRoom);
        q.events.reserve(kQueueRoom);
        q.creations.reserve(kQueueRoom);
        q.removals.reserve(kQueueRoom);
        q.pending.reserve(kQueueRoom);
        q.newObjects.reserve(kQueueRoom);
    }
    simQueuesPaused.store(false);
}

void clearSimQueues() {
    std::lock_guard lock(simQueueMutex());
    SimQueues& q = queues();
    discardQueued(q);
    q.writeBatch->clear();
    q.pending.clear();
    q.newObjects.clear();
}

void gf_queueCreateAircraft(const CreateAircraftCommand& command) {
    std::lock_guard lock(simQueueMutex());
    queues().creations.push_back(command);
}

void gf_queueEngineShutdown(std::uint32_t objectId) { appendEvent(objectId, evEngineAutoShutdown, 0); }

void gf_queueEngineStart(std::uint32_t objectId) { appendEvent(objectId, evEngineAutoStart, 0); }

void gf_queueLights(std::uint32_t objectId, const Lights& lights) {
    const std::array<EventCommand, 7> events{{
        {.objectId = objectId, .eventId = evNavLightsSet, .data = lightValue(lights.nav)},
        {.objectId = objectId, .eventId = evBeaconLightsSet, .data = lightValue(lights.beacon)},
        {.objectId = objectId, .eventId = evLandingLightsSet, .data = lightValue(lights.landing)},
        {.objectId = objectId, .eventId = evTaxiLightsSet, .data = lightValue(lights.taxi)},
        {.objectId = objectId, .eventId = evStrobesSet, .data = lightValue(lights.strobes)},
        {.objectId = objectId, .eventId = evLogoLightsSet, .data = lightValue(lights.logo)},
        {.objectId = objectId, .eventId = evCabinLightsSet, .data = lightValue(lights.cabin)},
    }};
    queueClientEvents(events);
}

void gf_queueNavLights(std::uint32_t objectId, bool on) {
    appendEvent(objectId, evNavLightsSet, lightValue(on));
}

void gf_queueCabinLights(std::uint32_t objectId, bool on) {
    appendEvent(objectId, evCabinLightsSet, lightValue(on));
}

void queueClientEvents(std::span<const EventCommand> events) {
    std::lock_guard lock(simQueueMutex());
    auto& queue = queues().events;
    queue.insert(queue.end(), events.begin(), events.end());
}

void queueRemoval(std::uint32_t objectId) {
    std::lock_guard lock(simQueueMutex());
    queues().removals.push_back(objectId);
}

void appendPosition(const PositionCommand& position) { queues().writeBatch->push_back(position); }

bool exchangePositionBatches() {
    SimQueues& q = queues();
    std::unique_lock lock(simQueueMutex(), std::try_to_lock);
    if (!lock.owns_lock()) {
        q.writeBatch->clear();
        return false;
    }
    std::swap(q.writeBatch, q.sendBatch);
    q.writeBatch->clear();
    return true;
}

void lf_onFrame() {
    // Never wait here: a busy mutex costs one frame, and the commands go out
    // with the next one in the order they were queued.
    std::unique_lock lock(simQueueMutex(), std::try_to_lock);
    if (!lock.owns_lock()) return;
    SimQueues& q = queues();
    if (simQueuesPaused.load()) {
        discardQueued(q);
        return;
    }
    sim::SimConnection* handle = simHandle.load();
    if (handle == nullptr) return;
    sendPositions(*handle, q);
    sendEvents(*handle, q);
    sendCreations(q);
    sendRemovals(q);
}

void gf_createAiAircraft(const CreateAircraftCommand& command) {
    sim::SimConnection* handle = simHandle.load();
    const sim::HResult hr =
        handle == nullptr ? sim::kFail
                          : handle->aiCreateNonAtcAircraft(command.liveryTitle, command.callsign,
                                                           command.position, reqCreateAircraft);
    if (sim::failed(hr)) {
        gf_logAttention(fmt::format("! Simcon call to create ac in sim failed, hexid:{}, liv: '{}', callsign: {})",
                                    command.hexId, command.liveryTitle, command.callsign));
        gf_onSimConnectRequestError();
        return;
    }
    std::uint32_t packetId = 0;
    if (sim::failed(handle->getLastSentPacketId(&packetId))) {
        gf_logAttention("GetLastSentPacketID");
        packetId = 0;
    }
    queues().pending.push_back({.packetId = packetId, .hexId = command.hexId, .callsign = command.callsign});
}

void gf_removeAiAircraft(std::uint32_t objectId) {
    if (objectId <= userObjectId.load()) {
        gf_logAttention(fmt::format("SimConnect call to remove ac with objectid {}", gf_objectIdText(objectId)));
        return;
    }
    sim::SimConnection* handle = simHandle.load();
    const sim::HResult hr = handle == nullptr ? sim::kFail : handle->aiRemoveObject(objectId, reqRemoveObject);
    if (sim::failed(hr)) {
        gf_logAttention(fmt::format("{} !SimConnect call to remove AI ac from sim failed, id {}?",
                                    gf_utcTimeNow(), gf_objectIdText(objectId)));
        gf_onSimConnectRequestError();
    }
}

bool gf_onSimConnectRequestError() {
    gf_showMessage("SimConnect request error", true);
    const bool wasPaused = simQueuesPaused.exchange(true);
    endRun(RestartReason::simConnectError, kRequestErrorDelaySeconds);
    return wasPaused;
}

std::vector<PendingCreation>& pendingCreations() { return queues().pending; }

std::vector<std::uint32_t>& newObjectIds() { return queues().newObjects; }

SimQueueSizes simQueueSizes() {
    std::lock_guard lock(simQueueMutex());
    const SimQueues& q = queues();
    return {.sendPositions = q.sendBatch->size(),
            .events = q.events.size(),
            .creations = q.creations.size(),
            .removals = q.removals.size()};
}

}  // namespace qvl
