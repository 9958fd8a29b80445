// The add-on airports scan over generated install folders: 20,000 and
// 60,000 BGL files of about 1 KB in Community, 50 files to a package, one in
// 22 of them an airport of 50 to 2,000 parkings (900 and 2,700 airports),
// with manifests and no facility-data fallback, scanned from a warm cache;
// and, for MSFS 2024, 3,000 streamed packages (the airport code in the
// package name). The scans after the first find the files they produce
// unchanged and leave them; BM_airportsScanBglFirst empties the airport
// folders before each scan, as before a first one. Time is wall time; CPU
// is the whole process's, all threads. The counters give the CPU seconds of
// each phase of the last scan (walk, read, generate, pack) and the
// process's peak memory.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <system_error>

#include "airports/airports_scan.h"
#include "core/paths.h"
#include "core/run_state.h"
#include "core/settings.h"
#include "platform/sim/stand_in.h"
#include "refdata/airports.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/fake_status.h"
#include "support/temp_dir.h"
#include "tools/airport_tree/airport_tree.h"

namespace {

namespace fs = std::filesystem;
namespace at = qvl::airport_tree;
using namespace qvl;

// The process's peak resident memory in MB (VmHWM), 0 when not known.
double peakMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0.0;
}

// One program folder with its tree, made once per tree; the working folder
// and the reference data are its own while a benchmark runs on it.
struct ScanFolder {
    test::TempDir folder;
    at::TreeExpectation tree;
    at::Simulator simulator;

    ScanFolder(at::Simulator sim, const at::TreeOptions& options) : simulator(sim) {
        auto generated = at::generateTree(at::Preset::bench, folder.path() / "MSFS", options);
        if (!generated) throw std::runtime_error(generated.errorText());
        tree = std::move(*generated);
        fs::create_directories(folder / kInputFolder);
        stage("airports.enc", tree.reference.airportsXml);
        stage("dbase.enc", tree.reference.dbaseXml);
    }

    void stage(const std::string& name, const std::string& plain) {
        test::writeFile(folder / "plain.tmp", plain);
        streamEncrypt(folder / "plain.tmp", folder / kInputFolder / name);
    }

    // The folder as the working folder, with its reference data loaded.
    void enter() {
        setenv("QVL_ROAMING_DIR", (folder / "roaming").c_str(), 1);
        fs::current_path(folder.path());
        resetAirportList();
        resetDbaseTables();
        gf_readAirports();
        gf_readDbase();
        SIM_CHOICE.set(std::string(at::simChoiceText(simulator)));
    }
};

// The tree of `files` BGL files: 20,000 files give 900 airports.
ScanFolder& bglTree(std::size_t files) {
    static std::map<std::size_t, std::unique_ptr<ScanFolder>> trees;
    auto& tree = trees[files];
    if (!tree) {
        tree =
            std::make_unique<ScanFolder>(at::Simulator::msfs2020, at::TreeOptions{.simulator = at::Simulator::msfs2020,
                                                                                  .fileCount = files,
                                                                                  .airportFiles = files * 9 / 200,
                                                                                  .filesPerPackage = 50});
    }
    return *tree;
}

double seconds(std::chrono::nanoseconds cpu) { return std::chrono::duration<double>(cpu).count(); }

// The scan's airport folders emptied, as before a first scan (or the scans
// before the scan kept their unchanged files).
void emptyAirportFolders() {
    for (const fs::path& airports : {kMySimaddonFolder, kMyThirdpartyFolder}) {
        std::error_code ignored;
        fs::remove_all(airports, ignored);
        fs::create_directories(airports, ignored);
    }
}

void runScans(benchmark::State& state, ScanFolder& folder, std::int32_t workers, bool firstScans = false) {
    const fs::path previous = fs::current_path();
    folder.enter();
    sim::StandInConfig config;
    config.simulatorName = std::string(at::standInSimulatorName(folder.simulator));
    config.airports = folder.tree.reference.facilityAirports;
    sim::StandInSimulator simulator(config);
    RunState run;
    test::FakeStatus status;
    AirportsScan scan({.simulator = simulator,
                       .run = run,
                       .status = status,
                       .pool = {.workerCount = workers, .timeout = std::chrono::seconds(60)},
                       .facilityTiming = {}});
    const AirportsScanPlace place{.folders = folder.tree.scanFolders,
                                  .simNumber = folder.simulator == at::Simulator::msfs2024 ? 2 : 1};
    (void)scan.gf_scanAirports(place);  // warms the cache
    AirportsScanCounts counts;
    for (auto _ : state) {
        if (firstScans) {
            state.PauseTiming();
            emptyAirportFolders();
            state.ResumeTiming();
        }
        counts = scan.gf_scanAirports(place);
    }
    state.counters["thirdparty_files"] = static_cast<double>(counts.thirdpartyAirports);
    state.counters["simaddon_files"] = static_cast<double>(counts.simaddonAirports);
    state.counters["tblo_files"] = static_cast<double>(counts.unrecognisedAirports);
    state.counters["cpu_walk_s"] = seconds(counts.cpu.walk);
    state.counters["cpu_read_s"] = seconds(counts.cpu.read);
    state.counters["cpu_generate_s"] = seconds(counts.cpu.generate);
    state.counters["cpu_pack_s"] = seconds(counts.cpu.pack);
    state.counters["peak_MB"] = peakMegabytes();
    fs::current_path(previous);
}

// Arguments: BGL files, workers.
void BM_airportsScanBgl(benchmark::State& state) {
    ScanFolder& folder = bglTree(static_cast<std::size_t>(state.range(0)));
    runScans(state, folder, static_cast<std::int32_t>(state.range(1)));
    state.counters["bgl_files"] = static_cast<double>(folder.tree.bglFiles.size());
}
BENCHMARK(BM_airportsScanBgl)
    ->Args({20000, 2})
    ->Args({60000, 2})
    ->Args({20000, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);

// The same scans into empty airport folders: every stand and link file is
// created, as in a first scan; the others rescan over the files they left.
void BM_airportsScanBglFirst(benchmark::State& state) {
    ScanFolder& folder = bglTree(static_cast<std::size_t>(state.range(0)));
    runScans(state, folder, static_cast<std::int32_t>(state.range(1)), true);
    state.counters["bgl_files"] = static_cast<double>(folder.tree.bglFiles.size());
}
BENCHMARK(BM_airportsScanBglFirst)
    ->Args({20000, 2})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);

void BM_airportsScanStreamed(benchmark::State& state) {
    static ScanFolder folder(
        at::Simulator::msfs2024,
        {.simulator = at::Simulator::msfs2024, .fileCount = 40, .airportFiles = 1, .streamedPackages = 3000});
    runScans(state, folder, 2);
    state.counters["streamed_packages"] = static_cast<double>(folder.tree.streamedPackages.size());
}
BENCHMARK(BM_airportsScanStreamed)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
