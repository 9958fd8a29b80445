// Placing waiting static parked aircraft on their stands: the pace of the
// engine tick, the rules that refuse a stand, the callsign shown, the hex
// ids and the time the aircraft counts as parked since.
#include "engine/parking/static_placing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/time_text.h"
#include "refdata/code_table.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class StaticPlacingTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // Three stands 200 m apart in a row, 1 and 2 neighbours.
        stands.add(1, "A1", {.latitude = 50.0, .longitude = 8.5, .heading = 1.0}).neighbours = {2};
        stands.add(2, "A2", {.latitude = 50.0018, .longitude = 8.5}).neighbours = {1};
        stands.add(3, "A3", {.latitude = 50.0036, .longitude = 8.5});
    }

    static ParkPosition candidate(std::uint32_t standNumber, const std::string& callsign1,
                                  const std::string& callsign2 = "", bool stays = true, const char* model = "A320") {
        return {.standNumber = standNumber,
                .fit = 0,
                .key = {.airlineId = gf_airlineId("TST"), .modelId = gf_modelId(model)},
                .callsign1 = callsign1,
                .callsign2 = callsign2,
                .registration = "D-" + callsign1,
                .stays = stays};
    }
    // One candidate waiting, placed at once.
    void place(const ParkPosition& entry) {
        state.parking.candidates.push_back(entry);
        lf_detcs(engine);
    }
    LiveAc& liveOn(std::uint32_t standNumber, GroundPhase phase, const std::string& callsign) {
        LiveAc& ac = state.liveAircraft.emplace_back();
        ac.flight.callsign = callsign;
        ac.flight.hexId = 0x400000 + standNumber;
        ac.standNumber = standNumber;
        ac.status = SimStatus::active;
        ac.phase = phase;
        return ac;
    }
    StaticAc& staticOn(std::uint32_t standNumber, const std::string& callsign) {
        StaticAc& ac = state.staticAircraft.emplace_back();
        ac.flight.callsign = callsign;
        ac.flight.hexId = 500;
        ac.standNumber = standNumber;
        ac.status = SimStatus::active;
        return ac;
    }
    // The refused candidate is dropped with its line and takes no hex id.
    void expectRefused(const std::string& line) {
        EXPECT_TRUE(logHas(line)) << log();
        EXPECT_TRUE(state.parking.candidates.empty());
        EXPECT_TRUE(state.staticCreationQueue.empty());
        EXPECT_EQ(state.parking.staticHexIdCounter, 0U);
    }
};

TEST_F(StaticPlacingTest, TheTickPlacesAtMostOneStaticEveryFiftyTicks) {
    state.parking.candidates = {candidate(3, "TST3"), candidate(2, "TST2"), candidate(1, "TST1")};
    // Stands 1 and 2 are neighbours; here only the pace is looked at.
    stands.stand(1)->neighbours.clear();
    stands.stand(2)->neighbours.clear();
    tick(60);
    ASSERT_EQ(state.staticAircraft.size(), 1U);  // placed at tick 50, released at the next
    EXPECT_TRUE(recorder.creations.empty());
    tick(150);
    ASSERT_EQ(recorder.creations.size(), 3U);
    for (std::size_t i = 1; i < recorder.creations.size(); ++i) {
        EXPECT_EQ(recorder.creations[i].tick - recorder.creations[i - 1].tick, 50);
    }
    // From the back of the list, the closest fits first.
    const CreateAircraftCommand& first = recorder.creations[0].command;
    EXPECT_EQ(first.callsign, "TST1*");
    EXPECT_EQ(first.hexId, 1U);
    EXPECT_EQ(first.liveryTitle, "Airbus A320 Test Air");
    EXPECT_EQ(first.position.onGround, 1U);
    EXPECT_DOUBLE_EQ(first.position.altitude, 0.0);
    EXPECT_NEAR(first.position.heading, 57.29577951308232, 1e-9);
    EXPECT_EQ(recorder.creations[2].command.callsign, "TST3*");
    for (const StaticAc& ac : state.staticAircraft) EXPECT_EQ(ac.status, SimStatus::adding2sim);
}

TEST_F(StaticPlacingTest, AStandWithALiveAircraftParkingOnItIsRefused) {
    liveOn(1, GroundPhase::parking, "DLH4");
    place(candidate(1, "TST1"));
    expectRefused("A1      : no static parking for TST1*, live aircraft DLH4 standing here");
}

TEST_F(StaticPlacingTest, AStandBesideAParkedLiveAircraftIsRefused) {
    liveOn(2, GroundPhase::parked, "DLH4");
    place(candidate(1, "TST1"));
    expectRefused("A1      : no static parking for TST1*, live aircraft DLH4 is adjacent at A2, possibly colliding");
}

TEST_F(StaticPlacingTest, AStandBesideAStaticAircraftIsRefused) {
    staticOn(2, "KLM7*");
    place(candidate(1, "TST1"));
    expectRefused("A1      : no static parking for TST1*, static aircraft KLM7* is adjacent at A2, possibly colliding");
}

TEST_F(StaticPlacingTest, AStandThatHoldsAStaticAircraftIsRefused) {
    staticOn(3, "KLM7*");
    place(candidate(3, "TST3"));
    expectRefused("A3      : no static parking for TST3*, static aircraft KLM7* is adjacent at A3, possibly colliding");
}

TEST_F(StaticPlacingTest, AStandOccupiedByALiveAircraftIsRefused) {
    stands.stand(3)->occupied = true;
    place(candidate(3, "TST3"));
    expectRefused("A3      : no static parking for TST3*, live aircraft occupies the stand");
}

TEST_F(StaticPlacingTest, AnUnknownStandIsLoggedAndDropped) {
    place(candidate(9, "TST9"));
    expectRefused("stand with id 9 not found");
}

TEST_F(StaticPlacingTest, TaxiingAircraftAndAircraftOnTheirWayOutLeaveTheStandFree) {
    liveOn(2, GroundPhase::taxi, "DLH4");
    // An adjustment removes the static it replaces before the new one comes.
    staticOn(1, "TST1*").status = SimStatus::removingfromsim;
    place(candidate(1, "TST1", "TST2", false));
    ASSERT_EQ(state.staticAircraft.size(), 2U);
    EXPECT_EQ(state.staticAircraft.back().flight.callsign, "TST2*");
    EXPECT_EQ(state.staticCreationQueue.size(), 1U);
}

TEST_F(StaticPlacingTest, AircraftFlaggedForRemovalLeaveTheStandFreeWhileStillActive) {
    staticOn(1, "TST1*").eraseNow = true;
    liveOn(2, GroundPhase::parked, "DLH4").eraseDropped = true;
    place(candidate(1, "TST1"));
    EXPECT_EQ(state.staticCreationQueue.size(), 1U) << log();
}

TEST_F(StaticPlacingTest, WithoutALiveryNoStaticIsKept) {
    place(candidate(3, "TST3", "", true, "B738"));
    EXPECT_TRUE(state.staticAircraft.empty());
    EXPECT_TRUE(state.staticCreationQueue.empty());
}

TEST_F(StaticPlacingTest, TheCallsignShownFollowsWhetherTheFlightStays) {
    place(candidate(1, "TST1_", "TST2", true));
    place(candidate(3, "TST1", "TST2", false));
    ASSERT_EQ(state.staticAircraft.size(), 2U);
    EXPECT_EQ(state.staticAircraft[0].flight.callsign, "TST1*");
    EXPECT_EQ(state.staticAircraft[1].flight.callsign, "TST2*");
    // The two parts stay with the flight for the adjustment's review.
    EXPECT_EQ(state.staticAircraft[1].flight.callsignCopy, "TST1");
    EXPECT_EQ(state.staticAircraft[1].flight.callsignText, "TST2");
    EXPECT_EQ(state.staticAircraft[1].flight.registration, "D-TST1");
}

TEST_F(StaticPlacingTest, ADepartingFlightWithoutItsOwnCallsignShowsTheArrivingOne) {
    place(candidate(3, "TST1", "", false));
    ASSERT_EQ(state.staticAircraft.size(), 1U);
    EXPECT_EQ(state.staticAircraft[0].flight.callsign, "TST1*");
}

TEST_F(StaticPlacingTest, AFlightWithoutCallsignsIsCreatedWithAnEmptyOne) {
    ParkPosition entry = candidate(3, "");
    entry.callsign2 = "__";
    place(entry);
    EXPECT_TRUE(logHas("lf_detcs callsign is empty.."));
    ASSERT_EQ(state.staticCreationQueue.size(), 1U);
    EXPECT_EQ(state.staticCreationQueue.front().callsign, "");
}

TEST(StaticCallsign, EndsInOneStarWithoutTheFeedsMark) {
    EXPECT_EQ(lf_staticCallsign("KLM12"), "KLM12*");
    EXPECT_EQ(lf_staticCallsign("KLM12__"), "KLM12*");
    EXPECT_EQ(lf_staticCallsign("KLM12*"), "KLM12*");
    EXPECT_EQ(lf_staticCallsign("_"), "");
    EXPECT_EQ(lf_staticCallsign(""), "");
}

TEST_F(StaticPlacingTest, HexIdsRunFromOneToNineThousandNineHundredNinetyNineAndNeverZero) {
    state.parking.staticHexIdCounter = 9998;
    place(candidate(1, "TST1"));
    place(candidate(3, "TST3"));
    ASSERT_EQ(state.staticAircraft.size(), 2U);
    EXPECT_EQ(state.staticAircraft[0].flight.hexId, 9999U);
    EXPECT_EQ(state.staticAircraft[1].flight.hexId, 1U);
    EXPECT_EQ(state.parking.staticHexIdCounter, 1U);
}

TEST_F(StaticPlacingTest, ParkedSinceGoesBackOverMidnightFromMondayToSunday) {
    weekTime = packDaySlot(1, 1);
    ParkPosition back = candidate(1, "TST1");
    back.fit = 3;
    place(back);
    place(candidate(3, "TST3"));
    ASSERT_EQ(state.staticAircraft.size(), 2U);
    EXPECT_EQ(state.staticAircraft[0].parkedSince, (WeekTime{.day = 7, .slot = 46}));
    EXPECT_EQ(state.staticAircraft[1].parkedSince, (WeekTime{.day = 1, .slot = 1}));
}

TEST_F(StaticPlacingTest, AStaticAfterTheWrapBecomesActiveInTheSimulator) {
    connectStandIn();
    state.parking.staticHexIdCounter = 9999;
    state.parking.candidates = {candidate(3, "TST3")};
    ASSERT_TRUE(tickUntil(
        [&] { return !state.staticAircraft.empty() && state.staticAircraft[0].status == SimStatus::active; }, 600));
    EXPECT_EQ(state.staticAircraft[0].flight.hexId, 1U);
    EXPECT_NE(state.staticAircraft[0].objectId, 0U);
}

// The simulator takes an object out of its own control when it reports it,
// and again around each flaps change, as for every aircraft: nothing more.
TEST_F(StaticPlacingTest, AStaticIsReleasedWhenReportedAndAroundItsFlapsOnly) {
    connectStandIn();
    state.parking.candidates = {candidate(3, "TST3")};
    ASSERT_TRUE(tickUntil(
        [&] { return !state.staticAircraft.empty() && state.staticAircraft[0].status == SimStatus::active; }, 600));
    tick(20);
    const std::string object = std::to_string(state.staticAircraft[0].objectId);
    std::vector<std::string> releasesAndFlaps;
    for (const std::string& call : simCalls(" " + object + " ")) {
        if (call.starts_with("AIReleaseControl") || call.find("FLAPS_SET") != std::string::npos) {
            releasesAndFlaps.push_back(call);
        }
    }
    const std::string release = "AIReleaseControl " + object + " request 103";
    EXPECT_EQ(releasesAndFlaps,
              (std::vector<std::string>{
                  release, release, "TransmitClientEvent object " + object + " event 217 FLAPS_SET data 0 group 301",
                  release}));
}

}  // namespace
}  // namespace qvl::test
