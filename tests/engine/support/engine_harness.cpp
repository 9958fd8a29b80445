#include "engine_harness.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <mutex>
#include <stdexcept>

#include <fmt/format.h>

#include "core/geodesy.h"
#include "core/messages.h"
#include "core/settings.h"
#include "engine/base/engine_math.h"
#include "engine/engine_tick.h"
#include "engine/object_events.h"
#include "platform/units.h"
#include "refdata/code_table.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_registration.h"
#include "simlink/support/complete_hooks.h"

namespace qvl::test {
namespace {

std::filesystem::path sourceDataFolder() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path() / "data";
}

}  // namespace

void loadReferenceData() {
    static std::once_flag once;
    std::call_once(once, [] {
        TempDir folder;
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(folder.path());
        std::filesystem::create_directories("input");
        const bool encrypted =
            streamEncrypt(sourceDataFolder() / "dbase.xml", std::filesystem::path("input") / "dbase.enc");
        const bool read = encrypted && gf_readDbase();
        std::filesystem::current_path(previous);
        if (!read) throw std::runtime_error("the shipped reference database could not be read");
    });
}

void FakeLiveries::matchLiveAcLivery(FlightRec& flight) {
    ++liveCalls;
    const auto it = titles.find(modelCodeOf(flight.key.modelId));
    flight.liveryTitle = it == titles.end() ? std::string_view{} : std::string_view(it->second);
}

bool FakeLiveries::matchStaticAcLivery(FlightRec& flight, bool /*cargoStand*/) {
    matchLiveAcLivery(flight);
    return !flight.liveryTitle.empty();
}

void TestStands::setStandOccupied(std::uint32_t standNumber, bool occupied) {
    if (failNextOccupied > 0) {
        --failNextOccupied;
        throw std::runtime_error("stand list broken");
    }
    occupiedCalls.emplace_back(standNumber, occupied);
    real_.setStandOccupied(standNumber, occupied);
}

Stand& TestStands::add(std::uint32_t number, const std::string& id, const StandPlacement& at, double radiusNm) {
    std::vector<Stand>& list = park.parkStands;
    const auto it = std::lower_bound(list.begin(), list.end(), number,
                                     [](const Stand& s, std::uint32_t n) { return s.number < n; });
    Stand& added = *list.insert(it, Stand(id, {}, at, radiusNm * kMetresPerNm, StandKind{}));
    added.number = number;
    return added;
}

Stand* TestStands::stand(std::uint32_t number) {
    const auto it = std::find_if(park.parkStands.begin(), park.parkStands.end(),
                                 [&](const Stand& s) { return s.number == number; });
    return it == park.parkStands.end() ? nullptr : &*it;
}

std::vector<LearnedFlight>& TestStands::flights(std::uint32_t number) {
    Stand* found = stand(number);
    if (found == nullptr) throw std::out_of_range("no stand " + std::to_string(number));
    return found->flights;
}

EngineTest::EngineTest()
    : engine{makeEngine({.state = state,
                         .feed = feed,
                         .traffic = traffic,
                         .link = link,
                         .run = run,
                         .parkAirport = parkAirport,
                         .loadedPark = stands.park,
                         .range = range,
                         .liveries = liveries,
                         .stands = stands,
                         .flightPlans = plans,
                         .status = status,
                         .callsigns = collectedCallsigns,
                         .userAircraft = {.read = [this] { return user; },
                                          .send = [this](const UserState& s) { sentUserStates.push_back(s); }}})} {}

void EngineTest::SetUp() {
    loadReferenceData();
    setForTest(LIGHT_AIRCRAFT, true);
    setForTest(HELICOPTERS, true);
    setForTest(HIGH_PERF_AIRCRAFT, true);
    resetMessages();
    attachRunState(&run);
    traffic.setAccepting(true);
    engine.clocks.steadyNow = [this] { return steady; };
    engine.clocks.weekTime = [this] { return weekTime; };
    weekTime = packDaySlot(3, 20);
    // A tick count that is not a multiple of any pace, so tests see the pace
    // from an arbitrary start.
    feed.tickCounter.store(1);
    gf_initAiTraffic(engine);
}

void EngineTest::TearDown() {
    attachRunState(nullptr);
    resetMessages();
}

void EngineTest::keepWallOrigin() {
    if (!wallOrigin_) wallOrigin_.emplace(steady, engine.now());
}

void EngineTest::tick(int count) {
    keepWallOrigin();
    for (int i = 0; i < count; ++i) {
        feeder.deliver(traffic, engine.now());
        lf_handleAddingStack(engine);
        steady += std::chrono::milliseconds(10);
        if (sim) {
            recorder.record(link.queues, lastTick(), false);
            clock->advance(sim->frameInterval());
            ASSERT_TRUE(dispatchOnce(link, run, *handle));
        } else {
            recorder.record(link.queues, lastTick(), true);
        }
    }
}

void EngineTest::tickAt(std::chrono::steady_clock::time_point at) {
    keepWallOrigin();
    ASSERT_GE(at, steady);
    const auto elapsed = at - steady;
    steady = at;
    const auto wallTicks = (at - wallOrigin_->first) / std::chrono::milliseconds(10);
    feeder.deliver(traffic, wallOrigin_->second + static_cast<std::int32_t>(wallTicks), engine.now());
    lf_handleAddingStack(engine);
    if (sim) {
        recorder.record(link.queues, lastTick(), false);
        clock->advance(elapsed);
        ASSERT_TRUE(dispatchOnce(link, run, *handle));
    } else {
        recorder.record(link.queues, lastTick(), true);
    }
}

void EngineTest::fly(const FlightScript& script, std::int32_t firstTick) {
    feeder.add(generateRecords(script, firstTick));
}

LiveAc* EngineTest::aircraft(std::uint32_t hexId) {
    for (LiveAc& ac : state.liveAircraft) {
        if (ac.flight.hexId == hexId) return &ac;
    }
    return nullptr;
}

void EngineTest::spawnAsSpawningWould(LiveAc& ac) {
    const TrafficSample& front = ac.samples.front();
    ac.position.latitude = front.latitude;
    ac.position.longitude = front.longitude;
    ac.altitude = front.altitude;
    ac.trueAirspeed = front.trueAirspeed;
    ac.heading = ac.samples.size() > 1 ? gf_initialBearing({front.latitude, front.longitude},
                                                           {ac.samples[1].latitude, ac.samples[1].longitude})
                                       : normalizeHeading(front.track * kDegToRad);
    ac.setPhase(front.airborne != 0 ? GroundPhase::flying : GroundPhase::taxi);
    ac.status = SimStatus::adding2sim;
    const auto it = liveries.titles.find(modelCodeOf(ac.flight.key.modelId));
    if (it != liveries.titles.end()) ac.flight.liveryTitle = it->second;
    state.hexIdStack.push_back(ac.flight.hexId);
}

void EngineTest::makeActive(LiveAc& ac, std::uint32_t objectId) {
    if (ac.position.latitude == 0.0 && !ac.samples.empty()) spawnAsSpawningWould(ac);
    std::erase(state.hexIdStack, ac.flight.hexId);
    ac.objectId = objectId;
    ac.status = SimStatus::active;
}

void EngineTest::connectStandIn() {
    config.frameRate = 100.0;
    config.creationFrames = 1;
    config.user.latitude = 50.0;
    config.user.longitude = 8.5;
    config.installedTitles = {"Airbus A320 Test Air", "Boeing 747-400 Test Air"};
    sim = std::make_unique<sim::StandInSimulator>(config, clock);
    sim->keepTraceInMemory(true);
    ASSERT_TRUE(sim::succeeded(sim->open(&handle, "Quorvelant", 0)));
    link.simHandle.store(handle);
    lf_registerSimDefinitions(*handle);
    gf_initSimQueues(link);
    link.userObjectId.store(config.user.objectId);
    link.simRunning.store(true);
    SimLinkHooks hooks;
    hooks.queueSimObjectEvent = [this](const SimObjectEvent& e) { gf_queueSimObjectEvent(state, e); };
    hooks.onSimObjectDataByType = [this](const SimObjectDataReply& r) { lf_onSimObjectDataByType(link, userData, r); };
    hooks.onSimObjectData = [this](const SimObjectDataReply& r) { lf_onSimObjectData(link, run, userData, r); };
    link.hooks.publish(test::completeHooks(std::move(hooks)));
    // The simulator's "Sim" event and the first frame.
    clock->advance(sim->frameInterval());
    ASSERT_TRUE(dispatchOnce(link, run, *handle));
    sim->clearTrace();
}

std::vector<std::string> EngineTest::simCalls(const std::string& part) const {
    std::vector<std::string> out;
    for (const std::string& line : sim->traceLines()) {
        if (line.rfind("c1 ", 0) == 0 && line.find(part) != std::string::npos) out.push_back(line.substr(3));
    }
    return out;
}

std::size_t EngineTest::logCount(const std::string& text) const {
    const std::string all = log();
    std::size_t count = 0;
    for (std::size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + text.size())) ++count;
    return count;
}

}  // namespace qvl::test
