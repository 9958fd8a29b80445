// The liveries scan over a generated Community folder of 10,000 and 30,000
// aircraft.cfg with 10 sections each (one in ten a private aircraft without
// registration), read with 1, 2 and 4 workers from a warm cache: the files
// found, read and merged, LiveriesScanned.xml and the problem files written.
// Besides the wall time it counts the CPU time per scan, so that growth with
// the tree shows on a busy machine too: the whole process's (cpu_ms) and per
// phase: the walk (its own thread), handing files over and merging, the
// sort and the writing (the scan's thread), and the rest, which is the
// workers' reading (workers_ms).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/run_state.h"
#include "core/settings.h"
#include "liveries/livery_scan.h"
#include "liveries/livery_scan_state.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/fake_status.h"
#include "support/temp_dir.h"
#include "tools/livery_tree/livery_tree.h"

namespace {

namespace fs = std::filesystem;
namespace lt = qvl::livery_tree;
using namespace qvl;

constexpr std::size_t kSections = 10;

// The CPU time of every thread of the process so far.
double processCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// One program folder with a tree of `files` files, made once for every
// worker count.
struct ScanFolder {
    test::TempDir folder;
    fs::path previous = fs::current_path();
    std::size_t liveries = 0;

    explicit ScanFolder(std::size_t files) {
        setenv("QVL_ROAMING_DIR", (folder / "roaming").c_str(), 1);
        fs::current_path(folder.path());
        fs::create_directories(kInputFolder);
        test::writeFile(folder / "dbase.xml", lt::referenceDbaseXml(lt::Preset::bench));
        streamEncrypt(folder / "dbase.xml", kInputFolder / "dbase.enc");
        resetDbaseTables();
        gf_readDbase();
        auto tree =
            lt::generateTree(lt::Preset::bench, community(), {.fileCount = files, .sectionsPerFile = kSections});
        if (tree) liveries = tree->scannedLiveries(true).size();
    }
    ~ScanFolder() { fs::current_path(previous); }
    ScanFolder(const ScanFolder&) = delete;
    ScanFolder& operator=(const ScanFolder&) = delete;

    fs::path community() const { return folder.path() / "Community"; }
};

// One tree at a time: the previous one is removed when another size is asked.
ScanFolder& scanFolder(std::size_t files) {
    static std::unique_ptr<ScanFolder> folder;
    static std::size_t size = 0;
    if (!folder || size != files) {
        folder.reset();
        folder = std::make_unique<ScanFolder>(files);
        size = files;
    }
    return *folder;
}

void BM_liveriesScan(benchmark::State& state) {
    const auto files = static_cast<std::size_t>(state.range(0));
    ScanFolder& folder = scanFolder(files);
    LiveryScanState scanState;
    RunState run;
    test::FakeStatus status;
    std::vector<std::string> results;
    LiveryScan scan(
        {.scan = scanState,
         .run = run,
         .status = status,
         .regcodeResults = results,
         .openManualAndSettingsFolder = [] {},
         .pool = {.workerCount = static_cast<std::int32_t>(state.range(1)), .timeout = std::chrono::seconds(60)}});
    // Warm the cache.
    scan.gf_scanLiveries({.communityFolder = folder.community(), .simNumber = 1});
    double cpuMs = 0;
    LiveryScanTimes phases;
    for (auto _ : state) {
        const double before = processCpuMs();
        scan.gf_scanLiveries({.communityFolder = folder.community(), .simNumber = 1});
        cpuMs += processCpuMs() - before;
        const LiveryScanTimes& times = scan.lastScanTimes();
        phases.walk += times.walk;
        phases.merge += times.merge;
        phases.sort += times.sort;
        phases.write += times.write;
    }
    const auto perScan = [&](double total) {
        return benchmark::Counter(total / static_cast<double>(state.iterations()));
    };
    const auto ms = [](std::chrono::nanoseconds time) { return static_cast<double>(time.count()) / 1e6; };
    state.counters["cpu_ms"] = perScan(cpuMs);
    state.counters["walk_ms"] = perScan(ms(phases.walk));
    state.counters["merge_ms"] = perScan(ms(phases.merge));
    state.counters["sort_ms"] = perScan(ms(phases.sort));
    state.counters["write_ms"] = perScan(ms(phases.write));
    state.counters["workers_ms"] =
        perScan(cpuMs - ms(phases.walk) - ms(phases.merge) - ms(phases.sort) - ms(phases.write));
    state.counters["files_per_s"] =
        benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["liveries"] = static_cast<double>(folder.liveries);
}
BENCHMARK(BM_liveriesScan)
    ->ArgNames({"files", "workers"})
    ->Args({10000, 1})
    ->Args({10000, 2})
    ->Args({10000, 4})
    ->Args({30000, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
