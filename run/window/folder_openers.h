// The folders the program shows the user in the file manager: the folder of
// parameters.xml and the local manual.
#pragma once

namespace qvl {

// False (with a message box) when the folder could not be shown.
bool gf_openParametersFolder();
bool gf_openManual();

}  // namespace qvl
