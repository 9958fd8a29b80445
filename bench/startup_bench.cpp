// Start-up to ready, as the program does it before its traffic run: the
// settings read (parameters.xml created), the shipped reference database and
// airport list decrypted and read, and the livery catalogue built from a
// LiveriesScanned.xml of 3,000 liveries over the shipped airlines and types.
// The machine is shared with other builds: compare figures of one run only.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/settings.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/headless_window.h"
#include "refdata/airports.h"
#include "refdata/data_file.h"
#include "run/program.h"
#include "run/run_clock.h"
#include "support/silent_run_window.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

fs::path dataFolder() { return fs::path(__FILE__).parent_path().parent_path() / "data"; }

constexpr int kLiveries = 3000;

// Liveries over airline and type codes of the shipped database.
std::string scannedLiveries() {
    static const char* const airlines[] = {"DLH", "AUA", "BAW", "AFR", "KLM", "SWR", "RYR", "EZY", "UAL", "DAL"};
    static const char* const types[] = {"A319", "A320", "A321", "A20N", "B738", "B77W", "A333", "E190", "CRJ9", "B744"};
    std::string xml = "<?xml version=\"1.0\"?>\n<root>\n  <liveries>\n";
    for (int i = 0; i < kLiveries; ++i) {
        xml += fmt::format("    <l a=\"{}\" m=\"{}\" t=\"Livery {} {} {:04}\" />\n", airlines[i % 10],
                           types[(i / 10) % 10], airlines[i % 10], types[(i / 10) % 10], i);
    }
    return xml + "  </liveries>\n</root>\n";
}

void BM_StartUpToReady(benchmark::State& state) {
    qvl::test::TempDir folder;
    const fs::path previous = fs::current_path();
    fs::create_directories(folder / "input");
    fs::create_directories(folder / "output");
    fs::create_directories(folder / "roaming" / "Quorvelant");
    qvl::streamEncrypt(dataFolder() / "dbase.xml", folder / "input" / "dbase.enc");
    qvl::streamEncrypt(dataFolder() / "airports.xml", folder / "input" / "airports.enc");
    qvl::test::writeFile(folder / "output" / "LiveriesScanned.xml", scannedLiveries());
    ::setenv("QVL_ROAMING_DIR", (folder / "roaming").c_str(), 1);
    fs::current_path(folder.path());
    qvl::sim::StandInSimulator simulator;
    qvl::test::SilentRunWindow window;
    qvl::ui::HeadlessWindow mainWindow;
    qvl::ManualRunClock clock;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(folder / "roaming" / "Quorvelant" / "parameters.xml");
        qvl::resetAirportList();
        auto program = std::make_unique<qvl::Program>(simulator, window, mainWindow, clock);
        state.ResumeTiming();
        qvl::readProgramData(program->parts());
        benchmark::DoNotOptimize(program->parts().liveryTables.catalogueBuilt);
        state.PauseTiming();
        program.reset();
        state.ResumeTiming();
    }
    fs::current_path(previous);
    ::unsetenv("QVL_ROAMING_DIR");
}
BENCHMARK(BM_StartUpToReady)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
