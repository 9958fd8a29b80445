// UTC time and date texts, the week time (day of week and half-hour slot)
// of the traffic clock, and a steady-clock sleep.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

namespace qvl {

// The time of the traffic: it replaces the computer's clock for traffic
// purposes while the traffic client reports its "prof" edition. The traffic
// reader writes the clock, the client link the edition; the engine and the
// status panel read both. Owned with the feed's state.
struct TrafficTime {
    // Seconds since 1970 UTC of the traffic that the traffic client reports.
    std::atomic<double> trafficClock{0.0};
    // Set when the traffic client reported its "prof" edition.
    std::atomic<bool> rtEdition{false};

    void reset() noexcept {
        trafficClock.store(0.0);
        rtEdition.store(false);
    }
};

// "Sun Dec 06 17:00:51 2026": day, month, day of month, time, year.
// "Invalid time" when the time cannot be broken down.
std::string gf_utcDateTimeText(std::time_t seconds);
// HH:MM:SS of the current UTC time.
std::string gf_utcTimeNow();
// "Dec 06, 2026".
std::string gf_utcDateNow();
// HH:MM:SS of the traffic clock when in use, else of the computer's clock;
// "??:??:??" for a time that cannot be broken down.
std::string gf_trafficTimeText(const TrafficTime& time);

// The time the traffic clock stands for: the traffic clock, truncated to
// whole seconds, when the "prof" edition is set and the clock holds a sane
// time; otherwise the computer's clock.
std::time_t trafficTimeSeconds(const TrafficTime& time);

// Day of week 1..7 (Monday 1) in the low 32 bits, half-hour slot 0..47 in the
// high 32 bits; all bits set in both halves when the time cannot be broken
// down. Both halves come from one clock reading.
std::uint64_t gf_trafficDaySlot(const TrafficTime& time);
std::uint64_t daySlotOf(std::time_t seconds);
inline constexpr std::uint64_t packDaySlot(std::uint32_t day, std::uint32_t slot) {
    return static_cast<std::uint64_t>(day) | (static_cast<std::uint64_t>(slot) << 32);
}
inline constexpr std::uint32_t dayOf(std::uint64_t daySlot) { return static_cast<std::uint32_t>(daySlot); }
inline constexpr std::uint32_t slotOf(std::uint64_t daySlot) { return static_cast<std::uint32_t>(daySlot >> 32); }

// Sleeps until the steady clock has advanced by at least the duration;
// early wake-ups sleep again. Zero or negative durations return at once.
void gf_sleepMs(std::chrono::milliseconds duration);

}  // namespace qvl
