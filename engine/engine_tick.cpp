#include "engine/engine_tick.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "core/log.h"
#include "core/settings.h"
#include "engine/base/engine.h"
#include "engine/live_ac_update.h"
#include "engine/object_events.h"
#include "engine/parking/publish_first_park_airport.h"
#include "engine/parking/static_placing.h"
#include "engine/spawn.h"
#include "engine/traffic_intake.h"
#include "platform/units.h"
#include "simlink/sim_ids.h"

namespace qvl {
namespace {

constexpr std::size_t kRecordsPerTick = 2;
// Records beyond the two of a tick that are taken when they are overdue: a
// feed above 200 records a second keeps its 30 seconds of delay instead of
// growing the queue without bound.
constexpr std::size_t kMaxRecordsPerTick = 50;

// The paces of the tick's periodic work, in ticks of 10 ms.
constexpr std::int32_t kRemovalPeriodTicks = 10;         // one queued removal
constexpr std::int32_t kInRangeRequestPeriodTicks = 20;  // the aircraft-in-range request
constexpr std::int32_t kCreationPeriodTicks = 50;        // one queued creation
constexpr std::int32_t kUserStatePeriodTicks = 100;      // the user's state to the traffic client

bool every(std::int32_t now, std::int32_t period) { return now % period == 0; }

void stepLiveAircraft(Engine& engine) {
    auto& list = engine.state.liveAircraft;
    bool erase = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        // One pass over the list a tick: a creation the simulator never
        // reported is given up here, before the aircraft's step.
        dropIfNeverReported(engine, list[i]);
        if (updateLiveAc(engine, list[i])) erase = true;
    }
    if (erase) std::erase_if(list, [](const LiveAc& ac) { return ac.flaggedForErase(); });
}

void takeInTraffic(Engine& engine) {
    std::vector<TrafficRecord>& records = engine.state.intakeBuffer;
    records.clear();
    takeInReturningTraffic(engine);
    engine.traffic.takeFront(records, kRecordsPerTick);
    engine.traffic.takeDue(records, engine.now(), kMaxRecordsPerTick - records.size());
    for (TrafficRecord& record : records) lf_acceptTrafficSample(engine, record);
    records.clear();
}

CreateAircraftCommand creationOf(const LiveAc& ac) {
    return CreateAircraftCommand{.position = {.latitude = ac.position.latitude,
                                              .longitude = ac.position.longitude,
                                              .altitude = ac.altitude,
                                              .pitch = ac.pitch * kRadToDeg,
                                              .bank = ac.bank * kRadToDeg,
                                              .heading = ac.heading * kRadToDeg,
                                              .onGround = false,
                                              .airspeed = 0},
                                 .callsign = ac.flight.callsign,
                                 .liveryTitle = std::string(ac.flight.liveryTitle),
                                 .hexId = ac.flight.hexId};
}

void queueNextCreation(Engine& engine) {
    EngineState& state = engine.state;
    if (state.hexIdStack.empty()) return;
    const std::uint32_t hexId = state.hexIdStack.back();
    state.hexIdStack.pop_back();
    const auto it = std::find_if(state.liveAircraft.begin(), state.liveAircraft.end(),
                                 [&](const LiveAc& ac) { return ac.flight.hexId == hexId; });
    if (it == state.liveAircraft.end()) return;
    if (it->flight.callsign.empty()) {
        gf_logAttention(fmt::format("{} {} objectid = 0?", "lf_handleAddingStack", gf_liveAcLine(*it)));
        return;
    }
    state.liveCreationQueue.push_back(creationOf(*it));
}

void requestAircraftInRange(Engine& engine) {
    if (engine.link.simQueuesPaused.load()) return;
    sim::HResult hr = sim::kOk;
    const auto radius = static_cast<std::uint32_t>(std::max(0, rangeMeters()));
    const bool connected = engine.link.withConnection([&](sim::SimConnection& connection) {
        hr = connection.requestDataOnSimObjectType(reqAircraftInRange, defAircraftInRange, radius,
                                                   sim::kObjectTypeAircraft);
    });
    if (connected && sim::failed(hr)) {
        gf_logAttention("SimConnect request ac within range fails");
        gf_onSimConnectRequestError(engine.link, engine.run);
    }
}

void exchangeUserState(Engine& engine) {
    UserAircraftBlock user = engine.clocks.userAircraft();
    engine.sendUserState(userStateFor(user));
    engine.state.userSnapshot = std::move(user);
    // Once a second is soon enough for the automatic radius, which is chosen
    // every 30 seconds or when the user ticks AUTO_RANGE.
    publishFirstParkAirport(engine);
}

}  // namespace

UserState userStateFor(const UserAircraftBlock& user) {
    return {.latitude = user.latitude,
            .longitude = user.longitude,
            .pitch = user.pitch,
            .bank = user.bank,
            .heading = user.heading,
            .altitude = user.altitude,
            .groundSpeed = user.groundSpeed};
}

void lf_handleAddingStack(Engine& engine) {
    lf_handleSimObjectEvents(engine);
    sendWrittenFlightPlans(engine);
    stepLiveAircraft(engine);
    engine.link.queues.exchangePositionBatches();
    lf_releaseQueuedCommands(engine);
    takeInTraffic(engine);
    queueNextCreation(engine);
    lf_periodicRequests(engine);
    engine.feed.tickCounter.fetch_add(1, std::memory_order_relaxed);
}

void lf_releaseQueuedCommands(Engine& engine) {
    EngineState& state = engine.state;
    const std::int32_t now = engine.now();
    if (every(now, kRemovalPeriodTicks) && !state.removalQueue.empty()) {
        engine.link.queues.pushRemoval(state.removalQueue.front());
        state.removalQueue.pop_front();
    }
    if (!every(now, kCreationPeriodTicks)) return;
    if (!state.liveCreationQueue.empty()) {
        gf_queueCreateAircraft(engine.link.queues, state.liveCreationQueue.front());
        noteCreationHanded(engine, state.liveCreationQueue.front().hexId);
        state.liveCreationQueue.pop_front();
        return;
    }
    if (!state.staticCreationQueue.empty()) {
        gf_queueCreateAircraft(engine.link.queues, state.staticCreationQueue.front());
        state.staticCreationQueue.pop_front();
    }
    if (!state.parking.candidates.empty()) lf_detcs(engine);
}

void lf_periodicRequests(Engine& engine) {
    const std::int32_t now = engine.now();
    if (every(now, kInRangeRequestPeriodTicks)) requestAircraftInRange(engine);
    if (every(now, kUserStatePeriodTicks)) exchangeUserState(engine);
}

void gf_initAiTraffic(Engine& engine) {
    // Reserving again is free once the room is there.
    engine.state.reserve();
}

void gf_clearAiTraffic(Engine& engine) {
    engine.state.reset();
    engine.traffic.clear();
    engine.link.queues.clear();
}

void gf_clearSpawnMap(EngineState& state) { state.createdFlights.clear(); }

}  // namespace qvl
