#include "engine/object_events.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <unordered_map>

#include <fmt/format.h>

#include "core/log.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/time_text.h"
#include "engine/base/client_events.h"
#include "engine/base/engine.h"
#include "engine/base/removal.h"
#include "engine/uncreatable.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"

namespace qvl {
namespace {

constexpr std::int32_t kSettlingTicks = 200;
constexpr std::int32_t kFirstToggleTick = 50;
constexpr std::int32_t kSecondToggleTick = 100;
constexpr std::int32_t kSettled = -1;
constexpr std::uint32_t kFirstAiObjectId = 3;
constexpr double kMinStaticCg = 1.0;
constexpr double kMaxStaticCg = 35.0;
constexpr double kMinStaticPitch = -0.017453292519943295;     // -1 degree
constexpr double kMaxStaticPitch = 0.04363323129985824;       // 2.5 degrees
constexpr double kDefaultStaticPitch = 0.012217304763960306;  // 0.7 degree

LiveAc* liveByObjectId(EngineState& state, std::uint32_t objectId) {
    if (objectId == 0) return nullptr;
    for (LiveAc& ac : state.liveAircraft) {
        if (ac.objectId == objectId) return &ac;
    }
    return nullptr;
}

// Live aircraft by object id for one pass over the events: the
// aircraft-in-range reply brings a ground-data event for every object at
// once, and a linear search for each would cost the square of the traffic.
// Built on first use; any event that may add, erase or renumber a record
// makes it stale.
class ObjectIndex {
public:
    explicit ObjectIndex(EngineState& state) : state_(state) {}
    LiveAc* find(std::uint32_t objectId) {
        if (objectId == 0) return nullptr;
        if (stale_) rebuild();
        const auto it = index_.find(objectId);
        return it == index_.end() ? nullptr : &state_.liveAircraft[it->second];
    }
    void invalidate() { stale_ = true; }

private:
    void rebuild() {
        index_.clear();
        for (std::size_t i = 0; i < state_.liveAircraft.size(); ++i) {
            const std::uint32_t id = state_.liveAircraft[i].objectId;
            if (id != 0) index_.try_emplace(id, i);
        }
        stale_ = false;
    }
    EngineState& state_;
    std::unordered_map<std::uint32_t, std::size_t> index_;
    bool stale_ = true;
};

LiveAc* liveByHexId(EngineState& state, std::uint32_t hexId) {
    for (LiveAc& ac : state.liveAircraft) {
        if (ac.flight.hexId == hexId) return &ac;
    }
    return nullptr;
}

StaticAc* staticByHexId(EngineState& state, std::uint32_t hexId) {
    for (StaticAc& ac : state.staticAircraft) {
        if (ac.flight.hexId == hexId) return &ac;
    }
    return nullptr;
}

// Static records leave their list by moving the last one into their place.
void eraseStaticAc(EngineState& state, const StaticAc& ac) {
    auto& list = state.staticAircraft;
    const auto it = std::find_if(list.begin(), list.end(), [&](const StaticAc& each) { return &each == &ac; });
    if (it == list.end()) return;
    if (std::next(it) != list.end()) *it = std::move(list.back());
    list.pop_back();
}

// An object that no aircraft waits for any more (its creation was given up
// or withdrawn): left, it would stand in the simulator for good.
void removeOrphan(Engine& engine, const SimObjectEvent& event) {
    if (event.objectId < kFirstAiObjectId) return;
    gf_logAttention(fmt::format("object {} of hexid {} has no aircraft waiting for it, removed",
                                gf_objectIdText(event.objectId), event.hexId));
    engine.state.removalQueue.push_back(event.objectId);
}

void markOnGround(LiveAc& ac) {
    ac.onGround = true;
    ac.motion.altitudeStep = 0.0;
    ac.motion.rotationCountdown = 1;
}

void touchDown(Engine& engine, LiveAc& ac) {
    ac.motion.derotating = true;
    ac.motion.landed = true;
    ac.motion.touchdownHeading = ac.heading;
    ac.motion.approaching = false;
    ac.motion.landedHere = true;
    gf_setSpoilers(engine, ac, true);
    if (ac.flight.category != AircraftCategory::Light) {
        const double throttle = ac.flight.fsltlLivery ? -100.0 : 100.0;
        writeSpoilersThrottles(engine, ac,
                               {.spoilersPercent = 100.0, .throttle1Percent = throttle, .throttle2Percent = throttle});
    }
    const std::int32_t ticks = ac.flight.derotationTicks;
    if (ticks > 0) {
        ac.motion.pitchStep = (ac.flight.staticPitch - ac.pitch) / ticks;
        ac.motion.bankStep = (0.0 - ac.bank) / ticks;
    } else {
        gf_log(fmt::format("{} ! onGround slots {:.1f}", ac.flight.callsign, static_cast<double>(ticks)));
        ac.motion.bankStep = 0.0;
        ac.motion.pitchStep = ac.flight.staticPitch;
    }
    engine.state.perSecondHexIds.push_back(ac.flight.hexId);
}

// A height the simulator reports that is no number (NaN, infinite) tells
// nothing: the aircraft keeps what it had rather than be sent there.
void takeHeight(double& target, double reported) {
    if (std::isfinite(reported)) target = reported;
}

void onGroundData(Engine& engine, LiveAc* ac, const SimObjectEvent& event) {
    if (ac == nullptr) return;
    const bool contact = event.hexId == 1 && !ac->onGround && ac->motion.rotationCountdown <= 1 &&
                         ac->status != SimStatus::removingfromsim && ac->phase != GroundPhase::take_off;
    if (contact) {
        if (ac->motion.flareStage != 0 || ac->motion.approaching) touchDown(engine, *ac);
        markOnGround(*ac);
    }
    takeHeight(ac->motion.heightAboveGround, event.value2);
    if (ac->onGround || ac->motion.rotationCountdown >= 2) {
        takeHeight(ac->altitude, event.value1 + ac->flight.staticCgHeight);
    }
}

void onStaticValues(LiveAc* ac, const SimObjectEvent& event) {
    if (ac == nullptr) return;
    const double height = event.value1;
    if (std::isfinite(height) && height >= kMinStaticCg && height <= kMaxStaticCg) ac->flight.staticCgHeight = height;
    const double pitch = event.value2;
    const bool usable = std::isfinite(pitch) && pitch > kMinStaticPitch && pitch <= kMaxStaticPitch;
    ac->flight.staticPitch = usable ? pitch : kDefaultStaticPitch;
}

void onCreationFailed(Engine& engine, const SimObjectEvent& event) {
    EngineState& state = engine.state;
    if (event.hexId > kMaxStaticHexId) {
        LiveAc* ac = liveByHexId(state, event.hexId);
        if (ac == nullptr) return;
        // Erased before the report, which throws once too many liveries failed.
        const FlightRec flight = ac->flight;
        eraseLiveAc(state, *ac);
        gf_reportUncreatableLivery(engine, flight);
        return;
    }
    StaticAc* ac = staticByHexId(state, event.hexId);
    if (ac == nullptr) return;
    const FlightRec flight = ac->flight;
    eraseStaticAc(state, *ac);
    gf_reportUncreatableLivery(engine, flight);
}

void handleEvent(Engine& engine, ObjectIndex& index, const SimObjectEvent& event) {
    switch (event.kind) {
        case SimObjectEventKind::groundData: onGroundData(engine, index.find(event.objectId), event); return;
        case SimObjectEventKind::staticValues: onStaticValues(index.find(event.objectId), event); return;
        default: break;
    }
    index.invalidate();
    switch (event.kind) {
        case SimObjectEventKind::created: {
            LiveAc* ac = liveByHexId(engine.state, event.hexId);
            if (ac == nullptr || ac->status != SimStatus::adding2sim) {
                removeOrphan(engine, event);
                return;
            }
            if (lf_requestStaticCG(engine, *ac, event)) {
                engine.state.deferredEvents.push_back({.event = event, .settling = 0});
            }
            return;
        }
        case SimObjectEventKind::staticCreated:
            engine.state.deferredEvents.push_back({.event = event, .settling = 0});
            return;
        case SimObjectEventKind::removed: gf_removeFlightPlan(engine, event.objectId); return;
        case SimObjectEventKind::creationFailed: onCreationFailed(engine, event); return;
        case SimObjectEventKind::blockedCallsign: lf_removeWhileBlocked(engine, event.hexId); return;
        default: return;
    }
}

void configureOnGround(Engine& engine, LiveAc& ac) {
    SimQueues& queues = engine.link.queues;
    const bool parked = ac.phase == GroundPhase::parked;
    gf_setSpoilers(engine, ac, false);
    bool nav = true;
    if (parked) {
        gf_queueEngineShutdown(queues, ac.objectId);
        nav = NAV_LIGHTS_WHILE_PARKED.value();
    } else {
        gf_queueEngineStart(queues, ac.objectId);
    }
    gf_queueLights(queues, ac.objectId,
                   {.nav = nav, .beacon = !parked, .taxi = ac.phase == GroundPhase::taxi, .logo = true, .cabin = true});
    gf_setThrottle(engine, ac, ac.flight.category == AircraftCategory::Rotorcraft ? 4U : 0U);
    gf_setFlaps(engine, ac, ac.phase == GroundPhase::taxi ? 1U : 0U);
}

void configureAirborne(Engine& engine, LiveAc& ac) {
    SimQueues& queues = engine.link.queues;
    gf_queueEngineStart(queues, ac.objectId);
    gf_setSpoilers(engine, ac, false);
    const bool low = ac.altitude <= 10000.0;
    gf_queueLights(queues, ac.objectId,
                   {.nav = true,
                    .beacon = true,
                    .landing = low,
                    .strobes = true,
                    .logo = low,
                    .cabin = ac.motion.heightAboveGround >= 2000.0});
}

void activateLive(Engine& engine, LiveAc& ac) {
    const bool onGround = ac.samples.empty() ? ac.onGround : ac.samples.front().airborne == 0;
    if (onGround) {
        configureOnGround(engine, ac);
    } else {
        configureAirborne(engine, ac);
    }
    ac.status = SimStatus::active;
}

void activateStatic(Engine& engine, StaticAc& ac, const SimObjectEvent& event) {
    ac.status = SimStatus::active;
    ac.objectId = event.objectId;
    setParkedConfiguration(engine, ac);
    gf_log(fmt::format("{:8}: {:8} parked", engine.stands.standIdText(ac.standNumber), ac.flight.callsign));
}

// One tick of settling; true once the aircraft has been made active.
bool settle(Engine& engine, DeferredObjectEvent& deferred) {
    const bool live = deferred.event.kind == SimObjectEventKind::created;
    if (deferred.settling < kSettlingTicks) {
        ++deferred.settling;
        if (live && (deferred.settling == kFirstToggleTick || deferred.settling == kSecondToggleTick)) {
            const EventCommand toggle{.objectId = deferred.event.objectId, .eventId = evAllLightsToggle, .data = 0};
            engine.link.queues.pushEvents(std::span(&toggle, 1));
        }
    }
    if (deferred.settling < kSettlingTicks) return false;
    AcRecord* record = nullptr;
    if (live) {
        LiveAc* ac = liveByHexId(engine.state, deferred.event.hexId);
        if (ac == nullptr) {
            // Its record went while it settled: nothing would ever move or remove the object.
            removeOrphan(engine, deferred.event);
            deferred.settling = kSettled;
            return true;
        }
        activateLive(engine, *ac);
        record = ac;
    } else {
        StaticAc* ac = staticByHexId(engine.state, deferred.event.hexId);
        if (ac == nullptr) return false;
        activateStatic(engine, *ac, deferred.event);
        record = ac;
    }
    deferred.settling = kSettled;
    if (record->removeWhenCreated) {
        // The mark only held the removal back until the object existed;
        // left set, it would stop the removal itself.
        record->removeWhenCreated = false;
        removeAircraftFromSim(engine, *record);
    }
    return true;
}

void removeStaticOnStand(Engine& engine, const LiveAc& ac) {
    for (StaticAc& other : engine.state.staticAircraft) {
        if (other.status != SimStatus::active || other.standNumber != ac.standNumber) continue;
        gf_log(fmt::format("{:8}: {:8} parks over static {} \u2014 static will be removed",
                           engine.stands.standIdText(ac.standNumber), ac.flight.callsign, other.flight.callsign));
        removeAircraftFromSim(engine, other);
        return;
    }
}

}  // namespace

void gf_queueSimObjectEvent(EngineState& state, const SimObjectEvent& event) { state.objectEvents.push(event); }

void lf_handleSimObjectEvents(Engine& engine) {
    ObjectIndex index(engine.state);
    for (const SimObjectEvent& event : engine.state.objectEvents.takeAll()) handleEvent(engine, index, event);
    if (!engine.state.deferredEvents.empty()) lf_activateCreatedObjects(engine);
}

bool lf_requestStaticCG(Engine& engine, LiveAc& ac, const SimObjectEvent& event) {
    if (event.objectId < kFirstAiObjectId) return false;
    ac.objectId = event.objectId;
    takeHeight(ac.motion.heightAboveGround, event.value2);
    if (!ac.samples.empty() && ac.samples.front().airborne == 0) lf_settleOnGround(engine, ac);
    lf_createFlightPlan(engine, ac);
    if (engine.link.simQueuesPaused.load()) return true;
    sim::HResult hr = sim::kOk;
    const bool connected = engine.link.withConnection([&](sim::SimConnection& connection) {
        hr = connection.requestDataOnSimObject(reqStaticValues, defStaticValues, ac.objectId, sim::Period::once);
    });
    if (connected && sim::failed(hr)) {
        gf_logAttention("SimConnect request StaticCG fails");
        gf_onSimConnectRequestError(engine.link, engine.run);
    }
    return true;
}

void lf_createFlightPlan(Engine& engine, LiveAc& ac) {
    if (!ac.flight.origin.isSet() || !ac.flight.destination.isSet()) return;
    // The simulator is handed the plan once the writer reports it on disk.
    engine.flightPlans.write(ac.objectId, ac.flight);
    // Set from the hand-over on: a removal before the write is done deletes
    // the file after it, in the writer's order.
    ac.flightPlanSent = true;
}

void sendWrittenFlightPlans(Engine& engine) {
    for (const FlightPlanWritten& plan : engine.flightPlans.takeWritten()) {
        LiveAc* ac = liveByObjectId(engine.state, plan.objectId);
        if (ac == nullptr) continue;
        bool ok = plan.written;
        if (plan.written && engine.link.simVersion.load() == SimVersion::msfs2020) {
            const std::filesystem::path file = engine.flightPlans.path(plan.objectId);
            sim::HResult hr = sim::kFail;
            engine.link.withConnection([&](sim::SimConnection& connection) {
                hr = connection.aiSetAircraftFlightPlan(plan.objectId, file, reqFlightPlan);
            });
            ok = sim::succeeded(hr);
        }
        // The flag tells the removal to delete the file: kept whenever the
        // file was written, even if the simulator did not take it.
        ac->flightPlanSent = plan.written;
        if (!ok) gf_logAttention(fmt::format("{} creating a flight plan failed", gf_flightLineShort(ac->flight)));
    }
}

void lf_settleOnGround(Engine& engine, LiveAc& ac) {
    ac.onGround = true;
    gf_setGear(engine, ac, true);
    ac.motion.altitudeStep = 0.0;
    ac.motion.rotationCountdown = 1;
    if (ac.phase != GroundPhase::parked) return;
    ac.parkedSince = engine.weekTime();
    gf_log(fmt::format("{:8}: {:8} parks", engine.stands.standIdText(ac.standNumber), ac.flight.callsign));
    std::erase_if(engine.state.parking.candidates,
                  [&](const ParkPosition& p) { return p.standNumber == ac.standNumber; });
    removeStaticOnStand(engine, ac);
}

void lf_activateCreatedObjects(Engine& engine) {
    bool activated = false;
    // Indexed: an activation may remove an aircraft, never a deferred event.
    for (std::size_t i = 0; i < engine.state.deferredEvents.size(); ++i) {
        DeferredObjectEvent& deferred = engine.state.deferredEvents[i];
        if (deferred.settling < 0) continue;
        if (settle(engine, deferred)) activated = true;
    }
    if (activated) {
        std::erase_if(engine.state.deferredEvents, [](const DeferredObjectEvent& d) { return d.settling < 0; });
    }
}

void gf_removeFlightPlan(Engine& engine, std::uint32_t objectId) {
    EngineState& state = engine.state;
    if (LiveAc* ac = liveByObjectId(state, objectId)) {
        if (ac->flightPlanSent) {
            engine.flightPlans.remove(objectId);
            ac->flightPlanSent = false;
        }
        if (ac->status == SimStatus::liveryrespawn) {
            ac->status = SimStatus::buffer;
            ac->throttleStep = 5;
            ac->flapsIndex = 4;
            ac->objectId = 0;
            return;
        }
        eraseLiveAc(state, *ac);
        return;
    }
    if (objectId == 0) return;
    for (StaticAc& ac : state.staticAircraft) {
        if (ac.objectId == objectId) {
            eraseStaticAc(state, ac);
            return;
        }
    }
}

void lf_removeWhileBlocked(Engine& engine, std::uint32_t hexId) {
    LiveAc* ac = liveByHexId(engine.state, hexId);
    if (ac == nullptr) return;
    if (ac->status == SimStatus::active) {
        gf_log(fmt::format("{} removed from simulator immediately while blocked", gf_liveAcLine(*ac)));
        removeAircraftFromSim(engine, *ac);
    } else if (ac->status == SimStatus::buffer) {
        gf_log(fmt::format("{} {} will be removed from buffer while blocked", gf_trafficTimeText(engine.feed.time),
                           gf_liveAcLine(*ac)));
        removeAircraftFromSim(engine, *ac);
    }
}

}  // namespace qvl
