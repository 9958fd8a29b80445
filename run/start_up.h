// The start of a run on its own thread: settings, controls, work folders, the
// version check, the reference data, the simulator's folders, the livery and
// airport scans, the park airports; then the traffic run and the main loop;
// and always the closing down at the end. A restart runs the same sequence
// again, skipping what is done once per process.
#pragma once

#include <optional>
#include <string>

#include "run/run_control.h"

namespace qvl {

// The run thread's body.
void lf_startUpQVLT(RunControl& control);
// False when the run must not go on (a newer program, the production stop);
// failures the user must act on are thrown.
bool lf_readDataFiles(RunControl& control);
// The work folders of the program's folder, and no stale object-id list.
void lf_createFolders();
// Every control in its run-start state.
void lf_applyParametersToControls(RunControl& control);
// Production mode: the run stops after the data preparation with exit code 0.
void lf_stopAfterProductionRun(RunControl& control);

// The install path without a trailing Community folder (the setting holds the
// folder that contains it); empty when the path needs no repair. Either
// separator counts; the name's case must match.
std::optional<std::string> repairedInstallPath(const std::string& installPath);

}  // namespace qvl
