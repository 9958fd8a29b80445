// Which park airport is current: the one the user aircraft stands at, or
// the nearest in sight while it flies; and leaving it again.
#include <fmt/format.h>

#include <list>
#include <optional>
#include <string>

#include "airports/apf_file.h"
#include "airports/closest_stand.h"
#include "core/current_park_airport.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/messages.h"
#include "core/settings.h"
#include "core/time_text.h"
#include "engine/base/engine.h"
#include "engine/parking/park_airports.h"
#include "engine/parking/parking_cycle.h"
#include "refdata/airports.h"

namespace qvl {
namespace {

bool inSight(double distanceNm, const UserAircraftBlock& user) {
    return distanceNm <= static_cast<double>(AIRP_RANGE.value()) &&
           user.aboveGround <= static_cast<double>(AIRP_HEIGHT.value());
}

std::string airportLabelOf(const FixedCode4& icao) {
    const AirportRec* listed = listedAirport(icao);
    return listed != nullptr ? gf_airportLabel(*listed) : gf_airportLabel(AirportRec{.icao = icao});
}

// An answer for a position the user aircraft has since left this far behind
// is not the answer for where it stands now.
constexpr double kMovedFarNm = 1.0;

// The airport the question found, taken when it has a stand file.
bool takeGroundAnswer(Engine& engine, const ClosestAirportFindings& findings) {
    if (!findings.airport) {
        gf_showMessage("User aircraft on the ground, no RT supported airport in sight", MessageLogging::notLogged);
        return false;
    }
    const std::string label = gf_airportLabel(*findings.airport);
    if (!findings.hasUserAddonApf) {
        gf_showMessage(fmt::format("User aircraft on the ground at {}, no airport file found", label),
                       MessageLogging::notLogged);
        return false;
    }
    gf_log(fmt::format("User aircraft on the ground at {}", label));
    return lf_setParkAirport(engine, findings.airport->icao);
}

// On the ground: the airport the user aircraft stands at, when it has stands.
// Which one that is reads stand files and may fetch one, so the question runs
// off the main loop: a step takes the answer to the question an earlier step
// asked, and asks again while none is chosen.
bool chooseOnGround(Engine& engine, const UserAircraftBlock& user, bool first) {
    ParkingState& parking = engine.state.parking;
    ClosestAirportSearch& question = parking.groundQuestion;
    const std::optional<ClosestAirportFindings> findings = question.take();
    if (question.asking()) return false;
    const bool chosen = findings && gf_distanceNm(findings->askedAt, user.position()) <= kMovedFarNm &&
                        takeGroundAnswer(engine, *findings);
    if (!chosen) {
        question.ask(user.position());
        parking.groundQuestionFirst = first;
    }
    return chosen;
}

// Airborne: the list's first airport once it is in sight.
bool chooseAirborne(Engine& engine, const UserAircraftBlock& user) {
    engine.status.controlUsable(DESTINATION, true);
    const std::list<ParkAirport>& list = engine.state.parking.parkAirports;
    if (list.empty()) return false;
    const ParkAirport nearest = list.front();
    if (!inSight(nearest.distance, user) || !lf_setParkAirport(engine, nearest.icao)) return false;
    gf_showMessage(fmt::format("{} in sight at {:.1F} nm", nearest.icao.view(), nearest.distance),
                   MessageLogging::logged);
    return true;
}

void parkAirportChosen(Engine& engine, bool onGround) {
    ParkingState& parking = engine.state.parking;
    parking.loadPending = true;
    parking.parkFilesRead.forget();  // its files are read afresh
    // The message belongs to the step that asked which airport it is.
    lf_startParkingUpdate(engine, onGround && parking.groundQuestionFirst);
}

}  // namespace

void showParkingDisplay(Engine& engine) {
    engine.status.showParking(engine.state.parking.display);
    engine.status.statusChanged();
}

bool takeGroundAnswerNow(Engine& engine) {
    ParkingState& parking = engine.state.parking;
    ClosestAirportSearch& question = parking.groundQuestion;
    if (engine.parkAirport.current() || parking.loadPending || engine.run.isClosing()) return false;
    if (!question.answered()) return false;
    const UserAircraftBlock user = engine.clocks.userAircraft();
    if (user.zeroPosition() || !user.onGround.value_or(false)) return false;
    const std::optional<ClosestAirportFindings> findings = question.take();
    // An answer that chooses nothing is the next step's to ask again.
    if (!findings || gf_distanceNm(findings->askedAt, user.position()) > kMovedFarNm ||
        !takeGroundAnswer(engine, *findings)) {
        return false;
    }
    parkAirportChosen(engine, true);
    return true;
}

void lf_findParkAirport(Engine& engine, const UserAircraftBlock& user, bool first) {
    ParkingState& parking = engine.state.parking;
    if (engine.parkAirport.current()) {
        parking.groundQuestion.forget();
        return;
    }
    // No position yet: nothing to choose by.
    if (user.zeroPosition()) return;
    // A close ends the question's download, and no new one is asked: the
    // run ends.
    if (engine.run.isClosing()) {
        parking.groundQuestion.stop();
        return;
    }
    const bool onGround = user.onGround.value_or(false);
    // Taken off: what the ground question finds is no longer where the user is.
    if (!onGround) parking.groundQuestion.forget();
    if (onGround ? !chooseOnGround(engine, user, first) : !chooseAirborne(engine, user)) return;
    parkAirportChosen(engine, onGround);
}

void lf_checkParkAirportInSight(Engine& engine, const UserAircraftBlock& user) {
    if (user.zeroPosition() || user.onGround.value_or(false)) return;
    const std::optional<CurrentParkAirport> current = engine.parkAirport.current();
    if (!current) return;
    const double distance = gf_distanceNm(user.position(), current->position);
    const std::string label = airportLabelOf(current->code);
    const std::string time = gf_trafficTimeText(engine.feed.time);
    if (inSight(distance, user)) {
        const std::list<ParkAirport>& list = engine.state.parking.parkAirports;
        if (list.empty()) return;
        const ParkAirport& nearest = list.front();
        if (nearest.icao == current->code || !inSight(nearest.distance, user) || nearest.distance > distance) return;
        gf_log(fmt::format("\n{} {} is in sight ({:.1F} nm), parked aircraft at {} will be removed first", time,
                           nearest.icao.view(), nearest.distance, label));
    } else {
        gf_log(
            fmt::format("\n{} {} is out of sight ({:.1F} nm), parked aircraft will be removed", time, label, distance));
    }
    gf_leaveParkAirport(engine);
}

bool lf_setParkAirport(Engine& engine, const FixedCode4& icao) {
    ParkingDisplay& display = engine.state.parking.display;
    const AirportRec* listed = listedAirport(icao);
    if (listed == nullptr) {
        display.parkAirportLabel.clear();
        showParkingDisplay(engine);
        return false;
    }
    engine.parkAirport.set({.code = listed->icao,
                            .position = {.latitude = listed->latitude, .longitude = listed->longitude},
                            .elevationFeet = listed->altitude});
    display.parkAirportLabel = gf_airportLabel(*listed);
    gf_log(fmt::format("\nThe park airport is {}", display.parkAirportLabel));
    showParkingDisplay(engine);
    return true;
}

void lf_startParkingUpdate(Engine& engine, bool showMessage) {
    // The engine's own state says that the update runs; the window is only
    // told, so that it switches its controls.
    engine.state.parking.update.running.store(true);
    engine.status.parkingUpdateStarts();
    engine.callsigns.startCallsignCollection();
    if (showMessage) gf_showMessage("Calculating static parked aircraft ...", MessageLogging::notLogged);
}

}  // namespace qvl
