// quorvelant: the program. With the stand-in simulator on Linux
// ($QVL_SIM_SCENARIO, $QVL_SIM_TRACE) and without a display for now.
#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/log.h"
#include "platform/sim/stand_in.h"
#include "run/application.h"
#include "run/headless_loop.h"

namespace {

// Set by SIGINT and SIGTERM; the UI loop turns it into a close request.
std::atomic<bool> gInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int /*signal*/) { gInterrupted.store(true); }

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return qvl::runProgram(arguments, [](const std::vector<std::string>& args) {
        qvl::HeadlessUiLoop loop;
        qvl::HeadlessWindow window(loop);
        loop.setInterruptCheck([] { return gInterrupted.exchange(false); });
        std::signal(SIGINT, onInterrupt);
        std::signal(SIGTERM, onInterrupt);
        const auto simulator =
            qvl::sim::makeStandInForRun([](std::string_view problem) { qvl::gf_logAttention(problem); });
        return qvl::gf_runApplication({.loop = loop, .window = window, .simulator = *simulator}, args);
    });
}
