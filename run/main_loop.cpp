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
    CommandFlags& flags = control.flags;
    if (!flags.parkingUpdatePending.load()) return;
    if (!control.loop.parkingUpdateStarted) {
        control.loop.parkingUpdateStarted = true;
        control.window.disableParkingControls();
        control.services.startCallsignCollection();
        return;
    }
    control.loop.parkingUpdateStarted = false;
    clearError();
    gf_clearMessage();
    control.services.adjustParking();
    gf_flushLog();
    flags.parkingUpdatePending.store(false);
    control.window.enableParkingControls();
}

void everyFiveSeconds(RunControl& control, std::int32_t s) {
    RunServices& services = control.services;
    services.copyUserPositionToReader();
    if (services.realTrafficProfEdition()) services.sendSimTime();
    services.clearReservedStand();
    lf_rereadParkAirports(control);
    if (!multipleOf(s, 15)) return;
    staticParkingStep(control);
    if (services.readerLampStale()) services.refreshReaderLamps();
    if (multipleOf(s, 30)) lf_every30Seconds(control);
}

void otherSeconds(RunControl& control, std::int32_t s) {
    if (multipleOf(s, 16) && !control.loop.parkingUpdateStarted) {
        control.services.updateStaticParking(false);
    }
    if (multipleOf(s, 59)) control.services.refreshReaderLamps();
    if (multipleOf(s, 61)) control.services.removeStaticDuplicates();
}

void followSelection(RunControl& control) {
    if (!control.flags.callsignSelectionChanged.exchange(false)) return;
    const auto objectId = control.services.followCallsign(CALLSIGN_2_OBJECTID.value());
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
    control.services.flushStaticAc();
    if (!INITIAL_LOAD_ONLY.value()) {
        INITIAL_LOAD_ONLY.set(true);
        showBoolParameter(INITIAL_LOAD_ONLY);
    }
}

void serveCallsignList(RunControl& control) {
    if (!control.flags.callsignListRequest.exchange(false)) return;
    control.window.setFollowText("");
    control.window.repaintControls();
    control.services.fillCallsignChoices();
    control.flags.callsignSelectionChanged.store(true);
}

void serveBlockList(RunControl& control) {
    if (!control.flags.blockListChanged.exchange(false)) return;
    const std::string blocked = BLOCK_CALLSIGN.value();
    if (!blocked.empty()) control.services.removeBlockedCallsign(blocked);
}

}  // namespace

RunClock::time_point nextTickTarget(RunClock::time_point deadline, RunClock::time_point now) {
    return now > deadline + kLateLimit ? now + kTickPeriod : deadline;
}

void lf_mainLoop(RunControl& control) {
    RunServices& services = control.services;
    services.updateStaticParking(true);
    services.refreshReaderLamps();
    control.loop.secondsCounter = 0;
    const RunClock::time_point start = control.clock.now();
    control.process.trafficDaySlot.store(services.trafficDaySlot());
    services.setAcceptingTraffic(true);
    RunClock::time_point deadline = start + kTickPeriod;
    services.fillCallsignComboBox();
    setControlEnabled(CS_TO_OID_BUTTON, true);
    // The system timer's resolution is fine already here: nothing to raise.
    bool running = lf_tick(control);
    while (running) {
        const RunClock::time_point now = control.clock.now();
        RunClock::time_point target = nextTickTarget(deadline, now);
        if (target - now >= std::chrono::milliseconds(1)) control.clock.sleepUntil(target);
        // Re-anchor the grid on the simulator's second.
        if (services.oneSecondPending()) target = control.clock.now();
        deadline = target + kTickPeriod;
        running = lf_tick(control);
    }
}

bool lf_tick(RunControl& control) {
    RunServices& services = control.services;
    if (!services.flightRunning()) {
        lf_flightNotRunning(control);
        return !control.run.isClosing();
    }
    services.engineTick();
    // Closing is looked at on every tick, not only on the simulator's
    // seconds: a simulator that stops sending them must not hold the run.
    if (!services.takeOneSecond()) return !control.run.isClosing();
    lf_flightRunning(control);
    if (control.run.isClosing()) return false;
    const std::int32_t s = control.loop.secondsCounter;
    if (multipleOf(s, 5)) {
        everyFiveSeconds(control, s);
    } else {
        otherSeconds(control, s);
    }
    return true;
}

void lf_flightRunning(RunControl& control) {
    RunServices& services = control.services;
    LoopState& loop = control.loop;
    if (loop.notRunning) {
        loop.notRunning = false;
        gf_log(fmt::format("{} Flight resumed", gf_utcTimeNow()));
        services.setAcceptingTraffic(true);
    }
    tickMessageClock();
    services.refreshLiveCount();
    control.process.trafficDaySlot.store(services.trafficDaySlot());
    ++loop.secondsCounter;
    services.checkNextLearnedStand(control.process.trafficDaySlot.load());
    followSelection(control);
    serveFlushStatic(control);
    serveCallsignList(control);
    services.clearAroundUser();
    if (COLLISION_LIVE_PARKED_GND.value()) services.clearStaticInTaxiPaths();
    serveBlockList(control);
    if (control.flags.parkingUpdateRunning.load()) services.showWaitingStaticCount();
}

void lf_flightNotRunning(RunControl& control) {
    RunServices& services = control.services;
    LoopState& loop = control.loop;
    if (!loop.notRunning) {
        services.setAcceptingTraffic(false);
        loop.notRunning = true;
        loop.notRunningTicks = LoopState::kNotRunningPeriodTicks;
        services.clearPositionBatches();
        gf_log(fmt::format("{} Flight not running", gf_utcTimeNow()));
    }
    services.handleSimObjectEvents();
    --loop.notRunningTicks;
    if (loop.notRunningTicks % LoopState::kNotRunningPeriodTicks == 0) {
        lf_rereadParkAirports(control);
        services.sendUserPosition();
    }
    if (loop.notRunningTicks <= 0) {
        loop.notRunningTicks = LoopState::kNotRunningPeriodTicks;
        services.refreshLiveCount();
        control.process.trafficDaySlot.store(services.trafficDaySlot());
    }
}

void lf_every30Seconds(RunControl& control) {
    RunServices& services = control.services;
    LoopState& loop = control.loop;
    const std::int32_t s = loop.secondsCounter;
    if (control.flags.rematchRequest.exchange(false)) services.clearNoMatchList();
    if (AUTO_RANGE.value()) services.updateAutoRange();
    if (multipleOf(s, 60)) {
        control.window.stepStaticParkingCountdown(s);
        control.window.repaintControls();
        if (OBJECTID_LIST.value()) services.writeObjectIdList();
        if (multipleOf(s, 1200)) {
            services.logNoMatchList();
            if (multipleOf(s, LoopState::kSecondsPerDay)) {
                loop.secondsCounter = 0;
                services.logLiveryMatchSummary();
                services.clearSpawnMap();
            }
        }
    }
    gf_flushLog();
}

void lf_rereadParkAirports(RunControl& control) {
    CommandFlags& flags = control.flags;
    if (!flags.rereadRequest.load() || flags.parkingUpdateRunning.load()) return;
    std::string text;
    if (control.services.checkParkAirports(text)) gf_showMessage(text, MessageLogging::logged);
    setControlEnabled(REREAD_BUTTON, true);
    setControlEnabled(DESTINATION, true);
    flags.rereadRequest.store(false);
}

}  // namespace qvl
