#include "run/traffic_run.h"

#include <fmt/format.h>

#include <string>

#include "core/log.h"
#include "core/settings.h"

namespace qvl {
namespace {

// Up to 15 seconds for the first traffic line; the run goes on either way.
void waitForFirstTraffic(RunControl& control) {
    for (int poll = 0; poll < kFirstTrafficPolls; ++poll) {
        if (static_cast<long long>(control.trafficRun.trafficClock()) != 0 || control.run.isClosing()) return;
        control.clock.sleepUntil(control.clock.now() + kFirstTrafficPoll);
    }
    if (static_cast<long long>(control.trafficRun.trafficClock()) == 0) gf_log("No traffic in this region?");
}

}  // namespace

bool lf_runTraffic(RunControl& control) {
    TrafficRunSteps& steps = control.trafficRun;
    steps.darkenLinkLamps();
    control.window.repaintStatus();
    steps.initAiTraffic();
    steps.initSimQueues();
    control.window.repaintStatus();
    steps.startSimClient();
    if (!steps.requestUserAircraftData()) {
        // Say why before the run ends, so Log.txt does not end in silence.
        gf_log(fmt::format("The user aircraft's data did not arrive: {}",
                           control.run.isClosing()
                               ? fmt::format("the run ends ({})", restartReasonName(control.run.restartReason.load()))
                               : std::string("the simulator did not answer")));
        return false;
    }
    if (AUTO_RANGE.value()) steps.updateAutoRange();
    if (control.process.rtLocal.load() && !AEROWINX.value()) {
        steps.startTcpServer(PORT_NUMBER.value());
    } else {
        steps.lightRealTrafficLamp();
        control.window.repaintStatus();
    }
    if (control.run.isClosing()) return false;
    control.window.setStartingUp(false);
    control.window.repaintStatus();
    if (AEROWINX.value()) {
        steps.clearRealTrafficEdition();
    } else {
        steps.waitForRealTraffic();
        if (steps.realTrafficProfEdition()) steps.sendSimTime();
    }
    if (control.run.isClosing()) return false;
    steps.setAcceptingTraffic(false);
    steps.startQnhReader();
    if (!sleepUnlessClosing(control.clock, control.run, kTrafficReaderDelay)) return false;
    steps.startTrafficReader();
    steps.sendUserPosition();
    steps.copyUserPositionToReader();
    waitForFirstTraffic(control);
    control.process.trafficDaySlot.store(steps.trafficDaySlot());
    return true;
}

}  // namespace qvl
