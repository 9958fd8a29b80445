// Half hours of the UTC day, as learned flights record them: bit n is the
// n-th half hour. Two text forms, as stand files carry them: a run "a:b"
// (both ends included) or a list "3,4,17".
#pragma once

#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvl {

inline constexpr int kHalfHourSlotCount = 48;

using HalfHourSlots = std::bitset<kHalfHourSlotCount>;

// The slot of a UTC time of day (hour 0-23, minute 0-59, second 0-60):
// 2 x hour, plus 1 from minute:second 29:30 on. So slot 0 runs from 00:00:00
// to 00:29:29 and slot 47 from 23:29:30 to 23:59:59.
int halfHourSlot(int hour, int minute, int second);

// Parses either text form; an empty text gives the empty set. Bad pieces are
// logged ("==> ..."); a bad run gives the empty set, a bad list entry is
// skipped.
HalfHourSlots gf_hours2bitset(std::string_view text);

// The same parse, with the lines about the bad pieces handed back instead of
// logged: a reader of many texts counts them with its own lines.
struct HalfHourSlotsRead {
    HalfHourSlots slots;
    std::vector<std::string> problems;  // as gf_hours2bitset logs them, in order
};
[[nodiscard]] HalfHourSlotsRead readHalfHourSlots(std::string_view text);

// "3,4,17" in ascending order; no value for the empty set.
std::optional<std::string> gf_bitsetToList(const HalfHourSlots& slots);

// "8:11" when the set slots form one run, "7" for a single slot; no value
// for the empty set or slots that are not one run.
std::optional<std::string> gf_bitsetToRange(const HalfHourSlots& slots);

}  // namespace qvl
