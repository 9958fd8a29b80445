#include "airports/stand_options.h"

#include <fmt/format.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "core/log.h"
#include "core/time_text.h"
#include "refdata/lookups.h"

namespace qvl {

namespace {

constexpr auto kLastSlotOfDay = static_cast<std::uint32_t>(kHalfHourSlotCount - 1);

std::string_view withoutTrailingUnderscore(std::string_view callsign) {
    if (callsign.ends_with('_')) callsign.remove_suffix(1);
    return callsign;
}

LearnedFlight* findOption(std::vector<LearnedFlight>& options, std::uint32_t number) {
    const auto it = std::find_if(options.begin(), options.end(),
                                 [number](const LearnedFlight& option) { return option.ordinal == number; });
    return it != options.end() ? &*it : nullptr;
}

// Takes the last slot off the list and sets it; std::bitset::set throws
// std::out_of_range for a slot beyond the day.
void setLastSlot(SlotList& slots, LearnedFlight& option) {
    const std::uint32_t slot = slots.back();
    slots.pop_back();
    option.hours.set(slot);
}

DbaseKey idsFor(const NewStandOption& option) {
    if (option.ids.marker != 0) return option.ids;
    if (const auto record = gf_findDbaseRecord(option.registration)) {
        DbaseKey ids = record->key;
        ids.marker = 1;
        return ids;
    }
    return option.ids;
}

}  // namespace

StandOptionResult lf_addStandOption(std::vector<LearnedFlight>& options, const NewStandOption& option,
                                    LoadedParkAirport& park) {
    if (option.registration.empty()) return {};
    const std::string_view callsign = withoutTrailingUnderscore(option.callsign);
    HalfHourSlots hours;
    hours.set(slotOf(option.weekTime));
    const std::uint32_t day = dayOf(option.weekTime);
    const auto same = std::find_if(options.begin(), options.end(), [&](const LearnedFlight& known) {
        return known.registration == option.registration && known.day == day && known.hours == hours;
    });
    if (same != options.end()) return {.number = same->ordinal, .added = false};

    const auto number = static_cast<std::uint32_t>(options.size() + 1);
    options.push_back({.ids = idsFor(option),
                       .registration = std::string(option.registration),
                       .callsign1 = std::string(callsign),
                       .callsign2 = {},
                       .hours = hours,
                       .ordinal = number,
                       .day = day,
                       .source = FlightSource::learned,
                       .real = true,
                       .cpl = option.cpl});
    ++park.learnedUpdates;
    park.stats.setUpdates(park.learnedUpdates);
    return {.number = number, .added = true};
}

void lf_setOptionCallsign(std::vector<LearnedFlight>& options, std::uint32_t number, std::string_view callsign) {
    callsign = withoutTrailingUnderscore(callsign);
    if (callsign.empty() || number == 0) return;
    LearnedFlight* option = findOption(options, number);
    if (option == nullptr) return;
    if (option->callsign1.empty()) {
        option->callsign1 = callsign;
    } else if (callsign != option->callsign1) {
        option->callsign2 = callsign;
    }
}

bool updateOptions(std::vector<LearnedFlight>& options, SlotList& slots, std::uint32_t number) {
    LearnedFlight* option = findOption(options, number);
    if (option == nullptr) return false;
    try {
        while (!slots.empty()) setLastSlot(slots, *option);
        return true;
    } catch (const std::out_of_range& e) {
        gf_logAttention(fmt::format("{} exception:{}", "updateOptions", e.what()));
        return false;
    }
}

bool updateOptionsWrapped(std::vector<LearnedFlight>& options, SlotList& slots, std::uint32_t previousDayNumber,
                          std::uint32_t currentDayNumber) {
    if (slots.empty()) return false;
    LearnedFlight* previousDay = findOption(options, previousDayNumber);
    if (previousDay == nullptr) return false;
    try {
        if (slots.back() != 0) {
            while (!slots.empty()) {
                const bool lastOfDay = slots.back() == kLastSlotOfDay;
                setLastSlot(slots, *previousDay);
                if (lastOfDay) break;
            }
        }
        LearnedFlight* currentDay = findOption(options, currentDayNumber);
        if (currentDay == nullptr) return false;
        while (slots.size() >= 2) setLastSlot(slots, *currentDay);
        return true;
    } catch (const std::out_of_range& e) {
        gf_logAttention(fmt::format("{} exception:{}", "updateOptionsWrapped", e.what()));
        return false;
    }
}

SlotList lf_slotsBackFrom(std::uint64_t weekTime, std::int32_t n) {
    SlotList slots;
    slots.reserve(kHalfHourSlotCount);
    std::uint32_t slot = slotOf(weekTime);
    for (std::int32_t i = 0; i < n; ++i) {
        slots.push_back(slot);
        slot = slot == 0 ? kLastSlotOfDay : slot - 1;
    }
    return slots;
}

}  // namespace qvl
