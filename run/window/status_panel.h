// The status panel: the labels of the controls, the lamps and counters, the
// parking statistics, and the live count refreshed once a second.
#pragma once

#include "platform/ui/canvas.h"
#include "run/window/main_window_state.h"

namespace qvl {

void lf_paintWindow(ui::Canvas& canvas, const MainWindowState& state);
// The run thread's once-a-second look at the live count.
void lf_refreshLiveCount();

}  // namespace qvl
