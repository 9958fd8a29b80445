// Spawning through the tick: what is dropped in the buffer, what waits, how
// a creation reaches the simulator with its livery, and what becomes of
// creations that are withdrawn, under way or never reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>
#include <string>

#include <fmt/format.h>

#include "core/geodesy.h"
#include "core/settings.h"
#include "engine/base/removal.h"
#include "engine/conflicts/conflicts.h"
#include "engine/object_events.h"
#include "engine/spawn.h"
#include "platform/units.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class SpawnTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        setForTest(MAX_LIVE_SEL, 500);
        setForTest(BLOCK_CALLSIGN, std::string{});
        setForTest(COLLISION_USER_GND, false);
        setForTest(COLLISION_USER_AIR, false);
        // The user far away and airborne, out of every rule's reach.
        user.latitude = 40.0;
        user.longitude = 8.5;
        user.altitude = 30000.0;
        user.aboveGround = 30000.0;
        state.userSnapshot = user;
    }

    FlightScript airliner(std::uint32_t hexId, const std::string& callsign, double latitude = 50.0) {
        FlightScript script;
        script.hexId = hexId;
        script.callsign = callsign;
        script.latitude = latitude;
        script.legs = {{.seconds = 60.0, .groundSpeedKt = 250.0, .trackDeg = 90.0}};
        return script;
    }
    // Ticks until the aircraft has left "buffer" (or is gone); whether it did.
    bool spawned(std::uint32_t hexId, int limit = 4000) {
        if (!tickUntil([&] { return aircraft(hexId) != nullptr; }, 500)) return false;
        return tickUntil(
            [&] {
                const LiveAc* ac = aircraft(hexId);
                return ac == nullptr || ac->status != SimStatus::buffer;
            },
            limit);
    }
};

TEST_F(SpawnTest, AnAircraftWithOneSampleIsDroppedWhenItFallsDue) {
    FlightScript script = airliner(0x400001, "ONE1");
    script.legs = {{.seconds = 1.0, .groundSpeedKt = 250.0, .trackDeg = 90.0}};
    fly(script);
    ASSERT_TRUE(tickUntil([&] { return aircraft(0x400001) != nullptr; }, 200));
    EXPECT_TRUE(tickUntil([&] { return aircraft(0x400001) == nullptr; }, 3200));
    EXPECT_TRUE(recorder.creations.empty());
}

TEST_F(SpawnTest, AnAirborneFlightIsCreatedInTheSimulatorWithItsCallsignAndLivery) {
    connectStandIn();
    fly(airliner(0x400002, "DLH4AB"));
    ASSERT_TRUE(tickUntil([&] { return aircraft(0x400002) && aircraft(0x400002)->status == SimStatus::active; }, 4000));
    const LiveAc& ac = *aircraft(0x400002);
    EXPECT_EQ(ac.phase, GroundPhase::flying);
    EXPECT_EQ(ac.flight.liveryTitle, "Airbus A320 Test Air");
    const auto creations = simCalls("AICreateNonATCAircraft");
    ASSERT_EQ(creations.size(), 1U);
    EXPECT_NE(creations[0].find("\"Airbus A320 Test Air\" \"DLH4AB\""), std::string::npos);
    EXPECT_EQ(state.rememberedLiveries.at(0x400002), "Airbus A320 Test Air");
}

TEST_F(SpawnTest, ARememberedLiveryIsReusedUnlessTheSimulatorRefusedIt) {
    liveries.titles["A320"] = "Airbus A320 Other";
    static const std::string kept = "Airbus A320 Kept";
    state.rememberedLiveries[0x400003] = kept;
    fly(airliner(0x400003, "KEEP1"));
    ASSERT_TRUE(spawned(0x400003));
    ASSERT_NE(aircraft(0x400003), nullptr) << log();
    EXPECT_EQ(aircraft(0x400003)->flight.liveryTitle, kept);
    EXPECT_EQ(liveries.liveCalls, 0);

    state.rememberedLiveries[0x400004] = kept;
    state.uncreatable.dontUseTitles.insert(kept);
    fly(airliner(0x400004, "KEEP2"));
    ASSERT_TRUE(spawned(0x400004));
    EXPECT_EQ(aircraft(0x400004)->flight.liveryTitle, "Airbus A320 Other");
    EXPECT_EQ(state.rememberedLiveries.at(0x400004), "Airbus A320 Other");
}

TEST_F(SpawnTest, AFlightWithoutALiveryIsDroppedAndNotTriedAgain) {
    liveries.titles.erase("A320");
    FlightScript script = airliner(0x400005, "NOLIV1");
    script.registration = "D-AIZZ";
    fly(script);
    ASSERT_TRUE(spawned(0x400005));
    EXPECT_EQ(aircraft(0x400005), nullptr);
    EXPECT_EQ(state.noMatchList.size(), 1U);
    EXPECT_EQ(liveries.liveCalls, 1);
    script.startTime += 1000.0;
    fly(script);
    tick(4000);
    EXPECT_EQ(liveries.liveCalls, 1);
    EXPECT_TRUE(recorder.creations.empty());
}

TEST_F(SpawnTest, ABlockedCallsignIsNeverCreated) {
    BLOCK_CALLSIGN.set("BLK123");
    fly(airliner(0x400006, "BLK123"));
    fly(airliner(0x400007, "FREE1", 50.2));
    ASSERT_TRUE(spawned(0x400006));
    ASSERT_TRUE(spawned(0x400007));
    EXPECT_EQ(aircraft(0x400006), nullptr);
    EXPECT_EQ(aircraft(0x400007)->status, SimStatus::adding2sim);
}

TEST_F(SpawnTest, AGhostMakesWayForItsRealCallsignAndStaysAway) {
    fly(airliner(0x400008, "ABC123_"));
    ASSERT_TRUE(spawned(0x400008));
    makeActive(*aircraft(0x400008), 300);
    fly(airliner(0x400009, "ABC123", 50.3));
    ASSERT_TRUE(spawned(0x400009));
    EXPECT_EQ(aircraft(0x400008)->status, SimStatus::removingfromsim);
    EXPECT_TRUE(logHas("ABC123_  is a ghost and will be removed, continue with ABC123"));
    ASSERT_EQ(state.ghostList.size(), 1U);
    EXPECT_EQ(state.ghostList.front(), "ABC123_");
    // The simulator confirms the removal; the provisional callsign comes
    // back under another hex id and is not created.
    gf_removeFlightPlan(engine, 300);
    ASSERT_EQ(aircraft(0x400008), nullptr);
    fly(airliner(0x40000A, "ABC123_", 50.4));
    ASSERT_TRUE(spawned(0x40000A));
    EXPECT_EQ(aircraft(0x40000A), nullptr);
}

TEST_F(SpawnTest, AProvisionalCallsignOfAFlyingAircraftIsNotCreated) {
    fly(airliner(0x40000B, "XYZ9"));
    ASSERT_TRUE(spawned(0x40000B));
    fly(airliner(0x40000C, "XYZ9_", 50.3));
    ASSERT_TRUE(spawned(0x40000C));
    EXPECT_EQ(aircraft(0x40000C), nullptr);
}

TEST_F(SpawnTest, AtTheLiveLimitANearerAircraftReplacesTheFarthestAndAFartherOneIsDropped) {
    MAX_LIVE_SEL.set(10);
    user.latitude = 50.0;
    user.longitude = 8.0;
    state.userSnapshot = user;
    for (std::uint32_t i = 0; i < 10; ++i) {
        LiveAc& ac = state.liveAircraft.emplace_back();
        ac.flight.hexId = 0x500000 + i;
        ac.flight.callsign = fmt::format("ACT{}", i);
        ac.status = SimStatus::active;
        ac.objectId = 200 + i;
        ac.position.latitude = 50.0 + 0.1 * (i + 1);  // 6 to 60 nm north
        ac.position.longitude = 8.0;
        // A sample far ahead keeps it flying where it is.
        ac.samples.push_back({.latitude = ac.position.latitude,
                              .longitude = ac.position.longitude,
                              .altitude = 5000.0,
                              .dueTick = static_cast<std::uint32_t>(engine.now() + 1000000),
                              .airborne = 1});
    }
    // About 30 nm east: nearer than the farthest (60 nm).
    fly(airliner(0x400010, "NEAR1", 50.0));
    ASSERT_TRUE(spawned(0x400010));
    EXPECT_EQ(aircraft(0x400010)->status, SimStatus::adding2sim);
    EXPECT_EQ(aircraft(0x500009)->status, SimStatus::removingfromsim);
    makeActive(*aircraft(0x400010), 400);
    // 150 nm north: farther than any.
    fly(airliner(0x400011, "FAR1", 52.5));
    ASSERT_TRUE(spawned(0x400011));
    EXPECT_EQ(aircraft(0x400011), nullptr);
    EXPECT_EQ(std::count_if(state.liveAircraft.begin(), state.liveAircraft.end(),
                            [](const LiveAc& ac) { return ac.status == SimStatus::removingfromsim; }),
              1);
}

TEST_F(SpawnTest, WithNoLiveAircraftAllowedNothingIsCreated) {
    MAX_LIVE_SEL.set(0);
    fly(airliner(0x400012, "ZERO1"));
    ASSERT_TRUE(spawned(0x400012));
    EXPECT_EQ(aircraft(0x400012), nullptr);
}

TEST_F(SpawnTest, ABufferedAircraftAheadOfTheAirborneUserIsKeptAway) {
    COLLISION_USER_AIR.set(true);
    user.latitude = 50.0;
    user.longitude = 8.0;
    user.altitude = 5000.0;
    user.onGround = false;
    state.userSnapshot = user;
    // 2 nm east of the user, level with it and flying east: the user sits
    // in the corridor behind it. Only its height and track tell.
    const GeoPosition east = gf_destinationPoint({50.0, 8.0}, std::numbers::pi / 2.0, 2.0 * kFeetPerNm);
    FlightScript script = airliner(0x400013, "AHEAD1", east.latitude);
    script.longitude = east.longitude;
    fly(script);
    ASSERT_TRUE(spawned(0x400013));
    EXPECT_EQ(aircraft(0x400013), nullptr);
    EXPECT_TRUE(recorder.creations.empty());
}

TEST_F(SpawnTest, WithUserGroundCollisionOnAGroundSampleNearTheStandingUserIsSkipped) {
    COLLISION_USER_GND.set(true);
    user.latitude = 50.0;
    user.longitude = 8.5;
    user.altitude = 0.0;
    user.aboveGround = 0.0;
    user.onGround = true;
    state.userSnapshot = user;
    // Two ground samples 20 m apart, the first at the distance east of the user.
    const auto buffered = [&](double metres) -> LiveAc& {
        state.liveAircraft.clear();
        const auto sampleAt = [](double m) {
            const GeoPosition p =
                gf_destinationPoint({50.0, 8.5}, std::numbers::pi / 2.0, m / kMetresPerNm * kFeetPerNm);
            return TrafficSample{.latitude = p.latitude, .longitude = p.longitude, .groundSpeed = 10.0};
        };
        FlightRec flight;
        flight.hexId = 0x400015;
        flight.callsign = "TAXI1";
        LiveAc& ac = state.liveAircraft.emplace_back(makeLiveAc(sampleAt(metres), flight, 1.7e9));
        ac.samples.push_back(sampleAt(metres + 20.0));
        return ac;
    };
    LiveAc& near = buffered(100.0);
    EXPECT_TRUE(lf_holdBuffered(engine, near));
    EXPECT_EQ(near.samples.size(), 1U);
    LiveAc& clear = buffered(200.0);
    EXPECT_FALSE(lf_holdBuffered(engine, clear));
    EXPECT_EQ(clear.samples.size(), 2U);
}

TEST_F(SpawnTest, TheStartPositionCarriesFeetPerSecondAndAFullCircleHeadingIsZero) {
    FlightScript script = airliner(0x400014, "CLIMB1");
    script.legs = {{.seconds = 60.0, .groundSpeedKt = 250.0, .trackDeg = 90.0, .verticalSpeedFpm = 1200.0}};
    fly(script);
    ASSERT_TRUE(spawned(0x400014));
    const LiveAc& ac = *aircraft(0x400014);
    EXPECT_NEAR(ac.verticalSpeedFps, 20.0, 1e-9);
    EXPECT_NEAR(ac.pitch, -(3.0 + 1200.0 / 600.0 * 2.2) * kDegToRad, 1e-12);

    LiveAc turned = ac;
    for (const double full : {2.0 * std::numbers::pi, 2.0 * std::numbers::pi - 1e-13}) {
        turned.motion.forcedHeading = full;
        lf_setStartPosition(engine, turned);
        EXPECT_EQ(turned.heading, 0.0);
    }
}

TEST_F(SpawnTest, ARemovalWhileTheCreationIsQueuedWithdrawsItAndNothingReachesTheSimulator) {
    fly(airliner(0x400015, "WDRAW1"));
    ASSERT_TRUE(tickUntil([&] { return !state.liveCreationQueue.empty(); }, 4000));
    removeAircraftFromSim(engine, *aircraft(0x400015));
    tick();
    EXPECT_EQ(aircraft(0x400015), nullptr);
    tick(100);
    EXPECT_TRUE(recorder.creations.empty());
}

TEST_F(SpawnTest, ARemovalWhileTheCreationIsUnderWayRemovesTheObjectOnceItSettles) {
    connectStandIn();
    fly(airliner(0x400016, "UNDER1"));
    ASSERT_TRUE(tickUntil([&] { return !simCalls("AICreateNonATCAircraft").empty(); }, 4000));
    removeAircraftFromSim(engine, *aircraft(0x400016));
    EXPECT_EQ(aircraft(0x400016)->removeWhenCreated, 1);
    ASSERT_TRUE(tickUntil([&] { return aircraft(0x400016) == nullptr; }, 600));
    EXPECT_EQ(simCalls("AIRemoveObject").size(), 1U);
    EXPECT_TRUE(sim->aiObjectIds().empty());
}

TEST_F(SpawnTest, ACreationTheSimulatorNeverReportsIsGivenUp) {
    fly(airliner(0x400017, "LOST1"));
    ASSERT_TRUE(tickUntil([&] { return !recorder.creations.empty(); }, 4000));
    tick(2990);
    ASSERT_NE(aircraft(0x400017), nullptr);
    tick(20);
    EXPECT_EQ(aircraft(0x400017), nullptr);
    EXPECT_TRUE(logHas("never reported by the simulator"));
}

TEST_F(SpawnTest, AnObjectReportedAfterItsCreationWasGivenUpIsRemoved) {
    fly(airliner(0x400019, "LATE1"));
    ASSERT_TRUE(tickUntil([&] { return !recorder.creations.empty(); }, 4000));
    ASSERT_TRUE(tickUntil([&] { return aircraft(0x400019) == nullptr; }, 3100));
    gf_queueSimObjectEvent(state, {.objectId = 150, .hexId = 0x400019, .kind = SimObjectEventKind::created});
    ASSERT_TRUE(tickUntil([&] { return !recorder.removals.empty(); }, 20));
    EXPECT_EQ(recorder.removals.front().command, 150U);
    EXPECT_TRUE(state.deferredEvents.empty());
}

TEST_F(SpawnTest, AnObjectWhoseRecordWentWhileItSettledIsRemoved) {
    fly(airliner(0x40001A, "GONE1"));
    ASSERT_TRUE(tickUntil([&] { return !recorder.creations.empty(); }, 4000));
    gf_queueSimObjectEvent(state, {.objectId = 151, .hexId = 0x40001A, .kind = SimObjectEventKind::created});
    tick(5);
    ASSERT_EQ(state.deferredEvents.size(), 1U);
    // Its data ends and the record goes.
    feeder = TrafficFeeder{};
    traffic.clear();
    std::erase_if(state.liveAircraft, [](const LiveAc& ac) { return ac.flight.hexId == 0x40001A; });
    ASSERT_TRUE(tickUntil([&] { return !recorder.removals.empty(); }, 300));
    EXPECT_EQ(recorder.removals.front().command, 151U);
    EXPECT_TRUE(state.deferredEvents.empty());
}

TEST_F(SpawnTest, AChangedCallsignWithoutGuidChangesKeepsTheObject) {
    GUID_CHANGES.set(false);
    fly(airliner(0x400018, "OLD1"));
    ASSERT_TRUE(spawned(0x400018));
    LiveAc& ac = *aircraft(0x400018);
    makeActive(ac, 300);
    TrafficRecord record;
    record.callsign = "NEW1";
    EXPECT_TRUE(lf_respawnLiveAc(engine, ac, record));
    EXPECT_EQ(ac.flight.callsign, "NEW1");
    EXPECT_EQ(ac.status, SimStatus::active);

    GUID_CHANGES.set(true);
    record.callsign = "NEW2";
    EXPECT_FALSE(lf_respawnLiveAc(engine, ac, record));
    EXPECT_EQ(ac.status, SimStatus::liveryrespawn);
}

}  // namespace
}  // namespace qvl::test
