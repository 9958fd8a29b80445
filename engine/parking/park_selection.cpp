// The stand and flight selection by week and half hour: passes over real and
// soft flights, of today and of any day, each looking further back in half
// hours until enough stands are taken.
#include "engine/parking/park_selection.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <exception>
#include <span>
#include <string>
#include <vector>

#include "core/geodesy.h"
#include "core/log.h"
#include "core/random.h"
#include "core/range_control.h"
#include "core/settings.h"
#include "engine/base/engine.h"
#include "engine/stands/stands.h"
#include "liveries/livery_data.h"
#include "refdata/lookups.h"

namespace qvl {
namespace {

constexpr std::uint32_t kSlotsPerDay = 48;
constexpr std::size_t kBatchRoom = 512;
constexpr std::size_t kStandFlightsRoom = 256;

// Which learned flights a pass takes.
struct FitPass {
    bool real = true;     // real flights, else soft ones
    bool sameDay = true;  // flights of the base day only, else of any day
};

// The half hours of a stand's flights in use, by kind and day, gathered
// the first time a selection looks at the stand. Flights only leave use
// during a selection, so a slot missing here is held by no flight the fit
// test could take, and the stand's flights need not be walked.
struct StandHours {
    std::array<std::uint64_t, 7> real{};
    std::array<std::uint64_t, 7> soft{};
    std::uint64_t anyDayReal = 0;
    std::uint64_t anyDaySoft = 0;
    bool gathered = false;

    void gather(const Stand& stand) {
        for (const LearnedFlight& flight : stand.flights) {
            if (flight.ordinal == 0) continue;
            const std::uint64_t bits = flight.hours.to_ullong();
            (flight.real ? anyDayReal : anyDaySoft) |= bits;
            if (flight.day >= 1 && flight.day <= 7) (flight.real ? real : soft)[flight.day - 1] |= bits;
        }
        gathered = true;
    }
};

// One run of lf_fillParkPositions.
struct Selection {
    Engine& engine;
    std::span<Stand> stands;
    WeekTime now;
    SelectionIndex index;
    // The fitting flights of one stand, as positions in its list.
    std::vector<std::size_t> fitting;
    // By position in the stand list.
    std::vector<StandHours> hours;
};

std::uint32_t previousDay(std::uint32_t day) { return day <= 1 ? 7 : day - 1; }
std::uint32_t nextDay(std::uint32_t day) { return day >= 7 ? 1 : day + 1; }

// Now minus `fit` half hours, back over midnight (Monday goes back to Sunday).
WeekTime baseTime(WeekTime now, std::int32_t fit) {
    std::int32_t slot = static_cast<std::int32_t>(now.slot) - fit;
    std::uint32_t day = now.day;
    while (slot < 0) {
        slot += static_cast<std::int32_t>(kSlotsPerDay);
        day = previousDay(day);
    }
    return {.day = day, .slot = static_cast<std::uint32_t>(slot)};
}

bool sameIds(const DbaseKey& flight, const LiveryKey& aircraft) {
    return flight.airlineId == aircraft.airlineId && flight.operatorId == aircraft.secondAirlineId &&
           flight.modelId == aircraft.modelId;
}

bool sameIds(const DbaseKey& a, const DbaseKey& b) {
    return a.airlineId == b.airlineId && a.operatorId == b.operatorId && a.modelId == b.modelId;
}

std::int64_t countTaken(std::span<const Stand> stands) {
    return std::count_if(stands.begin(), stands.end(), [](const Stand& stand) { return stand.taken; });
}

GeoPosition positionOf(const Stand& stand) { return {.latitude = stand.latitude, .longitude = stand.longitude}; }

// An active static aircraft on a neighbour stand leaves no room for the
// flight's wings: only the first one per neighbour is looked at.
bool crowdedByStaticNeighbour(const Selection& run, const LearnedFlight& flight, const Stand& stand) {
    for (const std::uint32_t neighbour : stand.neighbours) {
        if (neighbour == 0) continue;
        const StaticAc* ac = run.index.firstActiveStaticOn(neighbour);
        if (ac == nullptr) continue;
        const double distance = gf_distanceNm(ac->stand.position, positionOf(stand));
        if (distance < gf_halfWingspan(ac->flight.key.modelId) + gf_halfWingspan(flight.ids.modelId)) return true;
    }
    return false;
}

bool lf_flightFits(const Selection& run, const LearnedFlight& flight, FitPass pass, WeekTime base, const Stand& stand) {
    if (flight.ordinal == 0) return false;
    if (pass.sameDay && flight.day != base.day) return false;
    if (flight.real != pass.real) return false;
    if (!flight.hours.test(base.slot)) return false;
    if (stand.heli && !HELICOPTERS.value()) return false;
    if (stand.adjacent) return false;
    return !crowdedByStaticNeighbour(run, flight, stand);
}

// A static aircraft already on the stand keeps its own flight first when it
// is among the stand's flights (fitting or not); otherwise the order is
// shuffled.
void lf_pickFlightForStand(const Selection& run, std::vector<std::size_t>& fitting, const Stand& stand) {
    for (const StaticAc* ac : run.index.staticsOn(stand.number)) {
        const std::string& callsign = ac->flight.callsign;
        for (std::size_t i = 0; i < stand.flights.size(); ++i) {
            const LearnedFlight& flight = stand.flights[i];
            const bool named =
                gf_isStarVariant(flight.callsign1, callsign) || gf_isStarVariant(flight.callsign2, callsign);
            if (named && sameIds(flight.ids, ac->flight.key)) {
                fitting.front() = i;
                return;
            }
        }
    }
    std::shuffle(fitting.begin(), fitting.end(), randomEngine());
}

// Whether the flight is still at the stand in the half hour after now.
bool staysAtStand(const Stand& stand, const LearnedFlight& flight, WeekTime now) {
    if (flight.callsign2.empty()) return true;
    if (now.slot + 1 < kSlotsPerDay) return flight.hours.test(now.slot + 1);
    const std::uint32_t day = nextDay(now.day);
    return std::any_of(stand.flights.begin(), stand.flights.end(), [&](const LearnedFlight& other) {
        return other.ordinal != 0 && other.day == day && sameIds(other.ids, flight.ids) && other.hours.test(0);
    });
}

ParkPosition positionFor(const Stand& stand, const LearnedFlight& flight, std::int32_t fit, WeekTime now) {
    return {.standNumber = stand.number,
            .fit = static_cast<std::uint32_t>(fit),
            .key = liveryKeyOf(flight.ids),
            .callsign1 = flight.callsign1,
            .callsign2 = flight.callsign2,
            .registration = flight.registration,
            .stays = staysAtStand(stand, flight, now)};
}

// Whether any flight of the stand might pass the fit test: what it asks of
// the stand alone, and its flights' hours at the base time.
bool mightFit(Selection& run, FitPass pass, WeekTime base, std::size_t position) {
    const Stand& stand = run.stands[position];
    if (stand.adjacent || (stand.heli && !HELICOPTERS.value())) return false;
    StandHours& hours = run.hours[position];
    if (!hours.gathered) hours.gather(stand);
    const std::uint64_t slots = pass.sameDay ? (pass.real ? hours.real : hours.soft)[base.day - 1]
                                             : (pass.real ? hours.anyDayReal : hours.anyDaySoft);
    return ((slots >> base.slot) & 1U) != 0;
}

// One stand at one fit: its first fitting flight, unless that is in use
// (then it is out for the rest of this selection and the stand waits for a
// later fit).
void searchStand(Selection& run, FitPass pass, std::int32_t fit, WeekTime base, std::size_t position,
                 std::vector<ParkPosition>& batch) {
    if (!mightFit(run, pass, base, position)) return;
    Stand& stand = run.stands[position];
    run.fitting.clear();
    for (std::size_t i = 0; i < stand.flights.size(); ++i) {
        if (lf_flightFits(run, stand.flights[i], pass, base, stand)) run.fitting.push_back(i);
    }
    if (run.fitting.empty()) return;
    if (run.fitting.size() >= 2 && RANDOM.value()) lf_pickFlightForStand(run, run.fitting, stand);
    LearnedFlight& flight = stand.flights[run.fitting.front()];
    if (lf_isFlightInUse(run.index, flight)) {
        flight.ordinal = 0;
        return;
    }
    batch.push_back(positionFor(stand, flight, fit, run.now));
    blockNeighbourStands(run.stands, stand);
}

void lf_searchStands(Selection& run, FitPass pass, std::int32_t fit, std::vector<ParkPosition>& batch) {
    const WeekTime base = baseTime(run.now, fit);
    try {
        for (std::size_t position = 0; position < run.stands.size(); ++position) {
            const Stand& stand = run.stands[position];
            if (stand.blocked || stand.taken) continue;
            searchStand(run, pass, fit, base, position, batch);
        }
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{}: day: {}, offset {}: {}", "lf_searchStands",
                                    fmt::format("[{},{}]", run.now.day, run.now.slot), fit, e.what()));
    }
}

const char* passLabel(FitPass pass) {
    if (pass.sameDay) return pass.real ? "real" : "soft";
    return pass.real ? "week/real" : "week/soft";
}

float fitHours(std::int32_t fit) { return fit < 0 ? -1.0F : gf_maxFitToFloat(fit); }

// The fit the pass reached and what kind of flights it used, for the window.
void showPassFit(Engine& engine, FitPass pass, std::int32_t fit) {
    ParkingState& parking = engine.state.parking;
    if (pass.real) {
        parking.realPassFit = fit;
        parking.softPassFit = -1;
    } else {
        parking.softPassFit = fit;
        parking.display.softFlightsUsed = true;
    }
    if (!pass.sameDay) parking.display.weekFlightsUsed = true;
    parking.display.realPassFitHours = fitHours(parking.realPassFit);
    parking.display.softPassFitHours = fitHours(parking.softPassFit);
    engine.status.showParking(parking.display);
}

void logPositionsFound(WeekTime now, FitPass pass, std::int64_t found, std::int32_t fit) {
    gf_log(fmt::format("{} {} position{} found, Max fit={:.1F} hours{}{}", found, passLabel(pass),
                       found == 1 ? "" : "s", MAX_FIT_FL.floatValue(), fmt::format(", day {}", now.day),
                       fmt::format(", hh:{} or {:.1F} hrs, fit: {:.1F} hour", now.slot,
                                   gf_maxFitToFloat(static_cast<std::int32_t>(now.slot)), gf_maxFitToFloat(fit))));
}

// Searches at fit 0, 1, 2, ... up to MAX_FIT. Each fit's batch joins the
// candidate list, except the one that took enough stands: that one is left
// to the caller.
bool lf_fitWeekPositions(Selection& run, FitPass pass, std::int64_t wanted, std::vector<ParkPosition>& batch) {
    if (wanted == 0) return true;
    const std::int64_t before = countTaken(run.stands);
    const std::int32_t maxFit = MAX_FIT.value();
    std::int32_t fit = 0;
    bool enough = false;
    std::int64_t taken = before;
    for (;;) {
        lf_searchStands(run, pass, fit, batch);
        taken = countTaken(run.stands);
        if (wanted <= taken) {
            enough = true;
            break;
        }
        run.index.append(batch);
        batch.clear();
        if (fit >= maxFit) break;
        ++fit;
    }
    showPassFit(run.engine, pass, fit);
    if (taken > before) logPositionsFound(run.now, pass, taken - before, fit);
    return enough;
}

// Cuts `excess` candidates from the batch's end, in random order when RANDOM
// is on; an excess beyond the batch cuts nothing.
void lf_trimBatch(std::int64_t excess, std::vector<ParkPosition>& batch) {
    if (RANDOM.value()) std::shuffle(batch.begin(), batch.end(), randomEngine());
    if (excess > static_cast<std::int64_t>(batch.size())) return;
    batch.resize(batch.size() - static_cast<std::size_t>(excess));
}

std::int64_t listSize(const Selection& run) { return static_cast<std::int64_t>(run.index.candidates().size()); }

void lf_runFitPass(Selection& run, std::int64_t wanted, std::int64_t occupied, FitPass pass) {
    std::vector<ParkPosition> batch;
    batch.reserve(kBatchRoom);
    if (!lf_fitWeekPositions(run, pass, wanted, batch)) return;
    // Counts the list without the batch that took the last stands.
    const std::int64_t excess = occupied + listSize(run) - wanted;
    if (excess >= 1 && !batch.empty()) lf_trimBatch(excess, batch);
    run.index.append(batch);
    const std::int64_t over = occupied + listSize(run) - wanted;
    if (over >= 1 && over <= listSize(run)) run.index.cutTo(static_cast<std::size_t>(listSize(run) - over));
}

}  // namespace

void blockNeighbourStands(std::span<Stand> stands, Stand& stand) {
    stand.taken = true;
    for (const std::uint32_t number : stand.neighbours) {
        if (number == 0) continue;
        const auto found = std::lower_bound(stands.begin(), stands.end(), number,
                                            [](const Stand& s, std::uint32_t n) { return s.number < n; });
        if (found != stands.end() && found->number == number) found->adjacent = true;
    }
}

void lf_blockReservedStands(Engine& engine) {
    const std::string& reserved = engine.state.parking.display.reservedStand;
    std::string userStand;
    const UserAircraftBlock user = engine.clocks.userAircraft();
    if (!user.zeroPosition()) {
        userStand =
            gf_standNameAtPosition(engine, engine.state.userStandName, user.position(), user.onGround.has_value());
    }
    for (Stand& stand : engine.stands.selectionStands()) {
        const bool isReserved = !reserved.empty() && stand.id == reserved;
        const bool underUser = !userStand.empty() && stand.id == userStand;
        if (isReserved || underUser) stand.blocked = true;
    }
}

void lf_fillParkPositions(Engine& engine, WeekTime now, std::int64_t wanted, std::int64_t occupied) {
    // Without the traffic clock's day and slot no flight can be placed in time.
    if (!isValidWeekTime(now)) return;
    ParkingState& parking = engine.state.parking;
    parking.realPassFit = 0;
    parking.softPassFit = -1;
    Selection run{.engine = engine,
                  .stands = engine.stands.selectionStands(),
                  .now = now,
                  .index = SelectionIndex(parking, engine.state.staticAircraft),
                  .fitting = {},
                  .hours = std::vector<StandHours>(engine.stands.standList().size())};
    run.fitting.reserve(kStandFlightsRoom);
    const auto shortOfWanted = [&] { return wanted > occupied + listSize(run); };
    lf_runFitPass(run, wanted, occupied, {.real = true, .sameDay = true});
    if (shortOfWanted() && WEEK.value()) lf_runFitPass(run, wanted, occupied, {.real = true, .sameDay = false});
    if (shortOfWanted() && PARK_SOFT.value()) lf_runFitPass(run, wanted, occupied, {.real = false, .sameDay = true});
    if (shortOfWanted() && PARK_SOFT.value() && WEEK.value()) {
        lf_runFitPass(run, wanted, occupied, {.real = false, .sameDay = false});
    }
}

}  // namespace qvl
