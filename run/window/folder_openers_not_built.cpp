// Without the folder openers nothing is shown in the file manager.
#include "core/not_built.h"
#include "run/window/folder_openers.h"

namespace qvl {

bool gf_openParametersFolder() {
    notBuiltYet("the folder openers");
    return false;
}

bool gf_openManual() {
    notBuiltYet("the folder openers");
    return false;
}

}  // namespace qvl
