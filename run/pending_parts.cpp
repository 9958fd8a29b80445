// One entry per step of work not built yet; see pending_parts.h.
#include "run/pending_parts.h"

#include <fmt/format.h>

#include <mutex>
#include <set>
#include <string_view>

#include "core/log.h"
#include "run/window/pending_window_parts.h"

namespace qvl::pending {

// Logs "not built yet: Part N" the first time the entry runs in the process.
void notBuiltYet(std::string_view part) {
    static std::mutex mutex;  // a leaf lock: guards `logged`
    static std::set<std::string_view> logged;
    {
        const std::lock_guard lock(mutex);
        if (!logged.insert(part).second) return;
    }
    gf_log(fmt::format("not built yet: Part {}", part));
}

// Version check and self-update, not built yet. Without it the run goes on
// with the installed program and data.
bool checkVersions() {
    notBuiltYet("2.106");
    return true;
}

// Livery scan, not built yet.
void scanLiveries() { notBuiltYet("7.112"); }

// Add-on airports scan, not built yet.
void scanAirports() { notBuiltYet("8.130"); }

// my_park_airports.txt and the park airport check, not built yet.
void readMyParkAirports() { notBuiltYet("5.140"); }
// The park airport's reserved stand, not built yet. Empty: no stand is
// reserved.
std::string reservedStandText() {
    notBuiltYet("5.140");
    return {};
}
bool checkParkAirports(std::string& text) {
    notBuiltYet("5.140");
    text.clear();
    return false;
}

// The destination edit field, not built yet.
void setDestination() { notBuiltYet("2.125"); }

// Static parking, not built yet.
void updateStaticParking() { notBuiltYet("5.141"); }
void adjustParking() { notBuiltYet("5.141"); }
void leaveParkAirport() { notBuiltYet("5.141"); }
void showWaitingStaticCount() { notBuiltYet("5.141"); }

// The status panel's live count, not built yet.
void refreshLiveCount() { notBuiltYet("2.122"); }

}  // namespace qvl::pending

// The window's entries: the window calls them where the later parts go.
namespace qvl {

// The command handlers, not built yet.
bool lf_HandleWMCOMMAND(const ui::Command& /*command*/) {
    pending::notBuiltYet("2.123");
    return false;
}

// The edit fields, not built yet.
void lf_editSubclassProc(std::uint16_t /*controlId*/) { pending::notBuiltYet("2.125"); }

// The status panel painting, not built yet.
void lf_paintWindow(ui::Canvas& /*canvas*/, const MainWindowState& /*state*/) { pending::notBuiltYet("2.122"); }

}  // namespace qvl
