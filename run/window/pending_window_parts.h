// Window events whose handlers come with later work (defined with the other
// steps of later work in run/pending_parts.cpp). Each entry says once in
// Log.txt that it is not built yet and otherwise does nothing, so the window
// opens and stays usable meanwhile.
#pragma once

#include <cstdint>

#include "platform/ui/canvas.h"
#include "platform/ui/window.h"
#include "run/window/main_window_state.h"

namespace qvl {

// A click or a selection in a child control; true when handled.
bool lf_HandleWMCOMMAND(const ui::Command& command);
// Enter in one of the edit fields.
void lf_editSubclassProc(std::uint16_t controlId);
// The status panel, the labels of the controls and the parking statistics.
void lf_paintWindow(ui::Canvas& canvas, const MainWindowState& state);

}  // namespace qvl
