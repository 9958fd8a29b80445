// The engine on real parts, driven tick by tick without wall time: a fresh
// engine state, feed state, traffic queue, simulator link and run state; the
// shipped reference database; Log.txt in a temporary folder; fakes for the
// livery matcher; the program's stand service over a stand list that tests
// fill; flight plans as real files in the temporary
// folder. Optionally the stand-in simulator on a manual clock at 100 frames
// a second, so that one frame follows every tick. Records come from
// scripted flights (trajectory.h) and what reaches the simulator link is
// recorded (sim_recorder.h).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "airports/loaded_park_airport.h"
#include "airports/stand.h"
#include "core/current_park_airport.h"
#include "core/range_control.h"
#include "core/run_state.h"
#include "engine/base/engine.h"
#include "engine/base/engine_state.h"
#include "engine/flight_plans.h"
#include "engine/stands/park_airport_stands.h"
#include "feed/feed_state.h"
#include "feed/traffic_queue.h"
#include "platform/sim/stand_in.h"
#include "sim_recorder.h"
#include "simlink/sim_state.h"
#include "simlink/user_aircraft.h"
#include "support/fake_status.h"
#include "support/gated_files.h"
#include "support/log_capture.h"
#include "support/settings_scope.h"
#include "support/temp_dir.h"
#include "trajectory.h"

namespace qvl::test {

// The shipped database (data/dbase.xml) read into the reference tables, once
// per test program.
void loadReferenceData();

class FakeLiveries final : public LiveryService {
public:
    // Titles by model code; a model without one finds no livery.
    std::map<std::string, std::string, std::less<>> titles{
        {"A320", "Airbus A320 Test Air"}, {"B744", "Boeing 747-400 Test Air"}, {"C172", "Cessna 172 Test"}};
    int liveCalls = 0;

    void matchLiveAcLivery(FlightRec& flight) override;
    bool matchStaticAcLivery(FlightRec& flight, bool cargoStand) override;
    bool matchStaticAcLiveryOnStand(FlightRec& flight, std::string_view /*standId*/, bool cargoStand) override {
        return matchStaticAcLivery(flight, cargoStand);
    }
    std::string_view registrationTitle(std::string_view /*registration*/) override { return {}; }
};

// The park airport's stands through the program's own stand service,
// recording the occupied marks the engine sets. Tests add stands directly.
class TestStands final : public StandService {
public:
    // The park airport's status: its statistics' changes are counted there.
    test::FakeStatus status;
    // The learned file's disk, behind a gate that is open unless a test
    // closes it.
    std::shared_ptr<GatedFiles> learnedFiles = std::make_shared<GatedFiles>();
    LoadedParkAirport park{status, learnedFiles};
    std::vector<std::pair<std::uint32_t, bool>> occupiedCalls;
    // The next n calls of setStandOccupied throw, as a broken stand list would.
    int failNextOccupied = 0;

    // Adds a stand at the place the record gives; the list stays sorted by number.
    Stand& add(std::uint32_t number, const std::string& id, const StandPlacement& at = {}, double radiusNm = 0.02);
    // The stand with that number, or nullptr.
    Stand* stand(std::uint32_t number);
    // The stand's learned flights (the stand must exist).
    std::vector<LearnedFlight>& flights(std::uint32_t number);

    std::string standIdText(std::uint32_t standNumber) override { return real_.standIdText(standNumber); }
    void setStandOccupied(std::uint32_t standNumber, bool occupied) override;
    std::size_t standCount() override { return real_.standCount(); }
    const Stand* standAt(std::size_t index) override { return real_.standAt(index); }
    const Stand* findStand(std::uint32_t standNumber) override { return real_.findStand(standNumber); }
    std::vector<StandOption> standOptions(std::uint32_t standNumber) override {
        return real_.standOptions(standNumber);
    }
    const std::vector<Stand>& standList() override { return real_.standList(); }
    std::span<Stand> selectionStands() override { return real_.selectionStands(); }
    void learnStandSize(std::uint32_t standNumber, double radiusNm) override {
        real_.learnStandSize(standNumber, radiusNm);
    }
    void clearCargoFlag(std::uint32_t standNumber) override { real_.clearCargoFlag(standNumber); }
    StandOptionAdded addStandOption(std::uint32_t standNumber, LiveryKey ids, WeekTime time,
                                    const std::string& callsign, const std::string& keyText,
                                    std::uint8_t flag) override {
        return real_.addStandOption(standNumber, ids, time, callsign, keyText, flag);
    }
    void setOptionCallsign(std::uint32_t standNumber, std::uint32_t optionIndex, const std::string& callsign) override {
        real_.setOptionCallsign(standNumber, optionIndex, callsign);
    }
    bool updateOptions(std::uint32_t standNumber, const std::vector<std::uint32_t>& slots,
                       std::uint32_t optionIndex) override {
        return real_.updateOptions(standNumber, slots, optionIndex);
    }
    bool updateOptionsWrapped(std::uint32_t standNumber, const std::vector<std::uint32_t>& slots,
                              std::uint32_t optionIndex, std::uint32_t nextDayIndex) override {
        return real_.updateOptionsWrapped(standNumber, slots, optionIndex, nextDayIndex);
    }
    void markSeenWhileParked(std::uint32_t standNumber, std::uint32_t optionIndex) override {
        real_.markSeenWhileParked(standNumber, optionIndex);
    }
    void countStandChange() override { real_.countStandChange(); }

private:
    ParkAirportStands real_{park};
};

// "<object id>.pln" files in a folder; the content names the route only.
// The run's flight-plan folder, set to the test's own folder.
class TestPlanFolder : public FlightPlanFolder {
public:
    explicit TestPlanFolder(const std::filesystem::path& folder) { set(folder); }
};

// The traffic reader's callsign collection: counts its starts and hands
// over what a test puts in `next`.
class FakeCallsignCollection final : public CallsignCollection {
public:
    int starts = 0;
    std::set<std::string> next;

    void startCallsignCollection() override { ++starts; }
    std::set<std::string> takeCollectedCallsigns() override { return std::exchange(next, {}); }
};

class EngineTest : public ::testing::Test {
protected:
    EngineTest();
    void SetUp() override;
    void TearDown() override;

    // One engine tick: the records that have arrived, lf_handleAddingStack,
    // then the frame (stand-in) or the recorder emptying the queues.
    void tick(int count = 1);
    // One tick of a main loop that has fallen behind, at a later time of the
    // run's steady clock: the records that have arrived by then (a record's
    // arrival tick counted in 10 ms of the clock since the first tick) go in
    // due 3000 ticks after the tick counter, as the reader gives them, and
    // the stand-in runs the frames up to that time.
    void tickAt(std::chrono::steady_clock::time_point at);
    // Ticks until the condition holds, at most `limit` ticks; whether it held.
    template <class Condition>
    bool tickUntil(Condition&& condition, int limit) {
        for (int i = 0; i < limit; ++i) {
            if (condition()) return true;
            tick();
        }
        return condition();
    }
    // The tick just run (the counter has moved on).
    [[nodiscard]] std::int32_t lastTick() const {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(engine.now()) - 1U);
    }

    void fly(const FlightScript& script, std::int32_t firstTick);
    void fly(const FlightScript& script) { fly(script, engine.now()); }

    [[nodiscard]] LiveAc* aircraft(std::uint32_t hexId);
    // What spawning does once an aircraft may be created: the start position
    // from its front sample, its phase, "adding2sim" and its hex id on the
    // stack.
    void spawnAsSpawningWould(LiveAc& ac);
    // An aircraft as the object events leave it: active with its object.
    void makeActive(LiveAc& ac, std::uint32_t objectId);

    // The stand-in simulator, connected as the SimClient thread connects,
    // with the aircraft-in-range and static-values replies turned into the
    // engine's object events as the user-aircraft data handlers do.
    void connectStandIn();
    [[nodiscard]] std::vector<std::string> simCalls(const std::string& part) const;

    // Settings are process-wide: `settings` puts every one back after the
    // test.
    template <class Setting, class Value>
    void setForTest(Setting& setting, Value value) {
        setting.set(std::move(value));
    }

    // Waits (boundedly) until the flight plans' writer has done every file
    // job handed to it; whether it has.
    bool plansWritten() { return plans.drain(std::chrono::seconds(10)); }
    // The same for the learned files' writer.
    bool learnedSaved() { return stands.park.learnedFiles.drain(std::chrono::seconds(10)); }

    [[nodiscard]] std::string log() const { return logCapture.text(); }
    [[nodiscard]] bool logHas(const std::string& text) const { return log().find(text) != std::string::npos; }
    [[nodiscard]] std::size_t logCount(const std::string& text) const;

    SettingsScope settings;
    TempDir dir;
    LogCapture logCapture{dir.path()};
    EngineState state;
    FakeStatus status;
    FeedState feed{status, {.realTrafficGone = [] {}}};
    TrafficQueue traffic;
    SimLinkState link;
    UserAircraftState userData;
    RunState run;
    CurrentParkAirportState parkAirport;
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};
    FakeLiveries liveries;
    TestStands stands;
    TestPlanFolder planFolder{dir.path()};
    // The flight plans' files on disk, behind a gate that is open unless a
    // test closes it.
    std::shared_ptr<GatedFiles> files = std::make_shared<GatedFiles>();
    FolderFlightPlans plans{planFolder, files};
    FakeCallsignCollection collectedCallsigns;
    Engine engine;
    TrafficFeeder feeder;
    SimRecorder recorder;
    UserAircraftBlock user;
    std::vector<UserState> sentUserStates;
    std::chrono::steady_clock::time_point steady{};
    std::uint64_t weekTime = 0;

    sim::StandInConfig config;
    std::shared_ptr<sim::ManualSimClock> clock = std::make_shared<sim::ManualSimClock>();
    std::unique_ptr<sim::StandInSimulator> sim;
    sim::SimConnection* handle = nullptr;

private:
    // The steady clock and the tick counter at the first tick, where the
    // arrival ticks of records meet wall time.
    void keepWallOrigin();
    std::optional<std::pair<std::chrono::steady_clock::time_point, std::int32_t>> wallOrigin_;
};

}  // namespace qvl::test
