// The scan of the add-on airports: it searches the simulator's package
// folders, links each add-on airport to the maker's archived stand file or
// generates its own stand file (from its BGL files or the simulator's
// facility data), names the publisher, and packs the files the archive
// lacks into tblo.zip.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "airports/addon/addon_airport.h"
#include "airports/addon/addon_scan_state.h"
#include "airports/bgl/bgl_airports.h"
#include "airports/facility/facility_data_reader.h"
#include "core/result.h"
#include "core/run_state.h"
#include "core/status.h"
#include "core/task_pool.h"
#include "platform/sim/sim_api.h"

namespace qvl {

// The processor time of one scan's phases, over all of its threads.
struct AirportsScanCpu {
    std::chrono::nanoseconds walk{};      // the walk of the folders and the section-table checks
    std::chrono::nanoseconds read{};      // the BGL tasks
    std::chrono::nanoseconds generate{};  // linking and generating the airport files, streamed packages
    std::chrono::nanoseconds pack{};      // tblo.zip, the scan log, the flush to disk
};

// What one scan found, for the status panel, and what it cost.
struct AirportsScanCounts {
    std::uint64_t simaddonAirports = 0;
    std::uint64_t thirdpartyAirports = 0;
    // The files packed into tblo.zip: airports the archive lacks.
    std::uint64_t unrecognisedAirports = 0;
    AirportsScanCpu cpu{};
};

// Where a scan looks: the chosen simulator's package folders in scan order
// (MSFS 2020: Official, then Community; MSFS 2024: StreamedPackages, then
// Community), and the simulator's number for the files it writes.
struct AirportsScanPlace {
    std::vector<std::filesystem::path> folders;
    std::int32_t simNumber = 1;
};

// Given once: the simulator's client library for the facility data, the
// run's closing flags, the status for counts and controls; the pool's and
// the facility reader's bounds are parameters for tests.
struct AirportsScanParts {
    sim::SimLibrary& simulator;
    const RunState& run;
    Status& status;
    TaskPoolOptions pool{};
    FacilityReaderTiming facilityTiming{};
    // Whether a code is an airport of the list, asked by the BGL tasks on
    // their threads; null: the program's airport list.
    std::function<bool(const FixedCode4&)> isKnownAirport{};
};

// A BGL search does not enter (or take a file of) a path of 250 UTF-16 units
// or more, or one that names a folder of no add-on airport.
[[nodiscard]] bool lf_isSkippedFolder(const std::string& pathText);

class AirportsScan {
public:
    explicit AirportsScan(AirportsScanParts parts) : parts_(std::move(parts)), pool_(parts_.pool) {}

    // The whole scan. UserErrorException 779 when the simulator cannot give
    // facility data that an airport needs; file-system errors of the tblo
    // folder and of the streamed search end it too. SCAN_AIRPORTS goes off
    // only after a scan that ended normally. Each file the scan writes is
    // renamed into place whole; all of them are flushed to the disk once, at
    // the scan's end. A stand or link file that the scan produces with the
    // bytes it holds already is left untouched, and the airport folders keep
    // the previous scan's files until the searches are done; then they hold
    // exactly what this scan produced.
    [[nodiscard]] AirportsScanCounts gf_scanAirports(const AirportsScanPlace& place);
    // The count of unrecognised add-on airports back to 0 at the end of a run.
    void forgetUnrecognisedAirports();

private:
    // One scan's own context: the facility reader lives as long as the scan.
    struct Scan {
        AddonAirportParts addon;
        FacilityDataReader& facilities;
    };

    void lf_runAirportsScan(const AirportsScanPlace& place, Scan& scan);
    bool lf_scanAirportFolders(const AirportsScanPlace& place, Scan& scan);
    void lf_scanFolder(const AirportsScanPlace& place, Scan& scan);
    void lf_scanStreamedAirports(const std::filesystem::path& folder, Scan& scan);
    // False when the package's airport read ended because the run is closing.
    bool scanStreamedPackage(const std::filesystem::path& package, const std::string& text, Scan& scan);
    void lf_scanBGLAirports(const std::filesystem::path& folder, Scan& scan);
    // The oldest task's findings merged, or its failure written to the scan
    // log; `inner`: taken during the walk (else after it).
    void takeOldestBgl(const std::filesystem::path& folder, bool inner, Scan& scan);
    // Done when the file's airports were all handled; else the task's
    // failure, or one of linking and generating.
    Result<void, BglFileError> mergeBglFindings(BglFileFindings&& findings, Scan& scan);
    void showSimaddonCount();

    enum class Phase : std::uint8_t { walk, generate, pack };
    // Charges the scan thread's processor time since the last switch to the
    // phase it was in, and goes on in `next`.
    void enterPhase(Phase next);

    AirportsScanParts parts_;
    AirportsScanState state_;
    TaskPool<BglFileFindings> pool_;
    // The BGL files of the pending tasks, in start order, and those whose
    // tasks were given up while still running.
    std::deque<std::filesystem::path> pendingBgl_;
    std::set<std::filesystem::path> inFlightBgl_;
    AirportsScanCpu cpu_;
    Phase phase_ = Phase::generate;
    std::chrono::nanoseconds phaseStart_{};
};

}  // namespace qvl
