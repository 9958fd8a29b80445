#include "core/time_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <tuple>

namespace qvl {
namespace {

constexpr std::time_t kSunday142929 = 1791124169;  // 2026-10-04 14:29:29 UTC
constexpr std::time_t kMaxTime = std::numeric_limits<std::time_t>::max();

TEST(TimeText, FixedWidthUtcText) {
    EXPECT_EQ(gf_utcDateTimeText(kSunday142929), "Sun Okt 04 14:29:29 2026");
    EXPECT_EQ(gf_utcDateTimeText(0), "Thu Jan 01 00:00:00 1970");
    EXPECT_EQ(gf_utcDateTimeText(kMaxTime), "Invalid time");
    EXPECT_EQ(gf_utcTimeNow().size(), 8u);
    EXPECT_EQ(gf_utcDateNow().size(), 12u);  // "Dec 06, 2026"
}

TEST(TimeText, DayAndSlotBoundaries) {
    const std::time_t toMidnight = 9 * 3600 + 30 * 60 + 31;
    const std::tuple<std::time_t, std::uint32_t, std::uint32_t> cases[] = {
        {kSunday142929, 7, 28},
        {kSunday142929 + 1, 7, 29},               // 14:29:30
        {kSunday142929 + toMidnight - 1, 7, 47},  // Sunday 23:59:59
        {kSunday142929 + toMidnight, 1, 0},       // Monday 00:00:00
    };
    for (const auto& [seconds, day, slot] : cases) {
        const auto daySlot = daySlotOf(seconds);
        EXPECT_EQ(dayOf(daySlot), day) << seconds;
        EXPECT_EQ(slotOf(daySlot), slot) << seconds;
    }
    EXPECT_EQ(daySlotOf(kMaxTime), ~std::uint64_t{0});
}

TEST(TimeText, TrafficClockOnlyWithTheEditionAndASaneTime) {
    TrafficTime time;
    time.trafficClock = static_cast<double>(kSunday142929) + 0.9;
    EXPECT_NE(trafficTimeSeconds(time), kSunday142929);  // not in use without the edition
    time.rtEdition = true;
    EXPECT_EQ(trafficTimeSeconds(time), kSunday142929);
    EXPECT_EQ(gf_trafficTimeText(time), "14:29:29");
    EXPECT_EQ(slotOf(gf_trafficDaySlot(time)), 28u);

    for (double absurd :
         {0.0, -5.0, 1e300, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        time.trafficClock = absurd;
        EXPECT_LE(std::abs(trafficTimeSeconds(time) - std::time(nullptr)), 2) << absurd;
        EXPECT_EQ(gf_trafficTimeText(time).size(), 8u);
    }
}

}  // namespace
}  // namespace qvl
