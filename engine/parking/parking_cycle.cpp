// The parking cycle's entry from the main loop, the first filling of a park
// airport, the number of static aircraft wanted and leaving the park
// airport. The adjustment is in parking_adjust.cpp.
#include "engine/parking/parking_cycle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "airports/park_airport.h"
#include "core/log.h"
#include "core/messages.h"
#include "core/range_control.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/time_text.h"
#include "engine/base/engine.h"
#include "engine/base/removal.h"
#include "engine/conflicts/park_limit.h"
#include "engine/conflicts/static_conflicts.h"
#include "engine/parking/learned_save.h"
#include "engine/parking/park_airports.h"
#include "engine/parking/park_averages.h"
#include "engine/parking/park_selection.h"
#include "engine/parking/park_stand_handover.h"
#include "engine/stands/stands.h"

namespace qvl {
namespace {

void showDisplay(Engine& engine) { engine.status.showParking(engine.state.parking.display); }

// Whether an update runs is the engine's own state; the window hears of it.
void updateStarts(Engine& engine) {
    engine.state.parking.update.running.store(true);
    engine.status.parkingUpdateStarts();
}

void updateEnds(Engine& engine) {
    engine.state.parking.update.running.store(false);
    engine.status.parkingUpdateEnds();
}

// The update is over once every queued candidate has been placed.
void endUpdate(Engine& engine) {
    updateEnds(engine);
    gf_clearMessage();
    ParkingDisplay& display = engine.state.parking.display;
    const ParkAverage statics = staticParkAverage(engine);
    if (!engine.state.parking.update.pending.load() &&
        parkMeanChanged(display.staticParkMeanHours, statics.meanHours)) {
        display.staticParkMeanHours = statics.meanHours;
        engine.status.statusChanged();
    }
    const ParkAverage live = liveParkAverage(engine);
    if (parkMeanChanged(display.liveParkMeanHours, live.meanHours)) {
        display.liveParkMeanHours = live.meanHours;
        engine.status.statusChanged();
    }
    showDisplay(engine);
}

void loadParkAirport(Engine& engine) {
    gf_clearMessage();
    engine.state.parking.loadPending = false;
    const ApfLoadResult loaded = lf_readParkedFile(engine);
    if (loaded) {
        engine.status.restartParkingCountdown();
        lf_selectParkPositions(engine);
    } else {
        updateEnds(engine);
        gf_showMessage(loaded.errorText(), MessageLogging::logged);
        lf_resetParkAirport(engine);
    }
    engine.status.controlUsable(DESTINATION, true);
    gf_flushLog();
}

void resetSelectionDisplay(Engine& engine) {
    ParkingDisplay& display = engine.state.parking.display;
    display.realPassFitHours = -1.0F;
    display.softPassFitHours = -1.0F;
    display.softFlightsUsed = false;
    display.weekFlightsUsed = false;
    showDisplay(engine);
}

void sortByFit(std::vector<ParkPosition>& candidates, bool ascending) {
    std::stable_sort(candidates.begin(), candidates.end(), [ascending](const ParkPosition& a, const ParkPosition& b) {
        return ascending ? a.fit < b.fit : a.fit > b.fit;
    });
}

// The first filling's candidates, closest fits first and no more than wanted.
void chooseFirstCandidates(Engine& engine, WeekTime now, std::int64_t wanted) {
    std::vector<ParkPosition>& candidates = engine.state.parking.candidates;
    if (!isValidWeekTime(now)) {
        gf_logAttention("static parking skipped: the traffic time gives no day and half hour");
    } else if (wanted > std::ssize(candidates)) {
        lf_fillParkPositions(engine, now, wanted, 0);
    }
    sortByFit(candidates, true);
    if (std::ssize(candidates) > wanted) candidates.resize(static_cast<std::size_t>(std::max<std::int64_t>(wanted, 0)));
}

// Live aircraft that stand on the park airport's ground, or leave it.
bool onTheGroundHere(GroundPhase phase) {
    switch (phase) {
        case GroundPhase::parked:
        case GroundPhase::pushing_back:
        case GroundPhase::pushed_back:
        case GroundPhase::taxi:
        case GroundPhase::take_off: return true;
        default: return false;
    }
}

void removeLiveOnTheGround(Engine& engine) {
    std::vector<LiveAc>& live = engine.state.liveAircraft;
    for (LiveAc& ac : live) {
        if (!onTheGroundHere(ac.phase)) continue;
        if (ac.status == SimStatus::active || ac.status == SimStatus::adding2sim) removeAircraftFromSim(engine, ac);
        ac.stand = {};
        ac.standNumber = 0;
        ac.standFlag = 0;
    }
    std::erase_if(live, [](const LiveAc& ac) { return ac.flaggedForErase(); });
}

// What was learned goes into the learned file before the stands are
// forgotten; a failed save must not keep the park airport half left. Without
// stands (their load failed) nothing was learned here, and a write would
// replace what earlier visits learned.
void saveLearned(Engine& engine) {
    if (!engine.stands.standList().empty()) {
        try {
            lf_saveAirportFile(engine);
        } catch (const std::exception& e) {
            gf_logAttention(fmt::format("{} exception: {}", "lf_resetParkAirport", e.what()));
        }
    }
    gf_applyApfSettings(engine.loadedPark, engine.status);
}

}  // namespace

void gf_updateStaticParking(Engine& engine, bool first) {
    ParkingState& parking = engine.state.parking;
    if (engine.state.parking.update.running.load() && parking.candidates.empty()) endUpdate(engine);
    if (parking.loadPending) {
        if (parkFilesReady(engine)) {
            loadParkAirport(engine);
            return;
        }
        // Its files may take minutes to come (a download) while the user
        // flies on: another airport may be the one to park at by now.
        if (!leftWhileParkFilesRead(engine)) return;
        updateEnds(engine);
    }
    const UserAircraftBlock user = engine.clocks.userAircraft();
    if (user.zeroPosition()) return;
    lf_updateParkAirportDistances(engine, user.position());
    if (engine.parkAirport.current()) {
        lf_checkParkAirportInSight(engine, user);
    } else {
        lf_findParkAirport(engine, user, first);
        // The chosen airport's read begins now, not a step later.
        if (parking.loadPending) (void)parkFilesReady(engine);
    }
}

void takeParkAirportAnswer(Engine& engine) {
    if (takeGroundAnswerNow(engine)) (void)parkFilesReady(engine);
}

void lf_logWeekTime(Engine& engine, WeekTime now) {
    static constexpr std::array<std::string_view, 7> kDayNames{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    const std::string_view name = isValidWeekTime(now) ? kDayNames.at(now.day - 1) : std::string_view("???");
    gf_log(fmt::format("\n{} (utc) It is day {} ({}), {:.1F} hours", gf_trafficTimeText(engine.feed.time), now.day,
                       name, gf_maxFitToFloat(static_cast<std::int32_t>(now.slot))));
}

void lf_selectParkPositions(Engine& engine) {
    ParkingState& parking = engine.state.parking;
    const WeekTime now = engine.weekTime();
    lf_logWeekTime(engine, now);
    updateStarts(engine);
    parking.candidates.clear();
    parking.kept.clear();
    parking.parkedLive.clear();
    resetSelectionDisplay(engine);
    lf_takeOverLiveCallsigns(engine);
    for (Stand& stand : engine.stands.selectionStands()) {
        stand.taken = false;
        stand.blocked = false;
    }
    lf_blockReservedStands(engine);
    const std::int64_t wanted = lf_wantedStaticCount(engine);
    chooseFirstCandidates(engine, now, wanted);
    const std::vector<ParkPosition>& candidates = parking.candidates;
    if (candidates.empty()) {
        gf_log("no parking positions found");
        updateEnds(engine);
        return;
    }
    const auto count = std::ssize(candidates);
    gf_log(fmt::format("{} positions ({}% vs wanted {}%, with Max fit={:.1F} hours)\n", count,
                       gf_percent(count, std::ssize(engine.stands.standList())), percentInUse(),
                       MAX_FIT_FL.floatValue()));
    // The placing takes candidates from the end: the closest fits first.
    sortByFit(parking.candidates, false);
}

void lf_takeOverLiveCallsigns(Engine& engine) {
    const std::set<std::string> collected = engine.callsigns.takeCollectedCallsigns();
    auto& live = engine.state.parking.liveCallsigns;
    live.clear();
    live.reserve(collected.size());
    live.insert(collected.begin(), collected.end());
    // An empty text names no flight.
    live.erase(std::string{});
}

void gf_leaveParkAirport(Engine& engine) {
    // A new flight ends the run: the user's stand handed over on the way out
    // is kept while the airport is still the park airport.
    keepHandedOverUserStand(engine);
    engine.state.parking.candidates.clear();
    gf_flushStaticAc(engine);
    removeLiveOnTheGround(engine);
    lf_resetParkAirport(engine);
}

void lf_resetParkAirport(Engine& engine) {
    if (engine.parkAirport.standsLoaded()) saveLearned(engine);
    engine.loadedPark.apfHandmade = false;
    engine.parkAirport.setStandsLoaded(false);
    engine.status.parkAirportLeft();
    engine.parkAirport.clear();
    engine.parkAirport.clearReferenceElevation();
    ParkingState& parking = engine.state.parking;
    parking.display.parkAirportLabel.clear();
    parking.removals.clear();
    parking.candidates.clear();
    // The stands, the quality-factor text and what the stand file said.
    engine.loadedPark.reset();
    publishParkStands(engine);
    // The name cached for the user's position was one of these stands.
    engine.state.userStandName.reset();
    showDisplay(engine);
}

}  // namespace qvl
