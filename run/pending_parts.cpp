// One entry per step of work not built yet; see pending_parts.h.
#include "run/pending_parts.h"

#include "core/not_built.h"
#include "run/window/pending_window_parts.h"

namespace qvl::pending {

// Version check and self-update, not built yet. Without it the run goes on
// with the installed program and data.
bool checkVersions() {
    notBuiltYet("the version check");
    return true;
}

// Livery scan, not built yet.
void scanLiveries() { notBuiltYet("the livery scan"); }

// Add-on airports scan, not built yet.
void scanAirports() { notBuiltYet("the add-on airports scan"); }

// my_park_airports.txt and the park airport check, not built yet.
void readMyParkAirports() { notBuiltYet("park airports"); }
// The park airport's reserved stand, not built yet. Empty: no stand is
// reserved.
std::string reservedStandText() {
    notBuiltYet("park airports");
    return {};
}
bool checkParkAirports(std::string& text) {
    notBuiltYet("park airports");
    text.clear();
    return false;
}

// The destination edit field, not built yet.
void setDestination() { notBuiltYet("the edit fields"); }

// Static parking, not built yet.
void updateStaticParking() { notBuiltYet("static parking"); }
void adjustParking() { notBuiltYet("static parking"); }
void leaveParkAirport() { notBuiltYet("static parking"); }
void showWaitingStaticCount() { notBuiltYet("static parking"); }

// The status panel's live count, not built yet.
void refreshLiveCount() { notBuiltYet("the status panel"); }

}  // namespace qvl::pending

// The window's entries: the window calls them where the later parts go.
namespace qvl {

// The command handlers, not built yet.
bool lf_HandleWMCOMMAND(const ui::Command& /*command*/) {
    notBuiltYet("the window's command handlers");
    return false;
}

// The edit fields, not built yet.
void lf_editSubclassProc(std::uint16_t /*controlId*/) { notBuiltYet("the edit fields"); }

// The status panel painting, not built yet.
void lf_paintWindow(ui::Canvas& /*canvas*/, const MainWindowState& /*state*/) { notBuiltYet("the status panel"); }

}  // namespace qvl
