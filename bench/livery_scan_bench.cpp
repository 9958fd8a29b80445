// The liveries scan over a generated Community folder of 10,000 aircraft.cfg
// with 10 sections each (one in ten a private aircraft without registration),
// read with 1, 2 and 4 workers from a warm cache: the files found, read and
// merged, LiveriesScanned.xml and the problem files written.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
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

constexpr std::size_t kFiles = 10000;
constexpr std::size_t kSections = 10;

// One program folder with the tree, made once for every worker count.
struct ScanFolder {
    test::TempDir folder;
    fs::path previous = fs::current_path();
    std::size_t liveries = 0;

    ScanFolder() {
        setenv("QVL_ROAMING_DIR", (folder / "roaming").c_str(), 1);
        fs::current_path(folder.path());
        fs::create_directories(kInputFolder);
        test::writeFile(folder / "dbase.xml", lt::referenceDbaseXml(lt::Preset::bench));
        streamEncrypt(folder / "dbase.xml", kInputFolder / "dbase.enc");
        resetDbaseTables();
        gf_readDbase();
        auto tree =
            lt::generateTree(lt::Preset::bench, community(), {.fileCount = kFiles, .sectionsPerFile = kSections});
        if (tree) liveries = tree->scannedLiveries(true).size();
    }
    ~ScanFolder() { fs::current_path(previous); }
    ScanFolder(const ScanFolder&) = delete;
    ScanFolder& operator=(const ScanFolder&) = delete;

    fs::path community() const { return folder.path() / "Community"; }
};

ScanFolder& scanFolder() {
    static ScanFolder folder;
    return folder;
}

void BM_liveriesScan(benchmark::State& state) {
    ScanFolder& folder = scanFolder();
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
         .pool = {.workerCount = static_cast<std::int32_t>(state.range(0)), .timeout = std::chrono::seconds(60)}});
    // Warm the cache.
    scan.gf_scanLiveries({.communityFolder = folder.community(), .simNumber = 1});
    for (auto _ : state) {
        scan.gf_scanLiveries({.communityFolder = folder.community(), .simNumber = 1});
    }
    state.counters["files_per_s"] =
        benchmark::Counter(static_cast<double>(kFiles), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["liveries"] = static_cast<double>(folder.liveries);
}
BENCHMARK(BM_liveriesScan)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
