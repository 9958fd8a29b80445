// The adjustment of the static parking, every 20 minutes or on request: a
// fresh selection for the stands that parked live aircraft leave free, the
// static aircraft reviewed against it (kept, or replaced by a flight that
// fits better), flights about to depart shown departing, and whatever goes
// beyond the wanted count removed.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <fmt/format.h>
#include <gsl/narrow>

#include "core/geodesy.h"
#include "core/log.h"
#include "core/messages.h"
#include "engine/base/engine.h"
#include "engine/base/removal.h"
#include "engine/conflicts/park_limit.h"
#include "engine/conflicts/static_conflicts.h"
#include "engine/parking/park_selection.h"
#include "engine/parking/parking_cycle.h"
#include "engine/parking/static_placing.h"
#include "engine/stands/stands.h"
#include "refdata/lookups.h"

namespace qvl {
namespace {

constexpr std::uint32_t kSlotsPerDay = 48;

bool sameIds(const LiveryKey& a, const LiveryKey& b) {
    return a.airlineId == b.airlineId && a.secondAirlineId == b.secondAirlineId && a.modelId == b.modelId;
}

bool sameIds(const DbaseKey& learned, const LiveryKey& key) {
    return learned.airlineId == key.airlineId && learned.operatorId == key.secondAirlineId &&
           learned.modelId == key.modelId;
}

// The stand list is sorted by number.
Stand* standByNumber(std::span<Stand> stands, std::uint32_t number) {
    if (number < 1) return nullptr;
    const auto it = std::lower_bound(stands.begin(), stands.end(), number,
                                     [](const Stand& stand, std::uint32_t n) { return stand.number < n; });
    return it != stands.end() && it->number == number ? &*it : nullptr;
}

GeoPosition positionOf(const Stand& stand) { return {.latitude = stand.latitude, .longitude = stand.longitude}; }

// Half hours the static aircraft has stood, counted back from now over the
// week; 0 when it carries no week time.
std::int32_t halfHoursParked(WeekTime parkedSince, WeekTime now) {
    return isValidWeekTime(parkedSince) ? halfHoursSince(parkedSince, now) : 0;
}

// The static aircraft shows one of the candidate's callsigns, as the placing
// would have given it.
bool showsCandidate(const ParkPosition& candidate, const StaticAc& ac) {
    const auto shows = [&](const std::string& part) {
        return !part.empty() && lf_staticCallsign(part) == ac.flight.callsign;
    };
    return sameIds(candidate.key, ac.flight.key) && (shows(candidate.callsign1) || shows(candidate.callsign2));
}

// The candidates of this adjustment by stand; a candidate that a kept
// static aircraft makes unnecessary is dropped.
class CandidateIndex {
public:
    explicit CandidateIndex(const std::vector<ParkPosition>& candidates) : dropped_(candidates.size(), false) {
        byStand_.reserve(candidates.size());
        for (std::size_t i = 0; i < candidates.size(); ++i) byStand_.try_emplace(candidates[i].standNumber, i);
    }
    // The candidate waiting for the stand, or none.
    [[nodiscard]] std::optional<std::size_t> forStand(std::uint32_t standNumber) const {
        const auto it = byStand_.find(standNumber);
        if (it == byStand_.end() || dropped_[it->second]) return std::nullopt;
        return it->second;
    }
    void drop(std::size_t index) { dropped_[index] = true; }
    // The candidates that are still wanted, in their order.
    void compact(std::vector<ParkPosition>& candidates) const {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (dropped_[i]) continue;
            if (kept != i) candidates[kept] = std::move(candidates[i]);
            ++kept;
        }
        candidates.resize(kept);
    }

private:
    std::unordered_map<std::uint32_t, std::size_t> byStand_;
    std::vector<bool> dropped_;
};

struct Review {
    Engine& engine;
    WeekTime now;
    std::int32_t window;  // half hours lf_standHasFlightNow looks back
    CandidateIndex candidates;
};

void keepStatic(ParkingState& parking, const StaticAc& ac) {
    parking.kept.push_back({.callsign = ac.flight.callsign,
                            .callsign1 = ac.flight.callsignCopy,
                            .callsign2 = ac.flight.callsignText,
                            .registration = ac.flight.registration,
                            .key = ac.flight.key,
                            .parkedSince = ac.parkedSince,
                            .standNumber = ac.standNumber,
                            .departs = false});
}

void listForRemoval(ParkingState& parking, const StaticAc& ac) {
    parking.removals.push_back({.callsign = ac.flight.callsign, .standNumber = ac.standNumber});
}

bool isLiveCallsign(const ParkingState& parking, const std::string& callsign) {
    return !callsign.empty() && parking.liveCallsigns.contains(callsign);
}

// The static aircraft stays when the candidate's flight came to the stand
// (now minus its fit) not after the aircraft was parked there.
bool lf_keepOrReplaceStatic(const ParkPosition& candidate, const StaticAc& ac, WeekTime now) {
    if (!isValidWeekTime(ac.parkedSince)) return false;
    return static_cast<std::int32_t>(candidate.fit) >= halfHoursSince(ac.parkedSince, now);
}

void decide(Review& review, const StaticAc& ac, std::size_t candidate) {
    ParkingState& parking = review.engine.state.parking;
    if (lf_keepOrReplaceStatic(parking.candidates[candidate], ac, review.now)) {
        keepStatic(parking, ac);
        review.candidates.drop(candidate);
    } else {
        listForRemoval(parking, ac);
    }
}

// A candidate on a neighbour stand so close that the two would touch; none
// when no neighbour has one.
std::optional<std::size_t> touchingNeighbourCandidate(Review& review, const StaticAc& ac) {
    const std::span<Stand> stands = review.engine.stands.selectionStands();
    const Stand* own = standByNumber(stands, ac.standNumber);
    if (own == nullptr) return std::nullopt;
    const std::vector<ParkPosition>& candidates = review.engine.state.parking.candidates;
    for (const std::uint32_t neighbour : own->neighbours) {
        const auto candidate = review.candidates.forStand(neighbour);
        const Stand* stand = standByNumber(stands, neighbour);
        if (!candidate || stand == nullptr) continue;
        const double apart =
            gf_halfWingspan(candidates[*candidate].key.modelId) + gf_halfWingspan(ac.flight.key.modelId);
        if (gf_distanceNm(ac.stand.position, positionOf(*stand)) < apart) return candidate;
    }
    return std::nullopt;
}

void reviewOne(Review& review, const StaticAc& ac) {
    ParkingState& parking = review.engine.state.parking;
    if (isLiveCallsign(parking, ac.flight.callsignCopy) || isLiveCallsign(parking, ac.flight.callsignText)) {
        listForRemoval(parking, ac);
        return;
    }
    if (const auto candidate = review.candidates.forStand(ac.standNumber)) {
        if (showsCandidate(parking.candidates[*candidate], ac)) {
            keepStatic(parking, ac);
            review.candidates.drop(*candidate);
        } else {
            decide(review, ac, *candidate);
        }
        return;
    }
    if (const auto neighbour = touchingNeighbourCandidate(review, ac)) {
        decide(review, ac, *neighbour);
        return;
    }
    if (lf_standHasFlightNow(review.engine, review.now, ac.standNumber, ac.flight, review.window)) {
        keepStatic(parking, ac);
    } else {
        listForRemoval(parking, ac);
    }
}

// The learned flight of today that the kept aircraft shows arriving: the
// entry's callsign without "*" as callsign part 1, and its ids. Its index
// is not looked at: the selection has just excluded it as in use by this
// very aircraft, so an excluded flight is the rule here.
const LearnedFlight* arrivingFlight(const Stand& stand, const StaticKeepEntry& entry, WeekTime now) {
    std::string_view base = entry.callsign;
    if (base.ends_with('*')) base.remove_suffix(1);
    const auto it = std::find_if(stand.flights.begin(), stand.flights.end(), [&](const LearnedFlight& flight) {
        return flight.day == now.day && flight.callsign1 == base && sameIds(flight.ids, entry.key);
    });
    return it == stand.flights.end() ? nullptr : &*it;
}

// The arriving flight is no longer at the stand in the next half hour.
bool departsBeforeNextHalfHour(const Stand& stand, const StaticKeepEntry& entry, WeekTime now) {
    if (entry.callsign1.empty() || entry.callsign2.empty()) return false;
    if (entry.callsign.find(entry.callsign1) == std::string::npos) return false;
    const LearnedFlight* flight = arrivingFlight(stand, entry, now);
    if (flight == nullptr) return false;
    if (now.slot + 1 < kSlotsPerDay) return !flight->hours.test(now.slot + 1);
    const std::uint32_t nextDay = now.day >= 7 ? 1 : now.day + 1;
    return std::none_of(stand.flights.begin(), stand.flights.end(), [&](const LearnedFlight& next) {
        return next.day == nextDay && sameIds(next.ids, entry.key) && next.hours.test(0);
    });
}

void markDepartures(Engine& engine, WeekTime now) {
    std::vector<StaticKeepEntry>& kept = engine.state.parking.kept;
    // Longest parked first, counted back from now over the week.
    std::stable_sort(kept.begin(), kept.end(), [now](const StaticKeepEntry& a, const StaticKeepEntry& b) {
        return halfHoursParked(a.parkedSince, now) > halfHoursParked(b.parkedSince, now);
    });
    for (StaticKeepEntry& entry : kept) {
        const Stand* stand = standByNumber(engine.stands.selectionStands(), entry.standNumber);
        if (stand != nullptr && departsBeforeNextHalfHour(*stand, entry, now)) entry.departs = true;
    }
}

// Every active static aircraft against the candidates, in the order of the
// static list; then the kept ones are checked for departure.
void lf_reviewStaticAc(Engine& engine, WeekTime now) {
    const ParkingState& parking = engine.state.parking;
    Review review{.engine = engine,
                  .now = now,
                  .window = std::max(parking.realPassFit, parking.softPassFit),
                  .candidates = CandidateIndex(parking.candidates)};
    for (const StaticAc& ac : engine.state.staticAircraft) {
        if (ac.status == SimStatus::active) reviewOne(review, ac);
    }
    review.candidates.compact(engine.state.parking.candidates);
    markDepartures(engine, now);
}

// A departing flight takes the arriving one's place: the aircraft is removed
// and made anew, showing the departing callsign, parked since as before.
void replaceDepartures(Engine& engine, WeekTime now) {
    ParkingState& parking = engine.state.parking;
    for (const StaticKeepEntry& entry : parking.kept) {
        if (!entry.departs) continue;
        parking.candidates.push_back({.standNumber = entry.standNumber,
                                      .fit = static_cast<std::uint32_t>(halfHoursParked(entry.parkedSince, now)),
                                      .key = entry.key,
                                      .callsign1 = entry.callsign1,
                                      .callsign2 = entry.callsign2,
                                      .registration = entry.registration,
                                      .stays = false});
        parking.removals.push_back({.callsign = entry.callsign, .standNumber = entry.standNumber});
    }
    std::erase_if(parking.kept, [](const StaticKeepEntry& entry) { return entry.departs; });
}

void removeParkedLiveOn(Engine& engine, std::uint32_t standNumber) {
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (ac.status != SimStatus::active || ac.phase != GroundPhase::parked || ac.standNumber != standNumber) {
            continue;
        }
        gf_log(fmt::format("live parked {} at {} removed", gf_flightLine(ac.flight),
                           engine.stands.standIdText(standNumber)));
        removeAircraftFromSim(engine, ac);
        return;
    }
}

// What goes beyond the wanted count: candidates first, then kept static
// aircraft, then parked live ones. Without a wanted count live aircraft
// have no limit here, as the check of parked live aircraft before the
// selection has none.
void cutSurplus(Engine& engine, std::int64_t wanted) {
    ParkingState& parking = engine.state.parking;
    std::int64_t surplus =
        std::ssize(parking.kept) + std::ssize(parking.parkedLive) + std::ssize(parking.candidates) - wanted;
    for (; surplus > 0; --surplus) {
        if (!parking.candidates.empty()) {
            parking.candidates.pop_back();
        } else if (!parking.kept.empty()) {
            const StaticKeepEntry& last = parking.kept.back();
            parking.removals.push_back({.callsign = last.callsign, .standNumber = last.standNumber});
            parking.kept.pop_back();
        } else if (wanted > 0 && !parking.parkedLive.empty()) {
            removeParkedLiveOn(engine, parking.parkedLive.back().standNumber);
            parking.parkedLive.pop_back();
        } else {
            break;
        }
    }
}

// Only aircraft on their stands are removed: one already going is not
// removed a second time.
void removeListedStatics(Engine& engine) {
    ParkingState& parking = engine.state.parking;
    for (const RemovalEntry& entry : parking.removals) {
        for (StaticAc& ac : engine.state.staticAircraft) {
            if (ac.status != SimStatus::active || ac.standNumber != entry.standNumber ||
                ac.flight.callsign != entry.callsign) {
                continue;
            }
            removeAircraftFromSim(engine, ac);
            break;
        }
    }
    parking.removals.clear();
}

void prepareStands(Engine& engine) {
    for (Stand& stand : engine.stands.selectionStands()) {
        stand.taken = false;
        stand.blocked = false;
        stand.adjacent = false;
        std::uint32_t ordinal = 0;
        for (LearnedFlight& flight : stand.flights) flight.ordinal = ++ordinal;
    }
    lf_blockReservedStands(engine);
}

// Parked live aircraft beyond the wanted count go, longest parked first;
// the stands of those that stay are taken with their neighbours.
void settleParkedLive(Engine& engine, std::int64_t wanted) {
    ParkingState& parking = engine.state.parking;
    parking.parkedLive = lf_listParkedLive(engine);
    if (wanted > 0 && std::ssize(parking.parkedLive) > wanted) {
        const std::int64_t surplus = std::ssize(parking.parkedLive) - wanted;
        gf_showMessage(fmt::format("Parking adjustments: {} more live ac than wanted", surplus),
                       MessageLogging::logged);
        lf_removeParkedLive(engine, gsl::narrow<std::int32_t>(surplus));
        parking.parkedLive.clear();
        parking.parkedLive = lf_listParkedLive(engine);
    }
    const std::span<Stand> stands = engine.stands.selectionStands();
    for (const ParkedLive& live : parking.parkedLive) {
        if (Stand* stand = standByNumber(stands, live.standNumber)) blockNeighbourStands(stands, *stand);
    }
}

void startAdjustment(Engine& engine) {
    ParkingState& parking = engine.state.parking;
    parking.display.softFlightsUsed = false;
    parking.display.weekFlightsUsed = false;
    engine.status.showParking(parking.display);
    parking.removals.clear();
    parking.kept.clear();
    parking.parkedLive.clear();
    parking.candidates.clear();
}

}  // namespace

void lf_adjustParking(Engine& engine) {
    if (!engine.parkAirport.current() || engine.stands.standList().empty()) return;
    const WeekTime now = engine.weekTime();
    lf_logWeekTime(engine, now);
    // Taken over in any case: it also ends the traffic reader's collection.
    lf_takeOverLiveCallsigns(engine);
    if (!isValidWeekTime(now)) {
        gf_logAttention("Parking adjustments skipped: the traffic time gives no day and half hour");
        return;
    }
    startAdjustment(engine);
    prepareStands(engine);
    const std::int64_t wanted = lf_wantedStaticCount(engine);
    settleParkedLive(engine, wanted);
    const auto occupied = std::ssize(engine.state.parking.parkedLive);
    if (wanted != occupied) lf_fillParkPositions(engine, now, wanted, occupied);
    lf_reviewStaticAc(engine, now);
    replaceDepartures(engine, now);
    cutSurplus(engine, wanted);
    ParkingState& parking = engine.state.parking;
    std::stable_sort(parking.candidates.begin(), parking.candidates.end(),
                     [](const ParkPosition& a, const ParkPosition& b) { return a.fit > b.fit; });
    gf_showMessage(fmt::format("Parking adjustments: {} to be removed, {} to be added\n", parking.removals.size(),
                               parking.candidates.size()),
                   MessageLogging::logged);
    removeListedStatics(engine);
}

}  // namespace qvl
