// Removal and re-creation in every status, and the main loop's helpers.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>

#include <fmt/format.h>

#include "core/geodesy.h"
#include "engine/base/removal.h"
#include "platform/units.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class RemovalTest : public EngineTest {
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
    // An active aircraft at a distance due north of the user.
    LiveAc& activeAt(std::uint32_t hexId, double distanceNm, std::uint32_t objectId) {
        LiveAc& ac = airliner(hexId, fmt::format("T{:04}", hexId & 0xFFFFU));
        makeActive(ac, objectId);
        const GeoPosition p = gf_destinationPoint({50.0, 8.5}, 0.0, distanceNm * kFeetPerNm);
        ac.position.latitude = p.latitude;
        ac.position.longitude = p.longitude;
        return ac;
    }
    // The user aircraft's block, also as the engine last took it.
    void userAt(double latitude, double longitude, double altitude = 3000.0) {
        user.latitude = latitude;
        user.longitude = longitude;
        user.altitude = altitude;
        state.userSnapshot = user;
    }
};

TEST_F(RemovalTest, ABufferedAircraftIsOnlyFlaggedAndNothingReachesTheSimulator) {
    LiveAc& ac = airliner(0x400001, "AAA1");
    removeAircraftFromSim(engine, ac);
    EXPECT_TRUE(ac.eraseNow);
    EXPECT_TRUE(state.removalQueue.empty());
    tick();
    EXPECT_EQ(aircraft(0x400001), nullptr);
}

TEST_F(RemovalTest, AnActiveAircraftGoesOnTheRemovalQueueOnceAndFreesItsStand) {
    LiveAc& ac = activeAt(0x400001, 2.0, 300);
    ac.standNumber = 9;
    state.followedObjectId = 300;
    removeAircraftFromSim(engine, ac);
    removeAircraftFromSim(engine, ac);
    EXPECT_EQ(ac.status, SimStatus::removingfromsim);
    ASSERT_EQ(state.removalQueue.size(), 1U);
    EXPECT_EQ(state.removalQueue.front(), 300U);
    EXPECT_EQ(state.followedObjectId, 0U);
    ASSERT_EQ(stands.occupiedCalls.size(), 2U);
    EXPECT_EQ(stands.occupiedCalls[0], (std::pair<std::uint32_t, bool>{9, false}));
}

TEST_F(RemovalTest, ARemovalWithoutAnObjectIdErasesTheRecordAtTheEndOfTheTick) {
    LiveAc& ac = activeAt(0x400001, 2.0, 0);
    ac.setPhase(GroundPhase::taxi);
    removeAircraftFromSim(engine, ac);
    EXPECT_TRUE(logHas("removeAircraftFromSim removing act T0001, with objectid=0 ?"));
    EXPECT_TRUE(ac.eraseNow);
    EXPECT_TRUE(state.removalQueue.empty());
    tick();
    EXPECT_EQ(aircraft(0x400001), nullptr);
}

TEST_F(RemovalTest, ALiveryChangeStartsAgainFromWhereTheAircraftIs) {
    LiveAc& ac = activeAt(0x400001, 2.0, 300);
    ac.altitude = 4321.0;
    ac.bank = 0.1;
    ac.heading = 1.2;
    const std::size_t queued = ac.samples.size();
    liveryRespawn(engine, ac);
    EXPECT_EQ(ac.status, SimStatus::liveryrespawn);
    EXPECT_EQ(state.removalQueue.back(), 300U);
    ASSERT_EQ(ac.samples.size(), queued + 1);
    const TrafficSample& start = ac.samples.front();
    EXPECT_DOUBLE_EQ(start.latitude, ac.position.latitude);
    EXPECT_DOUBLE_EQ(start.altitude, 4321.0);
    EXPECT_DOUBLE_EQ(start.roll, 0.1);
    EXPECT_EQ(start.rollValid, 1);
    EXPECT_EQ(start.dueTick, static_cast<std::uint32_t>(engine.now() + 1));
    ASSERT_TRUE(ac.motion.forcedHeading.has_value());
    EXPECT_DOUBLE_EQ(*ac.motion.forcedHeading, 1.2);
}

TEST_F(RemovalTest, AParkedAircraftsLiveryChangeKeepsOneStillSample) {
    LiveAc& ac = activeAt(0x400001, 2.0, 300);
    ac.setPhase(GroundPhase::parked);
    ac.heading = kPi / 2;
    liveryRespawn(engine, ac);
    ASSERT_EQ(ac.samples.size(), 2U);
    EXPECT_EQ(ac.samples[0].stationary, 1);
    EXPECT_EQ(ac.samples[1].stationary, 1);
    EXPECT_DOUBLE_EQ(ac.samples[1].track, 90.0);
}

TEST_F(RemovalTest, ALiveryChangeWithoutAnObjectGoesStraightBackToBuffer) {
    LiveAc& ac = activeAt(0x400001, 2.0, 0);
    ac.throttleStep = 2;
    ac.flapsIndex = 0;
    liveryRespawn(engine, ac);
    EXPECT_TRUE(logHas("liveryRespawn removing act T0001 with objectid=0 ?"));
    EXPECT_EQ(ac.status, SimStatus::buffer);
    EXPECT_EQ(ac.throttleStep, 5U);
    EXPECT_EQ(ac.flapsIndex, 4U);
    EXPECT_EQ(ac.objectId, 0U);
    EXPECT_TRUE(state.removalQueue.empty());
}

TEST_F(RemovalTest, TheFarthestAircraftGoesOnlyWhenClearlyBeyondTheLimit) {
    userAt(50.0, 8.5);
    LiveAc& near = activeAt(0x400001, 5.05, 301);
    EXPECT_TRUE(gf_removeFarthestLiveAc(engine, 5.0));
    EXPECT_EQ(near.status, SimStatus::active);
    LiveAc& far = activeAt(0x400002, 5.2, 302);
    EXPECT_FALSE(gf_removeFarthestLiveAc(engine, 5.0));
    EXPECT_EQ(far.status, SimStatus::removingfromsim);
    EXPECT_EQ(aircraft(0x400001)->status, SimStatus::active);
    EXPECT_FALSE(gf_removeFarthestLiveAc(engine, -1.0));
    EXPECT_EQ(aircraft(0x400001)->status, SimStatus::removingfromsim);
}

TEST_F(RemovalTest, AnAircraftIsRemovedWhenTheUserSitsInTheCorridorBehindIt) {
    userAt(50.0, 8.5, 3000.0);
    LiveAc& ac = activeAt(0x400001, 3.0, 301);  // 3 nm north of the user
    ac.altitude = 3500.0;
    ac.heading = kPi;  // flying south, towards the user
    EXPECT_FALSE(gf_removeIfAheadOfUser(engine, ac, UserCorridor::close));
    ac.heading = 0.0;  // flying north, away: the user is behind it
    EXPECT_TRUE(gf_removeIfAheadOfUser(engine, ac, UserCorridor::close));
    EXPECT_EQ(ac.status, SimStatus::removingfromsim);
}

TEST_F(RemovalTest, TheCloseCorridorIsNarrowerAndLowerThanTheWideOne) {
    userAt(50.0, 8.5, 3000.0);
    // Flying north 3 nm north of the user: once 900 ft to the side at the
    // user's height, once on the line 1,200 ft above it.
    const GeoPosition ahead = gf_destinationPoint({50.0, 8.5}, 0.0, 3.0 * kFeetPerNm);
    const GeoPosition aside = gf_destinationPoint(ahead, kPi / 2.0, 900.0);
    struct Case {
        GeoPosition at;
        double altitude;
    };
    for (const Case& c : {Case{aside, 3000.0}, Case{ahead, 4200.0}}) {
        state.liveAircraft.clear();
        LiveAc& ac = activeAt(0x400001, 3.0, 301);
        ac.position.latitude = c.at.latitude;
        ac.position.longitude = c.at.longitude;
        ac.altitude = c.altitude;
        ac.heading = 0.0;
        EXPECT_FALSE(gf_removeIfAheadOfUser(engine, ac, UserCorridor::close)) << c.altitude;
        EXPECT_EQ(ac.status, SimStatus::active);
        EXPECT_TRUE(gf_removeIfAheadOfUser(engine, ac, UserCorridor::wide)) << c.altitude;
        EXPECT_EQ(ac.status, SimStatus::removingfromsim);
    }
}

TEST_F(RemovalTest, TheObjectIdListHasOneLinePerActiveAircraft) {
    activeAt(0x400001, 1.0, 301).onGround = true;
    LiveAc& parked = activeAt(0x400002, 1.0, 302);
    parked.setPhase(GroundPhase::parked);
    airliner(0x400003, "BUF3");
    const auto file = dir / "ObjectIdList.txt";
    FileWriter writer{std::make_shared<DiskFileLayer>()};
    gf_writeObjectIdList(engine, writer, file);
    ASSERT_TRUE(writer.drain(std::chrono::seconds(10)));
    EXPECT_EQ(readFile(file), "301;T0001;;;A320;GND;\n302;T0002;;;A320;AIR;PARKED\n");
    state.liveAircraft.clear();
    gf_writeObjectIdList(engine, writer, file);
    ASSERT_TRUE(writer.drain(std::chrono::seconds(10)));
    EXPECT_EQ(readFile(file), "");
}

TEST_F(RemovalTest, QueuedCreationsAreWithdrawnByCallsignKeepingTheOthersInOrder) {
    std::deque<CreateAircraftCommand> queue;
    for (const char* callsign : {"A", "B", "A", "C"})
        queue.push_back({.position = {}, .callsign = callsign, .liveryTitle = {}, .hexId = 0});
    EXPECT_FALSE(gf_dropQueuedCallsign(queue, ""));
    EXPECT_TRUE(gf_dropQueuedCallsign(queue, "A"));
    ASSERT_EQ(queue.size(), 2U);
    EXPECT_EQ(queue[0].callsign, "B");
    EXPECT_EQ(queue[1].callsign, "C");
    EXPECT_FALSE(gf_dropQueuedCallsign(queue, "A"));
}

TEST_F(RemovalTest, ErasingARecordMovesTheLastIntoItsPlace) {
    airliner(0x400001, "AAA1");
    airliner(0x400002, "AAA2");
    airliner(0x400003, "AAA3");
    eraseLiveAc(state, state.liveAircraft[0]);
    ASSERT_EQ(state.liveAircraft.size(), 2U);
    EXPECT_EQ(state.liveAircraft[0].flight.hexId, 0x400003U);
    EXPECT_EQ(state.liveAircraft[1].flight.hexId, 0x400002U);
}

}  // namespace
}  // namespace qvl::test
