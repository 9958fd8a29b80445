// The add-on airports scan over a generated install folder: 20,000 BGL files
// of about 1 KB in Community, 500 of them airports of 50 to 2,000 parkings,
// with manifests and no facility-data fallback, read with 1, 2 and 4
// workers from a warm cache; and, for MSFS 2024, 3,000 streamed packages
// (the airport code in the package name). Peak memory is the process's
// high-water mark after the runs.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

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

// One program folder with the tree, made once per tree.
struct ScanFolder {
    test::TempDir folder;
    fs::path previous = fs::current_path();
    at::TreeExpectation tree;
    at::Simulator simulator;

    ScanFolder(at::Simulator sim, const at::TreeOptions& options) : simulator(sim) {
        setenv("QVL_ROAMING_DIR", (folder / "roaming").c_str(), 1);
        fs::current_path(folder.path());
        fs::create_directories(kInputFolder);
        auto generated = at::generateTree(at::Preset::bench, folder.path() / "MSFS", options);
        if (!generated) return;
        tree = std::move(*generated);
        stage("airports.enc", tree.reference.airportsXml);
        stage("dbase.enc", tree.reference.dbaseXml);
        resetAirportList();
        resetDbaseTables();
        gf_readAirports();
        gf_readDbase();
        SIM_CHOICE.set(std::string(at::simChoiceText(sim)));
    }
    ~ScanFolder() { fs::current_path(previous); }
    ScanFolder(const ScanFolder&) = delete;
    ScanFolder& operator=(const ScanFolder&) = delete;

    void stage(const std::string& name, const std::string& plain) {
        test::writeFile(folder / "plain.tmp", plain);
        streamEncrypt(folder / "plain.tmp", kInputFolder / name);
    }
};

void runScans(benchmark::State& state, ScanFolder& folder, std::int32_t workers) {
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
    for (auto _ : state) counts = scan.gf_scanAirports(place);
    state.counters["thirdparty_files"] = static_cast<double>(counts.thirdpartyAirports);
    state.counters["simaddon_files"] = static_cast<double>(counts.simaddonAirports);
    state.counters["peak_MB"] = peakMegabytes();
}

void BM_airportsScanBgl(benchmark::State& state) {
    static ScanFolder folder(at::Simulator::msfs2020, {.simulator = at::Simulator::msfs2020});
    runScans(state, folder, static_cast<std::int32_t>(state.range(0)));
    state.counters["bgl_files"] = static_cast<double>(folder.tree.bglFiles.size());
}
BENCHMARK(BM_airportsScanBgl)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_airportsScanStreamed(benchmark::State& state) {
    static ScanFolder folder(
        at::Simulator::msfs2024,
        {.simulator = at::Simulator::msfs2024, .fileCount = 40, .airportFiles = 1, .streamedPackages = 3000});
    runScans(state, folder, 2);
    state.counters["streamed_packages"] = static_cast<double>(folder.tree.streamedPackages.size());
}
BENCHMARK(BM_airportsScanStreamed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
