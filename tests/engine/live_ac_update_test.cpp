// The per-tick update through the tick: what an aircraft sends in each
// status, when it leaves, and that a failing step is logged once.
#include <gtest/gtest.h>

#include "engine/live_ac_update.h"
#include "engine/traffic_intake.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class LiveAcUpdateTest : public EngineTest {
protected:
    // An airliner with three samples 4 s apart, all taken in.
    LiveAc& threeSampleFlight() {
        FlightScript script;
        script.legs = {{.seconds = 12.0, .groundSpeedKt = 250.0, .trackDeg = 45.0}};
        fly(script);
        tick(801);
        LiveAc* ac = aircraft(script.hexId);
        EXPECT_NE(ac, nullptr);
        EXPECT_EQ(ac->samples.size(), 3U);
        return *ac;
    }
};

TEST_F(LiveAcUpdateTest, AStreamThatRunsDryRemovesTheAircraft) {
    LiveAc& ac = threeSampleFlight();
    makeActive(ac, 300);
    const std::uint32_t hexId = ac.flight.hexId;
    // The motion carries a dry airborne stream on for a while, then gives it up.
    ASSERT_TRUE(tickUntil([&] { return aircraft(hexId)->status != SimStatus::active; }, 12000));
    EXPECT_EQ(aircraft(hexId)->status, SimStatus::removingfromsim);
    ASSERT_TRUE(tickUntil([&] { return !recorder.removals.empty(); }, 20));
    EXPECT_EQ(recorder.removals.front().command, 300U);
}

TEST_F(LiveAcUpdateTest, AnEmptySampleQueueRemovesTheAircraft) {
    LiveAc& ac = threeSampleFlight();
    makeActive(ac, 300);
    const std::uint32_t hexId = ac.flight.hexId;
    ac.samples.clear();
    tick();
    EXPECT_EQ(aircraft(hexId)->status, SimStatus::removingfromsim);
    EXPECT_TRUE(logHas("updateLiveAc stream empty ?"));
    EXPECT_TRUE(logHas("hexid:3958150, objectid:300"));
}

TEST_F(LiveAcUpdateTest, AnActiveAircraftSendsItsPositionEveryTickBeforeItsSampleIsDue) {
    LiveAc& ac = threeSampleFlight();
    makeActive(ac, 300);
    const double latitude = ac.position.latitude;
    tick(20);
    const auto sent = recorder.positionsOf(300);
    ASSERT_EQ(sent.size(), 20U);
    for (const auto& p : sent) EXPECT_DOUBLE_EQ(p.command.latitude, latitude);
}

TEST_F(LiveAcUpdateTest, AnAircraftBeingCreatedSendsNothingAndStays) {
    LiveAc& ac = threeSampleFlight();
    spawnAsSpawningWould(ac);
    ac.objectId = 300;
    tick(5000);
    EXPECT_TRUE(recorder.positionsOf(300).empty());
    ASSERT_NE(aircraft(ac.flight.hexId), nullptr);
    EXPECT_EQ(aircraft(ac.flight.hexId)->status, SimStatus::adding2sim);
}

TEST_F(LiveAcUpdateTest, ARecordFlaggedByAnotherRuleIsErasedWithoutAStep) {
    LiveAc& ac = threeSampleFlight();
    makeActive(ac, 300);
    ac.eraseDropped = true;
    EXPECT_TRUE(updateLiveAc(engine, ac));
    EXPECT_TRUE(recorder.positionsOf(300).empty());
    tick();
    EXPECT_TRUE(recorder.positionsOf(300).empty());
    EXPECT_TRUE(state.liveAircraft.empty());
}

TEST_F(LiveAcUpdateTest, AFailingStepIsLoggedOnceAndTheAircraftRemoved) {
    LiveAc& ac = threeSampleFlight();
    makeActive(ac, 300);
    ac.standNumber = 4;
    ac.samples.clear();
    stands.failNextOccupied = 1;
    tick(50);
    EXPECT_EQ(logCount("updateLiveAc: stand list broken"), 1U);
    EXPECT_EQ(logCount("stream empty"), 1U);
    ASSERT_NE(aircraft(ac.flight.hexId), nullptr);
    EXPECT_EQ(aircraft(ac.flight.hexId)->status, SimStatus::removingfromsim);
    EXPECT_EQ(recorder.removals.size(), 1U);
}

TEST_F(LiveAcUpdateTest, AStepThatFailsEvenWhileGivingUpErasesTheRecord) {
    LiveAc& ac = threeSampleFlight();
    makeActive(ac, 300);
    const std::uint32_t hexId = ac.flight.hexId;
    ac.standNumber = 4;
    ac.samples.clear();
    stands.failNextOccupied = 1000;
    tick(50);
    EXPECT_EQ(logCount("updateLiveAc: stand list broken"), 1U);
    EXPECT_EQ(aircraft(hexId), nullptr);
}

TEST_F(LiveAcUpdateTest, AnActiveAircraftWithoutItsObjectIsErasedAndItsHexIdFreed) {
    LiveAc& ac = threeSampleFlight();
    makeActive(ac, 0);
    const std::uint32_t hexId = ac.flight.hexId;
    tick();
    EXPECT_TRUE(logHas("updateLiveAc objectid=0? hexid: 3958150,cs:DLH4AB"));
    EXPECT_TRUE(logHas("removeAircraftFromSim removing act DLH4AB, with objectid=0 ?"));
    EXPECT_EQ(aircraft(hexId), nullptr);
    EXPECT_TRUE(recorder.removals.empty());
    // The same flight can be taken on again.
    FlightScript again;
    again.legs = {{.seconds = 8.0, .groundSpeedKt = 250.0, .trackDeg = 45.0}};
    fly(again);
    tick();
    EXPECT_NE(aircraft(hexId), nullptr);
}

TEST_F(LiveAcUpdateTest, TheSentAirspeedIsZeroWhileTheFrontSampleStandsStill) {
    LiveAc& ac = threeSampleFlight();
    makeActive(ac, 300);
    ac.onGround = true;  // in the air a still sample is a hovering repeat and is skipped
    ac.motion.tas = 250.0;
    ac.samples[1].stationary = 1;
    ac.samples[0].dueTick = static_cast<std::uint32_t>(engine.now());
    tick();
    ASSERT_FALSE(recorder.positionsOf(300).empty());
    EXPECT_DOUBLE_EQ(recorder.positionsOf(300).back().command.trueAirspeed, 0.0);
    // The still sample falls due in its turn; a moving one is in front again.
    ac.samples[0].dueTick = static_cast<std::uint32_t>(engine.now());
    tick();
    EXPECT_DOUBLE_EQ(recorder.positionsOf(300).back().command.trueAirspeed, 250.0);
}

}  // namespace
}  // namespace qvl::test
