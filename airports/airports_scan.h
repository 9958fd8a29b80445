// The scan of the add-on airports, which writes their stand files, and the
// count of add-on airports it did not recognise.
#pragma once

#include <cstdint>

#include "core/run_state.h"
#include "core/status.h"
#include "platform/sim/sim_api.h"

namespace qvl {

// What one scan found, for the status panel.
struct AirportsScanCounts {
    std::uint64_t simaddonAirports = 0;
    std::uint64_t thirdpartyAirports = 0;
    std::uint64_t unrecognisedAirports = 0;
};

// Given its owners once: the simulator's client library for its facility
// requests, the run's closing flags and the status for its counts.
class AirportsScan {
public:
    AirportsScan(sim::SimLibrary& simulator, const RunState& run, Status& status)
        : simulator_(simulator), run_(run), status_(status) {}

    [[nodiscard]] AirportsScanCounts gf_scanAirports();
    // The count of unrecognised add-on airports back to 0 at the end of a run.
    void forgetUnrecognisedAirports();

private:
    [[maybe_unused]] sim::SimLibrary& simulator_;
    [[maybe_unused]] const RunState& run_;
    [[maybe_unused]] Status& status_;
};

}  // namespace qvl
