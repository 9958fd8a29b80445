// The checks a new sample passes by the aircraft's ground phase.
#include <gtest/gtest.h>

#include <numbers>

#include "core/geodesy.h"
#include "core/settings.h"
#include "engine/base/engine_math.h"
#include "engine/sample_checks.h"
#include "platform/units.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

constexpr GeoPosition kSampleStand{50.0, 8.5};
constexpr double kMetreNm = 1.0 / 1852.0;

TrafficSample groundSampleAt(double bearingDeg, double metres, double track = 0.0) {
    const GeoPosition p = gf_destinationPoint(kSampleStand, bearingDeg * kDegToRad, metres * kMetreNm * kFeetPerNm);
    return {.latitude = p.latitude, .longitude = p.longitude, .groundSpeed = 3.0, .track = track};
}

class SampleChecksTest : public EngineTest {
protected:
    LiveAc& parked() {
        LiveAc& ac = state.liveAircraft.emplace_back();
        ac.flight.hexId = 0x400001;
        ac.flight.callsign = "DLH1";
        ac.flight.halfSpan = 0.0095;  // about 17.6 m
        ac.status = SimStatus::active;
        ac.objectId = 300;
        ac.stand = {.position = {.latitude = kSampleStand.latitude, .longitude = kSampleStand.longitude},
                    .heading = 0.0};
        ac.standNumber = 7;
        ac.phase = GroundPhase::parked;
        ac.position.latitude = kSampleStand.latitude;
        ac.position.longitude = kSampleStand.longitude;
        ac.onGround = true;
        ac.samples.push_back(groundSampleAt(0.0, 0.0));
        ac.samples.front().stationary = 1;
        return ac;
    }
};

TEST_F(SampleChecksTest, AParkedAircraftWhoseSamplesDriftByTwoMetresStaysParked) {
    LiveAc& ac = parked();
    for (double m : {1.0, 2.0, 1.5, 2.0}) {
        TrafficSample s = groundSampleAt(90.0, m);
        EXPECT_FALSE(checkExtendingSituations(engine, ac, s));
    }
    EXPECT_EQ(ac.phase, GroundPhase::parked);
    EXPECT_FALSE(ac.motion.departureRequested);
    EXPECT_TRUE(ac.seenAtStand);
}

TEST_F(SampleChecksTest, AParkedAircraftWhoseSamplesLeaveByMoreThanItsHalfSpanStartsToMove) {
    LiveAc& ac = parked();
    TrafficSample first = groundSampleAt(180.0, 1.0);
    EXPECT_FALSE(checkExtendingSituations(engine, ac, first));
    TrafficSample away = groundSampleAt(180.0, 20.0);
    EXPECT_TRUE(checkExtendingSituations(engine, ac, away));
    EXPECT_EQ(away.stationary, 0);
    EXPECT_TRUE(ac.motion.departureRequested);
    ASSERT_FALSE(stands.occupiedCalls.empty());
    EXPECT_EQ(stands.occupiedCalls.back(), std::make_pair(7U, false));
}

// Born on its stand, so not landed here: the continuation holds the front a
// week back, and the departure must bring it due now or the new samples wait.
TEST_F(SampleChecksTest, LeavingTheStandOnTheWeekLongContinuationBringsTheFrontDueNow) {
    LiveAc& ac = parked();
    ac.previousPhase = GroundPhase::birth;
    ac.extendCount = 1;
    ac.samples.front().dueTick = static_cast<std::uint32_t>(engine.now() + 60480000);
    TrafficSample first = groundSampleAt(180.0, 1.0);
    EXPECT_FALSE(checkExtendingSituations(engine, ac, first));
    TrafficSample away = groundSampleAt(180.0, 20.0);
    EXPECT_TRUE(checkExtendingSituations(engine, ac, away));
    EXPECT_TRUE(ac.motion.departureRequested);
    EXPECT_EQ(ac.extendCount, 0);
    EXPECT_EQ(ac.samples.front().dueTick, nextTick(engine.now()));
    EXPECT_FALSE(ac.motion.towed);
}

TEST_F(SampleChecksTest, ThreeMovesOfHalfItsSpanLeaveTheStandTwoDoNot) {
    LiveAc& ac = parked();  // half span about 17.6 m
    TrafficSample first = groundSampleAt(180.0, 1.0);
    EXPECT_FALSE(checkExtendingSituations(engine, ac, first));
    // Two moves of 5 m: 10 m from the first sample, more than half the span.
    for (double m : {6.0, 11.0}) {
        TrafficSample s = groundSampleAt(180.0, m);
        EXPECT_FALSE(checkExtendingSituations(engine, ac, s)) << m;
    }
    EXPECT_FALSE(ac.motion.departureRequested);
    // The third: 14 m, still short of the whole half span.
    TrafficSample third = groundSampleAt(180.0, 15.0);
    EXPECT_TRUE(checkExtendingSituations(engine, ac, third));
    EXPECT_TRUE(ac.motion.departureRequested);
}

TEST_F(SampleChecksTest, ASampleWithin85MetresOfTheStandCountsAsAtTheStand) {
    LiveAc& at = parked();
    TrafficSample near = groundSampleAt(0.0, 75.0);
    EXPECT_FALSE(checkExtendingSituations(engine, at, near));
    EXPECT_FALSE(at.motion.departureRequested);
    EXPECT_TRUE(at.motion.standDistanceRef.has_value());
    LiveAc& away = parked();
    TrafficSample beyond = groundSampleAt(0.0, 95.0);
    EXPECT_TRUE(checkExtendingSituations(engine, away, beyond));
    EXPECT_TRUE(away.motion.departureRequested);
}

TEST_F(SampleChecksTest, AParkedAircraftReportedFarFromItsStandIsRemoved) {
    LiveAc& ac = parked();
    TrafficSample far = groundSampleAt(0.0, 250.0);
    EXPECT_FALSE(checkExtendingSituations(engine, ac, far));
    EXPECT_EQ(ac.status, SimStatus::removingfromsim);
    TrafficSample between = groundSampleAt(0.0, 150.0);
    LiveAc& other = parked();
    EXPECT_TRUE(checkExtendingSituations(engine, other, between));
    EXPECT_TRUE(other.motion.departureRequested);
}

TEST_F(SampleChecksTest, ABufferedParkedAircraftRefusesEverySample) {
    LiveAc& ac = parked();
    ac.status = SimStatus::adding2sim;
    TrafficSample s = groundSampleAt(0.0, 150.0);
    EXPECT_FALSE(checkExtendingSituations(engine, ac, s));
    EXPECT_FALSE(ac.seenAtStand);
}

TEST_F(SampleChecksTest, APushedBackAircraftHoldsUntilASampleLiesBeyondItsWingspans) {
    LiveAc& ac = parked();
    ac.phase = GroundPhase::pushed_back;
    ac.motion.holdDistance = 900.0;                  // what the push-back leaves there
    TrafficSample near = groundSampleAt(0.0, 40.0);  // 2.3 half spans
    EXPECT_FALSE(checkExtendingSituations(engine, ac, near));
    EXPECT_TRUE(ac.holding);
    EXPECT_EQ(ac.phase, GroundPhase::pushed_back);
    TrafficSample beyond = groundSampleAt(0.0, 55.0);  // 3.1 half spans
    EXPECT_TRUE(checkExtendingSituations(engine, ac, beyond));
    EXPECT_EQ(ac.phase, GroundPhase::taxi);
    EXPECT_FALSE(ac.holding);
    EXPECT_EQ(ac.standNumber, 0U);
}

TEST_F(SampleChecksTest, ThePushBackTurnSideComparesHeadingsInRadiansAcrossNorth) {
    setForTest(STRAIGHT_PBS_ONLY, false);
    LiveAc& ac = parked();
    ac.phase = GroundPhase::pushing_back;
    ac.motion.pushCountdown = 2;
    ac.heading = 359.0 * kDegToRad;
    TrafficSample s = groundSampleAt(0.0, 5.0, 10.0);  // track 10 deg: clockwise of 359
    EXPECT_FALSE(checkExtendingSituations(engine, ac, s));
    EXPECT_EQ(ac.motion.pushTurn, 1);
    ac.heading = 20.0 * kDegToRad;
    EXPECT_FALSE(checkExtendingSituations(engine, ac, s));
    EXPECT_EQ(ac.motion.pushTurn, -1);
}

TEST_F(SampleChecksTest, DuringTheLandingRollASampleBehindTheAircraftIsDropped) {
    LiveAc& ac = parked();
    ac.phase = GroundPhase::taxi;
    ac.motion.derotating = true;
    ac.heading = 0.0;  // rolling north
    ac.samples.clear();
    ac.samples.push_back(groundSampleAt(0.0, 0.0));
    ac.samples.push_back(groundSampleAt(0.0, 300.0));
    ac.samples.push_back(groundSampleAt(0.0, 400.0));
    // Short of the last queued one: that one would turn the aircraft around.
    TrafficSample next = groundSampleAt(0.0, 350.0);
    EXPECT_TRUE(checkExtendingSituations(engine, ac, next));
    ASSERT_EQ(ac.samples.size(), 2U);
    EXPECT_NEAR(ac.samples.back().latitude, groundSampleAt(0.0, 300.0).latitude, 1e-12);
}

TEST_F(SampleChecksTest, AnExtendedFlightTurnedAwayFromItsHeadingRefusesTheSample) {
    LiveAc& ac = parked();
    ac.phase = GroundPhase::flying;
    ac.onGround = false;
    ac.extendCount = 3;
    ac.heading = 350.0 * kDegToRad;
    ac.samples.front().airborne = 1;
    ac.samples.front().altitude = 5000.0;
    TrafficSample south = groundSampleAt(180.0, 3000.0);
    south.airborne = 1;
    south.altitude = 5000.0;
    EXPECT_FALSE(checkExtendingSituations(engine, ac, south));
    TrafficSample north = groundSampleAt(10.0, 3000.0);
    north.airborne = 1;
    north.altitude = 5000.0;
    EXPECT_TRUE(checkExtendingSituations(engine, ac, north));
    EXPECT_EQ(ac.extendCount, 0);
    EXPECT_EQ(ac.motion.earlyLimit, 3000);
}

}  // namespace
}  // namespace qvl::test
