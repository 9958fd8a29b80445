// Run control on a manual clock with recording stand-ins for the other
// parts' steps and for the window: every call is kept as "<step>@<s>" (s the
// seconds counter then), so a test reads back which work ran when.
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
#include "run/run_clock.h"
#include "run/run_control.h"
#include "support/log_capture.h"
#include "support/settings_scope.h"
#include "support/temp_dir.h"

namespace qvl::test {

class RecordingServices final : public RunServices {
public:
    explicit RecordingServices(const LoopState& loop) : loop_(loop) {}

    std::vector<std::string> calls;
    bool flightIsRunning = true;
    // Each tick's simulator second: taken once, then down until set again.
    bool secondPending = false;
    bool secondEveryTick = false;
    // The second arrives just after this tick has looked for it.
    bool secondArrivesLater = false;
    double trafficClockValue = 0.0;
    bool profEdition = false;
    bool userDataArrives = true;
    bool threadsEnd = true;
    bool dbaseReads = true;
    bool airportsRead = true;
    bool msfsFound = true;
    bool versionsOk = true;
    std::optional<GeoPosition> knownAirport;
    // Runs inside engineTick (a slow tick, a flag raised mid-run...).
    std::function<void()> onEngineTick;
    std::function<void()> onStep;

    [[nodiscard]] std::size_t count(const std::string& step) const;
    // The seconds at which the step ran.
    [[nodiscard]] std::vector<std::int32_t> secondsOf(const std::string& step) const;
    [[nodiscard]] bool called(const std::string& step) const { return count(step) > 0; }
    // Index of the first call of the step; -1 when never called.
    [[nodiscard]] long indexOf(const std::string& step) const;

    void initParameters() override { note("initParameters"); }
    bool checkVersions() override { return note("checkVersions"), versionsOk; }
    bool readDbase() override { return note("readDbase"), dbaseReads; }
    bool readAirports() override { return note("readAirports"), airportsRead; }
    bool detectMsfs() override { return note("detectMsfs"), msfsFound; }
    void scanLiveries() override { note("scanLiveries"); }
    void processScannedLiveries() override { note("processScannedLiveries"); }
    void scanAirports() override { note("scanAirports"); }
    void createFlightPlanFolder() override { note("createFlightPlanFolder"); }
    void readMyParkAirports() override { note("readMyParkAirports"); }
    std::optional<GeoPosition> airportPosition(const FixedCode4& /*code*/) override {
        return note("airportPosition"), knownAirport;
    }
    void setDestination(const std::string& text, const GeoPosition& /*position*/) override {
        note("setDestination " + text);
    }
    void setRealTrafficLocal(bool local) override { note(local ? "local" : "notLocal"); }
    void darkenLinkLamps() override { note("darkenLinkLamps"); }
    void lightRealTrafficLamp() override { note("lightRealTrafficLamp"); }
    void initAiTraffic() override { note("initAiTraffic"); }
    void initSimQueues() override { note("initSimQueues"); }
    void startSimClient() override { note("startSimClient"); }
    bool requestUserAircraftData() override { return note("requestUserAircraftData"), userDataArrives; }
    void startTcpServer(const std::string& portText) override { note("startTcpServer " + portText); }
    void waitForRealTraffic() override { note("waitForRealTraffic"); }
    bool realTrafficProfEdition() override { return profEdition; }
    void clearRealTrafficEdition() override { note("clearRealTrafficEdition"); }
    void sendSimTime() override { note("sendSimTime"); }
    void setAcceptingTraffic(bool accepting) override { note(accepting ? "accept" : "stopAccepting"); }
    void startQnhReader() override { note("startQnhReader"); }
    void startTrafficReader() override { note("startTrafficReader"); }
    void sendUserPosition() override { note("sendUserPosition"); }
    void copyUserPositionToReader() override { note("copyUserPositionToReader"); }
    double trafficClock() override { return trafficClockValue; }
    std::uint64_t trafficDaySlot() override { return 0x1400000003ULL; }
    void updateAutoRange() override { note("updateAutoRange"); }

    bool flightRunning() override { return flightIsRunning; }
    void engineTick() override;
    bool takeOneSecond() override;
    bool oneSecondPending() override { return secondPending || secondEveryTick; }
    void clearPositionBatches() override { note("clearPositionBatches"); }
    void handleSimObjectEvents() override { note("handleSimObjectEvents"); }
    void refreshLiveCount() override { note("refreshLiveCount"); }
    void refreshReaderLamps() override { note("refreshReaderLamps"); }
    bool readerLampStale() override { return lampStale; }
    void fillCallsignComboBox() override { note("fillCallsignComboBox"); }
    void updateStaticParking(bool initialPass) override {
        note(initialPass ? "updateStaticParking initial" : "updateStaticParking");
    }
    void clearReservedStand() override { note("clearReservedStand"); }
    bool checkParkAirports(std::string& text) override {
        note("checkParkAirports");
        text = "Park airport EDDF";
        return true;
    }
    void startCallsignCollection() override { note("startCallsignCollection"); }
    void adjustParking() override { note("adjustParking"); }
    void removeStaticDuplicates() override { note("removeStaticDuplicates"); }
    void clearNoMatchList() override { note("clearNoMatchList"); }
    void writeObjectIdList() override { note("writeObjectIdList"); }
    void logNoMatchList() override { note("logNoMatchList"); }
    void logLiveryMatchSummary() override { note("logLiveryMatchSummary"); }
    void clearSpawnMap() override { note("clearSpawnMap"); }
    void checkNextLearnedStand(std::uint64_t /*daySlot*/) override {}
    std::optional<std::uint32_t> followCallsign(const std::string& callsign) override {
        note("followCallsign " + callsign);
        return followed;
    }
    void flushStaticAc() override { note("flushStaticAc"); }
    void fillCallsignChoices() override { note("fillCallsignChoices"); }
    void clearAroundUser() override {}
    void clearStaticInTaxiPaths() override { note("clearStaticInTaxiPaths"); }
    void removeBlockedCallsign(const std::string& callsign) override { note("removeBlockedCallsign " + callsign); }
    void showWaitingStaticCount() override { note("showWaitingStaticCount"); }

    void stopSimClient() override { note("stopSimClient"); }
    void stopReaders() override { note("stopReaders"); }
    void closeRealTrafficLink() override { note("closeRealTrafficLink"); }
    void leaveParkAirport() override { note("leaveParkAirport"); }
    void removeFlightPlanFolder() override { note("removeFlightPlanFolder"); }
    void forgetRunTexts() override { note("forgetRunTexts"); }
    bool joinRunThreads(std::chrono::milliseconds /*bound*/) override { return note("joinRunThreads"), threadsEnd; }
    void resetRunParts() override { note("resetRunParts"); }

    bool lampStale = false;
    std::optional<std::uint32_t> followed;

private:
    void note(const std::string& step);
    const LoopState& loop_;
};

class RecordingWindow final : public RunWindow {
public:
    std::vector<std::string> calls;
    std::optional<std::int32_t> exitCode;
    int startRuns = 0;
    std::string followText;
    std::vector<std::int32_t> countdownSeconds;

    void postStartRun() override { ++startRuns, calls.emplace_back("postStartRun"); }
    void postExit(std::int32_t code) override { exitCode = code, calls.emplace_back("postExit"); }
    void repaintStatus() override {}
    void repaintControls() override {}
    void setAlwaysOnTop(bool onTop) override { calls.emplace_back(onTop ? "topmost" : "notTopmost"); }
    void disableParkingControls() override { calls.emplace_back("disableParkingControls"); }
    void enableParkingControls() override { calls.emplace_back("enableParkingControls"); }
    void stepStaticParkingCountdown(std::int32_t secondsCounter) override {
        countdownSeconds.push_back(secondsCounter);
    }
    void setFollowText(const std::string& text) override { followText = text; }
    void setStartingUp(bool startingUp) override { calls.emplace_back(startingUp ? "startingUp" : "started"); }
    void resetRunTexts() override { calls.emplace_back("resetRunTexts"); }
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
    RecordingServices services{loop};
    RecordingWindow window;
    ManualRunClock clock;
    RunControl control{.run = run,
                       .process = process,
                       .loop = loop,
                       .flags = flags,
                       .services = services,
                       .window = window,
                       .clock = clock};

private:
    std::filesystem::path previousFolder_;
    RunClock::time_point begin_;
};

}  // namespace qvl::test
