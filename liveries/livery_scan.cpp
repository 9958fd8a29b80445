#include "liveries/livery_scan.h"

#include <fmt/format.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "core/log.h"
#include "core/messages.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/user_error.h"
#include "liveries/aircraft_cfg.h"
#include "liveries/liveries_file.h"
#include "liveries/mtl_file.h"
#include "liveries/regcode_sources.h"
#include "liveries/scan_problem_files.h"
#include "platform/sys/cpu_time.h"
#include "refdata/data_file.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

constexpr std::int16_t kMostFolders = 10;
// Files handed to the workers beyond those they read: the workers never wait
// for the scan's thread, and that thread seldom waits for a worker; when it
// does, it is woken once half of them are read, not for every file.
constexpr std::int32_t kQueuedFiles = 32;
constexpr std::int32_t kRefillBatch = kQueuedFiles / 2;
// How often the scan's thread, waiting for the walk, looks at the closing flags.
constexpr std::chrono::milliseconds kClosingPollPeriod{20};
// The message line follows the scan's progress at most this often.
constexpr std::chrono::milliseconds kProgressPeriod{250};

std::string scanningText() {
    return fmt::format("Scanning {}for liveries ...", LIG_PRIORITIZE.value() ? "prioritized " : "");
}

// A folder of the list that cannot be searched is logged and passed over;
// other errors of the status query end the scan.
bool isSearchableFolder(const fs::path& folder) {
    if (!fs::exists(folder)) {
        gf_log(fmt::format("{} does not exist, skipped!", gf_pathToUtf8(folder)));
        return false;
    }
    if (!fs::is_directory(folder)) {
        gf_log(fmt::format("{} is not a folder name, skipped!", gf_pathToUtf8(folder)));
        return false;
    }
    return true;
}

TaskPoolOptions withQueue(TaskPoolOptions options) {
    options.queueDepth = std::max(options.queueDepth, kQueuedFiles);
    options.refillBatch = std::max(options.refillBatch, kRefillBatch);
    return options;
}

// The aircraft.cfg files the walk has found and the scan's thread has not
// yet taken. Lock order: its mutex alone.
class FoundFiles {
public:
    void add(CfgFileEntry&& entry) {
        const std::lock_guard lock(mutex_);
        files_.push_back(std::move(entry));
        if (files_.size() == 1) changed_.notify_one();
    }
    void end(std::chrono::nanoseconds walkTime, std::exception_ptr error) {
        const std::lock_guard lock(mutex_);
        ended_ = true;
        walkTime_ = walkTime;
        error_ = std::move(error);
        changed_.notify_one();
    }
    // Waits at most `period` for files or the walk's end and moves what is
    // there into `taken`; false once the walk ended and every file is taken.
    bool take(std::vector<CfgFileEntry>& taken, std::chrono::milliseconds period) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, period, [this] { return !files_.empty() || ended_; });
        taken.swap(files_);
        return !(ended_ && taken.empty());
    }
    std::chrono::nanoseconds walkTime() {
        const std::lock_guard lock(mutex_);
        return walkTime_;
    }
    // What ended the walk, if it did not end by itself.
    std::exception_ptr error() {
        const std::lock_guard lock(mutex_);
        return error_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<CfgFileEntry> files_;
    bool ended_ = false;
    std::chrono::nanoseconds walkTime_{};
    std::exception_ptr error_;
};

// The scan thread's CPU time from its start to the end of its scope, added to `total`.
class CpuTimer {
public:
    explicit CpuTimer(std::chrono::nanoseconds& total) : total_(total), start_(sys::threadCpuTime()) {}
    ~CpuTimer() { total_ += sys::threadCpuTime() - start_; }
    CpuTimer(const CpuTimer&) = delete;
    CpuTimer& operator=(const CpuTimer&) = delete;
    CpuTimer(CpuTimer&&) = delete;
    CpuTimer& operator=(CpuTimer&&) = delete;

private:
    std::chrono::nanoseconds& total_;
    std::chrono::nanoseconds start_;
};

}  // namespace

LiveryScan::LiveryScan(LiveryScanParts parts) : parts_(std::move(parts)), pool_(withQueue(parts_.pool)) {
    if (!parts_.openManualAndSettingsFolder) {
        throw std::invalid_argument("the liveries scan needs the opener of the manual and the settings folder");
    }
}

void LiveryScan::gf_scanLiveries(const LiveryScanPlace& place) {
    Status& status = parts_.status;
    status.controlUsable(AI_PACKAGE_SELECTOR, false);
    gf_showMessage(scanningText(), MessageLogging::notLogged);
    const bool automatic = LIG_AUTOMATIC.value();
    gf_log(fmt::format("\n++++++++++++++++++++++++ liveries scan {} starts ++++++++++++++++++++++++++++++++",
                       automatic ? "automatic" : "manual"));

    PackageFolderList folders;
    folders.reserve(kMostFolders);
    if (automatic) {
        if (!place.communityFolder.empty()) lf_collectPackageFolders(place.communityFolder, folders);
    } else {
        lf_checkLfolderPath(folders);
    }
    if (folders.empty()) {
        if (automatic) {
            status.controlUsable(AI_PACKAGE_SELECTOR, true);
            throw UserErrorException(43,
                                     "Automatic scan has not found any AI packages, choose a different selection "
                                     "(or go to Manual mode, see Manual 5.2)");
        }
        parts_.openManualAndSettingsFolder();
        throw UserErrorException(48, fmt::format("Exit {} first!   Then set one or more lfolder parameters to your "
                                                 "liveries, see Manual 5.2",
                                                 kProductName));
    }

    if (!lf_scanLfolders(folders, place.simNumber)) {
        if (!automatic) throw UserErrorException(53, "no liveries found");
        status.controlUsable(AI_PACKAGE_SELECTOR, true);
        throw UserErrorException(143,
                                 "Automatic scan has not found any liveries, choose a different selection, or "
                                 "switch off automatic and set lfolder parameter(-s)");
    }
    status.controlUsable(AI_PACKAGE_SELECTOR, true);
    if (endedEarly_) {
        // Nothing was written and the previous result stands, so the setting
        // stays on: the next start scans again.
        gf_log("liveries scan ended early: the run is closing");
        return;
    }
    SCAN_LIVERIES.set(false);
    gf_saveBoolParameter(SCAN_LIVERIES);
    status.settingChanged(SCAN_LIVERIES);
    status.statusChanged();
    gf_log("\n++++++++++++++++++++++++ liveries scan ends ++++++++++++++++++++++++++++++++\n");
    gf_flushLog();
}

bool LiveryScan::lf_scanLfolders(const PackageFolderList& folders, std::int32_t simNumber) {
    startScan();
    const std::optional<std::size_t> total = searchFolders(folders);
    if (!total || closing()) {
        endedEarly_ = true;
        return true;
    }
    if (liveryList_.empty()) {
        parts_.status.showCount(StatusCount::scannedLiveries, 0);
        parts_.status.statusChanged();
        return false;
    }
    if (folders.size() > 1) gf_log(fmt::format("{} in total", *total));
    LiveryOrder order;
    {
        const CpuTimer timer(times_.sort);
        // Prioritising, sorting and dropping repeats in one pass over the
        // sorted groups. The records stay where the merge put them: the
        // writer reads them in this order, and they are freed in the order
        // they were made, which is their order in memory.
        order = sortedLiveryOrder(liveryList_,
                                  {.repeated = RepeatedLiveries::drop, .lowestFolderOnly = LIG_PRIORITIZE.value()});
    }
    const CpuTimer timer(times_.write);
    writeScanResult(simNumber, order);
    return true;
}

void LiveryScan::startScan() {
    // Workers of an earlier scan that ended early hold nothing of ours (their
    // inputs are their own), but their threads are joined before we start.
    (void)pool_.joinAll(parts_.pool.timeout);
    liveryList_.clear();
    endedEarly_ = false;
    filesFound_ = 0;
    filesDone_ = 0;
    times_ = {};
    // A scan that ended early left its titles and lines behind, and the
    // model fixes of an earlier scan would be written again with this one's.
    lf_clearScanMessages(parts_.scan);
    parts_.scan.modelFixes.clear();
    lf_readDontUseTitles();
}

std::optional<std::size_t> LiveryScan::searchFolders(const PackageFolderList& folders) {
    std::int16_t folderIndex = 0;
    std::size_t total = 0;
    for (const fs::path& folder : folders) {
        if (folder.empty() || !isSearchableFolder(folder)) continue;
        folderIndex = std::min<std::int16_t>(static_cast<std::int16_t>(folderIndex + 1), kMostFolders);
        const std::size_t before = liveryList_.size();
        if (closing() || !lf_searchLiveriesInFolders(folderIndex, folder)) return std::nullopt;
        const std::size_t found = liveryList_.size() - before;
        total += found;
        const std::string where = fmt::format("found in {}", gf_pathToUtf8(folder));
        if (found == 0) {
            gf_log(fmt::format("No liveries {}", where));
        } else {
            gf_log(fmt::format("{} liverie{} {}", found, gf_pluralSuffixSize(found), where));
        }
    }
    return total;
}

void LiveryScan::writeScanResult(std::int32_t simNumber, const LiveryOrder& order) {
    // Only now is the previous result replaced: a scan that ended before
    // this point leaves it as it was.
    lf_removePreviousScanFiles(PreviousScannedLiveries::keep);
    // The problem files' information folder is not made by their writer.
    std::error_code ec;
    fs::create_directories(kInfoFolder, ec);
    if (!lf_writeLiveriesScanned(liveryList_, order, simNumber)) {
        liveryList_.clear();
        throw std::runtime_error(fmt::format("could not write {}", gf_pathToUtf8(kLiveriesScannedXml)));
    }
    liveryList_.clear();
    liveryList_.shrink_to_fit();
    lf_writeScanErrorFiles(parts_.scan);
    lf_clearScanMessages(parts_.scan);
    gf_clearMessage();
}

void LiveryScan::lf_readDontUseTitles() {
    DontUseTitleList& dontUse = parts_.scan.dontUseTitles;
    dontUse.clear();
    try {
        if (gf_streamDecrypt(kAigRegcodesEnc, kAigRegcodesXml)) {
            const PlainFileGuard removeAfterReading(kAigRegcodesXml);
            lf_readDontUseTitlesXml(dontUse, parts_.regcodeResults);
        }
        std::error_code ec;
        if (fs::is_directory(kMyRegcodesFolder, ec) && !fs::is_empty(kMyRegcodesFolder, ec)) {
            lf_readDontUseTitlesFolder(dontUse, parts_.regcodeResults);
        }
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("exception: {}", e.what()));
    }
    dontUse_ = dontUse.snapshot();
}

bool LiveryScan::lf_searchLiveriesInFolders(std::int16_t folderIndex, const fs::path& folder) {
    FoundFiles found;
    bool stopped = false;
    {
        // The walk goes on beside the workers, so that the scan's thread only
        // hands files over and merges. Declared after `found`, it is stopped
        // and joined before `found` ends, also when a worker's time-out ends
        // the scan.
        const std::jthread walker([&found, folder](const std::stop_token& stop) {
            const std::chrono::nanoseconds start = sys::threadCpuTime();
            std::exception_ptr error;
            try {
                walkAircraftCfgFiles(
                    folder,
                    [&found](CfgFileEntry&& entry) {
                        found.add(std::move(entry));
                        return true;
                    },
                    stop);
            } catch (...) {
                // Thrown again on the scan's thread, as when the walk ran there.
                error = std::current_exception();
            }
            found.end(sys::threadCpuTime() - start, error);
        });
        const CpuTimer timer(times_.merge);
        std::vector<CfgFileEntry> files;
        while (!stopped && found.take(files, kClosingPollPeriod)) {
            if (closing()) stopped = true;
            for (auto file = files.begin(); !stopped && file != files.end(); ++file) {
                stopped = !submitFile(folderIndex, std::move(*file));
            }
            files.clear();
        }
    }
    times_.walk += found.walkTime();
    if (stopped || closing()) return false;
    if (const std::exception_ptr error = found.error()) std::rethrow_exception(error);
    const CpuTimer timer(times_.merge);
    while (pool_.hasPending()) mergeOldest();
    showProgress(true);
    return true;
}

bool LiveryScan::submitFile(std::int16_t folderIndex, CfgFileEntry&& entry) {
    const bool ivao = entry.kind == CfgFileKind::ivao;
    ScanTaskInput input{.folderIndex = folderIndex, .cfgPath = std::move(entry.path), .dontUseTitles = dontUse_};
    auto task = [input = std::move(input), ivao](const std::stop_token& stop) {
        return ivao ? lf_searchLiveriesinIVAOFile(input, stop) : lf_searchLiveriesinFile(input, stop);
    };
    if (!pool_.submit(std::move(task), [this] { return closing(); })) return false;
    ++filesFound_;
    while (pool_.hasSurplus()) mergeOldest();
    showProgress(false);
    return true;
}

void LiveryScan::mergeOldest() {
    mergeFindings(parts_.scan, pool_.takeOldest(), liveryList_);
    ++filesDone_;
}

void LiveryScan::showProgress(bool now) {
    const auto time = std::chrono::steady_clock::now();
    if (!now && time - lastProgress_ < kProgressPeriod) return;
    lastProgress_ = time;
    gf_showMessage(fmt::format("{} {} of {} files", scanningText(), filesDone_, filesFound_),
                   MessageLogging::notLogged);
}

}  // namespace qvl
