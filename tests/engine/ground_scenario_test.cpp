// Whole ground movements through the engine tick: an aircraft born on a
// stand that pushes back (curved or straight), holds, taxis and takes off;
// and one that pulls out. The landing that parks is on the real stands
// (park_airport_stands_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/settings.h"
#include "engine/stands/stands.h"
#include "ground_fixture.h"
#include "simlink/sim_ids.h"

namespace qvl::test {
namespace {

constexpr std::uint32_t kObjectId = 900;

class GroundScenarioTest : public GroundTest {
protected:
    // The scripted aircraft, created and active on the ground.
    LiveAc& activeOnGround(const FlightScript& script) {
        fly(script);
        tick(10);
        LiveAc* ac = aircraft(script.hexId);
        EXPECT_NE(ac, nullptr);
        makeActive(*ac, kObjectId);
        ac->onGround = true;
        return *ac;
    }
};

class DepartureScenarioTest : public GroundScenarioTest {
protected:
    static constexpr GeoPosition kStandAt{.latitude = 50.0, .longitude = 8.5};

    // Born on stand 3 (heading north): parked there, as spawning leaves an
    // aircraft whose first samples stand on a stand.
    LiveAc& bornOnStand(const FlightScript& script) {
        const Stand& stand = addStand(3, kStandAt, 0.0, 0.02);
        LiveAc& ac = activeOnGround(script);
        parkOn(ac, stand);
        ac.previousPhase = GroundPhase::birth;
        return ac;
    }

    FlightScript departure() const {
        FlightScript script;
        script.registration = "D-AINA";
        script.latitude = kStandAt.latitude;
        script.longitude = kStandAt.longitude;
        script.altitudeFt = 0.0;
        script.legs = {{.seconds = 40.0, .groundSpeedKt = 0.0, .trackDeg = 0.0},
                       {.seconds = 40.0, .groundSpeedKt = 3.0, .trackDeg = 190.0},
                       {.seconds = 40.0, .groundSpeedKt = 0.0, .trackDeg = 0.0},
                       {.seconds = 60.0, .groundSpeedKt = 15.0, .trackDeg = 90.0},
                       {.seconds = 20.0, .groundSpeedKt = 80.0, .trackDeg = 90.0},
                       {.seconds = 20.0, .groundSpeedKt = 150.0, .trackDeg = 90.0},
                       {.seconds = 30.0, .groundSpeedKt = 160.0, .trackDeg = 90.0, .verticalSpeedFpm = 2000.0}};
        return script;
    }

    struct Seen {
        bool pushedBack = false;
        bool curved = false;
        bool taxied = false;
        bool tookOff = false;
    };
    Seen runDeparture(std::uint32_t hexId) {
        Seen seen;
        tickUntil(
            [&] {
                LiveAc* a = aircraft(hexId);
                if (a == nullptr || a->status != SimStatus::active) return true;
                if (a->holding) holdTicks = engine.now() - a->holdStart;
                if (a->phase == GroundPhase::pushing_back && curveIsSet(*a)) seen.curved = true;
                if (a->phase == GroundPhase::pushed_back) seen.pushedBack = true;
                if (seen.pushedBack && a->phase == GroundPhase::taxi) seen.taxied = true;
                if (a->phase == GroundPhase::take_off) seen.tookOff = true;
                return seen.tookOff;
            },
            kTrafficDelayTicks + 40000);
        return seen;
    }
    std::int32_t holdTicks = 0;
};

TEST_F(DepartureScenarioTest, BornOnAStandItPushesBackWithATurnHoldsTaxisAndTakesOff) {
    const std::uint32_t hexId = bornOnStand(departure()).flight.hexId;
    const Seen seen = runDeparture(hexId);
    EXPECT_TRUE(seen.curved);
    EXPECT_TRUE(seen.pushedBack);
    // It stood still for the feed's 40 s stop (less the samples queued ahead).
    EXPECT_GE(holdTicks, 1000);
    EXPECT_TRUE(seen.taxied);
    EXPECT_TRUE(seen.tookOff) << log();
    recorder.record(link.queues, engine.now(), true);
    EXPECT_GE(recorder.eventsOf(kObjectId, evEngineAutoStart).size(), 1U);
}

TEST_F(DepartureScenarioTest, WithStraightPushBacksOnlyThePushNeverTurns) {
    setForTest(STRAIGHT_PBS_ONLY, true);
    const std::uint32_t hexId = bornOnStand(departure()).flight.hexId;
    double largestTurnDeg = 0.0;
    Seen seen;
    tickUntil(
        [&] {
            LiveAc* a = aircraft(hexId);
            if (a == nullptr || a->status != SimStatus::active) return true;
            if (a->phase == GroundPhase::pushing_back) {
                seen.curved = seen.curved || curveIsSet(*a);
                largestTurnDeg = std::max(largestTurnDeg, angleApartDeg(a->heading * kRadToDeg, 0.0));
            }
            if (a->phase == GroundPhase::pushed_back) seen.pushedBack = true;
            return seen.pushedBack;
        },
        kTrafficDelayTicks + 20000);
    EXPECT_TRUE(seen.pushedBack);
    EXPECT_FALSE(seen.curved);
    EXPECT_LT(largestTurnDeg, 1.0);
    // Straight back by 2.5 stand radii.
    EXPECT_NEAR(gf_distanceNm(positionOf(*aircraft(hexId)), kStandAt), 2.5 * 0.02, 0.003);
}

TEST_F(DepartureScenarioTest, AnAircraftFacingItsWayOutPullsOut) {
    FlightScript script = departure();
    script.legs = {{.seconds = 40.0, .groundSpeedKt = 0.0, .trackDeg = 0.0},
                   {.seconds = 60.0, .groundSpeedKt = 8.0, .trackDeg = 10.0},
                   {.seconds = 60.0, .groundSpeedKt = 15.0, .trackDeg = 90.0}};
    const std::uint32_t hexId = bornOnStand(script).flight.hexId;
    bool pulledOut = false;
    tickUntil(
        [&] {
            LiveAc* a = aircraft(hexId);
            if (a == nullptr || a->status != SimStatus::active) return true;
            pulledOut = logHas("A3      : DLH4AB   pulling out");
            return pulledOut;
        },
        kTrafficDelayTicks + 20000);
    ASSERT_TRUE(pulledOut);
    const LiveAc& ac = *aircraft(hexId);
    EXPECT_EQ(ac.phase, GroundPhase::taxi);
    EXPECT_NE(ac.phase, GroundPhase::pushing_back);
    // It moves forwards, out along the stand heading.
    ASSERT_TRUE(tickUntil([&] { return gf_distanceNm(positionOf(*aircraft(hexId)), kStandAt) > 0.01; }, 3000));
    EXPECT_LT(angleApartDeg(gf_initialBearing(kStandAt, positionOf(*aircraft(hexId))) * kRadToDeg, 0.0), 30.0);
}

}  // namespace
}  // namespace qvl::test
