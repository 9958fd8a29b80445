// The program's threads on real parts: the run thread over the stand-in
// simulator (real time), the readers on ephemeral ports, closed or restarted
// from the test's thread acting as the UI thread. Every thread must be
// joined at the end, and the run must end the way its reason says.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/log.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/headless_window.h"
#include "refdata/airports.h"
#include "refdata/data_file.h"
#include "run/program.h"
#include "support/log_capture.h"
#include "support/settings_scope.h"
#include "support/silent_run_window.h"
#include "support/temp_dir.h"

namespace qvl::test {
namespace {

using namespace std::chrono_literals;

std::filesystem::path programDataFolder() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "data";
}

// The UI thread's side, called from the run thread: posts are kept until
// the test (the UI thread) takes them.
class PostBox final : public SilentRunWindow {
public:
    enum class Post { startRun, exit };

    void postStartRun() override { put(Post::startRun, 0); }
    void postExit(std::int32_t exitCode) override { put(Post::exit, exitCode); }

    // The next post within the time; none when nothing came.
    std::optional<std::pair<Post, std::int32_t>> take(std::chrono::seconds within) {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_for(lock, within, [&] { return post_.has_value(); })) return std::nullopt;
        return std::exchange(post_, std::nullopt);
    }

private:
    void put(Post post, std::int32_t code) {
        {
            const std::lock_guard lock(mutex_);
            post_ = std::pair{post, code};
        }
        posted_.notify_one();
    }
    std::mutex mutex_;
    std::condition_variable posted_;
    std::optional<std::pair<Post, std::int32_t>> post_;
};

sim::StandInConfig userAtVienna() {
    sim::StandInConfig config;
    config.user.latitude = 48.1103;
    config.user.longitude = 16.5697;
    config.user.altitudeFt = 600.0;
    config.groundElevationFt = 600.0;
    return config;
}

class ProgramThreadedTest : public ::testing::Test {
protected:
    ProgramThreadedTest() : previous_(std::filesystem::current_path()) {
        namespace fs = std::filesystem;
        fs::create_directories(dir / "docs");
        fs::create_directories(dir / "input");
        fs::create_directories(dir / "output");
        fs::create_directories(dir / "roaming" / "Quorvelant");
        streamEncrypt(programDataFolder() / "dbase.xml", dir / "input" / "dbase.enc");
        streamEncrypt(programDataFolder() / "airports.xml", dir / "input" / "airports.enc");
        writeFile(dir / "output" / "LiveriesScanned.xml",
                  "<root><liveries><l a=\"AUA\" m=\"A320\" t=\"Test A320\"/></liveries></root>");
        writeFile(dir / "roaming" / "Quorvelant" / "parameters.xml",
                  "<root><parameters><parameter name=\"PROGRAM_VERSION\" value=\"12.2.0\"/>"
                  "<parameter name=\"MSFS_INSTALL_PATH\" value=\"" +
                      (dir / "sim").string() +
                      "\"/><parameter name=\"SCAN_LIVERIES\" value=\"false\"/>"
                      "<parameter name=\"SCAN_AIRPORTS\" value=\"false\"/></parameters></root>");
        ::setenv("QVL_ROAMING_DIR", (dir / "roaming").c_str(), 1);
        fs::current_path(dir.path());
        resetAllSettings();
        resetMessages();
        resetAirportList();
        program.parts().trafficPort = 0;
        program.parts().qnhPort = 0;
    }
    ~ProgramThreadedTest() override {
        program.finish(10s);
        std::filesystem::current_path(previous_);
        ::unsetenv("QVL_ROAMING_DIR");
        resetMessages();
    }
    std::string log() const { return logCapture.text(); }

    SettingsScope settings;
    TempDir dir;
    LogCapture logCapture{dir.path()};
    sim::StandInSimulator simulator{userAtVienna()};
    PostBox window;
    ui::HeadlessWindow mainWindow;
    SteadyRunClock clock;
    Program program{simulator, window, mainWindow, clock};

private:
    std::filesystem::path previous_;
};

TEST_F(ProgramThreadedTest, ACloseWhileTheRunStartsEndsItWithEveryThreadJoined) {
    program.startRun();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(program.onClose());
    const auto post = window.take(30s);
    ASSERT_TRUE(post.has_value()) << log();
    EXPECT_EQ(post->first, PostBox::Post::exit);
    EXPECT_EQ(post->second, 0);
    program.finish(10s);
    EXPECT_FALSE(program.runThreadAlive());
    EXPECT_NE(log().find("Exiting: USER CLOSED SIM"), std::string::npos);
}

TEST_F(ProgramThreadedTest, AReaderErrorRestartsWithANewRunThreadThatTheCloseThenEnds) {
    program.startRun();
    // Into the main loop: the simulator's seconds arrive and traffic is accepted.
    const auto until = std::chrono::steady_clock::now() + 40s;
    while (!program.parts().traffic.accepting() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(program.parts().traffic.accepting()) << log();
    program.parts().run.endRun(RestartReason::readerError, 1);
    const auto restart = window.take(30s);
    ASSERT_TRUE(restart.has_value()) << log();
    EXPECT_EQ(restart->first, PostBox::Post::startRun);
    program.startRun();  // joins the ended run thread first
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(program.onClose());
    const auto end = window.take(30s);
    ASSERT_TRUE(end.has_value()) << log();
    EXPECT_EQ(end->first, PostBox::Post::exit);
    program.finish(10s);
    const std::string text = log();
    EXPECT_NE(text.find("Exiting: READER ERROR"), std::string::npos);
    EXPECT_NE(text.find("Restart countdown finished"), std::string::npos);
    EXPECT_NE(text.find("Exiting: USER CLOSED SIM"), std::string::npos) << text;
}

}  // namespace
}  // namespace qvl::test
