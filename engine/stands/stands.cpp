// Stand lookups and the learning of live aircraft's stands.
#include "engine/stands/stands.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/base/engine_math.h"
#include "refdata/lookups.h"

namespace qvl {
namespace {

constexpr std::int32_t kSlotsPerDay = 48;
constexpr std::int32_t kSlotsPerWeek = 336;
constexpr double kFitToleranceNm = 0.0009719222;     // 1.8 m
constexpr double kWideCandidateNm = 0.0458963;       // 85 m
constexpr double kTooSmallWithinNm = 0.0107991;      // 20 m
constexpr double kLearnedSizeMarginNm = 0.00053996;  // 1 m

GeoPosition positionOf(const Stand& stand) { return {.latitude = stand.latitude, .longitude = stand.longitude}; }

std::string withoutProvisionalMark(const std::string& callsign) {
    if (!callsign.empty() && callsign.back() == '_') return callsign.substr(0, callsign.size() - 1);
    return callsign;
}

void repaint(Engine& engine) { engine.status.statusChanged(); }

bool sameIds(const LiveryKey& a, const LiveryKey& b) {
    return a.airlineId == b.airlineId && a.secondAirlineId == b.secondAirlineId && a.modelId == b.modelId;
}

// A real option of this flight: its callsign in either part, or its ids.
bool optionKnowsFlight(const StandOption& option, const FlightRec& flight) {
    if (!option.real || option.index == 0) return false;
    return option.callsign1 == flight.callsign || option.callsign2 == flight.callsign ||
           sameIds(option.key, flight.key);
}

bool standKnowsFlight(Engine& engine, const Stand& stand, const FlightRec& flight) {
    const std::vector<StandOption> options = engine.stands.standOptions(stand.number);
    return std::any_of(options.begin(), options.end(),
                       [&](const StandOption& option) { return optionKnowsFlight(option, flight); });
}

bool standFits(double halfSpan, const Stand& stand) { return halfSpan - stand.radius <= kFitToleranceNm; }

// n slots back from the week time's slot: slot, slot - 1, ..., wrapping
// from 0 to 47.
std::vector<std::uint32_t> slotsBackFrom(WeekTime time, std::int32_t n) {
    std::vector<std::uint32_t> slots;
    std::int32_t slot = static_cast<std::int32_t>(time.slot);
    for (std::int32_t i = 0; i < n; ++i) {
        slots.push_back(static_cast<std::uint32_t>(slot));
        slot = slot == 0 ? kSlotsPerDay - 1 : slot - 1;
    }
    return slots;
}

std::int32_t extensionLimit(const FlightRec& flight) {
    if (flight.key.cargo != 0) return 12;
    return flight.category == AircraftCategory::Heavy ? 8 : 6;
}

std::int32_t latestSlot(const HalfHourSlots& hours) {
    for (std::int32_t slot = kSlotsPerDay - 1; slot >= 0; --slot) {
        if (hours.test(static_cast<std::size_t>(slot))) return slot;
    }
    return -1;
}

StandOptionAdded addOption(Engine& engine, std::uint32_t standNumber, const FlightRec& flight, WeekTime now,
                           const std::string& key) {
    return engine.stands.addStandOption(standNumber, flight.key, now, flight.callsign, key, 0);
}

// Stretches the option from its latest slot to now when the flight stood
// there recently; false when that was too long ago.
bool extendOption(Engine& engine, std::uint32_t standNumber, const StandOption& option, WeekTime from, WeekTime now,
                  const FlightRec& flight, const std::string& key) {
    if (option.index == 0 || from == now) return true;
    const std::int32_t n = halfHoursSince(from, now);
    if (n < 1 || n >= extensionLimit(flight)) return false;
    const std::vector<std::uint32_t> slots = slotsBackFrom(now, n);
    if (static_cast<std::int32_t>(now.slot) + 1 >= n) {
        engine.stands.updateOptions(standNumber, slots, option.index);
        engine.stands.setOptionCallsign(standNumber, option.index, flight.callsign);
        return true;
    }
    const StandOptionAdded today = addOption(engine, standNumber, flight, now, key);
    engine.stands.updateOptionsWrapped(standNumber, slots, option.index, today.index);
    engine.stands.setOptionCallsign(standNumber, option.index, flight.callsign);
    engine.stands.setOptionCallsign(standNumber, today.index, flight.callsign);
    return true;
}

bool hasAnySlot(const HalfHourSlots& hours, std::int32_t from, std::int32_t to) {
    for (std::int32_t slot = std::max(from, 0); slot <= std::min(to, kSlotsPerDay - 1); ++slot) {
        if (hours.test(static_cast<std::size_t>(slot))) return true;
    }
    return false;
}

}  // namespace

bool isValidWeekTime(WeekTime time) noexcept {
    return time.day >= 1 && time.day <= 7 && time.slot < static_cast<std::uint32_t>(kSlotsPerDay);
}

std::int32_t halfHoursSince(WeekTime from, WeekTime now) noexcept {
    const std::int32_t difference =
        (static_cast<std::int32_t>(now.day) - static_cast<std::int32_t>(from.day)) * kSlotsPerDay +
        (static_cast<std::int32_t>(now.slot) - static_cast<std::int32_t>(from.slot));
    return difference < 0 ? difference + kSlotsPerWeek : difference;
}

std::string gf_standNameAtPosition(Engine& engine, StandNameCache& cache, GeoPosition position, bool userGroundKnown) {
    const std::size_t count = engine.stands.standCount();
    if (count == 0 || !userGroundKnown) return {};
    if (cache.valid && samePosition(cache.latitude, cache.longitude, position.latitude, position.longitude)) {
        return cache.name;
    }
    std::string name;
    double nearest = 900.0;
    for (std::size_t i = 0; i < count; ++i) {
        const Stand* stand = engine.stands.standAt(i);
        if (stand == nullptr) continue;
        const double distance = gf_distanceNm(position, positionOf(*stand));
        if (distance < nearest) {
            nearest = distance;
            name = stand->id;
        }
    }
    if (nearest > kStandSearchWideNm) name.clear();
    cache = {.latitude = position.latitude, .longitude = position.longitude, .valid = true, .name = name};
    return name;
}

const Stand* gf_findStandNear(Engine& engine, GeoPosition position, const LiveAc& ac, double radiusNm, bool wide) {
    const double halfSpan = ac.flight.halfSpan;
    const Stand* best = nullptr;
    const Stand* wideCandidate = nullptr;
    double bestDistance = std::numeric_limits<double>::infinity();
    double wideDistance = std::numeric_limits<double>::infinity();
    bool tooSmall = false;
    bool wideSearch = wide;
    const std::size_t count = engine.stands.standCount();
    for (std::size_t i = 0; i < count; ++i) {
        const Stand* stand = engine.stands.standAt(i);
        if (stand == nullptr) continue;
        const double distance = gf_distanceNm(position, positionOf(*stand));
        if (distance <= radiusNm && distance < bestDistance) {
            if (standFits(halfSpan, *stand)) {
                best = stand;
                bestDistance = distance;
                tooSmall = false;
                wideSearch = false;
                continue;
            }
            if (distance <= kTooSmallWithinNm) {
                best = stand;
                bestDistance = distance;
                tooSmall = true;
                wideSearch = false;
                continue;
            }
        }
        if (wideSearch && distance <= kWideCandidateNm && distance < wideDistance && standFits(halfSpan, *stand) &&
            !ac.flight.callsign.empty() && standKnowsFlight(engine, *stand, ac.flight)) {
            wideCandidate = stand;
            wideDistance = distance;
        }
    }
    const Stand* result = best != nullptr ? best : wideCandidate;
    if (result == nullptr) return nullptr;
    if (result->heli != (ac.flight.category == AircraftCategory::Rotorcraft)) return nullptr;
    if (best != nullptr && tooSmall) {
        // The learned radius is marked changed so that the learned file keeps it.
        engine.stands.learnStandSize(result->number, halfSpan - kLearnedSizeMarginNm);
        repaint(engine);
    }
    return result;
}

bool isReservedStand(const Engine& engine, const Stand& stand) {
    const std::string& reserved = engine.state.parking.display.reservedStand;
    return !reserved.empty() && stand.id == reserved;
}

bool standUnderUser(Engine& engine, const Stand& stand) {
    const UserAircraftBlock user = engine.clocks.userAircraft();
    if (user.zeroPosition()) return false;
    const std::string name =
        gf_standNameAtPosition(engine, engine.state.userStandName, user.position(), user.onGround.has_value());
    return !name.empty() && name == stand.id;
}

void updateCargoStandDisplay(Engine& engine, const LiveAc& ac) {
    if (ac.flight.key.cargo == 0 || ac.standFlag != 0) return;
    const Stand* stand = engine.stands.findStand(ac.standNumber);
    if (stand == nullptr || !stand->cargo) return;
    engine.stands.clearCargoFlag(ac.standNumber);
    // The board repaints only when the count it shows changes.
    engine.loadedPark.stats.setUpdates(engine.loadedPark.learnedUpdates);
}

void lf_addRealStandOption(Engine& engine, std::uint32_t standNumber, FlightRec& flight, StandLearning mode) {
    const WeekTime now = engine.weekTime();
    // Without the traffic clock's day and slot nothing could be filed right.
    if (!isValidWeekTime(now)) return;
    const std::string key = withoutProvisionalMark(flight.registration);
    if (key.empty()) return;
    const std::optional<DbaseIds> ids = gf_findDbaseRecord(key);
    if (!ids || !ids->found) return;
    flight.key.airlineId = ids->key.airlineId;
    flight.key.secondAirlineId = ids->key.operatorId;
    flight.key.modelId = ids->key.modelId;
    flight.key.cargo = ids->key.cargo;
    if (standNumber < 1 || engine.stands.findStand(standNumber) == nullptr) return;

    const bool seen = mode == StandLearning::leaving || mode == StandLearning::removedAway;
    const std::size_t slot = now.slot;
    const std::vector<StandOption> options = engine.stands.standOptions(standNumber);
    const auto ofToday = [&](const StandOption& option) {
        return option.index != 0 && option.day == now.day && option.registration == key && option.real;
    };
    for (const StandOption& option : options) {
        if (ofToday(option) && option.cpl && !option.hours.test(slot)) return;
    }
    const auto found = std::find_if(options.begin(), options.end(),
                                    [&](const StandOption& option) { return ofToday(option) && !option.cpl; });
    const auto addNew = [&] {
        const StandOptionAdded added = addOption(engine, standNumber, flight, now, key);
        if (seen && added.added) engine.stands.markSeenWhileParked(standNumber, added.index);
    };
    if (found == options.end() || (found->seenWhileParked && !found->hours.test(slot))) {
        addNew();
        return;
    }
    if (found->hours.test(slot)) {
        if (seen) engine.stands.markSeenWhileParked(standNumber, found->index);
        return;
    }
    const std::int32_t latest = latestSlot(found->hours);
    const WeekTime from{.day = now.day, .slot = static_cast<std::uint32_t>(std::max(latest, 0))};
    if (latest < 0 || !extendOption(engine, standNumber, *found, from, now, flight, key)) {
        addNew();
        return;
    }
    engine.stands.countStandChange();
    repaint(engine);
    if (seen) engine.stands.markSeenWhileParked(standNumber, found->index);
}

void gf_findLearnedStand(Engine& engine, WeekTime now, LiveAc& ac) {
    const std::int32_t reach = ac.flight.category == AircraftCategory::Heavy ? 14 : 10;
    const std::int32_t first = std::max(static_cast<std::int32_t>(now.slot) - reach, 0);
    const std::int32_t last = std::min(static_cast<std::int32_t>(now.slot) + reach, kSlotsPerDay - 1);
    const std::string& callsign = ac.flight.callsign;
    const std::string base = withoutProvisionalMark(callsign);
    if (base.empty()) return;
    const auto named = [&](const std::string& part) { return !part.empty() && (part == callsign || part == base); };
    const std::size_t count = engine.stands.standCount();
    for (std::size_t i = 0; i < count; ++i) {
        const Stand* stand = engine.stands.standAt(i);
        if (stand == nullptr) continue;
        for (const StandOption& option : engine.stands.standOptions(stand->number)) {
            if (option.index == 0 || option.day != now.day || option.key.airlineId != ac.flight.key.airlineId) {
                continue;
            }
            if (!hasAnySlot(option.hours, first, last) || !(named(option.callsign1) || named(option.callsign2))) {
                continue;
            }
            ac.flight.callsignCopy = option.callsign1;
            ac.flight.callsignText = option.callsign2;
            return;
        }
    }
}

bool lf_standHasFlightNow(Engine& engine, WeekTime now, std::uint32_t standNumber, const FlightRec& flight,
                          std::int32_t windowHalfHours) {
    if (standNumber < 1 || engine.stands.findStand(standNumber) == nullptr) return false;
    const std::int32_t window = std::min(windowHalfHours, kSlotsPerDay - 1);
    const std::int32_t slot = static_cast<std::int32_t>(now.slot);
    const std::vector<StandOption> options = engine.stands.standOptions(standNumber);
    const auto matches = [&](const StandOption& option, std::uint32_t day, std::int32_t from, std::int32_t to) {
        return option.day == day && option.registration == flight.registration && sameIds(option.key, flight.key) &&
               hasAnySlot(option.hours, from, to);
    };
    const std::int32_t start = slot - window;
    for (const StandOption& option : options) {
        if (matches(option, now.day, std::max(start, 0), slot)) return true;
    }
    if (start >= 0) return false;
    const std::int32_t reach = std::min(window - slot, kSlotsPerDay - 2);
    const std::uint32_t previousDay = now.day <= 1 ? 7 : now.day - 1;
    return std::any_of(options.begin(), options.end(), [&](const StandOption& option) {
        return matches(option, previousDay, kSlotsPerDay - 1 - reach, kSlotsPerDay - 1);
    });
}

}  // namespace qvl
