// A close always ends the process: the whole program (its window, its
// signal handlers, its run thread) runs in a child process whose run thread
// blocks for good in its first step. SIGINT or the window's close must end
// that child about 5 s later with exit code 1 and its last line in Log.txt,
// though the run thread never comes to the close and the window's loop
// never ends (SIGINT even when the window no longer handles its messages);
// the end comes even when the run thread is blocked inside a write of
// Log.txt. A program that left a thread behind ends with its own
// exit code and never through static destructors.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/file_writer.h"
#include "core/log.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/window.h"
#include "run/application.h"
#include "run/close_bound.h"
#include "run/run_clock.h"
#include "run/run_control.h"
#include "support/gated_files.h"
#include "support/log_capture.h"
#include "support/program_start_folder.h"
#include "support/stalled_log.h"
#include "support/temp_dir.h"

namespace qvl::test {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

// The run thread's first step reads the clock: there it stays, as on a
// folder whose reads never return, after `whenHeld` (when given). The UI
// thread reads it as it is.
class ClockThatHoldsTheRun final : public RunClock {
public:
    ClockThatHoldsTheRun() = default;
    explicit ClockThatHoldsTheRun(std::function<void()> whenHeld) : whenHeld_(std::move(whenHeld)) {}
    time_point now() override {
        holdOffTheUiThread();
        return std::chrono::steady_clock::now();
    }
    void sleepUntil(time_point when) override {
        holdOffTheUiThread();
        std::this_thread::sleep_until(when);
    }
    std::atomic<bool> holding{false};

private:
    void holdOffTheUiThread() {
        if (std::this_thread::get_id() == uiThread_) return;
        holding.store(true);
        if (whenHeld_) whenHeld_();
        for (;;) std::this_thread::sleep_for(1h);
    }
    const std::function<void()> whenHeld_;
    const std::thread::id uiThread_ = std::this_thread::get_id();
};

// The steady clock is the machine's, so the moment a child sends its close,
// written to a file, reads the same in the test's process.
void noteTheClose(const std::filesystem::path& sentAt) {
    std::ofstream(sentAt) << Steady::now().time_since_epoch().count();
}

// How long after the close it noted the child ended; none when it noted none.
std::optional<Steady::duration> timeAfterTheClose(const std::filesystem::path& sentAt, Steady::time_point ended) {
    std::int64_t sentTicks = 0;
    std::ifstream(sentAt) >> sentTicks;
    if (sentTicks == 0) return std::nullopt;
    return ended - Steady::time_point(Steady::duration(sentTicks));
}

// SIGINT, the window's close, or SIGINT to a window whose UI thread has
// stopped handling its messages (so only the signal's own hook sees it).
enum class CloseBy { signal, window, signalToAStuckWindow };

// The close is sent once the run thread is held; its steady time goes to
// `sentAt` (the steady clock is the machine's, so the test's process reads
// the same). Should the child outlive its bound by far, it ends with 3.
void runUntilClosed(CloseBy by, const std::filesystem::path& sentAt) {
    const std::shared_ptr<ui::Window> window = ui::makeWindow(ui::BackEnd::Headless);
    sim::StandInSimulator simulator;
    ClockThatHoldsTheRun clock;
    std::jthread closer([&, by, sentAt] {
        while (!clock.holding.load()) std::this_thread::sleep_for(10ms);
        if (by == CloseBy::signalToAStuckWindow) {
            std::atomic<bool> stuck{false};
            window->postTask([&stuck] {
                stuck.store(true);
                for (;;) std::this_thread::sleep_for(1h);
            });
            while (!stuck.load()) std::this_thread::sleep_for(10ms);
        }
        noteTheClose(sentAt);
        if (by == CloseBy::window) {
            window->requestClose();
        } else {
            std::raise(SIGINT);
        }
        std::this_thread::sleep_for(20s);
        std::_Exit(3);
    });
    std::_Exit(gf_runApplication(window, simulator, {}, {.traffic = 0, .qnh = 0}, clock));
}

class ProgramEndTest : public ::testing::Test, protected ProgramStartFolder {};

class ProgramClose : public ::testing::TestWithParam<CloseBy>, protected ProgramStartFolder {
protected:
    ProgramClose() { std::filesystem::create_directories(dir / "docs"); }
};

TEST_P(ProgramClose, ACloseEndsARunThatNeverReturnsWithinTheBoundWithExitCode1) {
    const LogCapture log(dir.path());
    // The child inherits the log's buffer: empty it, so no line is written twice.
    gf_flushLog();
    GTEST_FLAG_SET(death_test_style, "fast");
    const std::filesystem::path sentAt = dir / "sent_at.txt";
    EXPECT_EXIT(runUntilClosed(GetParam(), sentAt), ::testing::ExitedWithCode(1), "");
    const auto ended = Steady::now();

    const std::optional<Steady::duration> afterClose = timeAfterTheClose(sentAt, ended);
    ASSERT_TRUE(afterClose) << "the run thread was never held";
    EXPECT_GE(*afterClose, kThreadJoinBound);
    // The bound and the time to end; far more would be the program's stall.
    EXPECT_LT(*afterClose, kThreadJoinBound + 3s);
    const std::string text = log.text();
    EXPECT_TRUE(
        text.ends_with("==> The run thread has not ended within 5000 ms: Quorvelant ends at once with exit code 1\n"))
        << text;
}

INSTANTIATE_TEST_SUITE_P(SignalOrWindow, ProgramClose,
                         ::testing::Values(CloseBy::signal, CloseBy::window, CloseBy::signalToAStuckWindow),
                         [](const ::testing::TestParamInfo<CloseBy>& param) {
                             switch (param.param) {
                                 case CloseBy::signal: return std::string("Sigint");
                                 case CloseBy::window: return std::string("Window");
                                 case CloseBy::signalToAStuckWindow: return std::string("SigintToAStuckWindow");
                             }
                             return std::string("Unknown");
                         });

// The run thread blocks inside a write of Log.txt, on a share that stopped
// answering, and holds the log's lock there; SIGINT closes. Should the
// child outlive its bound by far, it ends with 3.
void runWithItsLogBlocked(const std::filesystem::path& share, const std::filesystem::path& sentAt) {
    const StalledLog log(share / "Log.txt");
    std::atomic<bool> filled{false};
    const std::shared_ptr<ui::Window> window = ui::makeWindow(ui::BackEnd::Headless);
    sim::StandInSimulator simulator;
    ClockThatHoldsTheRun clock([&filled] {
        while (!filled.load()) std::this_thread::sleep_for(10ms);
        gf_log("The run writes a line that the share never takes");
    });
    std::jthread closer([&, sentAt] {
        while (!clock.holding.load()) std::this_thread::sleep_for(10ms);
        log.fill();
        filled.store(true);
        // Time for the run thread to come into its write.
        std::this_thread::sleep_for(200ms);
        noteTheClose(sentAt);
        std::raise(SIGINT);
        std::this_thread::sleep_for(20s);
        std::_Exit(3);
    });
    std::_Exit(gf_runApplication(window, simulator, {}, {.traffic = 0, .qnh = 0}, clock));
}

TEST_F(ProgramEndTest, ACloseEndsTheProcessWithExitCode1ThoughTheRunIsBlockedInAWriteOfLogTxt) {
    std::filesystem::create_directories(dir / "docs");
    std::filesystem::create_directories(dir / "share");
    GTEST_FLAG_SET(death_test_style, "fast");
    const std::filesystem::path sentAt = dir / "sent_at.txt";
    EXPECT_EXIT(runWithItsLogBlocked(dir / "share", sentAt), ::testing::ExitedWithCode(1), "");
    const auto ended = Steady::now();

    const std::optional<Steady::duration> afterClose = timeAfterTheClose(sentAt, ended);
    ASSERT_TRUE(afterClose) << "the run thread was never held";
    EXPECT_GE(*afterClose, kThreadJoinBound);
    // The bound, the last line's own bound and the time to end.
    EXPECT_LT(*afterClose, kThreadJoinBound + kLastLineBound + 3s);
}

// A program whose run ended, but whose file writer was given up on inside a
// write that never returns: it ends with its own exit code after the last
// line, before any static destructor runs under the writer.
TEST_F(ProgramEndTest, AProgramThatLeftAWriterBehindEndsWithItsOwnExitCodeAfterItsLastLine) {
    GTEST_FLAG_SET(death_test_style, "fast");
    const auto leaveAWriterBehind = [] {
        std::_Exit(runProgram({},
                              [](const std::vector<std::string>&) {
                                  const auto files = std::make_shared<GatedFiles>();
                                  files->close();
                                  FileWriter writer(files);
                                  writer.write("object_ids.txt", "1\n");
                                  static_cast<void>(files->waitForWaiter());
                                  static_cast<void>(writer.close(100ms));
                                  return 0;
                              }) +
                   10);
    };
    EXPECT_EXIT(leaveAWriterBehind(), ::testing::ExitedWithCode(0), "");
    const std::string text = readFile(dir / "Log.txt");
    EXPECT_TRUE(text.ends_with(
        "==> A thread left behind has not ended (file writer): Quorvelant ends at once with exit code 0\n"))
        << text;
}

// A close taken up as a restart withdraws the bound, so the program goes on;
// the next close starts it anew and names what the end then waits for.
void closeWithdrawnThenAgain() {
    CloseBound bound(100ms);
    bound.start();
    bound.withdraw();
    std::this_thread::sleep_for(400ms);
    bound.awaiting("SimClient");
    bound.start();
    std::this_thread::sleep_for(5s);
    std::_Exit(0);
}

TEST(CloseBound, AWithdrawnBoundLetsTheProgramGoOnAndALaterCloseStartsItAnew) {
    const TempDir dir;
    const LogCapture log(dir.path());
    gf_flushLog();
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(closeWithdrawnThenAgain(), ::testing::ExitedWithCode(1), "");
    const std::string text = log.text();
    EXPECT_TRUE(text.ends_with(
        "==> The SimClient thread has not ended within 100 ms: Quorvelant ends at once with exit code 1\n"))
        << text;
}

// The last line's own write meets a Log.txt that takes nothing more: the
// exit armed before it still comes. Should it not, the child ends with 3.
void endWithTheLastLineBlocked(const std::filesystem::path& share) {
    const StalledLog log(share / "Log.txt");
    log.fill();
    std::jthread guard([] {
        std::this_thread::sleep_for(10s);
        std::_Exit(3);
    });
    endWhileAThreadRuns("run", 100ms);
}

TEST(CloseBound, TheEndComesWithExitCode1ThoughTheLastLinesOwnWriteNeverReturns) {
    const TempDir dir;
    GTEST_FLAG_SET(death_test_style, "fast");
    const auto start = Steady::now();
    EXPECT_EXIT(endWithTheLastLineBlocked(dir.path()), ::testing::ExitedWithCode(1), "");
    EXPECT_LT(Steady::now() - start, kLastLineBound + 3s);
}

}  // namespace
}  // namespace qvl::test
