// The parking cycle on the engine harness: the number of static aircraft
// wanted, the first filling of a park airport, the adjustment after the week
// time moved on, and leaving the park airport with its learned file.
#include "engine/parking/parking_cycle.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <atomic>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "airports/apf_file.h"
#include "airports/park_airport.h"
#include "core/messages.h"
#include "core/settings.h"
#include "core/time_text.h"
#include "engine/conflicts/park_limit.h"
#include "engine/conflicts/static_conflicts.h"
#include "ground_fixture.h"
#include "refdata/code_table.h"
#include "refdata/lookups.h"

namespace qvl::test {
namespace {

namespace fs = std::filesystem;

constexpr GeoPosition kApron{.latitude = 50.0, .longitude = 8.5};

// What the window and the traffic reader were asked to do.
// What the parking cycle reported, as the engine's fakes recorded it.
struct HookCalls {
    int& disabled;
    int& enabled;
    int& countdownRestarts;
    int& buttonsDisabled;
    std::atomic<bool>& running;
    std::set<std::string>& collected;
};

class ParkingCycleTest : public GroundTest {
protected:
    void SetUp() override {
        GroundTest::SetUp();
        setForTest(MAX_PARK_SEL, 500);
        setForTest(CUSTOM_PARKING_PERCENTAGE, -1);
        setForTest(parking_percentage, 40);
        setForTest(MAX_FIT, 4);
        setForTest(WEEK, false);
        setForTest(PARK_SOFT, false);
        setForTest(RANDOM, false);
        setForTest(INITIAL_LOAD_ONLY, false);
        parkAirport.set({.code = FixedCode4("EDDF"), .position = kApron, .elevationFeet = 364.0F});
        parkAirport.setStandsLoaded(true);
    }

    // Stands 1..count, 100 m apart, no neighbours of each other. Adding a
    // stand moves the others: take them by number afterwards.
    void addStands(std::uint32_t count) {
        for (std::uint32_t n = 1; n <= count; ++n) addStand(n, offset(kApron, 90.0, 0.054 * n), 0.0, 0.02);
    }
    Stand& st(std::uint32_t number) { return *stands.stand(number); }
    // A real flight of the day, at the stand in the slots from..to; arriving
    // as callsign1, departing as callsign2.
    LearnedFlight learn(std::uint32_t standNumber, const std::string& callsign1, const std::string& callsign2,
                        std::uint32_t day, std::uint32_t from, std::uint32_t to) {
        Stand& stand = st(standNumber);
        LearnedFlight flight;
        flight.ids = {.airlineId = gf_airlineId(callsign1.substr(0, 3)), .modelId = gf_modelId("A320"), .marker = 0};
        flight.registration = "D-A" + callsign1;
        flight.callsign1 = callsign1;
        flight.callsign2 = callsign2;
        for (std::uint32_t slot = from; slot <= to; ++slot) flight.hours.set(slot);
        flight.day = day;
        flight.ordinal = static_cast<std::uint32_t>(stand.flights.size()) + 1;
        stand.flights.push_back(flight);
        return flight;
    }
    // An active static aircraft as the placing leaves it, showing the
    // flight's arriving callsign.
    StaticAc& placed(std::uint32_t standNumber, const LearnedFlight& flight, WeekTime since) {
        const Stand& stand = st(standNumber);
        StaticAc& ac = state.staticAircraft.emplace_back();
        ac.flight.hexId = static_cast<std::uint32_t>(state.staticAircraft.size());
        ac.flight.key = liveryKeyOf(flight.ids);
        ac.flight.callsign = flight.callsign1 + "*";
        ac.flight.callsignCopy = flight.callsign1;
        ac.flight.callsignText = flight.callsign2;
        ac.flight.registration = flight.registration;
        ac.objectId = 500 + ac.flight.hexId;
        ac.status = SimStatus::active;
        ac.standNumber = stand.number;
        ac.stand = {.position = {.latitude = stand.latitude, .longitude = stand.longitude}, .heading = stand.heading};
        ac.parkedSince = since;
        return ac;
    }
    LiveAc& parkedLive(std::uint32_t standNumber, const std::string& callsign, std::chrono::minutes ago) {
        const Stand& stand = st(standNumber);
        LiveAc& ac = make({groundSample(stand.latitude, stand.longitude, 0.0, now())});
        ac.flight.callsign = callsign;
        ac.flight.registration = "D-L" + callsign;
        parkOn(ac, stand);
        ac.seenAtStand = true;
        ac.parkedAt = steady - ago;
        return ac;
    }
    static bool removing(const AcRecord& ac) { return ac.status == SimStatus::removingfromsim; }
    std::vector<std::uint32_t> fitsOfCandidates() const {
        std::vector<std::uint32_t> fits;
        for (const ParkPosition& p : state.parking.candidates) fits.push_back(p.fit);
        return fits;
    }

    HookCalls calls{.disabled = status.updateStarts,
                    .enabled = status.updateEnds,
                    .countdownRestarts = status.countdownRestarts,
                    .buttonsDisabled = status.parkAirportLeaves,
                    .running = state.parking.update.running,
                    .collected = collectedCallsigns.next};
};

TEST_F(ParkingCycleTest, TheWantedCountIsTheShareOfTheStandsWithinItsLimits) {
    addStands(3);
    EXPECT_EQ(lf_wantedStaticCount(engine), 1) << "3 stands at 40 %: still one";
    setForTest(parking_percentage, 10);
    EXPECT_EQ(lf_wantedStaticCount(engine), 1) << "3 stands at 10 %: one, not round(0.3)";
    setForTest(parking_percentage, 40);
    EXPECT_EQ(lf_wantedStaticCount(engine), 1);
    EXPECT_EQ(state.parking.display.maxPark, 1);
    EXPECT_EQ(state.parking.display.maxParkPercent, 33);

    addStand(4, offset(kApron, 0.0, 0.5), 0.0, 0.02);
    EXPECT_EQ(lf_wantedStaticCount(engine), 2) << "4 stands at 40 %: round(1.6)";
    EXPECT_EQ(state.parking.display.maxParkPercent, 50);
    setForTest(CUSTOM_PARKING_PERCENTAGE, 100);
    EXPECT_EQ(lf_wantedStaticCount(engine), 4) << "the custom share overrides the drop-down";
    setForTest(MAX_PARK_SEL, 0);
    EXPECT_EQ(lf_wantedStaticCount(engine), 0);
    EXPECT_EQ(state.parking.display.maxPark, 0);
    EXPECT_EQ(state.parking.display.maxParkPercent, 40) << "max park 0 shows the drop-down's share";

    setForTest(MAX_PARK_SEL, 500);
    gf_clearStands(stands.park.parkStands);
    EXPECT_EQ(lf_wantedStaticCount(engine), 0) << "an airport without stands gets no static aircraft";
}

TEST_F(ParkingCycleTest, TheFirstFillingSortsByFitAndCutsToWanted) {
    // Today is Wednesday, slot 20. The flight of today fits 5 half hours
    // back; with WEEK the other days' flights fit closer.
    setForTest(MAX_FIT, 6);
    setForTest(WEEK, true);
    setForTest(CUSTOM_PARKING_PERCENTAGE, 75);
    addStands(4);
    learn(1, "DLH1", "", 3, 15, 15);
    learn(2, "KLM2", "", 2, 20, 20);
    learn(3, "AFR3", "", 1, 19, 19);
    learn(4, "BAW4", "", 5, 18, 18);
    calls.collected = {"SAS9"};

    lf_selectParkPositions(engine);

    EXPECT_EQ(calls.disabled, 1);
    EXPECT_TRUE(calls.running.load()) << "the engine's own state says the update runs";
    EXPECT_EQ(state.parking.liveCallsigns.count("SAS9"), 1U);
    ASSERT_EQ(state.parking.candidates.size(), 3U) << log();
    const std::vector<std::uint32_t> fits = fitsOfCandidates();
    EXPECT_TRUE(std::is_sorted(fits.rbegin(), fits.rend())) << "the placing takes the closest fit from the end";
    EXPECT_EQ(state.parking.candidates.back().callsign1, "KLM2");
    EXPECT_TRUE(logHas("It is day 3 (Wed)"));
    EXPECT_TRUE(logHas("3 positions (75% vs wanted 75%")) << "the custom share is the one in use";
    EXPECT_EQ(calls.enabled, 0) << "the controls stay off until the candidates are placed";
}

TEST_F(ParkingCycleTest, WithoutAValidWeekTimeNothingIsSelected) {
    addStands(1);
    const LearnedFlight flight = learn(1, "DLH1", "", 3, 20, 20);
    weekTime = packDaySlot(0xFFFFFFFFU, 0xFFFFFFFFU);
    lf_selectParkPositions(engine);
    EXPECT_TRUE(state.parking.candidates.empty());
    EXPECT_TRUE(logHas("no parking positions found"));
    EXPECT_EQ(calls.enabled, 1);
    EXPECT_FALSE(calls.running.load()) << "an update with nothing to place is over at once";

    StaticAc& ac = placed(1, flight, {3, 20});
    lf_adjustParking(engine);
    EXPECT_FALSE(removing(ac)) << "an adjustment without a week time leaves the static aircraft";
}

TEST_F(ParkingCycleTest, AnAdjustmentAfterTheWeekTimeMovedReplacesDepartingFlightsAndKeepsFittingOnes) {
    setForTest(CUSTOM_PARKING_PERCENTAGE, 100);
    addStands(3);
    // Stand 1: DLH100 arrived at slot 18 and leaves as DLH101 after slot 20.
    // Stand 2: KLM200 stands all day. Stand 3: AFR300 left at slot 12;
    // BAW400 is there now.
    const LearnedFlight departing = learn(1, "DLH100", "DLH101", 3, 18, 20);
    const LearnedFlight staying = learn(2, "KLM200", "", 3, 10, 30);
    const LearnedFlight gone = learn(3, "AFR300", "", 3, 10, 12);
    learn(3, "BAW400", "", 3, 19, 25);
    StaticAc& dlh = placed(1, departing, {3, 18});
    StaticAc& klm = placed(2, staying, {3, 16});
    StaticAc& afr = placed(3, gone, {3, 10});

    weekTime = packDaySlot(3, 20);
    lf_adjustParking(engine);

    EXPECT_FALSE(removing(klm)) << log();
    EXPECT_TRUE(removing(dlh));
    EXPECT_TRUE(removing(afr));
    ASSERT_EQ(state.parking.candidates.size(), 2U) << log();
    const ParkPosition& replacement = state.parking.candidates.front();
    EXPECT_EQ(replacement.standNumber, 1U);
    EXPECT_EQ(replacement.callsign2, "DLH101");
    EXPECT_FALSE(replacement.stays) << "the new aircraft shows the departing callsign";
    EXPECT_EQ(replacement.fit, 2U) << "parked since as the aircraft it replaces";
    EXPECT_EQ(state.parking.candidates.back().callsign1, "BAW400");
    EXPECT_EQ(state.parking.kept.size(), 1U);
    EXPECT_TRUE(logHas("Parking adjustments: 2 to be removed, 2 to be added"));

    tick(30);
    std::vector<std::uint32_t> removed;
    for (const auto& r : recorder.removals) removed.push_back(r.command);
    EXPECT_EQ(removed, (std::vector<std::uint32_t>{afr.objectId, dlh.objectId}));
}

TEST_F(ParkingCycleTest, AStaticParkedExactlyItsCandidatesFitAgoIsKeptAndOneParkedEarlierIsReplaced) {
    setForTest(CUSTOM_PARKING_PERCENTAGE, 100);
    addStands(2);
    // Each stand's other flight came three half hours ago (fit 3).
    const LearnedFlight exact = learn(1, "DLH1", "", 3, 10, 30);
    learn(1, "KLM1", "", 3, 17, 17);
    const LearnedFlight early = learn(2, "DLH2", "", 3, 10, 30);
    learn(2, "KLM2", "", 3, 17, 17);
    StaticAc& kept = placed(1, exact, {3, 17});
    StaticAc& replaced = placed(2, early, {3, 16});

    weekTime = packDaySlot(3, 20);
    lf_adjustParking(engine);

    EXPECT_FALSE(removing(kept)) << log();
    EXPECT_TRUE(removing(replaced));
    ASSERT_EQ(state.parking.candidates.size(), 1U);
    EXPECT_EQ(state.parking.candidates.front().callsign1, "KLM2");
    EXPECT_EQ(state.parking.candidates.front().fit, 3U);
}

TEST_F(ParkingCycleTest, ACandidateOnANeighbourStandDecidesOnlyWhenTheWingsWouldTouch) {
    // Stand 1 lists stand 2 as its neighbour, stand 2 does not list stand 1,
    // so the selection gives stand 2 a candidate beside the static aircraft.
    // Its fit 0 is later than the static's arrival: when it decides, the
    // static goes; otherwise its own flight, at the stand now, keeps it.
    const double wings = 2.0 * gf_halfWingspan(gf_modelId("A320"));
    for (const double apartNm : {wings * 0.9, wings * 1.1}) {
        SCOPED_TRACE(apartNm);
        gf_clearStands(stands.park.parkStands);
        state.staticAircraft.clear();
        setForTest(CUSTOM_PARKING_PERCENTAGE, 100);
        addStand(1, kApron, 0.0, 0.02);
        addStand(2, offset(kApron, 90.0, apartNm), 0.0, 0.02);
        st(1).neighbours = {2};
        StaticAc& ac = placed(1, learn(1, "DLH1", "", 3, 10, 30), {3, 17});
        learn(2, "KLM2", "", 3, 20, 20);

        lf_adjustParking(engine);

        ASSERT_EQ(state.parking.candidates.size(), 1U) << log();
        EXPECT_EQ(state.parking.candidates.front().standNumber, 2U);
        EXPECT_EQ(removing(ac), apartNm < wings);
    }
}

TEST_F(ParkingCycleTest, AsManyParkedLiveAircraftAsWantedAreNotTooMany) {
    setForTest(parking_percentage, 50);
    addStands(4);
    parkedLive(1, "EZY1", std::chrono::minutes(50));
    parkedLive(2, "EZY2", std::chrono::minutes(20));

    lf_adjustParking(engine);

    EXPECT_FALSE(logHas("more live ac than wanted")) << log();
    EXPECT_EQ(std::count_if(state.liveAircraft.begin(), state.liveAircraft.end(),
                            [](const LiveAc& live) { return live.status == SimStatus::active; }),
              2);
}

TEST_F(ParkingCycleTest, MoreParkedLiveAircraftThanWantedGoFirstAndNoStaticIsAdded) {
    setForTest(parking_percentage, 50);
    addStands(4);
    for (std::uint32_t n = 1; n <= 4; ++n) learn(n, "SWR" + std::to_string(n), "", 3, 10, 30);
    const std::uint32_t oldest = parkedLive(1, "EZY1", std::chrono::minutes(50)).flight.hexId;
    parkedLive(2, "EZY2", std::chrono::minutes(20));
    parkedLive(3, "EZY3", std::chrono::minutes(10));
    StaticAc& ac = placed(4, stands.flights(4)[0], {3, 19});

    lf_adjustParking(engine);

    EXPECT_TRUE(logHas("Parking adjustments: 1 more live ac than wanted"));
    EXPECT_TRUE(removing(*aircraft(oldest)));
    EXPECT_EQ(std::count_if(state.liveAircraft.begin(), state.liveAircraft.end(),
                            [](const LiveAc& live) { return live.status == SimStatus::active; }),
              2);
    EXPECT_TRUE(state.parking.candidates.empty());
    EXPECT_TRUE(removing(ac)) << "two live aircraft fill the two wanted stands";
}

TEST_F(ParkingCycleTest, WithNoStaticWantedTheStaticsGoButParkedLiveAircraftStay) {
    setForTest(MAX_PARK_SEL, 0);
    addStands(2);
    const std::uint32_t live = parkedLive(1, "EZY1", std::chrono::minutes(30)).flight.hexId;
    StaticAc& ac = placed(2, learn(2, "SWR2", "", 3, 10, 30), {3, 19});

    lf_adjustParking(engine);

    EXPECT_TRUE(removing(ac));
    EXPECT_EQ(aircraft(live)->status, SimStatus::active) << "max park 0 sets no limit on live aircraft";
}

TEST_F(ParkingCycleTest, AStaticAlreadyBeingRemovedIsNotRemovedAgain) {
    addStands(1);
    const LearnedFlight gone = learn(1, "AFR300", "", 3, 10, 12);
    StaticAc& going = placed(1, gone, {3, 10});
    going.status = SimStatus::removingfromsim;
    StaticAc& standing = placed(1, gone, {3, 11});

    lf_adjustParking(engine);

    EXPECT_TRUE(removing(standing));
    tick(30);
    std::vector<std::uint32_t> removed;
    for (const auto& r : recorder.removals) removed.push_back(r.command);
    EXPECT_EQ(removed, std::vector<std::uint32_t>{standing.objectId});
}

TEST_F(ParkingCycleTest, AStaticWhoseFlightIsLiveGoes) {
    addStands(1);
    StaticAc& ac = placed(1, learn(1, "DLH100", "DLH101", 3, 10, 30), {3, 19});
    calls.collected = {"DLH101"};
    lf_adjustParking(engine);
    EXPECT_TRUE(removing(ac));
}

TEST_F(ParkingCycleTest, TheUpdateEndsOnceEveryCandidateIsPlaced) {
    addStands(1);
    placed(1, learn(1, "DLH1", "", 3, 10, 30), {3, 16});
    calls.running = true;
    state.parking.candidates.emplace_back();
    gf_updateStaticParking(engine, false);
    EXPECT_EQ(calls.enabled, 0) << "a candidate still waits";

    state.parking.candidates.clear();
    gf_updateStaticParking(engine, false);
    EXPECT_EQ(calls.enabled, 1);
    EXPECT_FALSE(calls.running.load());
    EXPECT_FLOAT_EQ(state.parking.display.staticParkMeanHours, 2.5F) << "4 half hours parked";
}

TEST_F(ParkingCycleTest, AnUpdateTheWindowOnlyAskedForIsNotEndedBeforeItStarts) {
    addStands(1);
    state.parking.update.ask();
    gf_updateStaticParking(engine, false);
    EXPECT_EQ(calls.enabled, 0) << "the controls stay off until the asked update has run";
    EXPECT_TRUE(state.parking.update.pending.load());
    EXPECT_TRUE(state.parking.update.busy());
}

TEST_F(ParkingCycleTest, TheStaticMeanWaitsForAPendingUpdateAndEachMeanRepaintsOnlyWhenItChanges) {
    addStands(2);
    placed(1, learn(1, "DLH1", "", 3, 10, 30), {3, 16});
    parkedLive(2, "DLH2", std::chrono::minutes(5)).parkedSince = {.day = 3, .slot = 18};
    state.parking.update.pending = true;
    calls.running = true;
    gf_updateStaticParking(engine, false);
    ASSERT_EQ(calls.enabled, 1);
    EXPECT_FLOAT_EQ(state.parking.display.staticParkMeanHours, 0.0F) << "an update is pending";
    EXPECT_FLOAT_EQ(state.parking.display.liveParkMeanHours, 1.5F) << "2 half hours parked";

    const int repaints = status.statusChanges;
    state.parking.update.pending = false;
    calls.running = true;
    gf_updateStaticParking(engine, false);
    EXPECT_FLOAT_EQ(state.parking.display.staticParkMeanHours, 2.5F);
    EXPECT_EQ(status.statusChanges, repaints + 1) << "only the static mean changed";

    calls.running = true;
    gf_updateStaticParking(engine, false);
    EXPECT_EQ(status.statusChanges, repaints + 1) << "neither mean changed";
}

TEST_F(ParkingCycleTest, AStandFileThatCannotBeLoadedLeavesNoParkAirport) {
    parkAirport.set({.code = FixedCode4("ZZZZ"), .position = kApron, .elevationFeet = 0.0F});
    parkAirport.setStandsLoaded(false);
    state.parking.loadPending = true;
    gf_updateStaticParking(engine, true);
    EXPECT_FALSE(state.parking.loadPending);
    EXPECT_FALSE(parkAirport.current());
    EXPECT_FALSE(messageLines().message.empty());
    EXPECT_EQ(calls.enabled, 1);
    EXPECT_EQ(status.usableStates(DESTINATION), std::vector<bool>{true});
    EXPECT_EQ(calls.countdownRestarts, 0);
}

TEST_F(ParkingCycleTest, LeavingRemovesStaticsAndLiveAircraftOnTheGroundButNotFlyingOnes) {
    addStands(2);
    placed(1, learn(1, "DLH1", "", 3, 10, 30), {3, 19});
    const std::uint32_t parked = parkedLive(2, "EZY2", std::chrono::minutes(5)).flight.hexId;
    const auto inPhase = [&](GroundPhase phase) {
        LiveAc& ac = make({groundSample(50.01, 8.5, 10.0, now())});
        ac.phase = phase;
        ac.standNumber = 1;
        return ac.flight.hexId;
    };
    const std::uint32_t taxiing = inPhase(GroundPhase::taxi);
    const std::uint32_t takingOff = inPhase(GroundPhase::take_off);
    const std::uint32_t flying = inPhase(GroundPhase::flying);
    const std::uint32_t arriving = inPhase(GroundPhase::parking);
    parkAirport.setReferenceElevation(364.0);

    gf_leaveParkAirport(engine);

    EXPECT_TRUE(removing(state.staticAircraft.front()));
    for (const std::uint32_t hexId : {parked, taxiing, takingOff}) {
        EXPECT_TRUE(removing(*aircraft(hexId))) << hexId;
        EXPECT_EQ(aircraft(hexId)->standNumber, 0U);
    }
    for (const std::uint32_t hexId : {flying, arriving}) EXPECT_EQ(aircraft(hexId)->status, SimStatus::active);
    EXPECT_FALSE(parkAirport.current());
    EXPECT_FALSE(parkAirport.standsLoaded());
    EXPECT_FALSE(parkAirport.referenceElevation());
    EXPECT_TRUE(stands.park.parkStands.empty());
    EXPECT_EQ(calls.buttonsDisabled, 1);
}

// The park airport's stand file in the test's own program folder.
class ParkingRoundTripTest : public ParkingCycleTest {
protected:
    void SetUp() override {
        ParkingCycleTest::SetUp();
        previousFolder_ = fs::current_path();
        fs::current_path(dir.path());
        parkAirport.reset();
        ApfRecord record;
        record.icao = FixedCode4("EDDF");
        record.airportName = "Frankfurt";
        record.publisher = "Test";
        record.stands = {Stand("A1", {}, {.latitude = 50.0, .longitude = 8.5, .heading = 0.0}, 30.0, {}),
                         Stand("A2", {}, {.latitude = 50.0, .longitude = 8.51, .heading = 0.0}, 30.0, {})};
        ASSERT_TRUE(gf_saveApf(record, "airports/my_simaddon/EDDF.xml",
                               {.mode = ApfMode::generated, .simNumber = 1, .handmade = false}));
    }
    void TearDown() override {
        // A save left to the writer writes into the test's folder, not the next one's.
        EXPECT_TRUE(learnedSaved());
        fs::current_path(previousFolder_);
        ParkingCycleTest::TearDown();
    }
    // The park airport is chosen and its stands loaded by the first update
    // after its files were read.
    void arrive() {
        startArriving();
        keepArriving(std::chrono::seconds(10));
    }
    void startArriving() {
        parkAirport.set({.code = FixedCode4("EDDF"), .position = kApron, .elevationFeet = 0.0F});
        state.parking.loadPending = true;
        gf_updateStaticParking(engine, false);
        EXPECT_TRUE(state.parking.loadPending) << "the first update only starts the read";
    }
    // The loop's updates until the stands are loaded, for at most `bound`.
    void keepArriving(std::chrono::milliseconds bound) {
        const auto until = std::chrono::steady_clock::now() + bound;
        while (state.parking.loadPending && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            gf_updateStaticParking(engine, false);
        }
    }

private:
    fs::path previousFolder_;
};

TEST_F(ParkingRoundTripTest, LearnedFlightsSurviveLeavingAndComingBack) {
    arrive();
    ASSERT_TRUE(parkAirport.standsLoaded()) << log();
    EXPECT_EQ(calls.countdownRestarts, 1);
    ASSERT_EQ(stands.park.parkStands.size(), 2U);
    learn(stands.park.parkStands[1].number, "DLH100", "DLH101", 3, 18, 20);
    const fs::path learnedFile = learnedFilePath(stands.park);

    gf_leaveParkAirport(engine);
    ASSERT_TRUE(learnedSaved());
    ASSERT_TRUE(fs::exists(learnedFile)) << log();
    EXPECT_TRUE(stands.park.parkStands.empty());

    arrive();
    ASSERT_TRUE(parkAirport.standsLoaded()) << log();
    ASSERT_EQ(stands.park.parkStands.size(), 2U);
    const std::vector<LearnedFlight>& back = stands.park.parkStands[1].flights;
    ASSERT_EQ(back.size(), 1U) << readFile(learnedFile);
    EXPECT_EQ(back[0].callsign1, "DLH100");
    EXPECT_EQ(back[0].callsign2, "DLH101");
    EXPECT_EQ(back[0].day, 3U);
    EXPECT_TRUE(back[0].hours.test(18) && back[0].hours.test(20));
}

TEST_F(ParkingRoundTripTest, LeavingHandsTheLearnedFileOverAndReturnsWhileItIsWritten) {
    arrive();
    ASSERT_TRUE(parkAirport.standsLoaded()) << log();
    learn(stands.park.parkStands[1].number, "DLH100", "DLH101", 3, 18, 20);
    const fs::path learnedFile = learnedFilePath(stands.park);

    stands.learnedFiles->close();
    auto leaving = std::async(std::launch::async, [this] { gf_leaveParkAirport(engine); });
    const bool returned = leaving.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    const bool held = stands.learnedFiles->waitForWaiter();
    const bool writtenWhileHeld = fs::exists(learnedFile);
    stands.learnedFiles->open();
    leaving.wait();
    EXPECT_TRUE(returned) << "leaving waited for the disk";
    EXPECT_TRUE(held);
    EXPECT_FALSE(writtenWhileHeld);
    EXPECT_TRUE(stands.park.parkStands.empty());

    ASSERT_TRUE(learnedSaved());
    EXPECT_NE(readFile(learnedFile).find("DLH100"), std::string::npos);
    EXPECT_TRUE(logHas(" 'airports/learned/my_simaddon/EDDF.xml' saved with ")) << log();
}

TEST_F(ParkingRoundTripTest, ComingBackWhileTheLearnedFileIsStillWrittenReadsItOnceWritten) {
    arrive();
    ASSERT_TRUE(parkAirport.standsLoaded()) << log();
    learn(stands.park.parkStands[1].number, "DLH100", "DLH101", 3, 18, 20);

    stands.learnedFiles->close();
    gf_leaveParkAirport(engine);
    ASSERT_TRUE(stands.learnedFiles->waitForWaiter());
    // The read starts while the save is held, and is given time to finish
    // were it not waiting for the save.
    startArriving();
    keepArriving(std::chrono::milliseconds(300));
    const bool loadedWhileHeld = !state.parking.loadPending;
    stands.learnedFiles->open();
    keepArriving(std::chrono::seconds(10));

    EXPECT_FALSE(loadedWhileHeld);
    ASSERT_TRUE(parkAirport.standsLoaded()) << log();
    ASSERT_EQ(stands.park.parkStands.size(), 2U);
    const std::vector<LearnedFlight>& back = stands.park.parkStands[1].flights;
    ASSERT_EQ(back.size(), 1U) << log();
    EXPECT_EQ(back[0].callsign1, "DLH100");
}

TEST_F(ParkingRoundTripTest, TheSavedSettingsAreThoseOfTheAirportNotTheUsersPutBack) {
    arrive();
    ASSERT_TRUE(parkAirport.standsLoaded()) << log();
    const std::int32_t users = stands.park.storedSettings->parkingPercentage;
    const std::int32_t airports = users == 77 ? 78 : 77;
    setForTest(parking_percentage, airports);
    const fs::path learnedFile = learnedFilePath(stands.park);

    stands.learnedFiles->close();
    gf_leaveParkAirport(engine);
    ASSERT_TRUE(stands.learnedFiles->waitForWaiter());
    EXPECT_EQ(parking_percentage.value(), users) << "the user's own put back on leaving";
    stands.learnedFiles->open();
    ASSERT_TRUE(learnedSaved());
    EXPECT_NE(readFile(learnedFile).find(fmt::format(R"(name="{}" value="{}")", parking_percentage.key(), airports)),
              std::string::npos)
        << readFile(learnedFile);
}

TEST_F(ParkingRoundTripTest, AnAirportWhoseStandsFailedToLoadLeavesTheLearnedFileAsItWas) {
    arrive();
    ASSERT_TRUE(parkAirport.standsLoaded()) << log();
    learn(stands.park.parkStands[1].number, "DLH100", "DLH101", 3, 18, 20);
    const fs::path learnedFile = learnedFilePath(stands.park);
    gf_leaveParkAirport(engine);
    ASSERT_TRUE(learnedSaved());
    const std::string learned = readFile(learnedFile);
    ASSERT_NE(learned.find("DLH100"), std::string::npos) << learned;

    // The stand file now gives no stand.
    ApfRecord record;
    record.icao = FixedCode4("EDDF");
    record.airportName = "Frankfurt";
    record.publisher = "Test";
    ASSERT_TRUE(gf_saveApf(record, "airports/my_simaddon/EDDF.xml",
                           {.mode = ApfMode::generated, .simNumber = 1, .handmade = false}));
    arrive();
    EXPECT_FALSE(parkAirport.current()) << log();
    EXPECT_EQ(readFile(learnedFile), learned);
}

}  // namespace
}  // namespace qvl::test
