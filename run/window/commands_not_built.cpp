// Without the handlers a click changes nothing.
#include "core/not_built.h"
#include "run/window/commands.h"

namespace qvl {

bool WindowCommands::lf_HandleWMCOMMAND(const ui::Command& /*command*/) {
    notBuiltYet("the window's command handlers");
    return false;
}

}  // namespace qvl
