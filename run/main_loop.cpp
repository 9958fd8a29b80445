#include "run/main_loop.h"

#include <fmt/format.h>

#include <string>

#include "core/log.h"
#include "core/messages.h"
#include "core/parameters.h"
#include "core/setting_controls.h"
#include "core/settings.h"
#include "core/time_text.h"

namespace qvl {
namespace {

bool multipleOf(std::int32_t s, std::int32_t period) { return s % period == 0; }

void staticParkingStep(RunControl& control) {
    ParkingUpdate& update = control.parkingUpdate;
    if (!update.pending.load()) return;
    if (!control.loop.parkingUpdateStarted) {
        control.loop.parkingUpdateStarted = true;
        control.parking.startParkingUpdate();
        return;
    }
    control.loop.parkingUpdateStarted = false;
    clearError();
    gf_clearMessage();
    control.parking.adjustParking();
    gf_flushLog();
    update.pending.store(false);
    // The controls come back once the adjustment's aircraft are placed
    // (the 16-second static-parking update sees to it).
}

void everyFiveSeconds(RunControl& control, std::int32_t s) {
    control.trafficRun.copyUserPositionToReader();
    if (control.trafficRun.realTrafficProfEdition()) control.trafficRun.sendSimTime();
    control.parking.clearReservedStand();
    lf_rereadParkAirports(control);
    if (!multipleOf(s, kParkingStepPeriod)) return;
    staticParkingStep(control);
    if (control.mainLoop.readerLampStale()) control.mainLoop.refreshReaderLamps();
    if (multipleOf(s, kThirtySecondPeriod)) lf_every30Seconds(control);
}

void otherSeconds(RunControl& control, std::int32_t s) {
    if (control.loop.parkAirportsRereading) lf_rereadParkAirports(control);
    if (multipleOf(s, kStaticParkingPeriod) && !control.loop.parkingUpdateStarted) {
        control.parking.updateStaticParking(false);
    }
    if (multipleOf(s, kReaderLampPeriod)) control.mainLoop.refreshReaderLamps();
    if (multipleOf(s, kStaticDuplicatesPeriod)) control.parking.removeStaticDuplicates();
}

void followSelection(RunControl& control) {
    if (!control.flags.callsignSelectionChanged.exchange(false)) return;
    const auto objectId = control.callsigns.followCallsign(CALLSIGN_2_OBJECTID.value());
    if (objectId) {
        control.loop.followedObjectId = *objectId;
        control.window.setFollowText(fmt::format("= {}", *objectId));
    } else {
        control.window.setFollowText("has left");
    }
    control.window.repaintControls();
}

void serveFlushStatic(RunControl& control) {
    if (!control.flags.flushStaticRequest.exchange(false)) return;
    control.parking.flushStaticAc();
    if (!INITIAL_LOAD_ONLY.value()) {
        INITIAL_LOAD_ONLY.set(true);
        showBoolParameter(control.controls, INITIAL_LOAD_ONLY);
    }
}

void serveCallsignList(RunControl& control) {
    if (!control.flags.callsignListRequest.exchange(false)) return;
    control.window.setFollowText("");
    control.window.repaintControls();
    control.callsigns.fillCallsignChoices();
    control.flags.callsignSelectionChanged.store(true);
}

void serveDestination(RunControl& control) {
    if (const auto destination = control.flags.takeDestination()) {
        control.parking.pushParkAirport(destination->code, destination->position);
    }
}

void serveBlockList(RunControl& control) {
    if (!control.flags.blockListChanged.exchange(false)) return;
    const std::string blocked = BLOCK_CALLSIGN.value();
    if (!blocked.empty()) control.callsigns.removeBlockedCallsign(blocked);
}

void serveNavLights(RunControl& control) {
    if (!control.flags.navLightsRequest.exchange(false)) return;
    control.mainLoop.switchParkedNavLights(NAV_LIGHTS_WHILE_PARKED.value());
}

// MAX_LIVE_SEL was lowered: the surplus goes at once, the farthest first.
void serveLiveLimit(RunControl& control) {
    if (!control.flags.liveLimitRequest.exchange(false)) return;
    const std::int64_t surplus = control.mainLoop.activeLiveCount() - MAX_LIVE_SEL.value();
    for (std::int64_t i = 0; i < surplus; ++i) {
        if (!control.mainLoop.removeFarthestLiveAc()) break;
    }
}

void serveCallsignChoicesReset(RunControl& control) {
    if (control.flags.callsignChoicesResetRequest.exchange(false)) control.callsigns.resetCallsignChoices();
}

// The window's "Now" reads the counter from the UI thread.
void publishSeconds(RunControl& control) { control.flags.runSeconds.store(control.loop.secondsCounter); }

}  // namespace

RunClock::time_point nextTickTarget(RunClock::time_point deadline, RunClock::time_point now) {
    return now > deadline + kLateLimit ? now + kTickPeriod : deadline;
}

void lf_mainLoop(RunControl& control) {
    control.parking.updateStaticParking(true);
    control.mainLoop.refreshReaderLamps();
    control.loop.secondsCounter = 0;
    publishSeconds(control);
    const RunClock::time_point start = control.clock.now();
    control.process.trafficDaySlot.store(control.trafficRun.trafficDaySlot());
    control.trafficRun.setAcceptingTraffic(true);
    RunClock::time_point deadline = start + kTickPeriod;
    control.callsigns.fillCallsignComboBox();
    setControlEnabled(control.controls, CS_TO_OID_BUTTON, true);
    // The system timer's resolution is fine already here: nothing to raise.
    bool running = lf_tick(control);
    while (running) {
        const RunClock::time_point now = control.clock.now();
        RunClock::time_point target = nextTickTarget(deadline, now);
        if (target - now >= std::chrono::milliseconds(1)) control.clock.sleepUntil(target);
        // Re-anchor the grid on the simulator's second.
        if (control.mainLoop.oneSecondPending()) target = control.clock.now();
        deadline = target + kTickPeriod;
        running = lf_tick(control);
    }
}

bool lf_tick(RunControl& control) {
    if (!control.mainLoop.flightRunning()) {
        lf_flightNotRunning(control);
        return !control.run.isClosing();
    }
    control.mainLoop.engineTick();
    // Closing is looked at on every tick, not only on the simulator's
    // seconds: a simulator that stops sending them must not hold the run.
    if (!control.mainLoop.takeOneSecond()) return !control.run.isClosing();
    lf_flightRunning(control);
    if (control.run.isClosing()) return false;
    const std::int32_t s = control.loop.secondsCounter;
    control.parking.takeParkAirportAnswer();
    if (multipleOf(s, kFiveSecondPeriod)) {
        everyFiveSeconds(control, s);
    } else {
        otherSeconds(control, s);
    }
    return true;
}

void lf_flightRunning(RunControl& control) {
    LoopState& loop = control.loop;
    if (loop.notRunning) {
        loop.notRunning = false;
        gf_log(fmt::format("{} Flight resumed", gf_utcTimeNow()));
        control.trafficRun.setAcceptingTraffic(true);
    }
    tickMessageClock();
    control.mainLoop.refreshLiveCount();
    control.process.trafficDaySlot.store(control.trafficRun.trafficDaySlot());
    ++loop.secondsCounter;
    publishSeconds(control);
    control.mainLoop.checkNextLearnedStand(control.process.trafficDaySlot.load());
    followSelection(control);
    serveFlushStatic(control);
    serveCallsignList(control);
    control.mainLoop.clearAroundUser();
    if (COLLISION_LIVE_PARKED_GND.value()) control.parking.clearStaticInTaxiPaths();
    serveCallsignChoicesReset(control);
    serveBlockList(control);
    serveDestination(control);
    serveNavLights(control);
    serveLiveLimit(control);
    if (control.parkingUpdate.busy()) control.parking.showWaitingStaticCount();
}

void lf_flightNotRunning(RunControl& control) {
    LoopState& loop = control.loop;
    if (!loop.notRunning) {
        control.trafficRun.setAcceptingTraffic(false);
        loop.notRunning = true;
        loop.notRunningTicks = LoopState::kNotRunningPeriodTicks;
        control.mainLoop.clearPositionBatches();
        gf_log(fmt::format("{} Flight not running", gf_utcTimeNow()));
    }
    control.mainLoop.handleSimObjectEvents();
    --loop.notRunningTicks;
    if (loop.notRunningTicks % LoopState::kNotRunningPeriodTicks == 0) {
        serveDestination(control);
        lf_rereadParkAirports(control);
        control.trafficRun.sendUserPosition();
    }
    if (loop.notRunningTicks <= 0) {
        loop.notRunningTicks = LoopState::kNotRunningPeriodTicks;
        control.mainLoop.refreshLiveCount();
        control.process.trafficDaySlot.store(control.trafficRun.trafficDaySlot());
    }
}

void lf_every30Seconds(RunControl& control) {
    LoopState& loop = control.loop;
    const std::int32_t s = loop.secondsCounter;
    if (control.flags.rematchRequest.exchange(false)) control.mainLoop.clearNoMatchList();
    if (AUTO_RANGE.value()) control.trafficRun.updateAutoRange();
    if (multipleOf(s, kMinutePeriod)) {
        control.window.stepStaticParkingCountdown(s, control.parking.staticParkingActive());
        control.window.repaintControls();
        if (OBJECTID_LIST.value()) control.mainLoop.writeObjectIdList();
        if (multipleOf(s, kNoMatchLogPeriod)) {
            control.mainLoop.logNoMatchList();
            if (multipleOf(s, LoopState::kSecondsPerDay)) {
                loop.secondsCounter = 0;
                publishSeconds(control);
                control.mainLoop.logLiveryMatchSummary();
                control.mainLoop.clearSpawnMap();
            }
        }
    }
    gf_flushLog();
}

void lf_rereadParkAirports(RunControl& control) {
    CommandFlags& flags = control.flags;
    if (!flags.rereadRequest.load() || control.parkingUpdate.busy()) return;
    // The files are read off the loop: asked again until they are.
    const auto checked = control.parking.checkParkAirports();
    control.loop.parkAirportsRereading = !checked.has_value();
    if (!checked) return;
    // An unknown airport was logged by the reader; the message line stays as it is.
    if (*checked) gf_showMessage(**checked, MessageLogging::logged);
    setControlEnabled(control.controls, REREAD_BUTTON, true);
    setControlEnabled(control.controls, DESTINATION, true);
    flags.rereadRequest.store(false);
}

}  // namespace qvl
