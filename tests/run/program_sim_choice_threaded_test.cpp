// The simulator choice through whole starts of the program: the run thread
// over the stand-in simulator (real time), staged by a scenario file as the
// one simulator or the other, with both simulators' install folders in
// place. A start with "MSFS 2024" chosen must take the 2024 install path,
// search the streamed packages before the Community folder, link and
// generate airport files by the 2024 archive, write its files as simulator 2
// and connect to the 2024 simulator. A start with "MSFS 2024" chosen that
// meets the 2020 simulator must switch the choice and restart, and the new
// run must work with the 2020 simulator.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/messages.h"
#include "core/settings.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/headless_window.h"
#include "refdata/airports.h"
#include "refdata/data_file.h"
#include "run/program.h"
#include "support/http_server.h"
#include "support/log_capture.h"
#include "support/settings_scope.h"
#include "support/silent_run_window.h"
#include "support/temp_dir.h"

// Named apart: the suite's files may be built as one unit.
namespace qvl::test::sim_choice {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path programDataFolder() { return fs::path(__FILE__).parent_path().parent_path().parent_path() / "data"; }

// The UI thread's side: the run thread's posts are kept until the test
// (the UI thread) takes them.
class PostBox final : public SilentRunWindow {
public:
    enum class Post { startRun, exit };

    void postStartRun() override { put(Post::startRun); }
    void postExit(std::int32_t) override { put(Post::exit); }

    std::optional<Post> take(std::chrono::seconds within) {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_for(lock, within, [&] { return post_.has_value(); })) return std::nullopt;
        return std::exchange(post_, std::nullopt);
    }

private:
    void put(Post post) {
        {
            const std::lock_guard lock(mutex_);
            post_ = post;
        }
        posted_.notify_one();
    }
    std::mutex mutex_;
    std::condition_variable posted_;
    std::optional<Post> post_;
};

// One AI package of the automatic scan, with one livery of that title.
void writeAiPackage(const fs::path& community, const std::string& title) {
    const fs::path model = community / "aig-aitraffic-oci-test" / "SimObjects" / "Airplanes" / "A320";
    fs::create_directories(model);
    writeFile(model / "aircraft.cfg",
              "[General]\nicao_type_designator=A320\n[fltsim.0]\ntitle=" + title + "\nicao_airline=AUA\n");
}

constexpr const char* kTitle2020 = "Airbus A320 Austrian Installed For 2020";
constexpr const char* kTitle2024 = "Airbus A320 Austrian Installed For 2024";

// Graz: a known airport that the 2024 archive lacks, so the streamed search
// generates its file from the simulator's facility data. Vienna is in the
// 2024 archive (and not in the 2020 one), so it is linked.
constexpr const char* kScenarioWorld =
    "user_position = 46.9911 15.4396\n"
    "user_altitude = 1115\n"
    "user_on_ground = yes\n"
    "ground_elevation = 1115\n"
    "airport = LOWG 46.9911 15.4396 340 Graz\n"
    "parking = LOWG 1 3 90 20 100 -50\n"
    "parking = LOWG 2 3 90 20 160 -50\n";

class ProgramSimChoice : public ::testing::Test {
protected:
    ProgramSimChoice() : previous_(fs::current_path()) {
        fs::create_directories(dir / "docs");
        fs::create_directories(dir / "input");
        fs::create_directories(dir / "output");
        fs::create_directories(dir / "roaming" / "Quorvelant");
        streamEncrypt(programDataFolder() / "dbase.xml", dir / "input" / "dbase.enc");
        streamEncrypt(programDataFolder() / "airports.xml", dir / "input" / "airports.enc");
        writeAiPackage(sim2020 / "Community", kTitle2020);
        fs::create_directories(sim2020 / "Official");
        writeAiPackage(sim2024 / "Community", kTitle2024);
        fs::create_directories(sim2024 / "Official2024");
        fs::create_directories(sim2024 / "StreamedPackages" / "asobo-airport-loww-vienna");
        fs::create_directories(sim2024 / "StreamedPackages" / "asobo-airport-lowg-graz");
        ::setenv("QVL_ROAMING_DIR", (dir / "roaming").c_str(), 1);
        // The version check asks this site, which knows nothing: nothing to update.
        ::setenv("QVL_DOWNLOAD_BASE", (site.baseUrl() + "/").c_str(), 1);
        fs::current_path(dir.path());
        resetAllSettings();
        resetMessages();
        resetAirportList();
    }
    ~ProgramSimChoice() override {
        if (program) program->finish(10s);
        fs::current_path(previous_);
        ::unsetenv("QVL_ROAMING_DIR");
        ::unsetenv("QVL_DOWNLOAD_BASE");
        resetMessages();
    }

    // parameters.xml with the choice and the scans; both install paths set.
    void writeParameters(const std::string& choice, bool scanLiveries, bool scanAirports) const {
        const auto flag = [](bool on) { return on ? "true" : "false"; };
        writeFile(dir / "roaming" / "Quorvelant" / "parameters.xml",
                  "<root><parameters><parameter name=\"PROGRAM_VERSION\" value=\"12.2.0\"/>"
                  "<parameter name=\"SIM_CHOICE\" value=\"" +
                      choice + "\"/><parameter name=\"MSFS_INSTALL_PATH\" value=\"" + sim2020.string() +
                      "\"/><parameter name=\"MSFS_2024_INSTALL_PATH\" value=\"" + sim2024.string() +
                      "\"/><parameter name=\"SCAN_LIVERIES\" value=\"" + flag(scanLiveries) +
                      "\"/><parameter name=\"SCAN_AIRPORTS\" value=\"" + flag(scanAirports) +
                      "\"/></parameters></root>");
    }

    // The stand-in as its scenario stages it, and the program over it; the
    // first run starts.
    void start(const std::string& simulatorLine) {
        writeFile(dir / "scenario.txt", simulatorLine + "\n" + kScenarioWorld);
        sim::StandInConfig config;
        std::vector<std::string> problems;
        ASSERT_TRUE(sim::StandInSimulator::readScenario(dir / "scenario.txt", config, problems));
        ASSERT_TRUE(problems.empty()) << problems.front();
        simulator = std::make_unique<sim::StandInSimulator>(std::move(config));
        program = std::make_unique<Program>(*simulator, window, mainWindow, clock);
        program->parts().trafficPort = 0;
        program->parts().qnhPort = 0;
        program->startRun();
    }

    std::string log() const { return logCapture.text(); }
    bool logged(const std::string& text) const { return log().find(text) != std::string::npos; }
    // False when the time is up, or at once when the log holds `giveUpOn`.
    bool waitForLog(const std::string& text, std::chrono::seconds within, const std::string& giveUpOn = {}) const {
        const auto until = std::chrono::steady_clock::now() + within;
        while (!logged(text)) {
            if (std::chrono::steady_clock::now() > until || (!giveUpOn.empty() && logged(giveUpOn))) return false;
            std::this_thread::sleep_for(50ms);
        }
        return true;
    }
    // The close button, and the run's end that it brings.
    void closeProgram() {
        EXPECT_TRUE(program->onClose());
        EXPECT_EQ(window.take(30s), PostBox::Post::exit) << log();
        program->finish(10s);
    }
    std::string parameters() const { return readFile(dir / "roaming" / "Quorvelant" / "parameters.xml"); }

    SettingsScope settings;
    TempDir dir;
    LogCapture logCapture{dir.path()};
    HttpServer site;
    fs::path sim2020 = dir / "sim2020";
    fs::path sim2024 = dir / "sim2024";
    PostBox window;
    ui::HeadlessWindow mainWindow;
    SteadyRunClock clock;
    std::unique_ptr<sim::StandInSimulator> simulator;
    std::unique_ptr<Program> program;

private:
    fs::path previous_;
};

TEST_F(ProgramSimChoice, AStartWithThe2024SimulatorScansIts2024FoldersAndWritesSim2) {
    writeParameters("MSFS 2024", true, true);
    start("simulator = MSFS 2024");
    ASSERT_TRUE(waitForLog("MSFS 2024 (11.0.282174.999) connected", 60s, "do not match")) << log();
    closeProgram();

    EXPECT_TRUE(logged("Waiting for MSFS 2024 ...")) << log();
    EXPECT_FALSE(logged("do not match")) << log();
    EXPECT_NE(parameters().find(R"(name="SIM_CHOICE" value="MSFS 2024")"), std::string::npos);

    // The liveries of the 2024 install path's Community folder, as simulator 2.
    const std::string liveries = readFile(dir / "output" / "LiveriesScanned.xml");
    EXPECT_NE(liveries.find(kTitle2024), std::string::npos) << liveries;
    EXPECT_EQ(liveries.find(kTitle2020), std::string::npos) << liveries;
    EXPECT_NE(liveries.find(R"(name="sim" value="2")"), std::string::npos) << liveries;

    // The streamed packages first, then the Community folder, both of the
    // 2024 install path.
    const std::string scanLog = readFile(dir / "output" / "info" / "AirportsScanLog.txt");
    const auto streamed =
        scanLog.find("Scanning for streamed airports in:\n" + (sim2024 / "StreamedPackages").string());
    const auto community = scanLog.find("Scanning for addon  airports in:\n" + (sim2024 / "Community").string());
    EXPECT_NE(streamed, std::string::npos) << scanLog;
    EXPECT_NE(community, std::string::npos) << scanLog;
    EXPECT_LT(streamed, community) << scanLog;
    EXPECT_EQ(scanLog.find(sim2020.string()), std::string::npos) << scanLog;

    // Vienna is in the 2024 archive: linked. Graz is in none: generated from
    // the simulator's facility data, as simulator 2.
    EXPECT_EQ(readFile(dir / "airports" / "my_simaddon" / "LOWW.txt"), "archive/simaddon/LOWW.xml\n");
    const std::string graz = readFile(dir / "airports" / "my_simaddon" / "LOWG.xml");
    EXPECT_NE(graz.find("<parkpos "), std::string::npos) << graz;
    EXPECT_NE(graz.find(R"(name="sim" value="2")"), std::string::npos) << graz;
}

TEST_F(ProgramSimChoice, A2024ChoiceMeetingThe2020SimulatorSwitchesTheChoiceAndRestarts) {
    writeParameters("MSFS 2024", false, false);
    writeFile(dir / "output" / "LiveriesScanned.xml",
              std::string("<root><liveries><l a=\"AUA\" m=\"A320\" t=\"") + kTitle2024 + "\"/></liveries></root>");
    start("simulator = MSFS 2020");
    ASSERT_EQ(window.take(60s), PostBox::Post::startRun) << log();
    EXPECT_TRUE(logged("Waiting for MSFS 2024 ...")) << log();
    EXPECT_TRUE(logged("MSFS and Quorvelant do not match, restarting ...")) << log();
    EXPECT_TRUE(logged("Switching MSFS version in Quorvelant")) << log();
    EXPECT_TRUE(logged("Exiting: NEW SETTINGS")) << log();
    EXPECT_NE(parameters().find(R"(name="SIM_CHOICE" value="MSFS 2020")"), std::string::npos) << parameters();

    // The new run works with the simulator that answered: its install path,
    // both scans, and a connection that is accepted.
    program->startRun();
    ASSERT_TRUE(waitForLog("MSFS 2020 (11.0.282174.999) connected", 60s)) << log();
    closeProgram();
    EXPECT_TRUE(logged("Waiting for MSFS 2020 ...")) << log();
    const std::string liveries = readFile(dir / "output" / "LiveriesScanned.xml");
    EXPECT_NE(liveries.find(kTitle2020), std::string::npos) << liveries;
    EXPECT_NE(liveries.find(R"(name="sim" value="1")"), std::string::npos) << liveries;
    const std::string scanLog = readFile(dir / "output" / "info" / "AirportsScanLog.txt");
    EXPECT_NE(scanLog.find("Scanning for addon  airports in:\n" + (sim2020 / "Official").string()), std::string::npos)
        << scanLog;
    EXPECT_EQ(scanLog.find(sim2024.string()), std::string::npos) << scanLog;
}

}  // namespace
}  // namespace qvl::test::sim_choice
