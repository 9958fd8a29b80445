// The start-up build of the livery tables as a run does it: 30,000 liveries
// read back from LiveriesScanned.xml (a third with their own registration),
// the shipped registration-code file of 7,000 entries decrypted, read and
// merged (one to five registrations each, about 21,000 codes, some of them
// replacing the liveries' own), a user's folder of 500 lines, then the
// model tables, the similar models and the summary.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/settings.h"
#include "liveries/liveries_file.h"
#include "liveries/livery_tables.h"
#include "liveries/scanned_processing.h"
#include "refdata/code_table.h"
#include "refdata/data_file.h"
#include "support/fake_status.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace qvl;

constexpr int kLiveries = 30000;
constexpr int kAirlines = 900;
constexpr int kModels = 120;
constexpr int kShippedEntries = 7000;
constexpr int kUserLines = 500;

std::string codeOf(int n, int letters) {
    std::string code;
    for (int k = 0; k < letters; ++k, n /= 26) code.insert(code.begin(), static_cast<char>('A' + n % 26));
    return code;
}

std::string titleOf(int n) {
    const int airline = n % kAirlines;
    const int model = (airline * 3 + n / kAirlines) % kModels;
    return fmt::format("AIG {} {} livery number {} of the generated fleet", codeOf(airline, 3), codeOf(model, 4), n);
}

std::string registrationOf(int n) { return fmt::format("D-{}", codeOf(n, 5)); }

// In a scrambled order, as a scan over many packages finds them; every
// seventh cargo, every tenth flown for a second airline.
LiveryList generatedLiveries() {
    LiveryList liveries;
    liveries.reserve(kLiveries);
    for (int i = 0; i < kLiveries; ++i) {
        const int n = (i * 7919) % kLiveries;
        const int airline = n % kAirlines;
        const int model = (airline * 3 + n / kAirlines) % kModels;
        liveries.push_back(
            {.title = titleOf(n),
             .registration = n % 3 == 0 ? registrationOf(n) : std::string(),
             .key = {.airlineId = gf_airlineId(codeOf(airline, 3)),
                     .secondAirlineId = n % 10 == 0 ? gf_airlineId(codeOf((airline + 1) % kAirlines, 3)) : CodeId{0},
                     .modelId = gf_modelId(codeOf(model, 4)),
                     .cargo = static_cast<std::uint8_t>(n % 7 == 0 ? 1 : 0)},
             .folderIndex = 1});
    }
    return liveries;
}

// Entry k names livery 4k; its registrations are those of the liveries that
// follow it, so some replace a livery's own registration.
std::string shippedXml() {
    std::string xml = "<?xml version=\"1.0\"?>\n<root><meta><info name=\"copyright\" value=\"CC0\"/></meta><aig>\n";
    for (int k = 0; k < kShippedEntries; ++k) {
        const int n = k * 4;
        std::string registrations;
        for (int r = 0; r <= k % 5; ++r) registrations += (r == 0 ? "" : ",") + registrationOf(n + r);
        xml += fmt::format("<l t=\"{}\" r=\"{}\"{}/>\n", titleOf(n), registrations, k % 50 == 0 ? " s=\"true\"" : "");
    }
    return xml + "</aig></root>\n";
}

std::string userFile() {
    std::string text;
    for (int k = 0; k < kUserLines; ++k)
        text += fmt::format("{};{}\n", titleOf(k * 11 + 1), registrationOf(k * 11 + 2));
    return text;
}

struct ProcessingFixture {
    test::TempDir folder;
    fs::path previous = fs::current_path();

    ProcessingFixture() {
        setenv("QVL_ROAMING_DIR", (folder / "roaming").c_str(), 1);
        fs::current_path(folder.path());
        fs::create_directories(kOutputFolder);
        fs::create_directories(kMyRegcodesFolder);
        // The summary switches off what has no liveries; off already, it
        // writes no parameters.xml while measured.
        HIGH_PERF_AIRCRAFT.set(false);
        HELICOPTERS.set(false);
        gf_modelId("");
        gf_airlineId("");
        lf_writeLiveriesScanned(generatedLiveries(), 1);
        test::writeFile(folder / "plain.xml", shippedXml());
        streamEncrypt(folder / "plain.xml", kAigRegcodesEnc);
        test::writeFile(kMyRegcodesFolder / "mine.txt", userFile());
    }
    ~ProcessingFixture() { fs::current_path(previous); }
    ProcessingFixture(const ProcessingFixture&) = delete;
    ProcessingFixture& operator=(const ProcessingFixture&) = delete;
};

void BM_processScannedLiveries(benchmark::State& state) {
    ProcessingFixture fixture;
    LiveryTables tables;
    test::FakeStatus status;
    for (auto _ : state) {
        state.PauseTiming();
        tables.reset();
        state.ResumeTiming();
        gf_processScannedLiveries(tables, status);
        benchmark::DoNotOptimize(tables.regcodes.size());
    }
    state.counters["liveries"] = kLiveries;
    state.counters["shipped_entries"] = kShippedEntries;
    state.counters["regcodes"] = static_cast<double>(tables.regcodes.size());
}
BENCHMARK(BM_processScannedLiveries)->Unit(benchmark::kMillisecond);

}  // namespace
