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
