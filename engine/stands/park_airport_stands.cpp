#include "engine/stands/park_airport_stands.h"

#include <algorithm>
#include <stdexcept>

#include <fmt/format.h>

#include "airports/stand_options.h"
#include "core/log.h"
#include "core/time_text.h"

namespace qvl {
namespace {

// The engine compares airline, second airline, type and cargo only; the
// database's has-value mark means nothing to it.
LiveryKey idsOf(const LearnedFlight& flight) {
    LiveryKey key = liveryKeyOf(flight.ids);
    key.marker = 0;
    return key;
}

StandInfo infoOf(const Stand& stand) {
    return {.number = stand.number,
            .id = stand.id,
            .latitude = stand.latitude,
            .longitude = stand.longitude,
            .heading = stand.heading,
            .radius = stand.radius,
            .helipad = stand.heli,
            .cargo = stand.cargo,
            .occupied = stand.occupied,
            .neighbours = stand.neighbours};
}

StandOption optionOf(const LearnedFlight& flight) {
    return {.key = idsOf(flight),
            .registration = flight.registration,
            .callsign1 = flight.callsign1,
            .callsign2 = flight.callsign2,
            .hours = flight.hours,
            .index = flight.ordinal,
            .day = flight.day,
            .real = flight.real,
            .cpl = flight.cpl,
            .seenWhileParked = flight.seenWhileParked};
}

LearnedFlight* learnedFlight(Stand& stand, std::uint32_t ordinal) {
    const auto it = std::find_if(stand.flights.begin(), stand.flights.end(),
                                 [ordinal](const LearnedFlight& flight) { return flight.ordinal == ordinal; });
    return it == stand.flights.end() ? nullptr : &*it;
}

}  // namespace

Stand* ParkAirportStands::stand(std::uint32_t standNumber) {
    if (standNumber == 0) return nullptr;
    std::vector<Stand>& stands = park_.parkStands;
    const auto it = std::lower_bound(stands.begin(), stands.end(), standNumber,
                                     [](const Stand& s, std::uint32_t number) { return s.number < number; });
    return it == stands.end() || it->number != standNumber ? nullptr : &*it;
}

std::string ParkAirportStands::standIdText(std::uint32_t standNumber) {
    if (standNumber == 0) return "sid==0?";
    const Stand* found = stand(standNumber);
    return found == nullptr ? "sid==?" : found->id;
}

void ParkAirportStands::setStandOccupied(std::uint32_t standNumber, bool occupied) {
    if (Stand* found = stand(standNumber)) found->occupied = occupied;
}

std::size_t ParkAirportStands::standCount() { return park_.parkStands.size(); }

std::optional<StandInfo> ParkAirportStands::standAt(std::size_t index) {
    if (index >= park_.parkStands.size()) return std::nullopt;
    return infoOf(park_.parkStands[index]);
}

std::optional<StandInfo> ParkAirportStands::findStand(std::uint32_t standNumber) {
    const Stand* found = stand(standNumber);
    if (found == nullptr) return std::nullopt;
    return infoOf(*found);
}

std::vector<StandOption> ParkAirportStands::standOptions(std::uint32_t standNumber) {
    const Stand* found = stand(standNumber);
    if (found == nullptr) return {};
    std::vector<StandOption> options;
    options.reserve(found->flights.size());
    for (const LearnedFlight& flight : found->flights) options.push_back(optionOf(flight));
    return options;
}

void ParkAirportStands::learnStandSize(std::uint32_t standNumber, double radiusNm) {
    Stand* found = stand(standNumber);
    if (found == nullptr) return;
    found->radius = radiusNm;
    found->learnedSize = true;
    // The learned file keeps only radii marked as changed.
    found->radiusChange = true;
    countStandChange();
}

void ParkAirportStands::clearCargoFlag(std::uint32_t standNumber) {
    Stand* found = stand(standNumber);
    if (found == nullptr) return;
    found->cargo = false;
    found->cargoChange = true;
    countStandChange();
}

StandOptionAdded ParkAirportStands::addStandOption(std::uint32_t standNumber, LiveryKey ids, WeekTime time,
                                                   const std::string& callsign, const std::string& keyText,
                                                   std::uint8_t flag) {
    Stand* found = stand(standNumber);
    if (found == nullptr) return {};
    // Marker 0: the registration database's ids win over the flight's own
    // when it knows the registration.
    const NewStandOption option{
        .ids = {.airlineId = ids.airlineId,
                .operatorId = ids.secondAirlineId,
                .modelId = ids.modelId,
                .cargo = ids.cargo,
                .marker = 0},
        .weekTime = packDaySlot(time.day, time.slot),
        .callsign = callsign,
        .registration = keyText,
        .cpl = flag != 0,
    };
    try {
        const StandOptionResult result = lf_addStandOption(found->flights, option, park_);
        return {.index = result.number, .added = result.added};
    } catch (const std::out_of_range& e) {
        gf_logAttention(fmt::format("{} exception:{}", "lf_addStandOption", e.what()));
        return {};
    }
}

void ParkAirportStands::setOptionCallsign(std::uint32_t standNumber, std::uint32_t optionIndex,
                                          const std::string& callsign) {
    if (Stand* found = stand(standNumber)) lf_setOptionCallsign(found->flights, optionIndex, callsign);
}

bool ParkAirportStands::updateOptions(std::uint32_t standNumber, const std::vector<std::uint32_t>& slots,
                                      std::uint32_t optionIndex) {
    Stand* found = stand(standNumber);
    if (found == nullptr) return false;
    SlotList remaining = slots;
    return qvl::updateOptions(found->flights, remaining, optionIndex);
}

bool ParkAirportStands::updateOptionsWrapped(std::uint32_t standNumber, const std::vector<std::uint32_t>& slots,
                                             std::uint32_t optionIndex, std::uint32_t nextDayIndex) {
    Stand* found = stand(standNumber);
    if (found == nullptr) return false;
    SlotList remaining = slots;
    return qvl::updateOptionsWrapped(found->flights, remaining, optionIndex, nextDayIndex);
}

void ParkAirportStands::markSeenWhileParked(std::uint32_t standNumber, std::uint32_t optionIndex) {
    Stand* found = stand(standNumber);
    if (found == nullptr) return;
    if (LearnedFlight* flight = learnedFlight(*found, optionIndex)) flight->seenWhileParked = true;
}

void ParkAirportStands::countStandChange() {
    ++park_.learnedUpdates;
    park_.stats.setUpdates(park_.learnedUpdates);
}

}  // namespace qvl
