// The start of a run: the sequence, the once-per-process steps, the failures
// with their reasons, and the traffic run's waits.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/settings.h"
#include "core/user_error.h"
#include "platform/net/socket.h"
#include "run/start_up.h"
#include "run/traffic_run.h"
#include "support/run_fakes.h"

namespace qvl::test {
namespace {

using namespace std::chrono_literals;

class StartUpTest : public RunTest {
protected:
    StartUpTest() {
        MSFS_INSTALL_PATH.set("/sim/packages");
        std::filesystem::create_directories("output");
        writeFile("output/LiveriesScanned.xml", "<liveries/>");
        SCAN_LIVERIES.set(false);
        SCAN_AIRPORTS.set(false);
        // Whatever waits for the user ends 20 s into the test.
        clock.setObserver([this](RunClock::time_point) {
            if (elapsed() >= 20s) run.closeRequested.store(true);
        });
    }
};

TEST_F(StartUpTest, AFullStartRunsTheTrafficAndTheMainLoopUntilClosed) {
    mainLoop.secondEveryTick = true;
    mainLoop.onEngineTick = [&] {
        if (loop.secondsCounter >= 3) run.endRun(RestartReason::simWasClosed, 0);
    };
    lf_startUpQVLT(control);
    for (const char* step : {"initParameters", "checkVersions", "readDbase", "readAirports", "processScannedLiveries",
                             "createFlightPlanFolder", "startSimClient", "startQnhReader", "engineTick"}) {
        EXPECT_TRUE(steps.called(step)) << step;
    }
    EXPECT_FALSE(steps.called("scanLiveries"));
    EXPECT_TRUE(logHas("Exiting: SIM WAS CLOSED"));
    EXPECT_EQ(window.exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_directory("airports/learned/thirdparty"));
    EXPECT_TRUE(logHas("RealTraffic not detected at this PC"));
}

TEST_F(StartUpTest, OutsideTheProgramFolderNothingRunsAndTheErrorWaitsForTheLoggedClose) {
    std::filesystem::remove("docs");
    lf_startUpQVLT(control);
    EXPECT_FALSE(steps.called("initParameters"));
    EXPECT_TRUE(logHas("Exiting: SYSTEM ERROR"));
    EXPECT_GE(elapsed(), 20s);
    // The error stays on its line; the close goes to Log.txt all the same.
    EXPECT_EQ(messageLines().error, "41: Quorvelant must be run from the Quorvelant folder!");
    EXPECT_EQ(messageLines().message, "");
    EXPECT_TRUE(logHas("User closed Quorvelant"));
    EXPECT_EQ(window.exitCode, 0);
}

TEST_F(StartUpTest, TheAddonCountsCountStandAndLinkFilesOnly) {
    std::filesystem::create_directories("airports/my_simaddon/EDDM.xml");  // a folder, whatever its name
    std::filesystem::create_directories("airports/my_thirdparty");
    for (const char* name : {"EHAM.xml", "EDDF.txt", "EGLL.XML", "EHAM.xml.4242.0.tmp", "readme.doc"}) {
        writeFile(std::string("airports/my_simaddon/") + name, "<root/>");
    }
    writeFile("airports/my_thirdparty/KJFK.xml", "<root/>");
    writeFile("airports/my_thirdparty/KJFK.xml.17.3.tmp", "<ro");
    steps.onStep = [&] {
        if (steps.calls.back().starts_with("createFlightPlanFolder")) run.closeRequested.store(true);
    };
    lf_startUpQVLT(control);
    EXPECT_EQ(status.counts[StatusCount::simaddonAirports], 3U);
    EXPECT_EQ(status.counts[StatusCount::thirdpartyAirports], 1U);
}

// What a kill in the middle of an update or a save left behind goes at the
// first start; everything else stays.
TEST_F(StartUpTest, TheFirstStartRemovesWhatInterruptedWritesLeft) {
    namespace fs = std::filesystem;
    for (const char* folder : {"input", "new_version", "airports/learned/stock", "roaming/Quorvelant", "docs"}) {
        fs::create_directories(folder);
    }
    const std::vector<std::string> leftovers{"versions.json",
                                             "versions.json.part",
                                             "latest_version.zip",
                                             "latest_version.zip.part",
                                             "install_new_version.exe",
                                             "install_new_version.exe.unzip",
                                             "input/airports.enc.new",
                                             "input/airports.enc.new.check",
                                             "input/dbase.enc.new.part",
                                             "new_version/install_new_version.exe.part",
                                             "new_version/ReleaseNotes.pdf.part",
                                             "new_version/README.txt.4242.0.qvlt.tmp",
                                             "output/LiveriesScanned.xml.4242.3.qvlt.tmp",
                                             "airports/learned/stock/LOWW.xml.17.0.qvlt.tmp",
                                             "roaming/Quorvelant/parameters.xml.99.12.qvlt.tmp"};
    const std::vector<std::string> kept{"input/airports.enc",
                                        "input/notes.new",
                                        "new_version/install_new_version.exe",
                                        "airports/learned/stock/LOWW.xml",
                                        "output/LiveriesScanned.xml.tmp",
                                        "output/report.x.1.tmp",
                                        "output/report.x.1.2.tmp",
                                        "airports/learned/stock/EDDF.xml.part",
                                        "docs/manual.part"};
    for (const auto& name : leftovers) writeFile(name, "left");
    for (const auto& name : kept) writeFile(name, "kept");
    run.closeRequested.store(true);
    (void)lf_readDataFiles(control);
    for (const auto& name : leftovers) EXPECT_FALSE(fs::exists(name)) << name;
    for (const auto& name : kept) EXPECT_TRUE(fs::exists(name)) << name;
    EXPECT_TRUE(logHas("input/airports.enc.new.check, left by an interrupted write"));

    // A restart is no start: what its own process writes is its business.
    process.restarting.store(true);
    writeFile("versions.json.part", "left");
    (void)lf_readDataFiles(control);
    EXPECT_TRUE(fs::exists("versions.json.part"));
}

// The sweep looks only where the program writes, to the depth it writes at:
// a folder of the user's (or one that hangs) is never walked.
TEST_F(StartUpTest, TheFirstStartSweepsOnlyTheFoldersTheProgramWritesInto) {
    namespace fs = std::filesystem;
    const std::vector<std::string> leftovers{"airport.xml.part",
                                             "output/info/AirportsScanLog.txt.7.0.qvlt.tmp",
                                             "output/errors/Fixes.txt.7.1.qvlt.tmp",
                                             "tblo/tblo.zip.7.2.qvlt.tmp",
                                             "airports/my_park_airports.txt.7.3.qvlt.tmp",
                                             "airports/park_airport.xml.part",
                                             "airports/my_simaddon/EHAM.xml.7.4.qvlt.tmp",
                                             "airports/my_thirdparty/KJFK.xml.7.5.qvlt.tmp",
                                             "airports/learned/EDDM.xml.7.6.qvlt.tmp",
                                             "airports/learned/my_simaddon/EHAM.xml.7.7.qvlt.tmp",
                                             "airports/learned/thirdparty/Maker/LFPG.xml.7.8.qvlt.tmp"};
    const std::vector<std::string> kept{
        "docs/manual.txt.7.9.qvlt.tmp", "Community/some.addon/layout.json.7.10.qvlt.tmp",
        "input/my_regcodes/mine.txt.7.11.qvlt.tmp", "airports/learned/thirdparty/Maker/old/LFPG.xml.7.12.qvlt.tmp"};
    const auto place = [](const std::string& name, const std::string& bytes) {
        if (fs::path(name).has_parent_path()) fs::create_directories(fs::path(name).parent_path());
        writeFile(name, bytes);
    };
    for (const auto& name : leftovers) place(name, "left");
    for (const auto& name : kept) place(name, "kept");
    run.closeRequested.store(true);
    (void)lf_readDataFiles(control);
    for (const auto& name : leftovers) EXPECT_FALSE(fs::exists(name)) << name;
    for (const auto& name : kept) EXPECT_TRUE(fs::exists(name)) << name;
}

// A download's or an unpacking's temporary is the name of what it
// becomes with ".part" or ".unzip": a file named just that, or another
// name with that ending, is something else.
TEST_F(StartUpTest, AFileNamedOnlyPartOrUnzipIsNoLeftover) {
    namespace fs = std::filesystem;
    fs::create_directories("new_version");
    const std::vector<std::string> kept{".part", ".unzip", "new_version/.part", "new_version/.unzip",
                                        "new_version/x.unzip"};
    for (const auto& name : kept) writeFile(name, "kept");
    writeFile("new_version/install_new_version.exe.part", "left");
    run.closeRequested.store(true);
    (void)lf_readDataFiles(control);
    for (const auto& name : kept) EXPECT_TRUE(fs::exists(name)) << name;
    EXPECT_FALSE(fs::exists("new_version/install_new_version.exe.part"));
}

TEST_F(StartUpTest, WithoutAnInstallPathTheUserIsAskedForTheCommunityFolder) {
    MSFS_INSTALL_PATH.set("");
    startUp.msfsFound = false;
    lf_startUpQVLT(control);
    EXPECT_EQ(messageLines().error.substr(0, 30), "150: No install path detected.");
    EXPECT_EQ(run.restartReason.load(), RestartReason::systemError);
    EXPECT_FALSE(steps.called("startSimClient"));
}

TEST_F(StartUpTest, AUserErrorAfterAnotherPartEndedTheRunKeepsThatReason) {
    MSFS_INSTALL_PATH.set("");
    startUp.msfsFound = false;
    steps.onStep = [&] {
        if (steps.calls.back().starts_with("detectMsfs")) run.endRun(RestartReason::readerError, 1);
    };
    lf_startUpQVLT(control);
    EXPECT_TRUE(logHas("Exiting: READER ERROR"));
    EXPECT_EQ(window.startRuns, 1);
}

TEST_F(StartUpTest, UnreadableDataFilesEndTheRunWithASystemError) {
    startUp.dbaseReads = false;
    lf_startUpQVLT(control);
    EXPECT_EQ(messageLines().error, "reading data files failed!");
    EXPECT_TRUE(logHas("Exiting: SYSTEM ERROR"));
    EXPECT_TRUE(process.dataFilesRead.load());
    EXPECT_EQ(run.restartDelay.load(), 0);
}

TEST_F(StartUpTest, ARestartSkipsTheVersionCheckAndTheDatabaseButReadsTheAirports) {
    process.restarting.store(true);
    process.dataFilesRead.store(true);
    run.closeRequested.store(true);
    EXPECT_TRUE(lf_readDataFiles(control));
    EXPECT_FALSE(steps.called("checkVersions"));
    EXPECT_FALSE(steps.called("readDbase"));
    EXPECT_TRUE(steps.called("readAirports"));
}

// Each run works with the simulator that SIM_CHOICE names at its start, and
// with that simulator's install path.
TEST_F(StartUpTest, EachRunTakesTheChosenSimulatorAndItsInstallPath) {
    process.restarting.store(true);
    process.dataFilesRead.store(true);
    MSFS_2024_INSTALL_PATH.set("/sim/2024");
    SIM_CHOICE.set("MSFS 2024");
    EXPECT_TRUE(lf_readDataFiles(control));
    EXPECT_EQ(startUp.chosenSimulator, SimVersion::msfs2024);
    EXPECT_EQ(ALL_INSTALL_PATH.value(), "/sim/2024");
    EXPECT_EQ(process.simNumber.load(), 2);
    SIM_CHOICE.set("MSFS 2020");
    EXPECT_TRUE(lf_readDataFiles(control));
    EXPECT_EQ(startUp.chosenSimulator, SimVersion::msfs2020);
    EXPECT_EQ(ALL_INSTALL_PATH.value(), "/sim/packages");
    EXPECT_EQ(process.simNumber.load(), 1);
}

TEST_F(StartUpTest, MissingScannedLiveriesAreScannedEvenWithTheScanOff) {
    std::filesystem::remove("output/LiveriesScanned.xml");
    run.closeRequested.store(true);
    lf_startUpQVLT(control);
    EXPECT_TRUE(steps.called("scanLiveries"));
    EXPECT_TRUE(logHas("Exiting: USER CLOSED SIM"));
}

TEST_F(StartUpTest, ClosingDuringTheScanSkipsTheRestOfThePreparation) {
    SCAN_LIVERIES.set(true);
    SCAN_AIRPORTS.set(true);
    steps.onStep = [&] {
        if (steps.calls.back().starts_with("scanLiveries")) run.closeRequested.store(true);
    };
    lf_startUpQVLT(control);
    EXPECT_FALSE(steps.called("scanAirports"));
    EXPECT_FALSE(steps.called("createFlightPlanFolder"));
    EXPECT_TRUE(logHas("Exiting: USER CLOSED SIM"));
    EXPECT_EQ(window.exitCode, 0);
}

TEST_F(StartUpTest, ProductionModeStopsAfterTheSimulatorDetectionWithExitCodeZero) {
    process.productionMode.store(true);
    lf_startUpQVLT(control);
    EXPECT_TRUE(logHas("production"));
    EXPECT_FALSE(logHas("RealTraffic"));
    EXPECT_FALSE(steps.called("startSimClient"));
    EXPECT_EQ(window.exitCode, 0);
}

TEST_F(StartUpTest, AStoredDestinationThatIsNoCodeIsLoggedAndIgnored) {
    DESTINATION.set("Frankfurt");
    trafficRun.userDataArrives = false;
    lf_startUpQVLT(control);
    EXPECT_TRUE(logHas("Stored destination 'Frankfurt' ignored"));
    EXPECT_FALSE(steps.called("airportPosition"));
    EXPECT_TRUE(steps.called("startSimClient"));  // the run went on
    EXPECT_FALSE(logHas("SYSTEM ERROR"));
}

TEST_F(StartUpTest, WithAutoRangeOffTheStoredRangeBecomesTheTrafficRadius) {
    AUTO_RANGE.set(false);
    RANGE.set(20);
    rangeNm.store(40.0);
    lf_applyParametersToControls(control);
    EXPECT_EQ(rangeNm.load(), 20.0);
    AUTO_RANGE.set(true);
    rangeNm.store(40.0);
    lf_applyParametersToControls(control);
    EXPECT_EQ(rangeNm.load(), 40.0);
}

TEST(InstallPathRepair, OnlyATrailingCommunityFolderIsRemoved) {
    EXPECT_EQ(repairedInstallPath("D:\\MSFS\\Community"), "D:\\MSFS");
    EXPECT_EQ(repairedInstallPath("/home/pilot/MSFS/Community"), "/home/pilot/MSFS");
    EXPECT_FALSE(repairedInstallPath("D:\\MSFS\\community").has_value());
    EXPECT_FALSE(repairedInstallPath("D:\\Community\\Packages").has_value());
    EXPECT_FALSE(repairedInstallPath("D:\\MyCommunity").has_value());
    EXPECT_FALSE(repairedInstallPath("Community").has_value());
}

class TrafficRunTest : public RunTest {};

TEST_F(TrafficRunTest, TheTrafficReaderStartsTwoSecondsAfterTheQnhReader) {
    trafficRun.trafficClockValue = 1.7e9;
    RunClock::duration qnhAt{};
    RunClock::duration trafficAt{};
    steps.onStep = [&] {
        if (steps.calls.back().starts_with("startQnhReader")) qnhAt = elapsed();
        if (steps.calls.back().starts_with("startTrafficReader")) trafficAt = elapsed();
    };
    EXPECT_TRUE(lf_runTraffic(control));
    EXPECT_EQ(trafficAt - qnhAt, 2s);
    EXPECT_LT(steps.indexOf("stopAccepting"), steps.indexOf("startQnhReader"));
}

TEST_F(TrafficRunTest, WithoutTrafficItWaitsFifteenSecondsAndGoesOn) {
    EXPECT_TRUE(lf_runTraffic(control));
    EXPECT_EQ(elapsed(), kTrafficReaderDelay + 15s);
    EXPECT_TRUE(logHas("No traffic in this region?"));
}

TEST_F(TrafficRunTest, ALocalClientGetsTheServerAndTheWait) {
    process.rtLocal.store(true);
    // The recording fake opens no socket; a port the system chose (never the
    // default) shows that the setting, not the default, reaches the server.
    net::TcpListener free;
    ASSERT_EQ(free.create(), 0);
    ASSERT_EQ(free.bind(net::Address::loopback, 0), 0);
    const std::string port = std::to_string(free.localPort());
    free.close();
    PORT_NUMBER.set(port);
    trafficRun.trafficClockValue = 1.7e9;
    EXPECT_TRUE(lf_runTraffic(control));
    EXPECT_TRUE(steps.called("startTcpServer " + port));
    EXPECT_TRUE(steps.called("waitForRealTraffic"));
    EXPECT_FALSE(steps.called("lightRealTrafficLamp"));
}

TEST_F(TrafficRunTest, AStandardEditionClientIsSentNoSimulatorTimeAtTheStart) {
    process.rtLocal.store(true);
    trafficRun.trafficClockValue = 1.7e9;
    EXPECT_TRUE(lf_runTraffic(control));
    EXPECT_TRUE(steps.called("waitForRealTraffic"));
    EXPECT_FALSE(steps.called("sendSimTime"));
}

TEST_F(TrafficRunTest, AProfessionalEditionClientIsSentTheSimulatorTimeOnceItHasAnswered) {
    process.rtLocal.store(true);
    trafficRun.trafficClockValue = 1.7e9;
    trafficRun.profEdition = true;
    EXPECT_TRUE(lf_runTraffic(control));
    ASSERT_TRUE(steps.called("sendSimTime"));
    EXPECT_LT(steps.indexOf("waitForRealTraffic"), steps.indexOf("sendSimTime"));
}

TEST_F(TrafficRunTest, WithAerowinxThereIsNoLinkButTheReadersStart) {
    process.rtLocal.store(true);
    AEROWINX.set(true);
    trafficRun.trafficClockValue = 1.7e9;
    EXPECT_TRUE(lf_runTraffic(control));
    EXPECT_FALSE(steps.called("startTcpServer"));
    EXPECT_FALSE(steps.called("waitForRealTraffic"));
    EXPECT_TRUE(steps.called("clearRealTrafficEdition"));
    EXPECT_TRUE(steps.called("startTrafficReader"));
}

TEST_F(TrafficRunTest, ClosingDuringTheWaitsEndsThemAtOnce) {
    clock.setObserver([&](RunClock::time_point) {
        if (elapsed() >= 1s) run.closeRequested.store(true);
    });
    EXPECT_FALSE(lf_runTraffic(control));
    EXPECT_FALSE(steps.called("startTrafficReader"));
    EXPECT_LE(elapsed(), 1100ms);
}

// Closing the window closes the link's sockets, which ends the wait for the
// traffic client; nothing more may start after it.
TEST_F(TrafficRunTest, AWaitForTheClientThatEndsOnClosingStartsNoReader) {
    process.rtLocal.store(true);
    steps.onStep = [&] {
        if (steps.calls.back().starts_with("waitForRealTraffic")) run.endRun(RestartReason::userClosedSim, 0);
    };
    EXPECT_FALSE(lf_runTraffic(control));
    EXPECT_TRUE(steps.called("waitForRealTraffic"));
    EXPECT_FALSE(steps.called("stopAccepting"));
    EXPECT_FALSE(steps.called("startQnhReader"));
    EXPECT_FALSE(steps.called("startTrafficReader"));
}

TEST_F(TrafficRunTest, AUserAircraftThatNeverArrivesEndsTheRun) {
    trafficRun.userDataArrives = false;
    EXPECT_FALSE(lf_runTraffic(control));
    EXPECT_FALSE(steps.called("startQnhReader"));
    EXPECT_TRUE(logHas("The user aircraft's data did not arrive: the simulator did not answer"));
}

}  // namespace
}  // namespace qvl::test
