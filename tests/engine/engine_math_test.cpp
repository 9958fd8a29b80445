// Due ticks against the tick counter, and angle differences the short way.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "engine/base/engine_math.h"
#include "platform/units.h"

namespace qvl {
namespace {

TEST(EngineMath, DueTicksAndTheTickCounterCompareInSigned64Bit) {
    constexpr std::int32_t maxTick = std::numeric_limits<std::int32_t>::max();
    // A due tick beyond the signed range lies ahead, not 4 billion ticks behind.
    EXPECT_EQ(ticksUntil(static_cast<std::uint32_t>(maxTick) + 10U, maxTick), 10);
    EXPECT_FALSE(hasReached(maxTick, static_cast<std::uint32_t>(maxTick) + 1U));
    EXPECT_FALSE(hasReached(-5, 10));
    EXPECT_TRUE(hasReached(10, 10));
    EXPECT_EQ(nextTick(maxTick), static_cast<std::uint32_t>(maxTick) + 1U);
}

TEST(EngineMath, AngleDifferencesGoTheShortWay) {
    EXPECT_NEAR(angleApartDeg(359.9, 0.1), 0.2, 1e-9);
    EXPECT_NEAR(angleApartDeg(0.1, 359.9), 0.2, 1e-9);
    EXPECT_NEAR(angleApartDeg(10.0, 190.0), 180.0, 1e-9);
    EXPECT_NEAR(wrap180(-350.0), 10.0, 1e-9);
    EXPECT_NEAR(wrapPi(kTwoPi - 0.1), -0.1, 1e-12);
    EXPECT_NEAR(angleApart(0.05, kTwoPi - 0.05), 0.1, 1e-12);
}

TEST(EngineMath, HeadingsStayInZeroToTwoPi) {
    EXPECT_DOUBLE_EQ(normalizeHeading(kTwoPi), 0.0);
    EXPECT_DOUBLE_EQ(normalizeHeading(kTwoPi - 1e-13), 0.0);
    EXPECT_NEAR(normalizeHeading(-0.5), kTwoPi - 0.5, 1e-12);
}

TEST(EngineMath, APositionOverThePoleIsMirroredBeforeItsLongitudeIsNormalised) {
    double lat = 91.0;
    double lon = 179.5;
    normalizePosition(lat, lon);
    EXPECT_DOUBLE_EQ(lat, 89.0);
    EXPECT_NEAR(lon, -0.5, 1e-9);
    lat = -90.5;
    lon = -10.0;
    normalizePosition(lat, lon);
    EXPECT_DOUBLE_EQ(lat, -89.5);
    EXPECT_NEAR(lon, 170.0, 1e-9);
    lat = 10.0;
    lon = 180.0;
    normalizePosition(lat, lon);
    EXPECT_DOUBLE_EQ(lon, -180.0);
}

}  // namespace
}  // namespace qvl
