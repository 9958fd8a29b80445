// Whole ground movements through the engine tick: an aircraft born on a
// stand that pushes back (curved or straight), holds, taxis and takes off;
// and one that pulls out; one that taxis onto its stand across the stand's
// heading, turns to it and pushes back. The landing that parks is on the real
// stands (park_airport_stands_test.cpp).
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

// A taxi that ends across its stand: the aircraft parks, turns in place to
// the stand heading, and later pushes back straight out along it.
class ArrivalScenarioTest : public GroundScenarioTest {
protected:
    static constexpr GeoPosition kTaxiFrom{.latitude = 50.0, .longitude = 8.49};
    static constexpr double kStandHeadingDeg = 0.0;

    // East along a taxiway at 15 kt, 3 kt for the last few metres, a stop of
    // a minute, then the feed shows it moving south: behind the stand.
    static FlightScript arrival() {
        FlightScript script;
        script.registration = "D-AINA";
        script.latitude = kTaxiFrom.latitude;
        script.longitude = kTaxiFrom.longitude;
        script.altitudeFt = 0.0;
        script.legs = {{.seconds = 40.0, .groundSpeedKt = 15.0, .trackDeg = 90.0},
                       {.seconds = 16.0, .groundSpeedKt = 3.0, .trackDeg = 90.0},
                       {.seconds = 60.0, .groundSpeedKt = 0.0, .trackDeg = 90.0},
                       {.seconds = 40.0, .groundSpeedKt = 3.0, .trackDeg = 180.0},
                       {.seconds = 40.0, .groundSpeedKt = 0.0, .trackDeg = 180.0}};
        return script;
    }
    static GeoPosition standPosition(const FlightScript& script) {
        GeoPosition at{.latitude = script.latitude, .longitude = script.longitude};
        for (std::size_t i = 0; i < 2; ++i) {
            const Leg& leg = script.legs[i];
            at = offset(at, leg.trackDeg, leg.groundSpeedKt * leg.seconds / 3600.0);
        }
        return at;
    }
};

TEST_F(ArrivalScenarioTest, AnAircraftArrivingAcrossItsStandFacesItAndPushesBackWithoutAJump) {
    const FlightScript script = arrival();
    parkAirport.setStandsLoaded(true);
    addStand(7, standPosition(script), kStandHeadingDeg, 0.02);
    const std::uint32_t hexId = activeOnGround(script).flight.hexId;

    double headingAtArrival = -1.0;
    double previousHeading = -1.0;
    double lastParkedHeading = -1.0;
    double largestParkedTurn = 0.0;
    double firstPushHeading = -1.0;
    double groundTurnStep = 0.0;
    tickUntil(
        [&] {
            const LiveAc* a = aircraft(hexId);
            if (a == nullptr || a->status != SimStatus::active) return true;
            if (a->phase == GroundPhase::parked) {
                // The heading it stopped with, on the tick before it parked.
                if (headingAtArrival < 0.0) headingAtArrival = previousHeading;
                largestParkedTurn = std::max(largestParkedTurn, angleApart(a->heading, previousHeading));
                lastParkedHeading = a->heading;
                groundTurnStep = a->flight.groundTurnStep;
            }
            if (a->phase == GroundPhase::pushing_back) firstPushHeading = a->heading;
            previousHeading = a->heading;
            return firstPushHeading >= 0.0;
        },
        kTrafficDelayTicks + 30000);
    ASSERT_GE(firstPushHeading, 0.0) << log();
    EXPECT_TRUE(logHas("A7      : DLH4AB   arrived at stand"));
    // It came in square to the stand, so there was a turn to make.
    EXPECT_GT(angleApartDeg(headingAtArrival * kRadToDeg, kStandHeadingDeg), 45.0);
    // It turned in place at the ground turn rate and ended facing the stand.
    EXPECT_LE(largestParkedTurn, groundTurnStep + 1e-9);
    EXPECT_LT(angleApartDeg(lastParkedHeading * kRadToDeg, kStandHeadingDeg), 2.0);
    // The push-back takes the heading on from there and moves tail first.
    EXPECT_LE(angleApart(firstPushHeading, lastParkedHeading), groundTurnStep + 1e-9);
    const GeoPosition pushFrom = positionOf(*aircraft(hexId));
    tick(300);
    const LiveAc& pushed = *aircraft(hexId);
    ASSERT_EQ(pushed.phase, GroundPhase::pushing_back);
    const double movedDeg = gf_initialBearing(pushFrom, positionOf(pushed)) * kRadToDeg;
    EXPECT_LT(angleApartDeg(movedDeg, pushed.heading * kRadToDeg + 180.0), 2.0);
}

}  // namespace
}  // namespace qvl::test
