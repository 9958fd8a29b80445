#include "run/closing_down.h"

#include <fmt/format.h>

#include <algorithm>
#include <exception>
#include <string>

#include "core/log.h"
#include "core/messages.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/setting_controls.h"
#include "core/settings.h"
#include "core/strings.h"

namespace qvl {
namespace {

// SYSTEM ERROR waits for the user to close the window (or to enter a
// Community path, which records NEW SETTINGS meanwhile).
void waitForUserClose(RunControl& control) {
    while (!control.run.closeRequested.load()) control.clock.sleepUntil(control.clock.now() + kSystemErrorPollTime);
    // The error line keeps the error and suppresses the message, but the
    // close still belongs in Log.txt.
    const std::string closed = fmt::format("User closed {}", kProductName);
    gf_showMessage(closed, MessageLogging::notLogged);
    gf_log(closed);
    // That close has ended the wait; after a Community path it leads to the
    // restart, and only a later close may still cancel the countdown.
    if (restartsAfter(control.run.restartReason.load())) {
        control.run.closeRequested.store(false);
        control.process.closePressed.store(false);
        control.window.closeTakenForRestart();
    }
}

// The fields show the emptied settings too: a next run in this window must
// not show an airport or a callsign that the settings no longer hold.
void forgetRunSettings(ui::Controls& controls) {
    DESTINATION.set("");
    gf_saveStringParameter(DESTINATION);
    gf_showStringParameter(controls, DESTINATION);
    BLOCK_CALLSIGN.set("");
    gf_saveStringParameter(BLOCK_CALLSIGN);
    gf_showStringParameter(controls, BLOCK_CALLSIGN);
}

void stopRunThreads(RunControl& control) {
    control.trafficRun.setAcceptingTraffic(false);
    control.closingDown.stopSimClient();
    control.closingDown.stopReaders();
    control.clock.sleepUntil(control.clock.now() + kStopSettleTime);
    control.closingDown.closeRealTrafficLink();
}

void exitProgram(RunControl& control, RestartReason reason) {
    control.process.restarting.store(false);
    if (reason == RestartReason::newFlight) {
        gf_showMessage(fmt::format("New flight detected, {} will close, please restart manually ...", kProductName),
                       MessageLogging::logged);
        // A close ends the notice: the end of a close is bounded.
        const RunClock::time_point until = control.clock.now() + kNewFlightNoticeTime;
        while (!control.process.closePressed.load() && control.clock.now() < until) {
            control.clock.sleepUntil(std::min(until, control.clock.now() + kSystemErrorPollTime));
        }
    }
    control.window.postExit(control.process.exitCode.load());
}

void restartProgram(RunControl& control, RestartReason reason) {
    control.process.restarting.store(true);
    clearError();
    gf_clearMessage();
    gf_showMessage("Prepare for a restart ...", MessageLogging::logged);
    if (reason != RestartReason::newSettings) {
        SCAN_LIVERIES.set(false);
        gf_saveBoolParameter(SCAN_LIVERIES);
        SCAN_AIRPORTS.set(false);
        gf_saveBoolParameter(SCAN_AIRPORTS);
    }
    if (!lf_restartCountdown(control)) {
        // Closed during the countdown: the user wants out, not a new run.
        exitProgram(control, RestartReason::userClosedSim);
        return;
    }
    lf_resetRunState(control);
    control.window.postStartRun();
}

}  // namespace

bool restartsAfter(RestartReason reason) noexcept {
    return reason == RestartReason::newSettings || reason == RestartReason::simConnectError ||
           reason == RestartReason::readerError;
}

void userCloseExit(RunControl& control) {
    control.run.recordUserClose();
    control.closingDown.closeRealTrafficLink();
    control.run.closingFlag.store(true);
}

void lf_closingDown(RunControl& control) {
    try {
        gf_log(fmt::format("Exiting: {}", restartReasonName(control.run.restartReason.load())));
        stopRunThreads(control);
        if (control.run.restartReason.load() == RestartReason::systemError) waitForUserClose(control);
        // Nothing may be reset under a thread that still runs: end instead.
        if (!control.closingDown.joinRunThreads(kThreadJoinBound)) {
            gf_logAttention("A thread of the run did not end in time; the program ends");
            control.process.exitCode.store(1);
            control.process.restarting.store(false);
            control.window.postExit(1);
            gf_flushLog();
            return;
        }
        control.closingDown.leaveParkAirport();
        control.mainLoop.clearSpawnMap();
        control.closingDown.removeFlightPlanFolder();
        forgetRunSettings(control.controls);
        control.closingDown.forgetRunTexts();
        control.mainLoop.logLiveryMatchSummary();
        control.mainLoop.logNoMatchList();
        const RestartReason reason = control.run.restartReason.load();
        if (restartsAfter(reason)) {
            restartProgram(control, reason);
        } else {
            exitProgram(control, reason);
        }
        gf_flushLog();
    } catch (const std::exception& e) {
        gf_showMessage(fmt::format("{} exception {}", "lf_closingDown", e.what()), MessageLogging::logged);
        // The program must still come to an end.
        control.process.exitCode.store(1);
        control.window.postExit(1);
    }
}

bool lf_restartCountdown(RunControl& control) {
    const std::int32_t delay = control.run.restartDelay.load();
    if (delay <= 0) return !control.process.closePressed.load();
    gf_log(fmt::format("Restarting after {} seconds", delay));
    gf_log(std::string(48, '-'));
    for (std::int32_t n = delay; n >= 1; --n) {
        if (control.process.closePressed.load()) return false;
        const RunClock::time_point before = control.clock.now();
        gf_showMessage(fmt::format("Restarting after {} second{}", n, gf_pluralSuffixInt(n)),
                       MessageLogging::notLogged);
        control.clock.sleepUntil(before + std::chrono::seconds(1));
    }
    if (logIsOpen()) gf_log("Restart countdown finished");
    return !control.process.closePressed.load();
}

void lf_resetRunState(RunControl& control) {
    control.closingDown.resetRunParts();
    resetMessages();
    control.window.resetRunTexts();
    control.flags.reset();
    control.loop.reset();
    control.run.reset();
}

}  // namespace qvl
