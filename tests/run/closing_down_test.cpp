// The end of a run for each reason: restart after a countdown, or exit; the
// SYSTEM ERROR wait for the user; what is cleaned up and saved.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/setting_controls.h"
#include "core/settings.h"
#include "core/support/bound_controls.h"
#include "run/closing_down.h"
#include "support/run_fakes.h"

namespace qvl::test {
namespace {

using namespace std::chrono_literals;

class ClosingDownTest : public RunTest {
protected:
    ClosingDownTest() {
        gf_initParameters();
        clock.setObserver([this](RunClock::time_point) { shown.push_back(messageLines().message); });
    }
    [[nodiscard]] std::string parameters() const { return readFile(parametersFile()); }
    [[nodiscard]] std::size_t shownCount(const std::string& text) const {
        return static_cast<std::size_t>(std::count(shown.begin(), shown.end(), text));
    }
    // The message line at every sleep of the closing down.
    std::vector<std::string> shown;
};

struct RestartCase {
    RestartReason reason;
    std::int32_t delay;
    bool scansKept;
};

class RestartReasonTest : public ClosingDownTest, public ::testing::WithParamInterface<RestartCase> {};

TEST_P(RestartReasonTest, CountsDownResetsTheRunAndStartsANewOne) {
    const RestartCase c = GetParam();
    SCAN_LIVERIES.set(true);
    SCAN_AIRPORTS.set(true);
    ASSERT_TRUE(run.endRun(c.reason, c.delay));
    lf_closingDown(control);
    EXPECT_TRUE(logHas(fmt::format("Exiting: {}", restartReasonName(c.reason))));
    EXPECT_EQ(window.startRuns, 1);
    EXPECT_FALSE(window.exitCode.has_value());
    EXPECT_TRUE(process.restarting.load());
    // One message a second, counted down to 1.
    for (std::int32_t n = c.delay; n >= 1; --n) {
        EXPECT_EQ(shownCount(fmt::format("Restarting after {} second{}", n, n == 1 ? "" : "s")), 1U) << n;
    }
    EXPECT_TRUE(logHas("Restart countdown finished"));
    EXPECT_GE(elapsed(), std::chrono::seconds(c.delay));
    EXPECT_TRUE(steps.called("resetRunParts"));
    EXPECT_FALSE(run.closingFlag.load());
    EXPECT_EQ(run.restartReason.load(), RestartReason::notYetSet);
    EXPECT_EQ(run.restartDelay.load(), 0) << "no delay of the last run is left for the next";
    // Scans the user asked for run in the new run only after new settings.
    const std::string saved = parameters();
    EXPECT_EQ(saved.find("\"SCAN_LIVERIES\" value=\"false\"") == std::string::npos, c.scansKept) << saved;
    EXPECT_EQ(SCAN_AIRPORTS.value(), c.scansKept);
}

INSTANTIATE_TEST_SUITE_P(Reasons, RestartReasonTest,
                         ::testing::Values(RestartCase{RestartReason::newSettings, 3, true},
                                           RestartCase{RestartReason::simConnectError, 9, false},
                                           RestartCase{RestartReason::readerError, 15, false}));

class ExitReasonTest : public ClosingDownTest, public ::testing::WithParamInterface<RestartReason> {};

TEST_P(ExitReasonTest, EndsTheProgramWithoutARestart) {
    ASSERT_TRUE(run.endRun(GetParam(), 0));
    lf_closingDown(control);
    EXPECT_EQ(window.exitCode, 0);
    EXPECT_EQ(window.startRuns, 0);
    EXPECT_FALSE(process.restarting.load());
    EXPECT_FALSE(steps.called("resetRunParts"));
}

INSTANTIATE_TEST_SUITE_P(Reasons, ExitReasonTest,
                         ::testing::Values(RestartReason::simWasClosed, RestartReason::userClosedSim,
                                           RestartReason::newVersion, RestartReason::newFlight));

TEST_F(ClosingDownTest, ANewFlightShowsItsMessageForTenSecondsBeforeTheEnd) {
    run.endRun(RestartReason::newFlight, 45);
    lf_closingDown(control);
    EXPECT_TRUE(logHas("New flight detected, Quorvelant will close, please restart manually ..."));
    EXPECT_GE(elapsed(), kStopSettleTime + kNewFlightNoticeTime);
    EXPECT_EQ(window.exitCode, 0);
}

// The end of a close is bounded: the notice gives way to the user's close.
TEST_F(ClosingDownTest, ACloseEndsTheNewFlightNoticeAtOnce) {
    run.endRun(RestartReason::newFlight, 45);
    clock.setObserver([&](RunClock::time_point) {
        if (elapsed() >= kStopSettleTime + 2s) process.closePressed.store(true);
    });
    lf_closingDown(control);
    EXPECT_LT(elapsed(), kStopSettleTime + 3s);
    EXPECT_EQ(window.exitCode, 0);
}

TEST_F(ClosingDownTest, StopsTheThreadsAndLinksBeforeCleaningUp) {
    run.endRun(RestartReason::simWasClosed, 0);
    lf_closingDown(control);
    const long join = steps.indexOf("joinRunThreads");
    EXPECT_LT(steps.indexOf("stopAccepting"), steps.indexOf("stopSimClient"));
    EXPECT_LT(steps.indexOf("stopReaders"), steps.indexOf("closeRealTrafficLink"));
    EXPECT_LT(steps.indexOf("closeRealTrafficLink"), join);
    EXPECT_LT(join, steps.indexOf("leaveParkAirport"));
    EXPECT_TRUE(steps.called("removeFlightPlanFolder"));
    EXPECT_TRUE(steps.called("logLiveryMatchSummary"));
    EXPECT_TRUE(steps.called("logNoMatchList"));
}

TEST_F(ClosingDownTest, DestinationAndBlockedCallsignAreEmptyInTheFileAndTheFieldsAfterEveryRun) {
    BoundControls& fields = bound;
    const ui::ControlHandle destination = fields.bind(DESTINATION, ui::ControlKind::Edit);
    const ui::ControlHandle callsign = fields.bind(BLOCK_CALLSIGN, ui::ControlKind::Edit);
    gf_setStringParameter(DESTINATION, "EDDF");
    gf_setStringParameter(BLOCK_CALLSIGN, "DLH4AB");
    gf_showStringParameter(fields.controls(), DESTINATION);
    gf_showStringParameter(fields.controls(), BLOCK_CALLSIGN);
    ASSERT_NE(parameters().find("EDDF"), std::string::npos);
    run.endRun(RestartReason::readerError, 1);
    lf_closingDown(control);
    EXPECT_EQ(parameters().find("EDDF"), std::string::npos);
    EXPECT_EQ(parameters().find("DLH4AB"), std::string::npos);
    EXPECT_TRUE(DESTINATION.value().empty());
    // The next run's window shows no airport the setting no longer holds.
    EXPECT_EQ(fields.controls().text(destination), "");
    EXPECT_EQ(fields.controls().text(callsign), "");
}

TEST_F(ClosingDownTest, ACloseDuringTheCountdownEndsTheProgramInsteadOfRestarting) {
    run.endRun(RestartReason::readerError, 15);
    clock.setObserver([&](RunClock::time_point) {
        if (elapsed() > 4s) {
            process.closePressed.store(true);
            run.closeRequested.store(true);
        }
    });
    lf_closingDown(control);
    EXPECT_EQ(window.startRuns, 0);
    EXPECT_EQ(window.exitCode, 0);
    EXPECT_LT(elapsed(), 7s);
    EXPECT_FALSE(process.restarting.load());
}

TEST_F(ClosingDownTest, ASystemErrorWaitsForTheUserToCloseThenEnds) {
    run.restartReason.store(RestartReason::systemError);
    clock.setObserver([&](RunClock::time_point) {
        if (elapsed() >= 30s) run.closeRequested.store(true);
    });
    lf_closingDown(control);
    EXPECT_GE(elapsed(), 30s);
    EXPECT_TRUE(logHas("User closed Quorvelant"));
    EXPECT_EQ(window.exitCode, 0);
    EXPECT_FALSE(window.called("closeTakenForRestart"));
}

TEST_F(ClosingDownTest, ACommunityPathAcceptedDuringTheSystemErrorWaitRestartsAfterTheClose) {
    bool closed = false;
    run.restartReason.store(RestartReason::systemError);
    clock.setObserver([&](RunClock::time_point) {
        if (elapsed() >= 10s && !run.closingFlag.load()) {
            EXPECT_TRUE(run.endRun(RestartReason::newSettings, 3));
        }
        if (elapsed() >= 20s && !closed) {
            closed = true;  // pressed once
            process.closePressed.store(true);
            run.closeRequested.store(true);
        }
    });
    lf_closingDown(control);
    EXPECT_EQ(window.startRuns, 1);
    EXPECT_FALSE(window.exitCode.has_value());
    // The program goes on: the bound on the end of a close must not hold.
    EXPECT_TRUE(window.called("closeTakenForRestart"));
}

// A reader that fails while the start-up still runs ends the start-up the
// way a close does; the reader's restart must still follow.
TEST_F(ClosingDownTest, AReaderErrorThatEndedTheStartUpStillRestarts) {
    ASSERT_TRUE(run.endRun(RestartReason::readerError, 15));
    userCloseExit(control);
    lf_closingDown(control);
    EXPECT_EQ(window.startRuns, 1);
    EXPECT_FALSE(window.exitCode.has_value());
    EXPECT_TRUE(logHas("Restart countdown finished"));
}

TEST_F(ClosingDownTest, AThreadThatDoesNotEndStopsTheProgramWithExitCodeOne) {
    closingDown.threadsEnd = false;
    run.endRun(RestartReason::readerError, 15);
    lf_closingDown(control);
    EXPECT_EQ(window.exitCode, 1);
    EXPECT_EQ(window.startRuns, 0);
    EXPECT_FALSE(steps.called("resetRunParts"));
    EXPECT_TRUE(logHas("==> A thread of the run did not end in time"));
}

TEST_F(ClosingDownTest, AnExceptionWhileClosingDownStillEndsTheProgram) {
    steps.onStep = [&] {
        if (steps.calls.back().starts_with("leaveParkAirport")) throw std::runtime_error("disk gone");
    };
    run.endRun(RestartReason::simWasClosed, 0);
    lf_closingDown(control);
    EXPECT_TRUE(logHas("lf_closingDown exception disk gone"));
    EXPECT_EQ(window.exitCode, 1);
}

}  // namespace
}  // namespace qvl::test
