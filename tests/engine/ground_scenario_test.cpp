// Whole ground movements through the engine tick: an aircraft born on a
// stand that pushes back (curved or straight), holds, taxis and takes off;
// and one that pulls out; one that taxis onto its stand across the stand's
// heading, turns to it and pushes back; the turn on the stand (the short way,
// ending on the stand heading, none without a stand) and a push-back asked
// for while it still turns. The landing that parks is on the real stands
// (park_airport_stands_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

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

// Parked across its stand: the aircraft turns in place to the stand heading
// (the short way, ending on it), and the feed sending it off while it still
// turns does not push it back sideways.
class StandTurnScenarioTest : public ArrivalScenarioTest {
protected:
    // What the ticks showed from the arrival to the end of the push-back.
    struct Trace {
        std::vector<double> parkedHeadings;  // every parked tick, in order
        double offWhenSentOffDeg = -1.0;     // from the stand heading, on the first tick of the departure
        double headingAtPushStart = -1.0;
        double largestSideslipDeg = 0.0;  // movement off the tail-first direction, pushing back
        double swingWhileMovingDeg = 0.0;
        double groundTurnStep = 0.0;
        bool pushedBack = false;
    };

    // The arrival along the taxi track onto a stand of that heading, a stop
    // of that many seconds, then the feed moving away behind the stand.
    static FlightScript arrivalStopping(double standHeadingDeg, double stopSeconds, double taxiTrackDeg) {
        FlightScript script = arrival();
        for (std::size_t i = 0; i < 3; ++i) script.legs[i].trackDeg = taxiTrackDeg;
        script.legs[2].seconds = stopSeconds;
        script.legs[3].trackDeg = standHeadingDeg + 180.0;
        script.legs[4].trackDeg = standHeadingDeg + 180.0;
        return script;
    }

    // Ticks the script until the push-back has ended.
    Trace run(double standHeadingDeg, double stopSeconds, double taxiTrackDeg = 90.0) {
        const FlightScript script = arrivalStopping(standHeadingDeg, stopSeconds, taxiTrackDeg);
        parkAirport.setStandsLoaded(true);
        addStand(7, standPosition(script), standHeadingDeg, 0.02);
        const std::uint32_t hexId = activeOnGround(script).flight.hexId;
        Trace trace;
        double previousHeading = 0.0;
        GeoPosition previousAt{};
        tickUntil(
            [&] {
                const LiveAc* a = aircraft(hexId);
                if (a == nullptr || a->status != SimStatus::active) return true;
                trace.groundTurnStep = a->flight.groundTurnStep;
                if (a->phase == GroundPhase::parked) {
                    trace.parkedHeadings.push_back(a->heading);
                    if (a->motion.departureRequested && trace.offWhenSentOffDeg < 0.0) {
                        trace.offWhenSentOffDeg = angleApartDeg(a->heading * kRadToDeg, standHeadingDeg);
                    }
                }
                if (a->phase == GroundPhase::pushing_back) {
                    if (!trace.pushedBack) trace.headingAtPushStart = a->heading;
                    trace.pushedBack = true;
                    const GeoPosition at = positionOf(*a);
                    if (gf_distanceNm(previousAt, at) > 1e-6) {
                        const double moved = gf_initialBearing(previousAt, at);
                        trace.largestSideslipDeg =
                            std::max(trace.largestSideslipDeg, angleApart(moved, a->heading + kPi) * kRadToDeg);
                        trace.swingWhileMovingDeg += angleApart(a->heading, previousHeading) * kRadToDeg;
                    }
                }
                previousHeading = a->heading;
                previousAt = positionOf(*a);
                return a->phase == GroundPhase::pushed_back;
            },
            kTrafficDelayTicks + 30000);
        return trace;
    }

    // Signed turns from one parked tick to the next, radians (right is positive).
    static std::vector<double> parkedTurns(const Trace& trace) {
        std::vector<double> turns;
        for (std::size_t i = 1; i < trace.parkedHeadings.size(); ++i) {
            turns.push_back(wrapPi(trace.parkedHeadings[i] - trace.parkedHeadings[i - 1]));
        }
        return turns;
    }
};

TEST_F(StandTurnScenarioTest, SentOffWhileStillTurningItIsPushedBackOnlyOnceItFacesTheStand) {
    // Taxiing east onto a stand facing 262, it comes to rest some 150 degrees
    // across it; the feed moves it off before it can have turned.
    constexpr double kStandDeg = 262.0;
    const Trace trace = run(kStandDeg, 20.0);
    ASSERT_TRUE(trace.pushedBack) << log();
    EXPECT_GT(trace.offWhenSentOffDeg, 45.0);
    EXPECT_LT(angleApartDeg(trace.headingAtPushStart * kRadToDeg, kStandDeg), 0.01);
    // Tail first all the way, and the only turn on the move is the push's
    // own quarter turn.
    EXPECT_LT(trace.largestSideslipDeg, 2.0);
    EXPECT_LE(trace.swingWhileMovingDeg, 91.0);
}

TEST_F(StandTurnScenarioTest, AStandOnTheLeftIsTurnedToTheShortWayLeft) {
    // Taxiing east onto a stand facing 350: 100 degrees left, 260 right.
    const Trace trace = run(350.0, 60.0);
    const std::vector<double> turns = parkedTurns(trace);
    ASSERT_FALSE(turns.empty()) << log();
    EXPECT_LT(*std::max_element(turns.begin(), turns.end()), 1e-12);
    EXPECT_GT(-*std::min_element(turns.begin(), turns.end()), 0.5 * trace.groundTurnStep);
    EXPECT_EQ(trace.parkedHeadings.back(), 350.0 * kDegToRad);
}

TEST_F(StandTurnScenarioTest, TheTurnEndsExactlyOnTheStandHeadingAndStaysThere) {
    // Taxiing west onto a stand just past north: the last step crosses north,
    // where a heading stepped by the remaining difference lands a rounding off.
    constexpr double kStandDeg = 0.02;
    const Trace trace = run(kStandDeg, 60.0, 270.0);
    const double standHeading = kStandDeg * kDegToRad;
    const auto onStand = std::find(trace.parkedHeadings.begin(), trace.parkedHeadings.end(), standHeading);
    ASSERT_NE(onStand, trace.parkedHeadings.end()) << log();
    // A minute parked: most of it after the turn, on the stand heading every tick.
    EXPECT_GT(trace.parkedHeadings.end() - onStand, 2000);
    EXPECT_TRUE(std::all_of(onStand, trace.parkedHeadings.end(), [&](double h) { return h == standHeading; }));
    // No tick on the way lands a rounding off it.
    for (std::size_t i = 0; i < trace.parkedHeadings.size(); ++i) {
        const double off = angleApart(trace.parkedHeadings[i], standHeading);
        EXPECT_TRUE(off == 0.0 || off > 1e-9) << off << " on parked tick " << i;
    }
    for (const double turn : parkedTurns(trace)) EXPECT_LE(std::fabs(turn), trace.groundTurnStep + 1e-9);
}

TEST_F(GroundScenarioTest, AParkedAircraftWithoutAStandKeepsItsHeading) {
    const GeoPosition at{.latitude = 50.0, .longitude = 8.5};
    TrafficSample front = groundSample(at.latitude, at.longitude, 0.0, now());
    front.stationary = 1;
    TrafficSample still = front;
    still.dueTick = static_cast<std::uint32_t>(now() + 2000);
    LiveAc& ac = make({front, still});
    ac.phase = GroundPhase::parked;
    ac.heading = 123.0 * kDegToRad;
    ASSERT_EQ(ac.standNumber, 0U);
    const std::uint32_t hexId = ac.flight.hexId;
    tick(3000);
    const LiveAc* parked = aircraft(hexId);
    ASSERT_NE(parked, nullptr);
    ASSERT_EQ(parked->status, SimStatus::active);
    EXPECT_EQ(parked->phase, GroundPhase::parked);
    EXPECT_EQ(parked->heading, 123.0 * kDegToRad);
}

}  // namespace
}  // namespace qvl::test
