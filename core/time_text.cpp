#include "core/time_text.h"

#include <fmt/format.h>

#include <cmath>
#include <thread>

#include "core/half_hour_slots.h"
#include "platform/sys/process.h"

namespace qvl {
namespace {

constexpr const char* kDayNames[] = {"???", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char* kMonthNames[] = {"???", "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Okt", "Nov", "Dec"};

// A traffic time outside these years is not a real report: 2000-01-01 to 2100-01-01.
constexpr double kSaneTrafficFrom = 946684800.0;
constexpr double kSaneTrafficTo = 4102444800.0;

bool breakDown(std::time_t seconds, std::tm& out) { return sys::utcCalendarTime(seconds, out); }

// Monday 1 .. Sunday 7.
int isoDay(const std::tm& t) { return t.tm_wday == 0 ? 7 : t.tm_wday; }

template <std::size_t N>
const char* nameAt(const char* const (&names)[N], int index) {
    return (index >= 1 && static_cast<std::size_t>(index) < N) ? names[index] : "???";
}

std::string timeOfDayText(std::time_t seconds) {
    std::tm t{};
    if (!breakDown(seconds, t)) return "??:??:??";
    return fmt::format("{:02}:{:02}:{:02}", t.tm_hour, t.tm_min, t.tm_sec);
}

}  // namespace

std::string gf_utcDateTimeText(std::time_t seconds) {
    std::tm t{};
    if (!breakDown(seconds, t)) return "Invalid time";
    return fmt::format("{:3} {:3} {:02} {:02}:{:02}:{:02} {:4}", nameAt(kDayNames, isoDay(t)),
                       nameAt(kMonthNames, t.tm_mon + 1), t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
}

std::string gf_utcTimeNow() { return timeOfDayText(std::time(nullptr)); }

std::string gf_utcDateNow() {
    std::tm t{};
    const std::time_t now = std::time(nullptr);
    if (!breakDown(now, t)) return "??? ??, ????";
    return fmt::format("{:3} {:02}, {}", nameAt(kMonthNames, t.tm_mon + 1), t.tm_mday, t.tm_year + 1900);
}

std::time_t trafficTimeSeconds(const TrafficTime& time) {
    if (time.rtEdition.load(std::memory_order_acquire)) {
        const double clock = time.trafficClock.load(std::memory_order_acquire);
        if (std::isfinite(clock) && clock >= kSaneTrafficFrom && clock < kSaneTrafficTo) {
            return static_cast<std::time_t>(clock);
        }
    }
    return std::time(nullptr);
}

std::string gf_trafficTimeText(const TrafficTime& time) { return timeOfDayText(trafficTimeSeconds(time)); }

std::uint64_t daySlotOf(std::time_t seconds) {
    std::tm t{};
    if (!breakDown(seconds, t)) return ~std::uint64_t{0};
    return packDaySlot(static_cast<std::uint32_t>(isoDay(t)),
                       static_cast<std::uint32_t>(halfHourSlot(t.tm_hour, t.tm_min, t.tm_sec)));
}

std::uint64_t gf_trafficDaySlot(const TrafficTime& time) { return daySlotOf(trafficTimeSeconds(time)); }

void gf_sleepMs(std::chrono::milliseconds duration) {
    if (duration.count() <= 0) return;
    using clock = std::chrono::steady_clock;
    const auto now = clock::now();
    // Saturate instead of overflowing for absurdly long sleeps.
    const auto room = std::chrono::duration_cast<std::chrono::milliseconds>(clock::time_point::max() - now);
    const auto deadline = duration >= room ? clock::time_point::max() : now + duration;
    while (clock::now() < deadline) std::this_thread::sleep_until(deadline);
}

}  // namespace qvl
