// The simulator's object events as the AI traffic engine takes them, with
// whatever values and ids an event can carry: NaN and infinite heights,
// huge object and hex ids, kinds nobody queues. The engine holds live
// aircraft in each status and static ones; each 28-byte record of the input
// is one event (object id, hex id, kind: 4 bytes each, little-endian; the
// two values: 8 bytes each), handled at once as the tick does. At the end
// the settling aircraft are counted through to their activation. Whatever
// the events say, the aircraft's position, attitude and stored values stay
// usable numbers.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "airports/loaded_park_airport.h"
#include "airports/stand.h"
#include "core/current_park_airport.h"
#include "core/fixed_code.h"
#include "core/messages.h"
#include "core/range_control.h"
#include "core/run_state.h"
#include "core/time_text.h"
#include "engine/base/engine.h"
#include "engine/base/engine_state.h"
#include "engine/flight_plans.h"
#include "engine/object_events.h"
#include "engine/stands/park_airport_stands.h"
#include "feed/feed_state.h"
#include "feed/traffic_queue.h"
#include "simlink/flight_plan.h"
#include "simlink/sim_state.h"
#include "simlink/sim_version.h"
#include "support/engine_world.h"
#include "support/fuzz_support.h"
#include "support/quiet_status.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("object_events");
    return folder;
}

constexpr std::size_t kRecordSize = 28;
constexpr int kSettlingTicks = 200;
constexpr double kMinStaticPitch = -0.017453292519943295;  // -1 degree
constexpr double kMaxStaticPitch = 0.04363323129985824;    // 2.5 degrees

// Titles live for the process: flight records hold views of them.
const std::string kTitle = "Airbus A320 Test Air";

using World = fuzz::EngineWorld;

World& world() {
    static World w;
    return w;
}

fs::path planFolderPath() { return scratch().path() / "plans"; }

FlightRec flight(std::uint32_t hexId, std::string callsign, AircraftCategory category) {
    FlightRec f;
    f.hexId = hexId;
    f.callsign = std::move(callsign);
    f.category = category;
    f.liveryTitle = kTitle;
    f.origin = FixedCode3("FRA");
    f.destination = FixedCode3("LHR");
    f.staticCgHeight = 8.0;
    f.staticPitch = 0.01;
    f.derotationTicks = 150;
    return f;
}

TrafficSample sample(bool airborne) {
    return {.latitude = 50.03,
            .longitude = 8.56,
            .altitude = airborne ? 1200.0 : 0.0,
            .groundSpeed = airborne ? 140.0 : 10.0,
            .track = 250.0,
            .airborne = static_cast<std::uint8_t>(airborne ? 1 : 0)};
}

LiveAc liveAc(FlightRec f, SimStatus status, GroundPhase phase, std::uint32_t objectId, bool airborne) {
    LiveAc ac;
    ac.flight = std::move(f);
    ac.status = status;
    ac.phase = phase;
    ac.objectId = objectId;
    ac.position = {.latitude = 50.03, .longitude = 8.56};
    ac.altitude = airborne ? 1200.0 : 364.0;
    ac.heading = 4.36;
    ac.onGround = airborne ? 0 : 1;
    ac.samples.push_back(sample(airborne));
    ac.samples.push_back(sample(airborne));
    return ac;
}

StaticAc staticAc(std::uint32_t hexId, SimStatus status, std::uint32_t objectId, std::uint32_t standNumber) {
    StaticAc ac;
    ac.flight = flight(hexId, "STAT" + std::to_string(hexId) + "*", AircraftCategory::Large);
    ac.status = status;
    ac.objectId = objectId;
    ac.standNumber = standNumber;
    return ac;
}

// Live aircraft waiting for their objects (airborne and at a stand), flying,
// flaring, parked and waiting for a new livery; static ones waiting and
// standing.
void resetWorld() {
    World& w = world();
    w.state.reset();
    w.link.reset();
    w.link.simVersion.store(SimVersion::msfs2024);
    w.run.reset();
    resetMessages();
    w.park.parkStands.clear();
    w.park.parkStands.emplace_back("A1", std::vector<LearnedFlight>{}, StandPlacement{50.03, 8.56, 1.0}, 30.0,
                                   StandKind{});
    w.park.parkStands.emplace_back("B2", std::vector<LearnedFlight>{}, StandPlacement{50.031, 8.561, 1.0}, 30.0,
                                   StandKind{});
    w.park.parkStands[0].number = 1;
    w.park.parkStands[1].number = 2;

    auto& live = w.state.liveAircraft;
    live.push_back(liveAc(flight(0x3c6586, "DLH4AB", AircraftCategory::Large), SimStatus::adding2sim,
                          GroundPhase::flying, 0, true));
    live.push_back(liveAc(flight(0x3c6587, "DLH5CD", AircraftCategory::Large), SimStatus::adding2sim,
                          GroundPhase::parked, 0, false));
    live.back().standNumber = 1;
    live.push_back(
        liveAc(flight(0x4ca1d3, "RYR12", AircraftCategory::Large), SimStatus::active, GroundPhase::flying, 20, true));
    LiveAc& flaring = live.back();
    flaring.motion.flareStage = 2;
    flaring.motion.approaching = true;
    flaring.pitch = -0.05;
    flaring.bank = 0.02;
    live.push_back(liveAc(flight(0x4ca1d4, "CESSNA1", AircraftCategory::Light), SimStatus::active, GroundPhase::parked,
                          21, false));
    live.push_back(liveAc(flight(0x4ca1d5, "KLM77", AircraftCategory::Heavy), SimStatus::liveryrespawn,
                          GroundPhase::taxi, 22, false));
    w.state.staticAircraft.push_back(staticAc(17, SimStatus::adding2sim, 0, 2));
    w.state.staticAircraft.push_back(staticAc(18, SimStatus::active, 30, 1));
}

SimObjectEvent eventOf(const std::uint8_t* record) {
    SimObjectEvent event;
    std::uint32_t kind = 0;
    std::memcpy(&event.objectId, record, 4);
    std::memcpy(&event.hexId, record + 4, 4);
    std::memcpy(&kind, record + 8, 4);
    std::memcpy(&event.value1, record + 12, 8);
    std::memcpy(&event.value2, record + 20, 8);
    event.kind = static_cast<SimObjectEventKind>(kind);
    return event;
}

bool finite(std::initializer_list<double> values) {
    for (const double value : values) {
        if (!std::isfinite(value)) return false;
    }
    return true;
}

void expectSoundAircraft(const EngineState& state) {
    for (const LiveAc& ac : state.liveAircraft) {
        expect(finite({ac.position.latitude, ac.position.longitude, ac.altitude, ac.pitch, ac.bank, ac.heading}),
               "an aircraft's position and attitude are numbers");
        expect(finite({ac.motion.pitchStep, ac.motion.bankStep, ac.motion.altitudeStep}),
               "an aircraft's steps are numbers");
        expect(finite({ac.motion.heightAboveGround}), "an aircraft's height above ground is a number");
        const double cg = ac.flight.staticCgHeight;
        expect(cg >= 1.0 && cg <= 35.0, "a static CG height is one the simulator could mean");
        const double pitch = ac.flight.staticPitch;
        expect(pitch > kMinStaticPitch && pitch <= kMaxStaticPitch, "a static pitch is one of a standing aircraft");
        expect(static_cast<std::uint32_t>(ac.status) <= static_cast<std::uint32_t>(SimStatus::removingfromsim),
               "an aircraft's status is one of the five");
    }
    for (const DeferredObjectEvent& deferred : state.deferredEvents) {
        expect(deferred.settling >= 0 && deferred.settling <= kSettlingTicks, "a settling count runs from 0 to 200");
    }
}

// Flight plans of one input are gone before the next.
void emptyPlanFolder() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(planFolderPath(), ec)) fs::remove(entry.path(), ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fs::create_directories(planFolderPath());
    World& w = world();
    w.planFolder.set(planFolderPath());
    w.engine.clocks.weekTime = [] { return packDaySlot(3, 20); };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    resetWorld();
    World& w = world();
    for (std::size_t at = 0; at + kRecordSize <= size; at += kRecordSize) {
        gf_queueSimObjectEvent(w.state, eventOf(data + at));
        lf_handleSimObjectEvents(w.engine);
        expectSoundAircraft(w.state);
    }
    for (int tick = 0; tick <= kSettlingTicks && !w.state.deferredEvents.empty(); ++tick) {
        lf_handleSimObjectEvents(w.engine);
    }
    expectSoundAircraft(w.state);
    emptyPlanFolder();
    return 0;
}
