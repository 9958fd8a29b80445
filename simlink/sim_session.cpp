#include "simlink/sim_session.h"

#include <fmt/format.h>

#include "core/log.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/run_flags.h"
#include "core/settings.h"
#include "core/time_text.h"
#include "simlink/sim_hooks.h"
#include "simlink/sim_version.h"

namespace qvl {
namespace {

constexpr std::int32_t kSwitchDelaySeconds = 3;

}  // namespace

void gf_simNoLongerConnected(SimDisconnect why) {
    if (closingFlag.load()) return;
    if (why == SimDisconnect::wrongSimulator) {
        setSimStringSetting(SIM_CHOICE, std::string(otherSimChoice()));
        gf_fillChoiceComboBox(SIM_CHOICE);
        gf_showMessage(fmt::format("Switching MSFS version in {}", kProductName), true);
        endRun(RestartReason::newSettings, kSwitchDelaySeconds);
        return;
    }
    gf_log(fmt::format("{} Flight Simulator no longer connected, {} will stop ...", gf_utcTimeNow(), kProductName));
    endRun(RestartReason::simWasClosed, 0);
}

}  // namespace qvl
