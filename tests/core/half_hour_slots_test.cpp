#include "core/half_hour_slots.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/logged_folder.h"

namespace qvl {
namespace {

std::vector<int> slotBits(std::string_view text) {
    const HalfHourSlots slots = gf_hours2bitset(text);
    std::vector<int> numbers;
    for (int n = 0; n < kHalfHourSlotCount; ++n) {
        if (slots.test(static_cast<std::size_t>(n))) numbers.push_back(n);
    }
    return numbers;
}

using HalfHourSlotsTest = test::LoggedFolder;

TEST_F(HalfHourSlotsTest, RunAndListFormsWithTheirLogLines) {
    struct Case {
        const char* text;
        std::vector<int> slots;
        const char* logged;  // after "==> ", "" for none
    };
    const Case cases[] = {
        {"8:11", {8, 9, 10, 11}, ""},
        {"5:", {5}, ""},
        {"11:8", {}, "gf_hours2bitset descending range not allowed (11:8 in 11:8)"},
        {"1:2:3", {}, "gf_hours2bitset more than one colon char in: 1:2:3"},
        {" : ", {}, "gf_hours2bitset invalid range format in  : "},
        {"3:48", {}, "operator () invalid hour '48' in 3:48"},
        {"3, 5,x,60", {3, 5}, "operator () invalid hour 'x' in 3, 5,x,60"},
        {"3, 5,x,60", {3, 5}, "operator () invalid hour '60' in 3, 5,x,60"},
        {"", {}, ""},
        // A damaged number is not taken for its leading digits.
        {"7x,8.5,-1,99999999999,9", {9}, "operator () invalid hour '8.5' in 7x,8.5,-1,99999999999,9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(slotBits(c.text), c.slots) << c.text;
        if (*c.logged != '\0') {
            EXPECT_TRUE(logged(std::string("==> ") + c.logged + "\n")) << c.logged;
        }
    }
    EXPECT_EQ(slotBits(" 0 : 47 ").size(), 48u);
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

}  // namespace
}  // namespace qvl
