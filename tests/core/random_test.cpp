#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "core/random.h"
#include "core/settings.h"

namespace qvl {
namespace {

// RANDOM as the test needs it, put back afterwards.
class RandomTest : public ::testing::Test {
protected:
    void TearDown() override { RANDOM.set(RANDOM.defaultValue()); }
};

TEST_F(RandomTest, IndexOfZeroOrOneDrawsNothing) {
    const std::mt19937 before = gf_randomEngine();
    EXPECT_EQ(gf_randomIndex(0), 0U);
    EXPECT_EQ(gf_randomIndex(1), 0U);
    EXPECT_TRUE(gf_randomEngine() == before);
}

TEST_F(RandomTest, RandomOffGivesFirstCandidateWithoutDrawing) {
    RANDOM.set(false);
    const std::mt19937 before = gf_randomEngine();
    EXPECT_EQ(gf_randomIndex(10), 0U);
    std::vector<std::uint16_t> ids{5, 4, 3, 2, 1};
    gf_shuffle(ids);
    EXPECT_EQ(ids, (std::vector<std::uint16_t>{5, 4, 3, 2, 1}));
    EXPECT_TRUE(gf_randomEngine() == before);
}

TEST_F(RandomTest, IndexStaysInRangeAndReachesEveryValue) {
    std::set<std::uint64_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const auto index = gf_randomIndex(3);
        ASSERT_LT(index, 3U);
        seen.insert(index);
    }
    EXPECT_EQ(seen.size(), 3U);
    // Beyond 32 bits the index needs more than one engine word.
    const std::uint64_t huge = (std::uint64_t{1} << 40U) + 3U;
    std::uint64_t largest = 0;
    for (int i = 0; i < 200; ++i) {
        const auto index = gf_randomIndex(huge);
        ASSERT_LT(index, huge);
        largest = std::max(largest, index);
    }
    EXPECT_GT(largest, std::uint64_t{1} << 32U);
}

TEST_F(RandomTest, IndexIsUniform) {
    // Each of 6 values should get about 1/6 of 60000 draws; a biased
    // reduction of the engine words would still pass here, a broken one
    // (say, always below n/2) would not.
    std::vector<int> counts(6, 0);
    for (int i = 0; i < 60000; ++i) {
        ++counts[gf_randomIndex(6)];
    }
    for (const int count : counts) {
        EXPECT_GT(count, 9000);
        EXPECT_LT(count, 11000);
    }
}

TEST_F(RandomTest, ShuffleKeepsTheElements) {
    std::vector<std::uint16_t> ids(40);
    for (std::uint16_t i = 0; i < ids.size(); ++i) {
        ids[i] = i;
    }
    const auto original = ids;
    gf_shuffle(ids);
    EXPECT_TRUE(std::is_permutation(ids.begin(), ids.end(), original.begin()));
    EXPECT_NE(ids, original);  // 1 in 40! to fail by chance

    std::vector<std::uint16_t> single{7};
    const std::mt19937 before = gf_randomEngine();
    gf_shuffle(single);
    EXPECT_EQ(single, std::vector<std::uint16_t>{7});
    EXPECT_TRUE(gf_randomEngine() == before);
}

TEST_F(RandomTest, PercentSpreadIsExactlyPlusOrMinus) {
    std::set<double> seen;
    for (int i = 0; i < 200; ++i) {
        const double value = gf_randomizePercent(-9.0, 2.5);
        EXPECT_TRUE(value == -9.225 || value == -8.775) << value;
        seen.insert(value);
    }
    EXPECT_EQ(seen.size(), 2U);
}

TEST_F(RandomTest, PercentSignComesFromBitZeroOfOneWord) {
    for (int i = 0; i < 20; ++i) {
        std::mt19937 copy = gf_randomEngine();
        const bool minus = (copy() & 1U) != 0;
        const double value = gf_randomizePercent(100.0, 5.0);
        EXPECT_DOUBLE_EQ(value, minus ? 95.0 : 105.0);
        EXPECT_TRUE(gf_randomEngine() == copy);
    }
}

TEST_F(RandomTest, PercentOfZeroOrLessStillDrawsOneWord) {
    RANDOM.set(false);  // not consulted: the spread stays random
    std::mt19937 copy = gf_randomEngine();
    EXPECT_EQ(gf_randomizePercent(-9.0, 0.0), -9.0);
    EXPECT_EQ(gf_randomizePercent(-9.0, -3.0), -9.0);
    copy.discard(2);
    EXPECT_TRUE(gf_randomEngine() == copy);
    const double spread = gf_randomizePercent(10.0, 10.0);
    EXPECT_TRUE(spread == 9.0 || spread == 11.0);
}

TEST(StarVariant, OneTrailingStarOnly) {
    EXPECT_TRUE(gf_isStarVariant("BAW12", "BAW12*"));
    EXPECT_FALSE(gf_isStarVariant("BAW12", "BAW12**"));
    EXPECT_FALSE(gf_isStarVariant("BAW12", "BAW12"));
    EXPECT_FALSE(gf_isStarVariant("BAW12*", "BAW12"));
    EXPECT_FALSE(gf_isStarVariant("BAW12", "BAW13*"));
    EXPECT_FALSE(gf_isStarVariant("BAW12", "BAW1*"));
    EXPECT_TRUE(gf_isStarVariant("", "*"));
    EXPECT_FALSE(gf_isStarVariant("", ""));
}

}  // namespace
}  // namespace qvl
