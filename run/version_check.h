// The check for a newer program and newer data at the start of a process's
// first run.
#pragma once

namespace qvl {

// False when the run must not go on (a newer program was installed).
bool gf_checkVersions();

}  // namespace qvl
