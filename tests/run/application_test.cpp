// The program's front door: one instance, the switches, the start that
// fails before the loop, the UI loop and the close with no run thread.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/sim/stand_in.h"
#include "platform/sys/single_instance.h"
#include "platform/ui/headless_window.h"
#include "platform/ui/window.h"
#include "run/application.h"
#include "run/program.h"
#include "support/program_start_folder.h"
#include "support/run_fakes.h"
#include "support/settings_scope.h"
#include "support/temp_dir.h"

namespace qvl::test {
namespace {

// A window that holds nothing: it is never painted or closed in these tests.
class NoEvents final : public ui::WindowEvents {
public:
    void onClose() override {}
    void onPaint(ui::Canvas& /*canvas*/) override {}
    void onCallbackException(const std::exception_ptr& /*error*/) noexcept override {
        ADD_FAILURE() << "a callback threw";
    }
};

class FrontDoorTest : public ::testing::Test, protected ProgramStartFolder {};

TEST_F(FrontDoorTest, ASecondStartReturnsMinusOneAndTouchesNothing) {
    const sys::SingleInstance first(kInstanceName);
    ASSERT_TRUE(first.acquired());
    bool started = false;
    const std::int32_t code = runProgram({}, [&](const std::vector<std::string>&) {
        started = true;
        return 0;
    });
    EXPECT_EQ(code, -1);
    EXPECT_FALSE(started);  // no window, no run
    EXPECT_FALSE(std::filesystem::exists("Log.txt"));
}

TEST_F(FrontDoorTest, TheOnlyInstanceOpensTheLogAndReturnsTheApplicationsCode) {
    const std::int32_t code = runProgram({"--production"}, [](const std::vector<std::string>& arguments) {
        EXPECT_EQ(arguments, std::vector<std::string>{"--production"});
        return 7;
    });
    EXPECT_EQ(code, 7);
    EXPECT_NE(readFile("Log.txt").find("(utc) Quorvelant version"), std::string::npos);
}

TEST_F(FrontDoorTest, ALogThatCannotBeOpenedEndsTheProgramWithOne) {
    std::filesystem::create_directory("Log.txt");  // a folder where the file should be
    bool started = false;
    EXPECT_EQ(runProgram({}, [&](const std::vector<std::string>&) { return started = true, 0; }), 1);
    EXPECT_FALSE(started);
}

TEST(ProductionSwitch, TheLastSwitchWinsInAnyCase) {
    EXPECT_FALSE(productionSwitch({}).has_value());
    EXPECT_FALSE(productionSwitch({"--verbose", "file.txt"}).has_value());
    EXPECT_EQ(productionSwitch({"/production", "--no-production"}), false);
    EXPECT_EQ(productionSwitch({"--no-production", "/PRODUCTION"}), true);
    EXPECT_EQ(productionSwitch({"--Production"}), true);
    EXPECT_FALSE(productionSwitch({"--productions"}).has_value());
}

TEST(ReaderPorts, TheVariablesMoveTheReadersAndTextsThatAreNoPortKeepTheDefaults) {
    TempDir dir;
    LogCapture log(dir.path());
    const ReaderPorts unset = readerPortsFrom(nullptr, nullptr);
    EXPECT_EQ(unset.traffic, 49005);
    EXPECT_EQ(unset.qnh, 49004);
    const ReaderPorts moved = readerPortsFrom("40001", "65535");
    EXPECT_EQ(moved.traffic, 40001);
    EXPECT_EQ(moved.qnh, 65535);
    for (const char* text : {"", "0", "65536", "4000x", "-1", " 4000", "99999999999"}) {
        const ReaderPorts kept = readerPortsFrom(text, "1");
        EXPECT_EQ(kept.traffic, 49005) << "'" << text << "'";
        EXPECT_EQ(kept.qnh, 1);
    }
    EXPECT_NE(log.text().find("==> QVL_TRAFFIC_PORT '4000x' names no port: 49005 is used"), std::string::npos);
    EXPECT_NE(log.text().find("Reader ports set by the environment: traffic 40001, QNH 65535"), std::string::npos);
}

TEST_F(FrontDoorTest, AWindowThatCannotBeCreatedReturnsOneWithoutALoop) {
    const std::shared_ptr<ui::Window> window = ui::makeWindow(ui::BackEnd::Headless);
    NoEvents nothing;
    ASSERT_TRUE(window->open({.title = "taken", .width = 10, .height = 10}, nothing));  // a second open fails
    sim::StandInSimulator simulator;
    const LogCapture log(dir.path());
    EXPECT_EQ(gf_runApplication(window, simulator, {}), 1);
    EXPECT_NE(log.text().find("initInstance failed"), std::string::npos);
}

// A whole start over a damaged parameters.xml: the window opens before the
// run reads the settings, and the log must still call the file damaged and
// keep it, not report it missing. The test is the user who closes the
// window once the settings are read.
TEST_F(FrontDoorTest, ADamagedParametersFileIsReportedAsDamagedAtAStart) {
    const SettingsScope settings;
    const std::filesystem::path parameters = dir / "roaming" / "Quorvelant" / "parameters.xml";
    std::filesystem::create_directories(parameters.parent_path());
    std::filesystem::create_directories(dir / "docs");  // started from its own folder
    writeFile(parameters, "<root><parameters>");
    const std::shared_ptr<ui::Window> window = ui::makeWindow(ui::BackEnd::Headless);
    sim::StandInSimulator simulator;
    const LogCapture log(dir.path());
    std::int32_t code = -2;
    std::jthread application([&] { code = gf_runApplication(window, simulator, {}, {.traffic = 0, .qnh = 0}); });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (log.text().find("creating new with default values") == std::string::npos &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    window->requestClose();
    application.join();
    const std::string text = log.text();
    EXPECT_NE(text.find(parameters.string() + " is damaged ("), std::string::npos) << text;
    EXPECT_NE(text.find("kept as " + (parameters.parent_path() / "parameters0.xml").string()), std::string::npos);
    EXPECT_EQ(text.find("not found, creating new"), std::string::npos) << "a damaged file is not a missing one";
    EXPECT_EQ(readFile(parameters.parent_path() / "parameters0.xml"), "<root><parameters>");
    EXPECT_NE(code, -2);
}

// A whole run over a parameters.xml that parses without settings and whose
// copy cannot be made: the scan switches, the settings emptied at the run's
// end and the window's position are all refused, the file stays as it was,
// and the log says so once and counts the rest once, at the end.
TEST_F(FrontDoorTest, ADamagedParametersFileThatCannotBeKeptIsNotWrittenInAWholeRun) {
    const SettingsScope settings;
    const std::filesystem::path parameters = dir / "roaming" / "Quorvelant" / "parameters.xml";
    const std::filesystem::path copy = parameters.parent_path() / "parameters0.xml";
    std::filesystem::create_directories(copy / "inside");
    std::filesystem::create_directories(dir / "docs");
    writeFile(parameters, "<root><other/></root>");
    const std::shared_ptr<ui::Window> window = ui::makeWindow(ui::BackEnd::Headless);
    sim::StandInSimulator simulator;
    const LogCapture log(dir.path());
    std::jthread application([&] { gf_runApplication(window, simulator, {}, {.traffic = 0, .qnh = 0}); });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (log.text().find("the default values are in use") == std::string::npos &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    window->requestClose();
    application.join();
    const std::string text = log.text();
    EXPECT_EQ(readFile(parameters), "<root><other/></root>");
    const auto count = [&text](const std::string& what) {
        int n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count(" could not be kept as " + copy.string()), 1) << text;
    EXPECT_EQ(count(" of settings were refused while " + parameters.string() + " was damaged"), 1) << text;
    EXPECT_GT(text.find("saves of settings were refused"), text.find("Exiting: ")) << "counted at the end";
}

TEST_F(FrontDoorTest, WhenTheTrafficClientGoesEveryActiveLiveAircraftIsRemoved) {
    RecordingWindow window;
    ui::HeadlessWindow mainWindow;
    ManualRunClock clock;
    sim::StandInSimulator simulator;
    Program program(simulator, window, mainWindow, clock);
    ProgramParts& parts = program.parts();
    LiveAc flying;
    flying.flight.hexId = 0x440001;
    flying.objectId = 100;
    flying.status = SimStatus::active;
    parts.engineState.liveAircraft.push_back(flying);
    parts.feed.onRealTrafficGone();
    EXPECT_EQ(parts.engineState.liveAircraft[0].status, SimStatus::removingfromsim);
    ASSERT_EQ(parts.engineState.removalQueue.size(), 1U);
    EXPECT_EQ(parts.engineState.removalQueue.front(), 100U);
}

TEST_F(FrontDoorTest, ACloseWithNoRunThreadAliveEndsAtOnce) {
    RecordingWindow window;
    ui::HeadlessWindow mainWindow;
    ManualRunClock clock;
    sim::StandInSimulator simulator;
    Program program(simulator, window, mainWindow, clock);
    EXPECT_FALSE(program.onClose());
    EXPECT_FALSE(program.parts().run.closeRequested.load());
}

}  // namespace
}  // namespace qvl::test
