// The window's command handlers: a click or a selection in a child control.
#pragma once

#include "platform/ui/window.h"

namespace qvl {

// True when handled.
bool lf_HandleWMCOMMAND(const ui::Command& command);

}  // namespace qvl
