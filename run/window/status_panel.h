// The status panel: the labels of the controls, the lamps and counters, the
// parking statistics, and the live count refreshed once a second.
#pragma once

#include "engine/engine_state.h"
#include "platform/ui/canvas.h"
#include "run/window/main_window_state.h"

namespace qvl {

void lf_paintWindow(ui::Canvas& canvas, const MainWindowState& state);

// The run thread's once-a-second look at the live count. Given its owners
// once: the engine's aircraft it counts and the window state it shows them in.
class LiveCountRefresh {
public:
    LiveCountRefresh(const EngineState& engine, MainWindowState& window) : engine_(engine), window_(window) {}

    void lf_refreshLiveCount();

private:
    [[maybe_unused]] const EngineState& engine_;
    [[maybe_unused]] MainWindowState& window_;
};

}  // namespace qvl
