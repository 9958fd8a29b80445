// Where the main window opens: the position stored in parameters.xml, kept
// on a monitor so the window can always be reached, and saved back when it
// had to be moved.
#pragma once

#include <cstdint>
#include <functional>

#include "run/window/window_layout.h"

namespace qvl {

// The work area (the screen without task bars) of the monitor nearest to a
// point, in screen pixels.
using WorkAreaSource = std::function<WindowRect(WindowPoint)>;

// Keeps the window's top left corner (MAIN_WINDOW_X, MAIN_WINDOW_Y) at least
// 48 pixels inside the nearest monitor's work area. A corner stored at a
// limit of its setting goes back to its default first. Whatever changed is
// saved at once.
void lf_placeWindowOnMonitor(std::int32_t defaultX, std::int32_t defaultY, const WorkAreaSource& workArea);

// Reads the stored position from parameters.xml and places it on a monitor;
// without a file the settings keep their values. A file that cannot be read
// is left to the settings' own read, which reports and keeps it; the start
// values are used.
WindowPoint loadWindowPosition(const WorkAreaSource& workArea);

}  // namespace qvl
