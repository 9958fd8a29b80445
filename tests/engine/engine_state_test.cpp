// A run's end empties the engine; what belongs to the process stays.
#include <gtest/gtest.h>

#include "engine/engine_tick.h"
#include "engine/uncreatable.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class EngineStateTest : public EngineTest {};

TEST_F(EngineStateTest, ASecondRunStartsWithEveryContainerEmpty) {
    FlightScript script;
    script.legs = {{.seconds = 8.0, .groundSpeedKt = 250.0, .trackDeg = 90.0}};
    fly(script);
    tick(401);
    state.parking.liveCallsigns.insert("DLH4AB");
    state.perSecondHexIds.push_back(1);
    state.hexIdStack.push_back(2);
    state.liveCreationQueue.emplace_back();
    state.staticCreationQueue.emplace_back();
    state.staticAircraft.emplace_back();
    state.parking.candidates.emplace_back();
    state.objectEvents.push({.objectId = 5, .kind = SimObjectEventKind::removed});
    state.deferredEvents.emplace_back();
    state.parking.display.airportName = "Frankfurt";
    state.parking.parkAirports.emplace_back();
    state.parking.removals.emplace_back();
    state.createdFlights[1] = 2;
    state.returningTraffic.emplace_back();
    state.removalQueue.push_back(3);
    state.rememberedLiveries[4] = "title";
    state.noMatchList.insert("x");
    state.ghostList.emplace_back("DLH4AB_");
    state.followedObjectId = 7;
    state.uncreatable.dontUseTitles.insert("broken");
    state.parking.staticHexIdCounter = 42;
    traffic.push(TrafficRecord{});
    link.queues.pushRemoval(9);
    const std::int32_t ticks = engine.now();

    gf_clearAiTraffic(engine);

    EXPECT_TRUE(state.parking.liveCallsigns.empty());
    EXPECT_TRUE(state.perSecondHexIds.empty());
    EXPECT_TRUE(state.hexIdStack.empty());
    EXPECT_TRUE(state.liveCreationQueue.empty());
    EXPECT_TRUE(state.staticCreationQueue.empty());
    EXPECT_TRUE(state.staticAircraft.empty());
    EXPECT_TRUE(state.parking.candidates.empty());
    EXPECT_TRUE(state.liveAircraft.empty());
    EXPECT_EQ(state.objectEvents.size(), 0U);
    EXPECT_TRUE(state.deferredEvents.empty());
    EXPECT_TRUE(state.parking.display.airportName.empty());
    EXPECT_TRUE(state.parking.parkAirports.empty());
    EXPECT_TRUE(state.parking.removals.empty());
    EXPECT_TRUE(state.createdFlights.empty());
    EXPECT_TRUE(state.returningTraffic.empty());
    EXPECT_TRUE(state.removalQueue.empty());
    EXPECT_TRUE(state.rememberedLiveries.empty());
    EXPECT_TRUE(state.noMatchList.empty());
    EXPECT_TRUE(state.ghostList.empty());
    EXPECT_EQ(state.followedObjectId, 0U);
    EXPECT_EQ(traffic.size(), 0U);
    EXPECT_EQ(link.queues.sizes().removals, 0U);
    // The process keeps what it learned and its counters.
    EXPECT_TRUE(state.uncreatable.dontUseTitles.contains("broken"));
    EXPECT_EQ(state.parking.staticHexIdCounter, 42U);
    EXPECT_EQ(engine.now(), ticks);
}

TEST_F(EngineStateTest, TheDailyClearingEmptiesTheCreatedFlightMapAndLeavesTheRunAlone) {
    FlightScript script;
    script.legs = {{.seconds = 8.0, .groundSpeedKt = 250.0, .trackDeg = 90.0}};
    fly(script);
    tick(401);
    ASSERT_EQ(state.liveAircraft.size(), 1U);
    state.createdFlights[0x3c6586] = 1;
    state.createdFlights[0x3c6587] = 2;
    state.rememberedLiveries[0x3c6586] = "title";

    gf_clearSpawnMap(state);

    EXPECT_TRUE(state.createdFlights.empty());
    EXPECT_EQ(state.liveAircraft.size(), 1U);
    EXPECT_EQ(state.rememberedLiveries.size(), 1U);
}

TEST_F(EngineStateTest, TheNoMatchListIsLoggedOnlyWhenItHasEntries) {
    gf_logNoMatchList(state);
    EXPECT_FALSE(logHas("No match found for:"));
    state.noMatchList.insert("BAW A320  G-EUPA");
    gf_logNoMatchList(state);
    EXPECT_TRUE(logHas("\nNo match found for:\nBAW A320  G-EUPA\n\n"));
}

}  // namespace
}  // namespace qvl::test
