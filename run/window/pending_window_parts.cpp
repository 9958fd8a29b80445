// Entries of window parts not built yet. The work that builds a part deletes
// its entry here and calls the real function instead.
#include "run/window/pending_window_parts.h"

#include <atomic>
#include <string_view>

#include "core/log.h"

namespace qvl {
namespace {

void logOnce(std::atomic<bool>& logged, std::string_view line) {
    if (!logged.exchange(true)) gf_log(line);
}

}  // namespace

// Part 2.123, the command handlers: replaced by issue 17.
bool lf_HandleWMCOMMAND(const ui::Command& /*command*/) {
    static std::atomic<bool> logged{false};
    logOnce(logged, "not built yet: Part 2.123");
    return false;
}

// Part 2.125, the edit fields: replaced by the issue that builds them.
void lf_editSubclassProc(std::uint16_t /*controlId*/) {
    static std::atomic<bool> logged{false};
    logOnce(logged, "not built yet: Part 2.125");
}

// Part 2.122, the status panel painting: replaced by issue 17.
void lf_paintWindow(ui::Canvas& /*canvas*/, const MainWindowState& /*state*/) {
    static std::atomic<bool> logged{false};
    logOnce(logged, "not built yet: Part 2.122");
}

}  // namespace qvl
