// quorvelant: the program. On Linux its simulator is the stand-in
// ($QVL_SIM_SCENARIO sets its world, $QVL_SIM_TRACE asks for its trace); the
// window is a real one when a display is there, else headless.
// $QVL_TRAFFIC_PORT and $QVL_QNH_PORT move the readers off their UDP ports.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/log.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/window.h"
#include "run/application.h"
#include "run/close_bound.h"
#include "run/run_clock.h"
#include "run/run_control.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return qvl::runProgram(arguments, [](const std::vector<std::string>& args) {
        // Read once the log is open, so a bad value is said there.
        const qvl::ReaderPorts ports =
            qvl::readerPortsFrom(std::getenv(qvl::kTrafficPortVariable), std::getenv(qvl::kQnhPortVariable));
        const std::shared_ptr<qvl::ui::Window> window = qvl::ui::makeWindow(qvl::ui::BackEnd::Automatic);
        // Before the simulator: the bound holds until the simulator has ended.
        qvl::CloseBound closeBound(qvl::kThreadJoinBound);
        const auto simulator =
            qvl::sim::makeStandInForRun([](std::string_view problem) { qvl::gf_logAttention(problem); });
        qvl::SteadyRunClock clock;
        const std::int32_t code = qvl::gf_runApplication(window, *simulator, args, ports, clock, closeBound);
        // The stand-in's thread may be blocked writing a trace that nobody reads.
        constexpr std::string_view kStandIn = "stand-in simulator";
        closeBound.awaiting(kStandIn);
        if (!simulator->stopWithin(closeBound.left())) qvl::endWhileAThreadRuns(kStandIn, qvl::kThreadJoinBound);
        return code;
    });
}
