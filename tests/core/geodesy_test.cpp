#include "core/geodesy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qvl {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// One degree of arc on the sphere of radius 10800/pi nm: 60 nm = 364566.9294 ft.
constexpr double kOneDegreeFeet = 60.0 * 6076.11549;

const GeoPosition kEham{52.3086, 4.7639};
const GeoPosition kEgll{51.4775, -0.4614};

TEST(Geodesy, DistanceAndBearingMatchKnownFigures) {
    // Worked out at 40 digits on the same sphere: 199.75458 nm on 257.61380 degrees.
    EXPECT_NEAR(gf_distanceNm(kEham, kEgll), 199.7546, 1e-3);
    EXPECT_NEAR(gf_initialBearing(kEham, kEgll) * kRadToDeg, 257.6138, 1e-3);
    EXPECT_DOUBLE_EQ(gf_initialBearing({0, 0}, {0, -1}), 3 * kPi / 2);
    EXPECT_EQ(gf_initialBearing(kEham, kEham), 0.0);
}

TEST(Geodesy, RoundingNeverGivesNaNOrTwoPi) {
    // Antipodes where the haversine term rounds to just above 1.
    EXPECT_NEAR(gf_distanceNm({-51.3, 10}, {51.3, -170}), 10800.0, 1e-6);
    EXPECT_LT(gf_distanceNm(kEham, {kEham.latitude + 1e-13, kEham.longitude - 1e-13}), 1e-8);
    // Exactly onto the pole, where the sine of the new latitude rounds to just above 1.
    EXPECT_NEAR(gf_destinationPoint({2.5, 0}, 0.0, 87.5 * kOneDegreeFeet).latitude, 90.0, 1e-6);
    // A hair west of due north: about -1e-17 rad, plus 2 pi rounds to 2 pi, the same as 0.
    EXPECT_EQ(gf_initialBearing({0, 0}, {1, -1e-17}), 0.0);
}

TEST(Geodesy, DestinationPoint) {
    // Across the date line the longitude comes back into [-180, 180].
    const GeoPosition across = gf_destinationPoint({0, 179.9}, kPi / 2, kOneDegreeFeet);
    EXPECT_NEAR(across.latitude, 0.0, 1e-9);
    EXPECT_NEAR(across.longitude, -179.1, 1e-9);
    // Distance and bearing lead back to the same point.
    const GeoPosition reached =
        gf_destinationPoint(kEham, gf_initialBearing(kEham, kEgll), gf_distanceNm(kEham, kEgll) * 6076.11549);
    EXPECT_NEAR(reached.latitude, kEgll.latitude, 1e-9);
    EXPECT_NEAR(reached.longitude, kEgll.longitude, 1e-9);
}

// From the origin to 100 m north, pulled east by a control point 50 m north, 50 m east.
const CurveRecord kCurve{52.0, 4.0, 10.0, 100.0, 0.0, 20.0, 50.0, 50.0};

TEST(Geodesy, CurveEndsAndMiddle) {
    GeoPosition p;
    double track = -1;
    ASSERT_TRUE(gf_curvePosition(kCurve, p, track, 10.0));
    EXPECT_DOUBLE_EQ(p.latitude, 52.0);
    EXPECT_DOUBLE_EQ(p.longitude, 4.0);
    EXPECT_NEAR(track, kPi / 4, 1e-12);  // towards the control point
    ASSERT_TRUE(gf_curvePosition(kCurve, p, track, 20.0));
    EXPECT_NEAR(p.latitude, 52.0 + 100.0 / kMetresPerDegreeLatitude, 1e-12);
    EXPECT_NEAR(p.longitude, 4.0, 1e-12);
    EXPECT_NEAR(track, 7 * kPi / 4, 1e-12);  // leaving north-west
    ASSERT_TRUE(gf_curvePosition(kCurve, p, track, 15.0));
    EXPECT_NEAR(p.longitude, 4.0 + 25.0 / (kMetresPerDegreeLatitude * std::cos(52.0 * kDegToRad)), 1e-12);
}

TEST(Geodesy, UnusableCurveLeavesOutputsAlone) {
    CurveRecord noControl = kCurve;
    noControl.controlEast = kNaN;
    CurveRecord noSpan = kCurve;
    noSpan.t1 = noSpan.t0;  // would divide by zero
    GeoPosition p{1.0, 2.0};
    double track = 3.0;
    for (const auto& [curve, t] : {std::pair{kCurve, 9.999}, std::pair{kCurve, 20.001}, std::pair{kCurve, kNaN},
                                   std::pair{noControl, 15.0}, std::pair{noSpan, 10.0}}) {
        EXPECT_FALSE(gf_curvePosition(curve, p, track, t)) << t;
    }
    EXPECT_EQ(p.latitude, 1.0);
    EXPECT_EQ(p.longitude, 2.0);
    EXPECT_EQ(track, 3.0);
}

}  // namespace
}  // namespace qvl
