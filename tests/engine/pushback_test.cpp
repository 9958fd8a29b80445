// Off the stand and onto it: the choice between pull-out and push-back,
// their targets, the push-back's turn, and the arrival at the stand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/settings.h"
#include "engine/motion/motion.h"
#include "ground_fixture.h"
#include "simlink/sim_ids.h"

namespace qvl::test {
namespace {

constexpr GeoPosition kStand{.latitude = 50.0, .longitude = 8.5};

class PushBackTest : public GroundTest {
protected:
    // A parked aircraft on stand 1 (heading given) whose feed shows it
    // moving towards the bearing.
    LiveAc& parkedLeavingTowards(double standHeadingDeg, double departureBearingDeg) {
        const Stand& stand = addStand(1, kStand, standHeadingDeg, 0.02);
        TrafficSample front = groundSample(kStand.latitude, kStand.longitude, 0, now());
        front.stationary = 1;
        const GeoPosition away = offset(kStand, departureBearingDeg, 0.03);
        LiveAc& ac = make({front, groundSample(away.latitude, away.longitude, 5, now() + 500)});
        parkOn(ac, stand);
        ac.motion.departureRequested = true;
        return ac;
    }
};

TEST_F(PushBackTest, ADepartureAheadOfTheStandPullsOutOneWingspan) {
    // Stand heading and departure bearing: 10 degrees apart, and 20 apart across north.
    for (const auto& [standDeg, bearingDeg] : {std::pair{90.0, 100.0}, std::pair{350.0, 10.0}}) {
        state.liveAircraft.clear();
        stands.park.parkStands.clear();
        LiveAc& ac = parkedLeavingTowards(standDeg, bearingDeg);
        nextPosGround(engine, ac);
        EXPECT_EQ(ac.phase, GroundPhase::taxi) << standDeg;
        ASSERT_EQ(ac.samples.size(), 2U);
        // One wingspan (two half spans in nm) ahead along the stand heading.
        EXPECT_NEAR(gf_distanceNm(kStand, positionOf(ac.samples[1])), 2.0 * ac.flight.halfSpan, 1e-6);
        EXPECT_NEAR(angleApartDeg(gf_initialBearing(kStand, positionOf(ac.samples[1])) * kRadToDeg, standDeg), 0.0,
                    0.01);
        EXPECT_FALSE(ac.motion.departureRequested);
    }
    EXPECT_TRUE(logHas("A1      : TST123   pulling out"));
}

TEST_F(PushBackTest, ADepartureBehindTheStandPushesBackTwoAndAHalfRadiiThenToTheSide) {
    LiveAc& ac = parkedLeavingTowards(90.0, 260.0);
    nextPosGround(engine, ac);
    EXPECT_EQ(ac.phase, GroundPhase::pushing_back);
    EXPECT_EQ(ac.previousPhase, GroundPhase::parked);
    EXPECT_EQ(ac.motion.pushCountdown, 2);
    // Front, midpoint, end of leg 1, side point.
    ASSERT_EQ(ac.samples.size(), 4U);
    const GeoPosition legEnd = positionOf(ac.samples[2]);
    EXPECT_NEAR(gf_distanceNm(kStand, legEnd), 2.5 * 0.02, 1e-6);
    EXPECT_NEAR(gf_initialBearing(kStand, legEnd) * kRadToDeg, 270.0, 0.01);
    EXPECT_NEAR(gf_distanceNm(kStand, positionOf(ac.samples[1])), 1.25 * 0.02, 1e-6);
    // Both side points lie one half span (nm) beside the end of leg 1.
    EXPECT_NEAR(gf_distanceNm(legEnd, positionOf(ac.samples[3])), ac.flight.halfSpan, 1e-6);
    EXPECT_NEAR(gf_distanceNm(legEnd, positionOf(ac.motion.alternativeTurnSample)), ac.flight.halfSpan, 1e-6);
    EXPECT_NEAR(angleApartDeg(gf_initialBearing(legEnd, positionOf(ac.motion.alternativeTurnSample)) * kRadToDeg, 0.0),
                0.0, 0.1);
    EXPECT_EQ(ac.samples[3].dueTick, ac.motion.alternativeTurnSample.dueTick);
}

TEST_F(PushBackTest, ADepartureExactlyNinetyDegreesOffTheStandHeadingPushesBack) {
    // Square to the stand heading on either side, and one degree short of it.
    for (const auto& [bearingDeg, pushed] : {std::pair{180.0, true}, std::pair{0.0, true}, std::pair{179.0, false}}) {
        state.liveAircraft.clear();
        stands.park.parkStands.clear();
        LiveAc& ac = parkedLeavingTowards(90.0, bearingDeg);
        nextPosGround(engine, ac);
        EXPECT_EQ(ac.phase, pushed ? GroundPhase::pushing_back : GroundPhase::taxi) << bearingDeg;
    }
}

TEST_F(PushBackTest, TheTurnSideComparesTheTrackInRadiansWithTheHeading) {
    LiveAc& ac = make({groundSample(50, 8.5, 0, now())});
    ac.heading = 0.5;  // about 28.6 degrees
    TrafficSample sample = groundSample(50, 8.5, 3, now());
    sample.track = 20.0;
    EXPECT_EQ(pushTurnSide(ac, sample), -1);
    sample.track = 40.0;
    EXPECT_EQ(pushTurnSide(ac, sample), 1);
    sample.track = 0.0;  // no track given
    EXPECT_EQ(pushTurnSide(ac, sample), 0);
    ac.heading = 359.0 * kDegToRad;
    sample.track = 1.0;
    EXPECT_EQ(pushTurnSide(ac, sample), 1);
    sample.trueHeadingValid = 1;
    sample.trueHeading = 350.0 * kDegToRad;
    EXPECT_EQ(pushTurnSide(ac, sample), -1);
}

TEST_F(PushBackTest, ADecidedTurnCurvesToItsSideAndStraightOnlyDropsTheSidePoint) {
    LiveAc& turning = parkedLeavingTowards(90.0, 260.0);
    nextPosMain(engine, turning);  // starts the push-back, front popped
    turning.motion.pushTurn = 1;
    const TrafficSample alternative = turning.motion.alternativeTurnSample;
    nextPosMain(engine, turning);
    EXPECT_TRUE(curveIsSet(turning));
    EXPECT_DOUBLE_EQ(turning.motion.curveAngle, 90.0);
    ASSERT_EQ(turning.samples.size(), 1U);
    EXPECT_DOUBLE_EQ(turning.samples[0].latitude, alternative.latitude);
    EXPECT_DOUBLE_EQ(turning.samples[0].longitude, alternative.longitude);

    state.liveAircraft.clear();
    stands.park.parkStands.clear();
    setForTest(STRAIGHT_PBS_ONLY, true);
    LiveAc& straight = parkedLeavingTowards(90.0, 260.0);
    nextPosMain(engine, straight);
    straight.motion.pushTurn = 1;
    nextPosMain(engine, straight);
    EXPECT_FALSE(curveIsSet(straight));
    ASSERT_EQ(straight.samples.size(), 1U);
    EXPECT_NEAR(gf_distanceNm(kStand, positionOf(straight.samples[0])), 0.05, 1e-6);
}

TEST_F(PushBackTest, AtTheEndOfThePushTheEnginesStartAndTheHoldMeasuresFromZero) {
    LiveAc& ac = parkedLeavingTowards(90.0, 260.0);
    ac.motion.holdDistance = 0.3;
    ac.motion.pushCountdown = 1;
    ac.phase = GroundPhase::pushing_back;
    pushBackStep(engine, ac);
    EXPECT_EQ(ac.phase, GroundPhase::pushed_back);
    EXPECT_EQ(ac.motion.pushCountdown, 1);
    EXPECT_EQ(ac.motion.holdDistance, 0.0);
    recorder.record(link.queues, engine.now(), true);
    EXPECT_EQ(recorder.eventsOf(ac.objectId, evEngineAutoStart).size(), 1U);
}

TEST_F(PushBackTest, AnAircraftArrivingAtAnOccupiedStandIsRemovedAndTheStandStaysMarked) {
    Stand& stand = addStand(1, kStand, 90.0, 0.02);
    stand.occupied = true;
    LiveAc& ac = make({groundSample(kStand.latitude, kStand.longitude, 0, now())});
    parkOn(ac, stand);
    ac.phase = GroundPhase::parking;
    arriveAtStand(engine, ac);
    EXPECT_EQ(ac.status, SimStatus::removingfromsim);
    EXPECT_EQ(ac.extendCount, 1);
    EXPECT_TRUE(stands.stand(1)->occupied);
    EXPECT_TRUE(std::none_of(stands.occupiedCalls.begin(), stands.occupiedCalls.end(),
                             [](const auto& call) { return !call.second; }));
}

TEST_F(PushBackTest, StoppingBeyond2MetresTaxisOnAndWithinParksWithEnginesOffAndLearns) {
    const Stand& stand = addStand(1, kStand, 90.0, 0.02);
    LiveAc& ac = make({groundSample(kStand.latitude, kStand.longitude, 0, now())});
    parkOn(ac, stand);
    ac.phase = GroundPhase::parking;
    const GeoPosition off = offset(kStand, 0.0, 0.0015);  // 2.8 m
    ac.position.latitude = off.latitude;
    ac.position.longitude = off.longitude;
    arriveAtStand(engine, ac);
    EXPECT_EQ(ac.phase, GroundPhase::taxi);

    ac.phase = GroundPhase::parking;
    const GeoPosition near = offset(kStand, 0.0, 0.0009);  // 1.7 m
    ac.position.latitude = near.latitude;
    ac.position.longitude = near.longitude;
    arriveAtStand(engine, ac);
    EXPECT_EQ(ac.phase, GroundPhase::parked);
    EXPECT_TRUE(stands.stand(1)->occupied);
    EXPECT_EQ(ac.samples.front().stationary, 1);
    EXPECT_EQ(ac.parkedSince, (WeekTime{.day = 3, .slot = 20}));
    EXPECT_TRUE(logHas("A1      : TST123   arrived at stand"));
    recorder.record(link.queues, engine.now(), true);
    EXPECT_EQ(recorder.eventsOf(ac.objectId, evEngineAutoShutdown).size(), 1U);
    ASSERT_EQ(stands.flights(1).size(), 1U);
    EXPECT_EQ(stands.flights(1)[0].registration, "D-AINA");
    EXPECT_TRUE(stands.flights(1)[0].hours.test(20));
}

}  // namespace
}  // namespace qvl::test
