#include "simlink/sim_session.h"

#include <fmt/format.h>

#include "core/log.h"
#include "core/paths.h"
#include "core/run_state.h"
#include "core/time_text.h"
#include "simlink/sim_state.h"
#include "simlink/sim_version.h"

namespace qvl {

void gf_simNoLongerConnected(const SimLinkState& link, RunState& run, SimDisconnect why) {
    if (run.closingFlag.load()) return;
    if (why == SimDisconnect::wrongSimulator) {
        link.hooks.switchSimulator(otherSimVersion(link.simVersion.load()));
        return;
    }
    gf_log(fmt::format("{} Flight Simulator no longer connected, {} will stop ...", gf_utcTimeNow(), kProductName));
    run.endRun(RestartReason::simWasClosed, 0);
}

}  // namespace qvl
