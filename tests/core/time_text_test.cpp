#include "core/time_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace qvl {
namespace {

// 2026-10-04 14:29:29 UTC is a Sunday.
constexpr std::time_t kSunday142929 = 1791124169;

struct TrafficClockGuard {
    ~TrafficClockGuard() {
        rtEdition = false;
        trafficClock = 0.0;
    }
};

TEST(TimeText, FixedWidthUtcText) {
    EXPECT_EQ(gf_utcDateTimeText(kSunday142929), "Sun Okt 04 14:29:29 2026");
    EXPECT_EQ(gf_utcDateTimeText(0), "Thu Jan 01 00:00:00 1970");
    EXPECT_EQ(gf_utcDateTimeText(std::numeric_limits<std::time_t>::max()), "Invalid time");
    EXPECT_EQ(gf_utcTimeNow().size(), 8u);
    EXPECT_EQ(gf_utcDateNow().size(), 12u);  // "Dec 06, 2026"
}

TEST(TimeText, DayAndSlotBoundaries) {
    auto ds = gf_daySlotOf(kSunday142929);
    EXPECT_EQ(gf_dayOf(ds), 7u);
    EXPECT_EQ(gf_slotOf(ds), 28u);
    ds = gf_daySlotOf(kSunday142929 + 1);  // 14:29:30
    EXPECT_EQ(gf_slotOf(ds), 29u);
    ds = gf_daySlotOf(kSunday142929 + 9 * 3600 + 30 * 60 + 30);  // Sunday 23:59:59
    EXPECT_EQ(gf_dayOf(ds), 7u);
    EXPECT_EQ(gf_slotOf(ds), 47u);
    ds = gf_daySlotOf(kSunday142929 + 9 * 3600 + 30 * 60 + 31);  // Monday 00:00:00
    EXPECT_EQ(gf_dayOf(ds), 1u);
    EXPECT_EQ(gf_slotOf(ds), 0u);
    EXPECT_EQ(gf_daySlotOf(std::numeric_limits<std::time_t>::max()), ~std::uint64_t{0});
}

TEST(TimeText, TrafficClockOnlyWithProfEditionAndSaneTime) {
    TrafficClockGuard guard;
    trafficClock = static_cast<double>(kSunday142929) + 0.9;
    rtEdition = false;
    EXPECT_NE(gf_trafficTimeSeconds(), kSunday142929);  // not in use without the edition
    rtEdition = true;
    EXPECT_EQ(gf_trafficTimeSeconds(), kSunday142929);
    EXPECT_EQ(gf_trafficTimeText(), "14:29:29");
    EXPECT_EQ(gf_slotOf(gf_trafficDaySlot()), 28u);

    for (double absurd : {0.0, -5.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity()}) {
        trafficClock = absurd;
        const std::time_t now = std::time(nullptr);
        EXPECT_LE(std::abs(gf_trafficTimeSeconds() - now), 2) << absurd;
        EXPECT_EQ(gf_trafficTimeText().size(), 8u);
    }
}

TEST(TimeText, SleepWaitsAtLeastTheDuration) {
    const auto start = std::chrono::steady_clock::now();
    gf_sleepMs(std::chrono::milliseconds(5));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5));
    gf_sleepMs(std::chrono::milliseconds(-3));  // returns at once
    gf_sleepMs(std::chrono::milliseconds(0));
}

}  // namespace
}  // namespace qvl
