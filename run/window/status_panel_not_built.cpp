// Without the status panel the window shows its controls on a plain
// background.
#include "core/not_built.h"
#include "run/window/status_panel.h"

namespace qvl {

void lf_paintWindow(ui::Canvas& /*canvas*/, const MainWindowState& /*state*/) { notBuiltYet("the status panel"); }

void LiveCountRefresh::lf_refreshLiveCount() { notBuiltYet("the status panel"); }

}  // namespace qvl
