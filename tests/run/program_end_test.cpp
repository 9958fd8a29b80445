// The end of the process while the run thread still runs: after the bound
// the process ends at once with exit code 1 and a last line in Log.txt, so
// that nothing the run thread works with is freed under it. The program
// runs in a child process (a death test) whose run thread never leaves its
// first step.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "core/log.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/headless_window.h"
#include "run/program.h"
#include "support/log_capture.h"
#include "support/silent_run_window.h"
#include "support/temp_dir.h"

namespace qvl::test {
namespace {

using namespace std::chrono_literals;

// A clock that never answers: the run thread's first step reads it and
// stays there.
class StoppedClock final : public RunClock {
public:
    time_point now() override {
        for (;;) std::this_thread::sleep_for(1h);
    }
    void sleepUntil(time_point /*when*/) override {
        for (;;) std::this_thread::sleep_for(1h);
    }
};

// A simulator whose connection never opens nor fails: the simulator client's
// thread stays in its first call.
class SilentSimulator final : public sim::SimLibrary {
public:
    sim::HResult open(sim::SimConnection** /*connection*/, std::string_view /*applicationName*/,
                      std::uint32_t /*configIndex*/) override {
        called.store(true);
        for (;;) std::this_thread::sleep_for(1h);
    }
    std::atomic<bool> called{false};
};

// Builds the program in the child, so the test's own process forks with
// one thread only.
void finishWhileTheRunStepHangs() {
    sim::StandInSimulator simulator{sim::StandInConfig{}};
    SilentRunWindow window;
    ui::HeadlessWindow mainWindow;
    StoppedClock clock;
    Program program(simulator, window, mainWindow, clock);
    program.startRun();
    program.finish(50ms);
}

// The end of a run left the simulator client's thread running: the
// program is not destroyed here, as its end would wait for that thread.
void finishWhileTheSimClientHangs() {
    SilentSimulator simulator;
    SilentRunWindow window;
    ui::HeadlessWindow mainWindow;
    StoppedClock clock;
    auto program = std::make_unique<Program>(simulator, window, mainWindow, clock);
    ProgramParts& parts = program->parts();
    parts.simClient.start(parts.link, parts.run, simulator);
    // Once inside the call, a request to stop no longer reaches the thread.
    for (int i = 0; i < 500 && !simulator.called.load(); ++i) std::this_thread::sleep_for(10ms);
    program->finish(50ms);
    static_cast<void>(program.release());
}

TEST(ProgramEnd, ARunThreadStillRunningAfterTheBoundEndsTheProcessAtOnceWithExitCode1) {
    const TempDir dir;
    const LogCapture log(dir.path());
    // The child inherits the log's buffer: empty it, so no line is written twice.
    gf_flushLog();
    GTEST_FLAG_SET(death_test_style, "fast");
    // Had finish returned, the program would be destroyed under its run
    // thread and the child would go on past this statement.
    EXPECT_EXIT(finishWhileTheRunStepHangs(), ::testing::ExitedWithCode(1), "");
    const std::string text = log.text();
    EXPECT_TRUE(
        text.ends_with("==> The run thread has not ended within 50 ms: Quorvelant ends at once with exit "
                       "code 1\n"))
        << text;
}

TEST(ProgramEnd, ASimulatorClientThreadLeftRunningEndsTheProcessAtOnceWithExitCode1) {
    const TempDir dir;
    const LogCapture log(dir.path());
    gf_flushLog();
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(finishWhileTheSimClientHangs(), ::testing::ExitedWithCode(1), "");
    const std::string text = log.text();
    EXPECT_TRUE(
        text.ends_with("==> The SimClient thread has not ended within 50 ms: Quorvelant ends at once with "
                       "exit code 1\n"))
        << text;
}

}  // namespace
}  // namespace qvl::test
