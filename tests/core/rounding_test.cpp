#include "core/rounding.h"

#include <gtest/gtest.h>

#include <limits>

namespace qvl {
namespace {

TEST(Rounding, RoundsHalvesAwayFromZeroAndRefusesWhatDoesNotFit) {
    EXPECT_EQ(roundToInt32(2.5), 3);
    EXPECT_EQ(roundToInt32(-2.5), -3);
    EXPECT_EQ(roundToInt32(2147483647.4), 2147483647);
    EXPECT_THROW((void)roundToInt32(2147483647.5), gsl::narrowing_error);
    EXPECT_THROW((void)roundToInt32(3.8664e9), gsl::narrowing_error);
    EXPECT_THROW((void)roundToInt32(-3.8664e9), gsl::narrowing_error);
    EXPECT_THROW((void)roundToInt32(std::numeric_limits<double>::quiet_NaN()), gsl::narrowing_error);
    EXPECT_THROW((void)roundToInt32(std::numeric_limits<double>::infinity()), gsl::narrowing_error);
}

}  // namespace
}  // namespace qvl
