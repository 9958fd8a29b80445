// The main loop's 10 ms grid on a manual clock, and the work hung off the
// seconds counter.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "core/settings.h"
#include "run/main_loop.h"
#include "support/run_fakes.h"

namespace qvl::test {
namespace {

using namespace std::chrono_literals;

class MainLoopTest : public RunTest {
protected:
    // Runs the loop until `ticks` ticks have been made; the time of each.
    std::vector<RunClock::duration> tickTimes(int ticks) {
        std::vector<RunClock::duration> times;
        mainLoop.onEngineTick = [&, inner = mainLoop.onEngineTick] {
            times.push_back(elapsed());
            if (inner) inner();
            if (static_cast<int>(times.size()) >= ticks) run.closeRequested.store(true);
        };
        lf_mainLoop(control);
        return times;
    }
};

TEST_F(MainLoopTest, TicksFollowTheTenMillisecondGrid) {
    const auto times = tickTimes(50);
    ASSERT_EQ(times.size(), 50U);
    for (std::size_t i = 1; i < times.size(); ++i) EXPECT_EQ(times[i] - times[i - 1], 10ms) << i;
}

TEST_F(MainLoopTest, ALateTickIsFollowedTenMillisecondsLaterNotByABurst) {
    int n = 0;
    mainLoop.onEngineTick = [&] {
        if (++n == 5) clock.advance(150ms);  // the fifth tick takes 150 ms
    };
    const auto times = tickTimes(10);
    ASSERT_EQ(times.size(), 10U);
    // The sixth tick comes 10 ms after the slow one ended, and the grid goes
    // on from there.
    EXPECT_EQ(times[5] - times[4], 160ms);
    for (std::size_t i = 6; i < times.size(); ++i) EXPECT_EQ(times[i] - times[i - 1], 10ms) << i;
}

TEST_F(MainLoopTest, ATickLessThanAHundredMillisecondsLateIsCaughtUpOnTheGrid) {
    int n = 0;
    mainLoop.onEngineTick = [&] {
        if (++n == 5) clock.advance(50ms);
    };
    const auto times = tickTimes(12);
    // Ticks 6 to 10 run back to back until the grid is reached again.
    EXPECT_EQ(times[5] - times[4], 50ms);
    EXPECT_EQ(times[10] - times[9], 10ms);
    EXPECT_EQ(times[11] - times[0], 110ms);
}

TEST_F(MainLoopTest, TheGridReAnchorsOnTheSimulatorsSecond) {
    int n = 0;
    mainLoop.onEngineTick = [&] {
        if (++n == 4) {
            clock.advance(9500us);  // a long tick: too close to its deadline to sleep
            mainLoop.secondArrivesLater = true;
        }
    };
    const auto times = tickTimes(8);
    // The fifth tick starts at once, 39.5 ms in; the grid is measured from
    // that moment on.
    EXPECT_EQ(times[4] - times[0], 39500us);
    EXPECT_EQ(times[5] - times[0], 49500us);
    EXPECT_EQ(times[7] - times[0], 69500us);
}

TEST_F(MainLoopTest, TheLoopEndsOnEitherClosingFlag) {
    mainLoop.onEngineTick = [&] { run.endRun(RestartReason::readerError, 15); };
    mainLoop.secondEveryTick = true;
    lf_mainLoop(control);
    EXPECT_EQ(steps.count("engineTick"), 1U);
}

TEST_F(MainLoopTest, ATickWithoutASimulatorSecondStillSeesTheClose) {
    EXPECT_TRUE(lf_tick(control));
    run.closeRequested.store(true);
    EXPECT_FALSE(lf_tick(control));  // the simulator's seconds have stopped coming
}

class SecondsTableTest : public RunTest {};

TEST_F(SecondsTableTest, FiveSecondWorkRunsOnMultiplesOfFive) {
    runSeconds(20);
    EXPECT_EQ(steps.secondsOf("copyUserPositionToReader"), (std::vector<std::int32_t>{5, 10, 15, 20}));
    EXPECT_EQ(steps.secondsOf("clearReservedStand"), (std::vector<std::int32_t>{5, 10, 15, 20}));
    EXPECT_FALSE(steps.called("sendSimTime"));
    trafficRun.profEdition = true;
    runSeconds(5);
    EXPECT_EQ(steps.secondsOf("sendSimTime"), (std::vector<std::int32_t>{25}));
}

TEST_F(SecondsTableTest, SixteenFiftyNineAndSixtyOneSecondWorkSkipMultiplesOfFive) {
    runSeconds(310);
    const auto parkingSeconds = steps.secondsOf("updateStaticParking");
    EXPECT_EQ(parkingSeconds.front(), 16);
    EXPECT_EQ(std::count(parkingSeconds.begin(), parkingSeconds.end(), 80), 0);  // 80 is a multiple of 5
    EXPECT_EQ(std::count(parkingSeconds.begin(), parkingSeconds.end(), 96), 1);
    const auto lamps = steps.secondsOf("refreshReaderLamps");
    EXPECT_EQ(lamps, (std::vector<std::int32_t>{59, 118, 177, 236}));  // not 295
    const auto duplicates = steps.secondsOf("removeStaticDuplicates");
    EXPECT_EQ(duplicates, (std::vector<std::int32_t>{61, 122, 183, 244}));  // not 305
}

TEST_F(SecondsTableTest, StaleReaderLampsAreRefreshedEveryFifteenSeconds) {
    mainLoop.lampStale = true;
    runSeconds(30);
    EXPECT_EQ(steps.secondsOf("refreshReaderLamps"), (std::vector<std::int32_t>{15, 30}));
}

TEST_F(SecondsTableTest, AnAnnouncedParkingUpdateStartsAtFifteenAndFinishesAtThirty) {
    parkingUpdate.pending.store(true);
    AUTO_RANGE.set(true);
    runSeconds(15);
    EXPECT_TRUE(loop.parkingUpdateStarted);
    EXPECT_EQ(steps.secondsOf("startParkingUpdate"), (std::vector<std::int32_t>{15}));
    runSeconds(15);
    EXPECT_EQ(steps.secondsOf("adjustParking"), (std::vector<std::int32_t>{30}));
    EXPECT_FALSE(parkingUpdate.pending.load());
    EXPECT_FALSE(loop.parkingUpdateStarted);
    // The controls stay off until the adjustment's aircraft are placed.
    EXPECT_EQ(status.updateEnds, 0);
    // ...and then the 30-second work.
    EXPECT_GT(steps.indexOf("updateAutoRange"), steps.indexOf("adjustParking"));
}

TEST_F(SecondsTableTest, WhileAnUpdateHasStartedTheSixteenSecondParkingWaits) {
    parkingUpdate.pending.store(true);
    runSeconds(16);
    EXPECT_FALSE(steps.called("updateStaticParking"));
}

TEST_F(SecondsTableTest, TheParkingCountdownStepsOnceAMinute) {
    runSeconds(185);
    EXPECT_EQ(window.countdownSeconds, (std::vector<std::int32_t>{60, 120, 180}));
}

TEST_F(SecondsTableTest, AfterADayTheCounterRestartsTheSummaryIsLoggedAndTheSpawnMapEmptied) {
    runSeconds(LoopState::kSecondsPerDay - 1);
    EXPECT_FALSE(steps.called("logLiveryMatchSummary"));
    EXPECT_EQ(steps.count("logNoMatchList"), 71U);  // every 1200 s
    runSeconds(1);
    EXPECT_EQ(loop.secondsCounter, 0);
    EXPECT_EQ(steps.count("logLiveryMatchSummary"), 1U);
    EXPECT_EQ(steps.count("clearSpawnMap"), 1U);
    runSeconds(5);
    EXPECT_EQ(loop.secondsCounter, 5);
}

TEST_F(SecondsTableTest, RequestsOfTheWindowAreServedOnTheRunThreadOnce) {
    flags.rereadRequest.store(true);
    flags.flushStaticRequest.store(true);
    flags.callsignListRequest.store(true);
    BLOCK_CALLSIGN.set("DLH4AB");
    flags.blockListChanged.store(true);
    callsigns.followed = 4711;
    INITIAL_LOAD_ONLY.set(false);
    flags.requestDestination({.code = FixedCode4("LOWG"), .position = {}});
    flags.requestDestination({.code = FixedCode4("LOWW"), .position = {}});
    runSeconds(10);
    // The latest destination typed wins, and it is put in once.
    EXPECT_EQ(steps.count("pushParkAirport LOWW"), 1U);
    EXPECT_FALSE(steps.called("pushParkAirport LOWG"));
    EXPECT_EQ(steps.count("checkParkAirports"), 1U);
    EXPECT_FALSE(flags.rereadRequest.load());
    EXPECT_EQ(steps.count("flushStaticAc"), 1U);
    EXPECT_TRUE(INITIAL_LOAD_ONLY.value());
    EXPECT_EQ(steps.count("fillCallsignChoices"), 1U);
    // The new list makes the followed callsign looked for again.
    EXPECT_EQ(steps.count("followCallsign " + CALLSIGN_2_OBJECTID.value()), 1U);
    EXPECT_EQ(window.followText, "= 4711");
    EXPECT_EQ(steps.count("removeBlockedCallsign DLH4AB"), 1U);
    EXPECT_TRUE(logHas("Park airport EDDF"));
}

// The window only raises these; the engine's lists are walked here, on the
// run thread's next second, once per request.
TEST_F(SecondsTableTest, TheWindowsEngineRequestsAreServedOnTheNextSecondOnce) {
    NAV_LIGHTS_WHILE_PARKED.set(true);
    flags.navLightsRequest.store(true);
    mainLoop.liveCount = 7;
    MAX_LIVE_SEL.set(4);
    flags.liveLimitRequest.store(true);
    flags.callsignChoicesResetRequest.store(true);
    runSeconds(1);
    EXPECT_EQ(steps.secondsOf("navLights on"), std::vector<std::int32_t>{1});
    EXPECT_EQ(steps.count("removeFarthestLiveAc"), 3U);
    EXPECT_EQ(steps.secondsOf("resetCallsignChoices"), std::vector<std::int32_t>{1});
    EXPECT_FALSE(flags.navLightsRequest.load() || flags.liveLimitRequest.load() ||
                 flags.callsignChoicesResetRequest.load());
    runSeconds(3);
    EXPECT_EQ(steps.count("navLights on"), 1U);
    EXPECT_EQ(steps.count("removeFarthestLiveAc"), 3U);

    // A raised limit removes nothing; the run's seconds reach the window.
    MAX_LIVE_SEL.set(10);
    flags.liveLimitRequest.store(true);
    NAV_LIGHTS_WHILE_PARKED.set(false);
    flags.navLightsRequest.store(true);
    runSeconds(1);
    EXPECT_EQ(steps.count("removeFarthestLiveAc"), 3U);
    EXPECT_EQ(steps.count("navLights off"), 1U);
    EXPECT_EQ(flags.runSeconds.load(), 5);
}

TEST_F(SecondsTableTest, TheRereadIsAnsweredOnTheSecondItsFilesHaveBeenRead) {
    parking.parkAirportsStillRead = 2;
    flags.rereadRequest.store(true);
    runSeconds(6);
    // Started on the five-second step, asked again on the next second.
    EXPECT_EQ(steps.secondsOf("checkParkAirports"), (std::vector<std::int32_t>{5, 6}));
    EXPECT_TRUE(flags.rereadRequest.load());
    EXPECT_FALSE(logHas("Park airport EDDF"));
    runSeconds(4);
    EXPECT_EQ(steps.secondsOf("checkParkAirports"), (std::vector<std::int32_t>{5, 6, 7}));
    EXPECT_FALSE(flags.rereadRequest.load());
    EXPECT_TRUE(logHas("Park airport EDDF"));
}

TEST_F(SecondsTableTest, TheRereadWaitsWhileAParkingUpdateRuns) {
    flags.rereadRequest.store(true);
    parkingUpdate.running.store(true);
    runSeconds(5);
    EXPECT_FALSE(steps.called("checkParkAirports"));
    EXPECT_TRUE(flags.rereadRequest.load());
}

class NotRunningTest : public RunTest {};

TEST_F(NotRunningTest, WhilePausedTheCounterStandsAndOnlyTheOnceASecondWorkRuns) {
    runSeconds(3);
    mainLoop.flightIsRunning = false;
    steps.calls.clear();
    // A destination set while paused is not left waiting for the flight.
    flags.requestDestination({.code = FixedCode4("LOWW"), .position = {}});
    runSeconds(250);
    EXPECT_EQ(steps.count("pushParkAirport LOWW"), 1U);
    EXPECT_EQ(loop.secondsCounter, 3);
    EXPECT_FALSE(steps.called("engineTick"));
    EXPECT_EQ(steps.count("stopAccepting"), 1U);
    EXPECT_EQ(steps.count("clearPositionBatches"), 1U);
    EXPECT_EQ(steps.count("handleSimObjectEvents"), 250U);
    EXPECT_EQ(steps.count("sendUserPosition"), 2U);  // at ticks 100 and 200
    EXPECT_EQ(steps.count("refreshLiveCount"), 2U);
    EXPECT_FALSE(steps.called("copyUserPositionToReader"));
    EXPECT_EQ(logCount("Flight not running"), 1U);
    mainLoop.flightIsRunning = true;
    runSeconds(2);
    EXPECT_EQ(loop.secondsCounter, 5);
    EXPECT_EQ(logCount("Flight resumed"), 1U);
    EXPECT_EQ(steps.count("accept"), 1U);
}

TEST_F(NotRunningTest, ATickWhileNotRunningEndsTheLoopOnClosing) {
    mainLoop.flightIsRunning = false;
    EXPECT_TRUE(lf_tick(control));
    run.closeRequested.store(true);
    EXPECT_FALSE(lf_tick(control));
}

}  // namespace
}  // namespace qvl::test
