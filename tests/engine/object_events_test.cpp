// What the simulator reports of the engine's aircraft, end to end through
// the stand-in simulator where the report comes from it, and as queued
// events where only the engine's reaction matters.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include <fmt/format.h>

#include "core/messages.h"
#include "core/user_error.h"
#include "engine/base/removal.h"
#include "engine/object_events.h"
#include "engine/uncreatable.h"
#include "platform/units.h"
#include "simlink/sim_ids.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class ObjectEventsTest : public EngineTest {
protected:
    // An airliner with a route, flying east at 5000 ft; in "adding2sim".
    LiveAc& spawnedAirliner() {
        FlightScript script;
        script.origin = "FRA";
        script.destination = "LHR";
        script.legs = {{.seconds = 120.0, .groundSpeedKt = 250.0, .trackDeg = 90.0}};
        fly(script);
        tick(10);
        LiveAc* ac = aircraft(script.hexId);
        EXPECT_NE(ac, nullptr);
        spawnAsSpawningWould(*ac);
        return *ac;
    }
    // An aircraft active with its object, as the object events leave it.
    LiveAc& activeAirliner(std::uint32_t objectId) {
        LiveAc& ac = spawnedAirliner();
        makeActive(ac, objectId);
        return ac;
    }
    void queue(const SimObjectEvent& event) { gf_queueSimObjectEvent(state, event); }
    static constexpr double kDeg = kDegToRad;
};

TEST_F(ObjectEventsTest, ACreatedAircraftSettlesWithTwoLightTogglesThenBecomesActiveWithItsPlan) {
    connectStandIn();
    const std::uint32_t hexId = spawnedAirliner().flight.hexId;
    ASSERT_TRUE(tickUntil([&] { return aircraft(hexId)->objectId != 0; }, 200));
    const std::uint32_t objectId = aircraft(hexId)->objectId;
    const std::int32_t reported = lastTick();
    EXPECT_EQ(aircraft(hexId)->status, SimStatus::adding2sim);
    // Once on disk, the plan goes to the simulator at the next tick.
    ASSERT_TRUE(plansWritten());
    tick();
    // An airliner files IFR.
    EXPECT_NE(readFile(dir / fmt::format("{}.pln", objectId)).find("<FPType>IFR</FPType>"), std::string::npos);
    EXPECT_EQ(simCalls("AISetAircraftFlightPlan").size(), 1U);
    EXPECT_EQ(simCalls(fmt::format("RequestDataOnSimObject 102 405 object {}", objectId)).size(), 1U);

    ASSERT_TRUE(tickUntil([&] { return aircraft(hexId)->status == SimStatus::active; }, 300));
    const std::int32_t active = lastTick();
    const auto toggles = recorder.eventsOf(objectId, evAllLightsToggle);
    ASSERT_EQ(toggles.size(), 2U);
    EXPECT_EQ(toggles[0].tick - reported, 49);
    EXPECT_EQ(toggles[1].tick - toggles[0].tick, 50);
    EXPECT_EQ(active - reported, 199);
    // Airborne at 5000 ft: engines on, strobes and landing lights on.
    EXPECT_EQ(recorder.eventsOf(objectId, evEngineAutoStart).size(), 1U);
    const auto landing = recorder.eventsOf(objectId, evLandingLightsSet);
    ASSERT_FALSE(landing.empty());
    EXPECT_EQ(landing.back().command.data, 1U);
    // The static values the stand-in reported.
    EXPECT_DOUBLE_EQ(aircraft(hexId)->flight.staticCgHeight, config.staticCgToGroundFt);
    // Active from the tick of its activation on: one position a tick.
    tick(3);
    const auto positions = recorder.positionsOf(objectId);
    ASSERT_EQ(positions.size(), 4U);
    EXPECT_EQ(positions.front().tick, active);
}

TEST_F(ObjectEventsTest, ARemovedAircraftLosesItsPlanFileAndItsRecord) {
    connectStandIn();
    const std::uint32_t hexId = spawnedAirliner().flight.hexId;
    ASSERT_TRUE(tickUntil([&] { return aircraft(hexId)->status == SimStatus::active; }, 600));
    const std::uint32_t objectId = aircraft(hexId)->objectId;
    ASSERT_TRUE(plansWritten());
    ASSERT_TRUE(std::filesystem::exists(dir / fmt::format("{}.pln", objectId)));
    removeAircraftFromSim(engine, *aircraft(hexId));
    ASSERT_TRUE(tickUntil([&] { return aircraft(hexId) == nullptr; }, 100));
    ASSERT_TRUE(plansWritten());
    EXPECT_FALSE(std::filesystem::exists(dir / fmt::format("{}.pln", objectId)));
    EXPECT_EQ(simCalls(fmt::format("AIRemoveObject {}", objectId)).size(), 1U);
}

TEST_F(ObjectEventsTest, ARefusedCreationReportsTheTitleAndErasesTheRecord) {
    connectStandIn();
    sim->refuseTitle("Airbus A320 Test Air");
    const std::uint32_t hexId = spawnedAirliner().flight.hexId;
    ASSERT_TRUE(tickUntil([&] { return aircraft(hexId) == nullptr; }, 200));
    EXPECT_EQ(messageLines().message, "DLH4AB 'Airbus A320 Test Air' could not be created by your Sim!");
    EXPECT_TRUE(state.uncreatable.dontUseTitles.contains("Airbus A320 Test Air"));
    EXPECT_TRUE(state.uncreatable.combinations.contains("A320 "));
}

TEST_F(ObjectEventsTest, TheTwentiethRefusedTitleEndsTheRunWithError81) {
    FlightRec flight;
    for (int i = 0; i < 19; ++i) {
        const std::string title = fmt::format("Livery {}", i);
        flight.liveryTitle = title;
        gf_reportUncreatableLivery(engine, flight);
        gf_reportUncreatableLivery(engine, flight);  // a repeat counts once
    }
    EXPECT_EQ(state.uncreatable.dontUseTitles.size(), 19U);
    const std::string last = "Livery 19";
    flight.liveryTitle = last;
    try {
        gf_reportUncreatableLivery(engine, flight);
        FAIL() << "no user error";
    } catch (const UserErrorException& e) {
        EXPECT_EQ(e.code(), 81) << e.what();
        EXPECT_NE(std::string(e.what()).find("There are too many liveries that could not be created!, see Log.txt"),
                  std::string::npos);
    }
    EXPECT_TRUE(logHas("===> Error 81, There are too many liveries that could not be created!"));
}

TEST_F(ObjectEventsTest, ABlockedCallsignEventRemovesItsActiveAircraft) {
    LiveAc& ac = activeAirliner(100);
    const std::uint32_t hexId = ac.flight.hexId;
    queue({.hexId = hexId, .kind = SimObjectEventKind::blockedCallsign});
    tick(1);
    ASSERT_NE(aircraft(hexId), nullptr);
    EXPECT_EQ(aircraft(hexId)->status, SimStatus::removingfromsim);
    EXPECT_TRUE(logHas("removed from simulator immediately while blocked"));
}

TEST_F(ObjectEventsTest, ACreationFailureForAnUnknownHexIdChangesNothing) {
    activeAirliner(300);
    queue({.hexId = 0x123456, .kind = SimObjectEventKind::creationFailed});
    tick();
    EXPECT_EQ(state.liveAircraft.size(), 1U);
    EXPECT_TRUE(state.uncreatable.dontUseTitles.empty());
}

TEST_F(ObjectEventsTest, StaticValuesOutsideTheirRangesKeepOrReplaceTheValue) {
    LiveAc& ac = activeAirliner(300);
    queue({.objectId = 300, .kind = SimObjectEventKind::staticValues, .value1 = 6.5, .value2 = 1.0 * kDeg});
    tick();
    EXPECT_DOUBLE_EQ(ac.flight.staticCgHeight, 6.5);
    EXPECT_DOUBLE_EQ(ac.flight.staticPitch, 1.0 * kDeg);
    queue({.objectId = 300, .kind = SimObjectEventKind::staticValues, .value1 = 0.5, .value2 = 3.0 * kDeg});
    tick();
    EXPECT_DOUBLE_EQ(ac.flight.staticCgHeight, 6.5);
    EXPECT_DOUBLE_EQ(ac.flight.staticPitch, 0.012217304763960306);
    queue({.objectId = 300, .kind = SimObjectEventKind::staticValues, .value1 = NAN, .value2 = NAN});
    tick();
    EXPECT_DOUBLE_EQ(ac.flight.staticCgHeight, 6.5);
    EXPECT_DOUBLE_EQ(ac.flight.staticPitch, 0.012217304763960306);
}

TEST_F(ObjectEventsTest, HeightsThatAreNoNumbersLeaveTheAircraftWhereItWas) {
    LiveAc& ac = activeAirliner(300);
    ac.onGround = true;
    ac.altitude = 372.0;
    ac.motion.heightAboveGround = 0.5;
    queue({.objectId = 300, .kind = SimObjectEventKind::groundData, .value1 = NAN, .value2 = INFINITY});
    lf_handleSimObjectEvents(engine);
    EXPECT_DOUBLE_EQ(ac.altitude, 372.0);
    EXPECT_DOUBLE_EQ(ac.motion.heightAboveGround, 0.5);
    queue({.objectId = 300, .kind = SimObjectEventKind::groundData, .value1 = 400.0, .value2 = -INFINITY});
    lf_handleSimObjectEvents(engine);
    EXPECT_DOUBLE_EQ(ac.altitude, 400.0 + ac.flight.staticCgHeight) << "each value is taken on its own";
    EXPECT_DOUBLE_EQ(ac.motion.heightAboveGround, 0.5);
}

TEST_F(ObjectEventsTest, ANewObjectWhoseHeightIsNoNumberKeepsTheAircraftsHeight) {
    LiveAc& ac = spawnedAirliner();
    const double height = ac.motion.heightAboveGround;
    queue({.objectId = 301, .hexId = ac.flight.hexId, .kind = SimObjectEventKind::created, .value2 = NAN});
    lf_handleSimObjectEvents(engine);
    EXPECT_EQ(ac.objectId, 301U);
    EXPECT_DOUBLE_EQ(ac.motion.heightAboveGround, height);
}

TEST_F(ObjectEventsTest, GroundContactDuringTakeOffIsNoTouchdown) {
    LiveAc& ac = activeAirliner(300);
    ac.phase = GroundPhase::take_off;
    ac.motion.approaching = true;
    queue({.objectId = 300, .hexId = 1, .kind = SimObjectEventKind::groundData, .value1 = 300.0, .value2 = 0.0});
    tick();
    EXPECT_FALSE(ac.onGround);
    EXPECT_FALSE(ac.motion.landed);
    EXPECT_DOUBLE_EQ(ac.motion.heightAboveGround, 0.0);
}

TEST_F(ObjectEventsTest, AFlaringAircraftTouchesDownWithSpoilersAndDerotation) {
    connectStandIn();
    const std::uint32_t hexId = spawnedAirliner().flight.hexId;
    ASSERT_TRUE(tickUntil([&] { return aircraft(hexId)->status == SimStatus::active; }, 600));
    LiveAc& ac = *aircraft(hexId);
    const std::uint32_t objectId = ac.objectId;
    ac.motion.approaching = true;
    ac.motion.flareStage = 4;
    ac.pitch = -4.0 * kDeg;
    ac.bank = 1.0 * kDeg;
    ac.heading = 1.0;
    ac.flight.staticPitch = 0.7 * kDeg;
    queue({.objectId = objectId, .hexId = 1, .kind = SimObjectEventKind::groundData, .value1 = 300.0, .value2 = 0.0});
    tick();
    EXPECT_TRUE(ac.onGround);
    EXPECT_TRUE(ac.motion.landed);
    EXPECT_TRUE(ac.motion.landedHere);
    EXPECT_TRUE(ac.motion.derotating);
    EXPECT_FALSE(ac.motion.approaching);
    EXPECT_DOUBLE_EQ(ac.motion.touchdownHeading, 1.0);
    EXPECT_NEAR(ac.motion.pitchStep, (0.7 * kDeg + 4.0 * kDeg) / ac.flight.derotationTicks, 1e-15);
    EXPECT_NEAR(ac.motion.bankStep, -1.0 * kDeg / ac.flight.derotationTicks, 1e-15);
    EXPECT_DOUBLE_EQ(ac.altitude, 300.0 + ac.flight.staticCgHeight);
    const auto spoilers = recorder.eventsOf(objectId, evSpoilersSet);
    ASSERT_FALSE(spoilers.empty());
    EXPECT_EQ(spoilers.back().command.data, 16383U);
    EXPECT_EQ(simCalls(fmt::format("SetDataOnSimObject 401 object {}", objectId)).size(), 1U);
    EXPECT_EQ(state.perSecondHexIds.back(), hexId);
}

TEST_F(ObjectEventsTest, GroundDataAfterARemovalInTheSameBatchReachesTheRightAircraft) {
    LiveAc& first = activeAirliner(300);
    first.samples.resize(1);
    FlightScript second;
    second.hexId = 0x3c6599;
    second.callsign = "DLH9ZZ";
    second.legs = {{.seconds = 8.0, .groundSpeedKt = 250.0, .trackDeg = 90.0}};
    fly(second);
    tick(401);
    makeActive(*aircraft(0x3c6599), 301);
    queue({.objectId = 300, .kind = SimObjectEventKind::groundData, .value2 = 1111.0});
    queue({.objectId = 300, .kind = SimObjectEventKind::removed});
    queue({.objectId = 301, .kind = SimObjectEventKind::groundData, .value2 = 2222.0});
    tick();
    ASSERT_EQ(state.liveAircraft.size(), 1U);
    EXPECT_EQ(state.liveAircraft[0].objectId, 301U);
    EXPECT_DOUBLE_EQ(state.liveAircraft[0].motion.heightAboveGround, 2222.0);
}

TEST_F(ObjectEventsTest, ARemovalReportDuringALiveryChangeRestartsTheAircraftInBuffer) {
    LiveAc& ac = activeAirliner(300);
    ac.throttleStep = 2;
    ac.flapsIndex = 1;
    lf_createFlightPlan(engine, ac);
    ASSERT_TRUE(plansWritten());
    ASSERT_TRUE(std::filesystem::exists(dir / "300.pln"));
    liveryRespawn(engine, ac);
    EXPECT_EQ(ac.status, SimStatus::liveryrespawn);
    queue({.objectId = 300, .kind = SimObjectEventKind::removed});
    tick();
    ASSERT_TRUE(plansWritten());
    // The old object's plan goes with it; the new object will get its own.
    EXPECT_FALSE(std::filesystem::exists(dir / "300.pln"));
    ASSERT_EQ(aircraft(ac.flight.hexId), &ac);
    EXPECT_EQ(ac.status, SimStatus::buffer);
    EXPECT_EQ(ac.objectId, 0U);
    EXPECT_EQ(ac.throttleStep, 5U);
    EXPECT_EQ(ac.flapsIndex, 4U);
}

TEST_F(ObjectEventsTest, AnAircraftMarkedWhileItWasCreatedIsRemovedOnceActive) {
    LiveAc& ac = spawnedAirliner();
    tick();  // its creation leaves the hex-id stack for the live creation queue
    ASSERT_TRUE(tickUntil([&] { return state.liveCreationQueue.empty(); }, 60));
    removeAircraftFromSim(engine, ac);
    EXPECT_TRUE(ac.removeWhenCreated);
    queue({.objectId = 300, .hexId = ac.flight.hexId, .kind = SimObjectEventKind::created, .value2 = 5000.0});
    ASSERT_TRUE(tickUntil([&] { return ac.status != SimStatus::adding2sim; }, 250));
    EXPECT_EQ(ac.status, SimStatus::removingfromsim);
    EXPECT_FALSE(ac.removeWhenCreated);
    ASSERT_TRUE(tickUntil([&] { return !recorder.removals.empty(); }, 20));
    EXPECT_EQ(recorder.removals.front().command, 300U);
}

TEST_F(ObjectEventsTest, AnObjectIdBelowThreeIsNotTakenForAnAircraft) {
    LiveAc& ac = spawnedAirliner();
    queue({.objectId = 2, .hexId = ac.flight.hexId, .kind = SimObjectEventKind::created});
    tick(250);
    EXPECT_EQ(ac.objectId, 0U);
    EXPECT_EQ(ac.status, SimStatus::adding2sim);
    EXPECT_TRUE(state.deferredEvents.empty());
}

TEST_F(ObjectEventsTest, AParkedAircraftSettlingOnItsStandTakesItOverFromAStaticOne) {
    stands.add(7, "A7");
    LiveAc& ac = spawnedAirliner();
    ac.setPhase(GroundPhase::parked);
    ac.standNumber = 7;
    ac.samples.front().airborne = 0;
    StaticAc other;
    other.flight.hexId = 12;
    other.flight.callsign = "KLM11*";
    other.standNumber = 7;
    other.objectId = 250;
    other.status = SimStatus::active;
    state.staticAircraft.push_back(other);
    state.parking.candidates.push_back({.standNumber = 7});
    state.parking.candidates.push_back({.standNumber = 8});
    queue({.objectId = 300, .hexId = ac.flight.hexId, .kind = SimObjectEventKind::created});
    tick();
    EXPECT_TRUE(ac.onGround);
    EXPECT_EQ(ac.parkedSince, (WeekTime{.day = 3, .slot = 20}));
    ASSERT_EQ(state.parking.candidates.size(), 1U);
    EXPECT_EQ(state.parking.candidates[0].standNumber, 8U);
    EXPECT_EQ(state.staticAircraft[0].status, SimStatus::removingfromsim);
    EXPECT_TRUE(logHas("A7      : DLH4AB   parks over static KLM11*"));
}

}  // namespace
}  // namespace qvl::test
