// The main loop's steps over the live aircraft: the followed and the blocked
// callsign, the aircraft taken away when the traffic client goes, and the
// learned-stand queue served one entry a second.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "core/run_state.h"
#include "engine/callsigns.h"
#include "engine/learned_stand_queue.h"
#include "engine/traffic_gone.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class LiveStepsTest : public EngineTest {
protected:
    LiveAc& airliner(std::uint32_t hexId, const std::string& callsign) {
        FlightScript script;
        script.hexId = hexId;
        script.callsign = callsign;
        script.legs = {{.seconds = 8.0, .groundSpeedKt = 250.0, .trackDeg = 90.0}};
        fly(script);
        tick(401);
        LiveAc* ac = aircraft(hexId);
        EXPECT_NE(ac, nullptr);
        return *ac;
    }
};

TEST_F(LiveStepsTest, TheFollowedCallsignIsFoundOnlyOnAnActiveAircraft) {
    LiveAc& buffered = airliner(0x400001, "DLH1");
    LiveAc& active = airliner(0x400002, "DLH2");
    makeActive(active, 300);
    EXPECT_EQ(activeObjectIdOf(state, "DLH2"), std::optional<std::uint32_t>(300));
    EXPECT_EQ(activeObjectIdOf(state, "DLH1"), std::nullopt) << buffered.flight.callsign;
    EXPECT_EQ(activeObjectIdOf(state, "NONE"), std::nullopt);
}

TEST_F(LiveStepsTest, TheBlockedCallsignTakesOnlyAnActiveAircraftWithIt) {
    LiveAc& buffered = airliner(0x400001, "AAA1");
    LiveAc& other = airliner(0x400002, "BBB2");
    LiveAc& blocked = airliner(0x400003, "CCC3");
    makeActive(other, 301);
    makeActive(blocked, 302);
    removeActiveCallsign(engine, "AAA1");  // not active yet
    EXPECT_TRUE(state.removalQueue.empty());
    EXPECT_EQ(buffered.eraseNow, 0);
    removeActiveCallsign(engine, "CCC3");
    ASSERT_EQ(state.removalQueue.size(), 1U);
    removeActiveCallsign(engine, "DDD4");
    EXPECT_EQ(state.removalQueue.size(), 1U);
}

TEST_F(LiveStepsTest, TheTrafficClientGoneTakesEveryActiveAircraftUnlessTheRunCloses) {
    makeActive(airliner(0x400001, "AAA1"), 301);
    makeActive(airliner(0x400002, "BBB2"), 302);
    run.closingFlag.store(true);
    takeLiveAircraftAway(engine);
    EXPECT_TRUE(state.removalQueue.empty());
    run.closingFlag.store(false);
    takeLiveAircraftAway(engine);
    EXPECT_EQ(state.removalQueue.size(), 2U);
}

TEST_F(LiveStepsTest, TheTrafficClientGoneLeavesNothingToBeCreatedFromWhatItSent) {
    for (const auto& [hexId, callsign] : {std::pair{0x400001U, "AAA1"}, std::pair{0x400002U, "BBB2"},
                                          std::pair{0x400003U, "CCC3"}, std::pair{0x400004U, "DDD4"}}) {
        airliner(hexId, callsign);  // each buffering its samples
    }
    makeActive(*aircraft(0x400004), 304);
    spawnAsSpawningWould(*aircraft(0x400002));
    tick();  // its creation goes from the hex-id stack to the creation queue
    ASSERT_EQ(state.liveCreationQueue.size(), 1U);
    spawnAsSpawningWould(*aircraft(0x400003));  // its creation waits on the stack
    ASSERT_EQ(aircraft(0x400001)->status, SimStatus::buffer);
    ASSERT_EQ(state.hexIdStack, std::vector<std::uint32_t>{0x400003});
    ASSERT_TRUE(recorder.creations.empty());
    state.returningTraffic.emplace_back();

    // As the traffic client link does when the client has gone.
    traffic.holdUntilClientReturns();
    takeLiveAircraftAway(engine);
    ASSERT_EQ(state.liveAircraft.size(), 1U);
    EXPECT_EQ(state.liveAircraft[0].flight.hexId, 0x400004U);
    EXPECT_EQ(state.liveAircraft[0].status, SimStatus::removingfromsim);
    EXPECT_EQ(state.removalQueue, std::deque<std::uint32_t>{304});
    EXPECT_TRUE(state.hexIdStack.empty());
    EXPECT_TRUE(state.liveCreationQueue.empty());
    EXPECT_TRUE(state.returningTraffic.empty());

    // Well past the time the buffered samples fell due: nothing is created.
    tick(3500);
    EXPECT_TRUE(recorder.creations.empty());
    ASSERT_EQ(state.liveAircraft.size(), 1U);
}

TEST_F(LiveStepsTest, TheLearnedStandQueueServesOneEntryAndChecksEachAircraftOnce) {
    LiveAc& ac = airliner(0x400001, "AAA1");
    ac.flight.learnedStandChecked = 0;
    state.perSecondHexIds = {0x999999, 0x400001, 0x400001};
    checkNextLearnedStand(engine, 0);
    EXPECT_EQ(state.perSecondHexIds.size(), 2U);  // an aircraft that is gone only drops its entry
    EXPECT_EQ(ac.flight.learnedStandChecked, 0);
    checkNextLearnedStand(engine, 0);
    EXPECT_EQ(state.perSecondHexIds.size(), 1U);
    EXPECT_EQ(ac.flight.learnedStandChecked, 1);
    checkNextLearnedStand(engine, 0);
    EXPECT_TRUE(state.perSecondHexIds.empty());
    checkNextLearnedStand(engine, 0);  // an empty queue is left alone
    EXPECT_TRUE(state.perSecondHexIds.empty());
}

}  // namespace
}  // namespace qvl::test
