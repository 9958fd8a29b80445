// The window's command handlers: a click or a selection in a child control.
#pragma once

#include "platform/ui/window.h"
#include "run/window/command_flags.h"
#include "run/window/main_window_state.h"

namespace qvl {

// Given its owners once: the requests it hands to the run thread and the
// window state it changes.
class WindowCommands {
public:
    WindowCommands(CommandFlags& flags, MainWindowState& window) : flags_(flags), window_(window) {}

    // True when handled.
    bool lf_HandleWMCOMMAND(const ui::Command& command);

private:
    [[maybe_unused]] CommandFlags& flags_;
    [[maybe_unused]] MainWindowState& window_;
};

}  // namespace qvl
