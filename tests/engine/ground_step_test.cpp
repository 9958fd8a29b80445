// The ground step: corners, turns in place, midpoints, parking and the last
// leg onto a stand.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/motion/motion.h"
#include "ground_fixture.h"

namespace qvl::test {
namespace {

constexpr GeoPosition kStart{.latitude = 50.0, .longitude = 8.5};

TEST_F(GroundTest, ACornerAtTaxiSpeedBecomesACurveThroughTheCornerSample) {
    const GeoPosition corner = offset(kStart, 0.0, 0.1);
    const GeoPosition after = offset(corner, 90.0, 0.1);
    LiveAc& ac = make({groundSample(kStart.latitude, kStart.longitude, 15, now()),
                       groundSample(corner.latitude, corner.longitude, 15, now() + 400),
                       groundSample(after.latitude, after.longitude, 15, now() + 800)});
    nextPosGround(engine, ac);
    ASSERT_TRUE(curveIsSet(ac));
    EXPECT_NEAR(ac.motion.curveAngle, 90.0, 0.2);
    // The corner sample is dropped: the next leg ends at the sample after it.
    ASSERT_EQ(ac.samples.size(), 2U);
    EXPECT_DOUBLE_EQ(ac.samples[1].latitude, after.latitude);
    EXPECT_FALSE(ac.motion.turningOnGround);
    // Turns of 90 degrees or more may be moved further off their due ticks.
    EXPECT_GE(ac.motion.lateLimit, 2000);

    // Flown tick by tick the curve ends on the sample after the corner.
    ac.motion.curveStep = 1.0 / 400.0;
    for (int i = 0; i < 400; ++i) integrateStep(engine, ac);
    EXPECT_LT(gf_distanceNm(positionOf(ac), after), 0.001);
    EXPECT_NEAR(angleApartDeg(ac.heading * kRadToDeg, 90.0), 0.0, 15.0);
}

TEST_F(GroundTest, TurnsAreMeasuredTheShortWayAcrossNorth) {
    // Heading 350, the leg after next bears 20: a turn of 30 degrees, a curve.
    const GeoPosition next = offset(kStart, 350.0, 0.1);
    const GeoPosition after = offset(next, 20.0, 0.1);
    LiveAc& ac = make({groundSample(kStart.latitude, kStart.longitude, 15, now()),
                       groundSample(next.latitude, next.longitude, 15, now() + 400),
                       groundSample(after.latitude, after.longitude, 15, now() + 800)});
    nextPosGround(engine, ac);
    ASSERT_TRUE(curveIsSet(ac));
    EXPECT_NEAR(ac.motion.curveAngle, 30.0, 0.5);

    // Heading 359.9 and the next sample bearing 0.1: 0.2 apart, no turn in place.
    const GeoPosition ahead = offset(kStart, 0.1, 0.1);
    LiveAc& straight = make({groundSample(kStart.latitude, kStart.longitude, 15, now()),
                             groundSample(ahead.latitude, ahead.longitude, 15, now() + 400)});
    straight.heading = 359.9 * kDegToRad;
    straight.motion.bearingToNext = gf_initialBearing(kStart, ahead);
    nextPosGround(engine, straight);
    EXPECT_NEAR(straight.motion.headingDifference, 0.2, 1e-6);
    EXPECT_FALSE(straight.motion.turningOnGround);
}

TEST_F(GroundTest, ATurnBeyond160DegreesTurnsInPlaceWithoutACurve) {
    const GeoPosition next = offset(kStart, 0.0, 0.1);
    LiveAc& ac = make({groundSample(kStart.latitude, kStart.longitude, 15, now()),
                       groundSample(next.latitude, next.longitude, 15, now() + 400),
                       groundSample(kStart.latitude + 1e-4, kStart.longitude + 1e-4, 15, now() + 800)});
    ac.heading = 180.0 * kDegToRad;  // facing away from the next sample
    ac.motion.bearingToNext = gf_initialBearing(kStart, next);
    nextPosGround(engine, ac);
    EXPECT_FALSE(curveIsSet(ac));
    EXPECT_EQ(ac.samples.size(), 3U);
    EXPECT_TRUE(ac.motion.turningOnGround);
    EXPECT_NEAR(ac.motion.headingDifference, 180.0, 1e-6);
}

TEST_F(GroundTest, FarApartSamplesWithASpeedChangeGetAMidpoint) {
    const GeoPosition next = offset(kStart, 0.0, 0.2);
    LiveAc& ac = make({groundSample(kStart.latitude, kStart.longitude, 30, now()),
                       groundSample(next.latitude, next.longitude, 10, now() + 1001)});
    nextPosGround(engine, ac);
    ASSERT_EQ(ac.samples.size(), 3U);
    const TrafficSample& middle = ac.samples[1];
    EXPECT_NEAR(gf_distanceNm(kStart, positionOf(middle)), 0.1, 1e-4);
    EXPECT_DOUBLE_EQ(middle.groundSpeed, 20.0);
    EXPECT_EQ(middle.stationary, 0);
    EXPECT_EQ(middle.airborne, 0);
}

TEST_F(GroundTest, AStoppedTaxiParksOnTheNearStand) {
    parkAirport.setStandsLoaded(true);
    const GeoPosition last = offset(kStart, 0.0, 0.005);
    const GeoPosition standAt = offset(last, 0.0, 0.0002);  // 37 cm beyond the last sample
    addStand(4, standAt, 0.0, 0.03);
    TrafficSample stop = groundSample(last.latitude, last.longitude, 0, now() + 400);
    stop.stationary = 1;
    LiveAc& ac = make({groundSample(kStart.latitude, kStart.longitude, 3, now()),
                       groundSample(last.latitude, last.longitude, 3, now() + 300), stop});
    ac.position.latitude = last.latitude;  // within 35 m of the last sample
    ac.position.longitude = last.longitude;
    nextPosGround(engine, ac);
    EXPECT_EQ(ac.phase, GroundPhase::parking);
    EXPECT_EQ(ac.standNumber, 4U);
    ASSERT_EQ(ac.samples.size(), 3U);
    const TrafficSample& onStand = ac.samples[1];
    EXPECT_DOUBLE_EQ(onStand.latitude, standAt.latitude);
    // The queue is cut to the front sample; the stand leg starts there.
    const double ticks = std::round(gf_distanceNm(kStart, standAt) * 360000.0 / ac.flight.standApproachSpeed);
    EXPECT_EQ(onStand.dueTick, ac.samples[0].dueTick + static_cast<std::uint32_t>(ticks));
    EXPECT_EQ(ac.samples[2].stationary, 1);
    EXPECT_EQ(ac.samples[2].dueTick, onStand.dueTick + 50U);
}

TEST_F(GroundTest, TheLastLegOntoAStandTakesAtLeast100Ticks) {
    LiveAc& ac = make({groundSample(kStart.latitude, kStart.longitude, 3, now())});
    const GeoPosition standAt = offset(kStart, 90.0, 0.0002);
    drive2Stand(ac, {.position = {.latitude = standAt.latitude, .longitude = standAt.longitude}, .heading = kPi});
    ASSERT_EQ(ac.samples.size(), 3U);
    EXPECT_EQ(ac.samples[1].dueTick, ac.samples[0].dueTick + 100U);
    EXPECT_DOUBLE_EQ(ac.samples[1].track, 180.0);
    EXPECT_DOUBLE_EQ(ac.motion.bearingToNext, kPi);
}

TEST_F(GroundTest, AnAircraftLeavingItsStandNeverParksAgain) {
    parkAirport.setStandsLoaded(true);
    addStand(4, kStart, 0.0, 0.03);
    TrafficSample stop = groundSample(kStart.latitude, kStart.longitude, 0, now() + 400);
    stop.stationary = 1;
    LiveAc& ac = make({groundSample(kStart.latitude, kStart.longitude, 0, now()), stop});
    ac.previousPhase = GroundPhase::pushed_back;
    nextPosGround(engine, ac);
    EXPECT_EQ(ac.phase, GroundPhase::taxi);
    EXPECT_EQ(ac.standNumber, 0U);
}

}  // namespace
}  // namespace qvl::test
