// Run control on a manual clock with a recording stand-in for each phase's
// steps and for the window: every step is kept in one StepLog as "<step>@<s>"
// (s the seconds counter then), so a test reads back which work ran when,
// across the phases.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/run_state.h"
#include "core/support/bound_controls.h"
#include "engine/base/parking_update.h"
#include "run/run_clock.h"
#include "run/run_control.h"
#include "simlink/sim_version.h"
#include "support/fake_status.h"
#include "support/log_capture.h"
#include "support/settings_scope.h"
#include "support/temp_dir.h"

namespace qvl::test {

// Every step any phase fake was asked for, in order, as "<step>@<s>".
class StepLog {
public:
    explicit StepLog(const LoopState& loop) : loop_(loop) {}

    std::vector<std::string> calls;
    // Runs after every recorded step.
    std::function<void()> onStep;

    [[nodiscard]] std::size_t count(const std::string& step) const;
    // The seconds at which the step ran.
    [[nodiscard]] std::vector<std::int32_t> secondsOf(const std::string& step) const;
    [[nodiscard]] bool called(const std::string& step) const { return count(step) > 0; }
    // Index of the first call of the step; -1 when never called.
    [[nodiscard]] long indexOf(const std::string& step) const;

    void note(const std::string& step);

private:
    const LoopState& loop_;
};

class RecordingStartUp final : public StartUpSteps {
public:
    explicit RecordingStartUp(StepLog& log) : log_(log) {}

    bool dbaseReads = true;
    bool airportsRead = true;
    bool msfsFound = true;
    bool versionsOk = true;
    std::optional<GeoPosition> knownAirport;
    std::optional<SimVersion> chosenSimulator;

    void initParameters() override { log_.note("initParameters"); }
    // Kept, not logged: the steps' order is the log's.
    void chooseSimulator(SimVersion version) override { chosenSimulator = version; }
    bool checkVersions() override { return log_.note("checkVersions"), versionsOk; }
    bool readDbase() override { return log_.note("readDbase"), dbaseReads; }
    bool readAirports() override { return log_.note("readAirports"), airportsRead; }
    bool detectMsfs() override { return log_.note("detectMsfs"), msfsFound; }
    void setRealTrafficLocal(bool local) override { log_.note(local ? "local" : "notLocal"); }
    void scanLiveries() override { log_.note("scanLiveries"); }
    void processScannedLiveries() override { log_.note("processScannedLiveries"); }
    void scanAirports() override { log_.note("scanAirports"); }
    void createFlightPlanFolder() override { log_.note("createFlightPlanFolder"); }
    void readMyParkAirports() override { log_.note("readMyParkAirports"); }
    std::optional<GeoPosition> airportPosition(const FixedCode4& /*code*/) override {
        return log_.note("airportPosition"), knownAirport;
    }
    void setDestination(const std::string& text, const GeoPosition& /*position*/) override {
        log_.note("setDestination " + text);
    }

private:
    StepLog& log_;
};

class RecordingTrafficRun final : public TrafficRunSteps {
public:
    explicit RecordingTrafficRun(StepLog& log) : log_(log) {}

    double trafficClockValue = 0.0;
    bool profEdition = false;
    bool userDataArrives = true;

    void darkenLinkLamps() override { log_.note("darkenLinkLamps"); }
    void lightRealTrafficLamp() override { log_.note("lightRealTrafficLamp"); }
    void initAiTraffic() override { log_.note("initAiTraffic"); }
    void initSimQueues() override { log_.note("initSimQueues"); }
    void startSimClient() override { log_.note("startSimClient"); }
    bool requestUserAircraftData() override { return log_.note("requestUserAircraftData"), userDataArrives; }
    void startTcpServer(const std::string& portText) override { log_.note("startTcpServer " + portText); }
    void waitForRealTraffic() override { log_.note("waitForRealTraffic"); }
    bool realTrafficProfEdition() override { return profEdition; }
    void clearRealTrafficEdition() override { log_.note("clearRealTrafficEdition"); }
    void sendSimTime() override { log_.note("sendSimTime"); }
    void setAcceptingTraffic(bool accepting) override { log_.note(accepting ? "accept" : "stopAccepting"); }
    void startQnhReader() override { log_.note("startQnhReader"); }
    void startTrafficReader() override { log_.note("startTrafficReader"); }
    void sendUserPosition() override { log_.note("sendUserPosition"); }
    void copyUserPositionToReader() override { log_.note("copyUserPositionToReader"); }
    double trafficClock() override { return trafficClockValue; }
    std::uint64_t trafficDaySlot() override { return 0x1400000003ULL; }
    void updateAutoRange() override { log_.note("updateAutoRange"); }

private:
    StepLog& log_;
};

class RecordingMainLoop final : public MainLoopSteps {
public:
    explicit RecordingMainLoop(StepLog& log) : log_(log) {}

    bool flightIsRunning = true;
    // Each tick's simulator second: taken once, then down until set again.
    bool secondPending = false;
    bool secondEveryTick = false;
    // The second arrives just after this tick has looked for it.
    bool secondArrivesLater = false;
    bool lampStale = false;
    // Runs inside engineTick (a slow tick, a flag raised mid-run...).
    std::function<void()> onEngineTick;

    bool flightRunning() override { return flightIsRunning; }
    void engineTick() override;
    bool takeOneSecond() override;
    bool oneSecondPending() override { return secondPending || secondEveryTick; }
    void clearPositionBatches() override { log_.note("clearPositionBatches"); }
    void handleSimObjectEvents() override { log_.note("handleSimObjectEvents"); }
    void refreshLiveCount() override { log_.note("refreshLiveCount"); }
    void refreshReaderLamps() override { log_.note("refreshReaderLamps"); }
    bool readerLampStale() override { return lampStale; }
    void checkNextLearnedStand(std::uint64_t /*daySlot*/) override {}
    void clearAroundUser() override {}
    void clearNoMatchList() override { log_.note("clearNoMatchList"); }
    void writeObjectIdList() override { log_.note("writeObjectIdList"); }
    void logNoMatchList() override { log_.note("logNoMatchList"); }
    void logLiveryMatchSummary() override { log_.note("logLiveryMatchSummary"); }
    void clearSpawnMap() override { log_.note("clearSpawnMap"); }
    void switchParkedNavLights(bool on) override { log_.note(on ? "navLights on" : "navLights off"); }
    std::int64_t activeLiveCount() override { return liveCount; }
    // The fake's live aircraft go one by one.
    bool removeFarthestLiveAc() override {
        if (liveCount <= 0) return false;
        log_.note("removeFarthestLiveAc");
        --liveCount;
        return true;
    }

    std::int64_t liveCount = 0;

private:
    StepLog& log_;
};

class RecordingParking final : public ParkingSteps {
public:
    explicit RecordingParking(StepLog& log) : log_(log) {}

    void updateStaticParking(bool initialPass) override {
        log_.note(initialPass ? "updateStaticParking initial" : "updateStaticParking");
    }
    void takeParkAirportAnswer() override { log_.note("takeParkAirportAnswer"); }
    void clearReservedStand() override { log_.note("clearReservedStand"); }
    std::optional<Result<std::string, ParkAirportsError>> checkParkAirports() override {
        log_.note("checkParkAirports");
        if (parkAirportsStillRead > 0) {
            --parkAirportsStillRead;
            return std::nullopt;
        }
        return Result<std::string, ParkAirportsError>(std::string("Park airport EDDF"));
    }
    // The number of calls of checkParkAirports that find the files still read.
    int parkAirportsStillRead = 0;
    void startParkingUpdate() override { log_.note("startParkingUpdate"); }
    void adjustParking() override { log_.note("adjustParking"); }
    void removeStaticDuplicates() override { log_.note("removeStaticDuplicates"); }
    void flushStaticAc() override { log_.note("flushStaticAc"); }
    void clearStaticInTaxiPaths() override { log_.note("clearStaticInTaxiPaths"); }
    void showWaitingStaticCount() override { log_.note("showWaitingStaticCount"); }
    bool staticParkingActive() override { return active; }
    void pushParkAirport(const FixedCode4& code, const GeoPosition& /*position*/) override {
        log_.note("pushParkAirport " + std::string(code.view()));
    }

    bool active = false;

private:
    StepLog& log_;
};

class RecordingCallsigns final : public CallsignSteps {
public:
    explicit RecordingCallsigns(StepLog& log) : log_(log) {}

    std::optional<std::uint32_t> followed;

    void fillCallsignComboBox() override { log_.note("fillCallsignComboBox"); }
    std::optional<std::uint32_t> followCallsign(const std::string& callsign) override {
        log_.note("followCallsign " + callsign);
        return followed;
    }
    void fillCallsignChoices() override { log_.note("fillCallsignChoices"); }
    void removeBlockedCallsign(const std::string& callsign) override { log_.note("removeBlockedCallsign " + callsign); }
    void resetCallsignChoices() override { log_.note("resetCallsignChoices"); }

private:
    StepLog& log_;
};

class RecordingClosingDown final : public ClosingDownSteps {
public:
    explicit RecordingClosingDown(StepLog& log) : log_(log) {}

    bool threadsEnd = true;

    void stopSimClient() override { log_.note("stopSimClient"); }
    void stopReaders() override { log_.note("stopReaders"); }
    void closeRealTrafficLink() override { log_.note("closeRealTrafficLink"); }
    void leaveParkAirport() override { log_.note("leaveParkAirport"); }
    void removeFlightPlanFolder() override { log_.note("removeFlightPlanFolder"); }
    void forgetRunTexts() override { log_.note("forgetRunTexts"); }
    bool joinRunThreads(std::chrono::milliseconds /*bound*/) override {
        return log_.note("joinRunThreads"), threadsEnd;
    }
    void resetRunParts() override { log_.note("resetRunParts"); }

private:
    StepLog& log_;
};

class RecordingWindow final : public RunWindow {
public:
    std::vector<std::string> calls;
    std::optional<std::int32_t> exitCode;
    int startRuns = 0;
    std::string followText;
    std::vector<std::int32_t> countdownSeconds;
    std::vector<WindowRegion> repainted;

    void postStartRun() override { ++startRuns, calls.emplace_back("postStartRun"); }
    void postExit(std::int32_t code) override { exitCode = code, calls.emplace_back("postExit"); }
    void repaint(WindowRegion region) override { repainted.push_back(region); }
    void repaintStatus() override {}
    void repaintControls() override {}
    void setAlwaysOnTop(bool onTop) override { calls.emplace_back(onTop ? "topmost" : "notTopmost"); }
    void stepStaticParkingCountdown(std::int32_t secondsCounter, bool /*staticParkingActive*/) override {
        countdownSeconds.push_back(secondsCounter);
    }
    void setFollowText(const std::string& text) override { followText = text; }
    void setStartingUp(bool startingUp) override { calls.emplace_back(startingUp ? "startingUp" : "started"); }
    void resetRunTexts() override { calls.emplace_back("resetRunTexts"); }
    void closeTakenForRestart() override { calls.emplace_back("closeTakenForRestart"); }
    [[nodiscard]] bool called(const std::string& call) const {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
};

// A fresh run in a temporary program folder (the working folder while the
// test runs, with its "docs" folder), parameters.xml in a roaming folder of
// its own, and Log.txt captured.
class RunTest : public ::testing::Test {
protected:
    RunTest();
    ~RunTest() override;

    // The clock's time since the test began.
    [[nodiscard]] RunClock::duration elapsed() { return clock.now() - begin_; }
    [[nodiscard]] std::string log() const { return logCapture.text(); }
    [[nodiscard]] bool logHas(const std::string& text) const { return log().find(text) != std::string::npos; }
    [[nodiscard]] std::size_t logCount(const std::string& text) const;
    // Runs `count` ticks, each with a simulator second.
    void runSeconds(int count);

    SettingsScope settings;
    TempDir dir;
    LogCapture logCapture{dir.path()};
    RunState run;
    ProcessState process;
    LoopState loop;
    CommandFlags flags;
    // The engine's state of the parking update, as the window announces it.
    ParkingUpdate parkingUpdate;
    StepLog steps{loop};
    RecordingStartUp startUp{steps};
    RecordingTrafficRun trafficRun{steps};
    RecordingMainLoop mainLoop{steps};
    RecordingParking parking{steps};
    RecordingCallsigns callsigns{steps};
    RecordingClosingDown closingDown{steps};
    RecordingWindow window;
    // The main window's controls, which the run fills and switches; a test
    // binds the settings it looks at.
    BoundControls bound;
    FakeStatus status{bound.controls()};
    ManualRunClock clock;
    RunControl control{.run = run,
                       .process = process,
                       .loop = loop,
                       .flags = flags,
                       .parkingUpdate = parkingUpdate,
                       .startUp = startUp,
                       .trafficRun = trafficRun,
                       .mainLoop = mainLoop,
                       .parking = parking,
                       .callsigns = callsigns,
                       .closingDown = closingDown,
                       .window = window,
                       .controls = bound.controls(),
                       .status = status,
                       .clock = clock};

private:
    std::filesystem::path previousFolder_;
    RunClock::time_point begin_;
};

}  // namespace qvl::test
