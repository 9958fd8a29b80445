#include "simlink/sim_session.h"

#include <fmt/format.h>

#include "core/log.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/run_state.h"
#include "core/settings.h"
#include "core/time_text.h"
#include "simlink/sim_state.h"

namespace qvl {
namespace {

constexpr std::int32_t kSwitchDelaySeconds = 3;

}  // namespace

void gf_simNoLongerConnected(const SimLinkState& link, RunState& run, SimDisconnect why) {
    if (run.closingFlag.load()) return;
    if (why == SimDisconnect::wrongSimulator) {
        link.hooks.setStringSetting(SIM_CHOICE, std::string(simChoiceName(otherSimVersion(link.simVersion.load()))));
        gf_fillChoiceComboBox(SIM_CHOICE);
        gf_showMessage(fmt::format("Switching MSFS version in {}", kProductName), MessageLogging::logged);
        run.endRun(RestartReason::newSettings, kSwitchDelaySeconds);
        return;
    }
    gf_log(fmt::format("{} Flight Simulator no longer connected, {} will stop ...", gf_utcTimeNow(), kProductName));
    run.endRun(RestartReason::simWasClosed, 0);
}

}  // namespace qvl
