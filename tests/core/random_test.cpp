#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "core/random.h"
#include "core/settings.h"

namespace qvl {
namespace {

class Random : public ::testing::Test {
protected:
    void TearDown() override { RANDOM.reset(); }
};

TEST_F(Random, NothingIsDrawnForFewerThanTwoOrWithRandomOff) {
    const std::mt19937 before = randomEngine();
    EXPECT_EQ(gf_randomIndex(1), 0U);
    RANDOM.set(false);
    EXPECT_EQ(gf_randomIndex(10), 0U);
    std::vector<std::uint16_t> ids{5, 4, 3, 2, 1};
    gf_shuffle(ids);
    EXPECT_EQ(ids, (std::vector<std::uint16_t>{5, 4, 3, 2, 1}));
    EXPECT_TRUE(randomEngine() == before);
}

TEST_F(Random, IndexIsUniformAndReachesBeyondOneEngineWord) {
    std::vector<int> counts(6, 0);
    for (int i = 0; i < 60000; ++i) ++counts.at(gf_randomIndex(6));
    for (const int count : counts) {
        EXPECT_GT(count, 9000);
        EXPECT_LT(count, 11000);
    }
    const std::uint64_t huge = (std::uint64_t{1} << 40U) + 3U;
    std::uint64_t largest = 0;
    for (int i = 0; i < 200; ++i) largest = std::max(largest, gf_randomIndex(huge));
    EXPECT_LT(largest, huge);
    EXPECT_GT(largest, std::uint64_t{1} << 32U);
}

TEST_F(Random, ShuffleKeepsTheElements) {
    std::vector<std::uint16_t> ids(40);
    std::iota(ids.begin(), ids.end(), std::uint16_t{0});
    const auto original = ids;
    gf_shuffle(ids);
    EXPECT_TRUE(std::is_permutation(ids.begin(), ids.end(), original.begin()));
    EXPECT_NE(ids, original);  // 1 in 40! to fail by chance
}

TEST_F(Random, PercentSpreadIsExactlyPlusOrMinusByBitZeroOfOneWord) {
    RANDOM.set(false);  // not consulted
    for (int i = 0; i < 20; ++i) {
        std::mt19937 copy = randomEngine();
        const bool minus = (copy() & 1U) != 0;
        EXPECT_EQ(gf_randomizePercent(-9.0, 2.5), minus ? -8.775 : -9.225);
        EXPECT_TRUE(randomEngine() == copy);
    }
    std::mt19937 copy = randomEngine();
    EXPECT_EQ(gf_randomizePercent(-9.0, -3.0), -9.0);  // no spread, yet its word is drawn
    copy.discard(1);
    EXPECT_TRUE(randomEngine() == copy);
}

TEST(StarVariant, OneTrailingStarOnly) {
    EXPECT_TRUE(gf_isStarVariant("BAW12", "BAW12*") && gf_isStarVariant("", "*"));
    EXPECT_FALSE(gf_isStarVariant("BAW12", "BAW12**") || gf_isStarVariant("BAW12", "BAW12") ||
                 gf_isStarVariant("BAW12*", "BAW12") || gf_isStarVariant("BAW12", "BAW13*") ||
                 gf_isStarVariant("BAW12", "BAW1*") || gf_isStarVariant("", ""));
}

}  // namespace
}  // namespace qvl
