#include "core/half_hour_slots.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/strings.h"

namespace qvl {

namespace {

constexpr std::string_view kHours2BitsetName = "gf_hours2bitset";
// From this second of the half hour on (29:30), a time counts to the
// second slot of its hour.
constexpr int kSecondHalfFrom = 29 * 60 + 30;

// One slot number, from a piece the splitter has trimmed. The whole piece
// must be the number: "7x" or "8.5" in a stand file is a damaged entry, not
// slot 7 or 8.
std::optional<int> lf_parseSlot(std::string_view piece, std::string_view wholeText,
                                std::vector<std::string>& problems) {
    unsigned value = 0;
    const char* last = piece.data() + piece.size();
    const auto [end, error] = std::from_chars(piece.data(), last, value);
    if (error != std::errc{} || end != last || value >= kHalfHourSlotCount) {
        problems.push_back(fmt::format("{} invalid hour '{}' in {}", "operator ()", piece, wholeText));
        return std::nullopt;
    }
    return static_cast<int>(value);
}

HalfHourSlots slotRun(int first, int last) {
    HalfHourSlots slots;
    for (int slot = first; slot <= last; ++slot) slots.set(static_cast<std::size_t>(slot));
    return slots;
}

HalfHourSlots parseRunForm(std::string_view text, std::vector<std::string>& problems) {
    if (std::count(text.begin(), text.end(), ':') > 1) {
        problems.push_back(fmt::format("{} more than one colon char in: {}", kHours2BitsetName, text));
        return {};
    }
    const std::vector<std::string> pieces = lf_splitTrimmed(text, ':');
    if (pieces.empty()) {
        problems.push_back(fmt::format("{} invalid range format in {}", kHours2BitsetName, text));
        return {};
    }
    std::vector<int> ends;
    for (const std::string& piece : pieces) {
        const auto slot = lf_parseSlot(piece, text, problems);
        if (!slot) return {};
        ends.push_back(*slot);
    }
    if (ends.size() == 1) return slotRun(ends[0], ends[0]);
    if (ends[0] > ends[1]) {
        problems.push_back(
            fmt::format("{} descending range not allowed ({}:{} in {})", kHours2BitsetName, ends[0], ends[1], text));
        return {};
    }
    return slotRun(ends[0], ends[1]);
}

HalfHourSlots parseListForm(std::string_view text, std::vector<std::string>& problems) {
    HalfHourSlots slots;
    for (const std::string& piece : lf_splitTrimmed(text, ',')) {
        if (const auto slot = lf_parseSlot(piece, text, problems)) slots.set(static_cast<std::size_t>(*slot));
    }
    return slots;
}

std::optional<int> lowestSlot(const HalfHourSlots& slots) {
    for (int slot = 0; slot < kHalfHourSlotCount; ++slot) {
        if (slots.test(static_cast<std::size_t>(slot))) return slot;
    }
    return std::nullopt;
}

std::optional<int> highestSlot(const HalfHourSlots& slots) {
    for (int slot = kHalfHourSlotCount - 1; slot >= 0; --slot) {
        if (slots.test(static_cast<std::size_t>(slot))) return slot;
    }
    return std::nullopt;
}

}  // namespace

int halfHourSlot(int hour, int minute, int second) {
    return 2 * hour + (minute * 60 + second >= kSecondHalfFrom ? 1 : 0);
}

HalfHourSlotsRead readHalfHourSlots(std::string_view text) {
    HalfHourSlotsRead read;
    if (text.empty()) return read;
    read.slots = text.find(':') != std::string_view::npos ? parseRunForm(text, read.problems)
                                                          : parseListForm(text, read.problems);
    return read;
}

HalfHourSlots gf_hours2bitset(std::string_view text) {
    const HalfHourSlotsRead read = readHalfHourSlots(text);
    for (const std::string& problem : read.problems) gf_logAttention(problem);
    return read.slots;
}

std::optional<std::string> gf_bitsetToList(const HalfHourSlots& slots) {
    if (slots.none()) return std::nullopt;
    std::string list;
    for (int slot = 0; slot < kHalfHourSlotCount; ++slot) {
        if (!slots.test(static_cast<std::size_t>(slot))) continue;
        if (!list.empty()) list += ',';
        list += std::to_string(slot);
    }
    return list;
}

std::optional<std::string> gf_bitsetToRange(const HalfHourSlots& slots) {
    const auto first = lowestSlot(slots);
    const auto last = highestSlot(slots);
    if (!first || !last) return std::nullopt;
    if (slotRun(*first, *last) != slots) return std::nullopt;
    if (*first == *last) return std::to_string(*first);
    return fmt::format("{}:{}", *first, *last);
}

}  // namespace qvl
