// The check for a newer program and newer data at the start of a process's
// first run.
#pragma once

#include "core/run_state.h"

namespace qvl {

// Given its owner once: the run state, whose closing flags end its downloads.
class VersionCheck {
public:
    explicit VersionCheck(const RunState& run) : run_(run) {}

    // False when the run must not go on (a newer program was installed).
    bool gf_checkVersions();

private:
    [[maybe_unused]] const RunState& run_;
};

}  // namespace qvl
