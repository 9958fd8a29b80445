#include "core/half_hour_slots.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

std::vector<int> lf_slots(std::string_view text) {
    const HalfHourSlots slots = gf_hours2bitset(text);
    std::vector<int> numbers;
    for (int n = 0; n < kHalfHourSlotCount; ++n) {
        if (slots.test(static_cast<std::size_t>(n))) numbers.push_back(n);
    }
    return numbers;
}

// Parses with Log.txt open in a temporary folder.
class SlotParse : public ::testing::Test {
protected:
    bool logged(const std::string& line) { return log_.text().find("==> " + line + "\n") != std::string::npos; }
    test::TempDir dir_;
    test::LogCapture log_{dir_.path()};
    const std::vector<int> none_;
};

TEST_F(SlotParse, RunForm) {
    EXPECT_EQ(lf_slots("8:11"), (std::vector<int>{8, 9, 10, 11}));
    EXPECT_EQ(lf_slots(" 0 : 47 ").size(), 48u);
    EXPECT_EQ(lf_slots("5:"), (std::vector<int>{5}));
    EXPECT_EQ(lf_slots("11:8"), none_);
    EXPECT_TRUE(logged("gf_hours2bitset descending range not allowed (11:8 in 11:8)"));
    EXPECT_EQ(lf_slots("1:2:3"), none_);
    EXPECT_TRUE(logged("gf_hours2bitset more than one colon char in: 1:2:3"));
    EXPECT_EQ(lf_slots(" : "), none_);
    EXPECT_TRUE(logged("gf_hours2bitset invalid range format in  : "));
    EXPECT_EQ(lf_slots("3:48"), none_);
    EXPECT_TRUE(logged("operator () invalid hour '48' in 3:48"));
}

TEST_F(SlotParse, ListForm) {
    EXPECT_EQ(lf_slots("3, 5,x,60"), (std::vector<int>{3, 5}));
    EXPECT_TRUE(logged("operator () invalid hour 'x' in 3, 5,x,60"));
    EXPECT_TRUE(logged("operator () invalid hour '60' in 3, 5,x,60"));
    EXPECT_EQ(lf_slots("7"), (std::vector<int>{7}));
    EXPECT_EQ(lf_slots(""), none_);
    // A damaged number is not taken for its leading digits.
    EXPECT_EQ(lf_slots("7x,8.5,-1,99999999999,9"), (std::vector<int>{9}));
    EXPECT_TRUE(logged("operator () invalid hour '8.5' in 7x,8.5,-1,99999999999,9"));
}

TEST(HalfHourSlots, WritersReadBack) {
    HalfHourSlots slots;
    EXPECT_FALSE(gf_bitsetToList(slots) || gf_bitsetToRange(slots));
    slots.set(7);
    EXPECT_EQ(gf_bitsetToRange(slots), "7");
    slots.set(4).set(6);
    EXPECT_EQ(gf_bitsetToList(slots), "4,6,7");
    EXPECT_FALSE(gf_bitsetToRange(slots).has_value());
    slots.set(5);
    EXPECT_EQ(gf_bitsetToRange(slots), "4:7");
    EXPECT_EQ(gf_hours2bitset(*gf_bitsetToRange(slots)), slots);
    EXPECT_EQ(gf_hours2bitset(*gf_bitsetToList(slots)), slots);
}

TEST(HalfHourSlots, SlotOfTimeOfDay) {
    EXPECT_EQ(gf_halfHourSlot(13, 29, 29), 26);
    EXPECT_EQ(gf_halfHourSlot(13, 29, 30), 27);
    EXPECT_EQ(gf_halfHourSlot(23, 59, 59), 47);
}

}  // namespace
}  // namespace qvl
