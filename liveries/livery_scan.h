// The scan of the installed liveries: it finds the AI packages, reads every
// aircraft.cfg below them on the scan's workers, and writes the
// scanned-liveries file that the catalogue is built from, with the problem
// files beside it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/run_state.h"
#include "core/status.h"
#include "core/task_pool.h"
#include "liveries/livery_data.h"
#include "liveries/livery_scan_state.h"
#include "liveries/package_search.h"
#include "liveries/scan_findings.h"

namespace qvl {

// What a scan is given once: what its workers' findings are merged into, the
// run's closing flags that end it early, the status for its progress, the
// lines for the registration-code results file that its don't-use readers
// add to, and the opener of the manual and the settings folder that manual
// mode shows when no lfolder is set. The pool's bounds are a parameter for
// tests.
struct LiveryScanParts {
    LiveryScanState& scan;
    const RunState& run;
    Status& status;
    std::vector<std::string>& regcodeResults;
    std::function<void()> openManualAndSettingsFolder;
    TaskPoolOptions pool{};
};

// Where a scan looks and what it writes into its result.
struct LiveryScanPlace {
    // The chosen simulator's Community folder; empty when not known.
    std::filesystem::path communityFolder;
    // 1: MSFS 2020, 2: MSFS 2024.
    std::int32_t simNumber = 1;
};

// Where the last scan's processor time went, for the benchmark: the walk
// runs on a thread of its own beside the workers; handing the files to the
// workers and merging their findings, the sort and the writing run on the
// scan's thread. The workers' own time is the rest of the process's.
struct LiveryScanTimes {
    std::chrono::nanoseconds walk{};
    std::chrono::nanoseconds merge{};
    std::chrono::nanoseconds sort{};
    std::chrono::nanoseconds write{};
};

class LiveryScan {
public:
    // std::invalid_argument when the opener is missing.
    explicit LiveryScan(LiveryScanParts parts);

    // The whole scan. UserErrorException for what the user must
    // mend (no packages, no liveries, a missing lfolder path); a runtime
    // error when a file's worker did not answer in time or the result could
    // not be written. A scan that ends early writes nothing and leaves the
    // previous result as it was.
    void gf_scanLiveries(const LiveryScanPlace& place);

    // Searches the folders and writes the results; false when no livery was
    // found. True without writing anything when the run is closing.
    bool lf_scanLfolders(const PackageFolderList& folders, std::int32_t simNumber);

    [[nodiscard]] const LiveryScanTimes& lastScanTimes() const noexcept { return times_; }

private:
    // Joins an earlier scan's workers and clears what it left behind.
    void startScan();
    // The liveries of every folder, appended to the list; how many were
    // found, or nothing when the run began closing.
    std::optional<std::size_t> searchFolders(const PackageFolderList& folders);
    // Replaces the previous result with the list's records at `order` and
    // the problem files.
    void writeScanResult(std::int32_t simNumber, const LiveryOrder& order);
    void lf_readDontUseTitles();
    // The records of the folder's aircraft.cfg files, appended to the list
    // in the order the files were found; false when the run began closing.
    bool lf_searchLiveriesInFolders(std::int16_t folderIndex, const std::filesystem::path& folder);
    // Hands the file to a worker and merges what is due; false when the run
    // began closing first.
    bool submitFile(std::int16_t folderIndex, CfgFileEntry&& entry);
    void mergeOldest();
    void showProgress(bool now);
    bool closing() const { return parts_.run.isClosing(); }

    LiveryScanParts parts_;
    TaskPool<CfgFileFindings> pool_;
    LiveryList liveryList_;
    std::shared_ptr<const DontUseTitleSnapshot> dontUse_;
    bool endedEarly_ = false;  // the last search stopped as the run began closing
    std::size_t filesFound_ = 0;
    std::size_t filesDone_ = 0;
    std::chrono::steady_clock::time_point lastProgress_{};
    LiveryScanTimes times_;
};

}  // namespace qvl
