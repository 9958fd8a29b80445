// The engine tick's pace: removals, creations, the traffic intake, the
// aircraft-in-range request and the user's state, each at its own period.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include <fmt/format.h>

#include "core/settings.h"
#include "engine/base/removal.h"
#include "engine/engine_tick.h"
#include "refdata/code_table.h"
#include "simlink/sim_ids.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class EngineTickTest : public EngineTest {
protected:
    CreateAircraftCommand creation(const std::string& callsign, std::uint32_t hexId) {
        return {.position = {.latitude = 50.0,
                             .longitude = 8.5,
                             .altitude = 3000.0,
                             .pitch = 0.0,
                             .bank = 0.0,
                             .heading = 90.0,
                             .onGround = false,
                             .airspeed = 0},
                .callsign = callsign,
                .liveryTitle = "Airbus A320 Test Air",
                .hexId = hexId};
    }
    TrafficRecord recordFor(std::uint32_t hexId, std::uint32_t due) {
        TrafficRecord r;
        r.hexId = hexId;
        r.callsign = fmt::format("TST{}", hexId % 1000);
        r.ids = packModelId(gf_modelId("A320"));
        r.time = 1.7e9;
        r.sample.latitude = 50.0 + static_cast<double>(hexId % 100) * 0.01;
        r.sample.longitude = 8.5;
        r.sample.altitude = 20000.0;
        r.sample.airborne = 1;
        r.sample.groundSpeed = 400.0;
        r.sample.dueTick = due;
        return r;
    }
};

TEST_F(EngineTickTest, ReleasesOneRemovalEveryTenTicks) {
    for (std::uint32_t id = 100; id < 105; ++id) state.removalQueue.push_back(id);
    tick(50);
    ASSERT_EQ(recorder.removals.size(), 5U);
    for (std::size_t i = 0; i < recorder.removals.size(); ++i) {
        EXPECT_EQ(recorder.removals[i].tick % 10, 0) << i;
        EXPECT_EQ(recorder.removals[i].command, 100U + i);
    }
}

TEST_F(EngineTickTest, ReleasesOneCreationEveryFiftyTicksLiveBeforeStatic) {
    state.staticCreationQueue.push_back(creation("STA1*", 11));
    state.liveCreationQueue.push_back(creation("LIV1", 0x400001));
    state.liveCreationQueue.push_back(creation("LIV2", 0x400002));
    tick(200);
    ASSERT_EQ(recorder.creations.size(), 3U);
    EXPECT_EQ(recorder.creations[0].command.callsign, "LIV1");
    EXPECT_EQ(recorder.creations[1].command.callsign, "LIV2");
    EXPECT_EQ(recorder.creations[2].command.callsign, "STA1*");
    for (const auto& c : recorder.creations) EXPECT_EQ(c.tick % 50, 0);
    EXPECT_EQ(recorder.creations[1].tick - recorder.creations[0].tick, 50);
}

TEST_F(EngineTickTest, TakesTwoRecordsATickWhileNoneIsOverdue) {
    const auto due = static_cast<std::uint32_t>(engine.now() + 3000);
    for (std::uint32_t i = 0; i < 10; ++i) traffic.push(recordFor(0x500000 + i, due));
    tick();
    EXPECT_EQ(state.liveAircraft.size(), 2U);
    EXPECT_EQ(traffic.size(), 8U);
    tick(2);
    EXPECT_EQ(state.liveAircraft.size(), 6U);
}

TEST_F(EngineTickTest, TakesEveryOverdueRecordUpToFiftyATick) {
    const auto overdue = static_cast<std::uint32_t>(engine.now() - 1);
    for (std::uint32_t i = 0; i < 80; ++i) traffic.push(recordFor(0x600000 + i, overdue));
    const auto later = static_cast<std::uint32_t>(engine.now() + 3000);
    for (std::uint32_t i = 0; i < 10; ++i) traffic.push(recordFor(0x700000 + i, later));
    tick();
    EXPECT_EQ(state.liveAircraft.size(), 50U);
    EXPECT_EQ(traffic.size(), 40U);
    // The 30 overdue ones that are left. (The buffer step drops each
    // aircraft whose only sample has fallen due, so the queue tells.)
    tick();
    EXPECT_EQ(traffic.size(), 10U);
    // Then two a tick again.
    tick();
    EXPECT_EQ(traffic.size(), 8U);
}

TEST_F(EngineTickTest, AsksForTheAircraftInRangeEveryTwentyTicks) {
    connectStandIn();
    rangeNm.store(40.0);
    tick(100);
    const auto requests = simCalls("RequestDataOnSimObjectType");
    ASSERT_EQ(requests.size(), 5U);
    EXPECT_NE(requests[0].find("RequestDataOnSimObjectType 101 404 radius 74080"), std::string::npos) << requests[0];
}

TEST_F(EngineTickTest, AsksForNothingWhileTheLinkIsPaused) {
    connectStandIn();
    link.simQueuesPaused.store(true);
    tick(100);
    EXPECT_TRUE(simCalls("RequestDataOnSimObjectType").empty());
}

TEST_F(EngineTickTest, SendsTheUsersStateEveryHundredTicksAndKeepsItsSnapshot) {
    user.latitude = 51.5;
    user.longitude = -0.1;
    user.groundSpeed = 140.0;
    tick(300);
    ASSERT_EQ(sentUserStates.size(), 3U);
    EXPECT_DOUBLE_EQ(sentUserStates[0].latitude, 51.5);
    EXPECT_DOUBLE_EQ(sentUserStates[0].groundSpeed, 140.0);
    EXPECT_DOUBLE_EQ(state.userSnapshot.longitude, -0.1);
}

// The automatic radius reads the park-airport list's head on the window's
// thread too: the tick publishes it once a second.
TEST_F(EngineTickTest, PublishesTheFirstParkAirportOnceASecond) {
    const GeoPosition vienna{.latitude = 48.11, .longitude = 16.57};
    state.parking.parkAirports.push_back({.position = vienna});
    state.parking.parkAirports.push_back({.position = {.latitude = 52.3, .longitude = 4.76}});
    tick(100);
    ASSERT_TRUE(state.firstParkAirport.position().has_value());
    EXPECT_EQ(state.firstParkAirport.position()->latitude, vienna.latitude);
    state.parking.parkAirports.clear();
    tick(100);
    EXPECT_FALSE(state.firstParkAirport.position().has_value());
}

// An engine whose user aircraft nobody wired would fly around 0,0 and never
// tell the traffic client where the user is.
TEST_F(EngineTickTest, AnEngineWithoutItsUserAircraftCannotBeBuilt) {
    const auto refusal = [this](EngineUserAircraft given) -> std::string {
        try {
            const Engine refused = makeEngine({.state = state,
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
                                               .userAircraft = std::move(given)});
        } catch (const std::invalid_argument& e) {
            return e.what();
        }
        return "accepted";
    };
    EXPECT_EQ(refusal({.read = [] { return UserAircraftBlock{}; }}), "engine user aircraft not wired: send");
    EXPECT_EQ(refusal({.send = [](const UserState&) {}}), "engine user aircraft not wired: read");
    EXPECT_EQ(refusal({}), "engine user aircraft not wired: read send");
}

TEST_F(EngineTickTest, CountsEveryTickAndKeepsCountingAcrossTheSignedWrap) {
    feed.tickCounter.store(std::numeric_limits<std::int32_t>::max());
    tick();
    EXPECT_EQ(engine.now(), std::numeric_limits<std::int32_t>::min());
}

TEST_F(EngineTickTest, DropsTheTicksPositionsWhileTheQueueMutexIsBusy) {
    FlightScript script;
    script.legs = {{.seconds = 60.0, .groundSpeedKt = 250.0, .trackDeg = 90.0}};
    fly(script);
    tick(5);
    LiveAc* ac = aircraft(script.hexId);
    ASSERT_NE(ac, nullptr);
    makeActive(*ac, 200);
    tick();
    ASSERT_EQ(recorder.positionsOf(200).size(), 1U);
    {
        const auto held = link.queues.lock();
        lf_handleAddingStack(engine);
    }
    recorder.record(link.queues, lastTick(), true);
    tick();
    // Three ticks ran; the one under the held mutex sent nothing.
    const auto sent = recorder.positionsOf(200);
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[1].tick - sent[0].tick, 2);
}

}  // namespace
}  // namespace qvl::test
