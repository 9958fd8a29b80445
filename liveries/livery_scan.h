// The scan of the installed liveries, which writes the scanned-liveries file
// the catalogue is built from.
#pragma once

#include "core/run_state.h"
#include "core/status.h"
#include "liveries/scan_state.h"

namespace qvl {

// Given its owners once: what the scan's workers share, the run's closing
// flags that end it early, and the status for its progress.
class LiveryScan {
public:
    LiveryScan(LiveryScanState& scan, const RunState& run, Status& status) : scan_(scan), run_(run), status_(status) {}

    void gf_scanLiveries();

private:
    [[maybe_unused]] LiveryScanState& scan_;
    [[maybe_unused]] const RunState& run_;
    [[maybe_unused]] Status& status_;
};

}  // namespace qvl
