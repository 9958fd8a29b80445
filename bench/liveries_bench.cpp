// The livery catalogue at start-up, the way the program builds it: 30,000
// generated liveries written to LiveriesScanned.xml, read back (parsed,
// interned, sorted into livery order) and built into the airline-model map,
// the catalogue and the model tables. Plus the key-line matcher over lines
// of growing length, which must stay linear.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <filesystem>
#include <string>

#include "liveries/key_line.h"
#include "liveries/liveries_file.h"
#include "liveries/livery_tables.h"
#include "refdata/code_table.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace qvl;

constexpr int kLiveries = 30000;
constexpr int kAirlines = 900;
constexpr int kModels = 120;

std::string codeOf(int n, int letters) {
    std::string code;
    for (int k = 0; k < letters; ++k, n /= 26) code.insert(code.begin(), static_cast<char>('A' + n % 26));
    return code;
}

// Airlines with a few models each, every seventh livery cargo, every tenth
// flown for a second airline, a third with their own registration; written
// in a scrambled order, as a scan over many packages finds them.
LiveryList generatedLiveries() {
    LiveryList liveries;
    liveries.reserve(kLiveries);
    for (int i = 0; i < kLiveries; ++i) {
        const int n = (i * 7919) % kLiveries;
        const int airline = n % kAirlines;
        const int model = (airline * 3 + n / kAirlines) % kModels;
        LiveryData livery{
            .title = fmt::format("AIG {} {} livery number {} of the generated fleet", codeOf(airline, 3),
                                 codeOf(model, 4), n),
            .registration = n % 3 == 0 ? fmt::format("D-{}", codeOf(n, 4)) : std::string(),
            .key = {.airlineId = gf_airlineId(codeOf(airline, 3)),
                    .secondAirlineId = n % 10 == 0 ? gf_airlineId(codeOf((airline + 1) % kAirlines, 3)) : CodeId{0},
                    .modelId = gf_modelId(codeOf(model, 4)),
                    .cargo = static_cast<std::uint8_t>(n % 7 == 0 ? 1 : 0)},
            .folderIndex = 1};
        liveries.push_back(std::move(livery));
    }
    return liveries;
}

struct CatalogueFixture {
    test::TempDir folder;
    fs::path file = folder / "LiveriesScanned.xml";
    LiveryList liveries = generatedLiveries();
};

CatalogueFixture& fixture() {
    static CatalogueFixture f;
    return f;
}

void buildTables(const LiveryList& liveries, LiveryTables& tables) {
    lf_buildAirlineModelMap(liveries, tables);
    lf_buildCatalogue(tables);
    lf_buildModelTables(tables);
}

void BM_writeReadAndBuild(benchmark::State& state) {
    auto& f = fixture();
    for (auto _ : state) {
        if (!lf_writeLiveriesScanned(f.liveries, 1, f.file)) state.SkipWithError("not written");
        LiveryTables tables;
        lf_readLiveriesScanned(tables.liveries, f.file);
        buildTables(tables.liveries, tables);
        benchmark::DoNotOptimize(tables.paxModels.size());
    }
    state.counters["liveries"] = kLiveries;
}
BENCHMARK(BM_writeReadAndBuild)->Unit(benchmark::kMillisecond);

void BM_write(benchmark::State& state) {
    auto& f = fixture();
    for (auto _ : state) {
        if (!lf_writeLiveriesScanned(f.liveries, 1, f.file)) state.SkipWithError("not written");
    }
}
BENCHMARK(BM_write)->Unit(benchmark::kMillisecond);

void BM_read(benchmark::State& state) {
    auto& f = fixture();
    lf_writeLiveriesScanned(f.liveries, 1, f.file);
    for (auto _ : state) {
        LiveryList read;
        lf_readLiveriesScanned(read, f.file);
        benchmark::DoNotOptimize(read.data());
    }
}
BENCHMARK(BM_read)->Unit(benchmark::kMillisecond);

void BM_build(benchmark::State& state) {
    auto& f = fixture();
    LiveryList sorted = f.liveries;
    sortLiveries(sorted);
    for (auto _ : state) {
        LiveryTables tables;
        buildTables(sorted, tables);
        benchmark::DoNotOptimize(tables.paxModels.size());
    }
}
BENCHMARK(BM_build)->Unit(benchmark::kMillisecond);

// A key line whose value runs to the line's end: time must grow with the
// length, not faster.
void BM_keyLine(benchmark::State& state) {
    const std::string line = "title = " + std::string(static_cast<std::size_t>(state.range(0)), 'x') + " \r";
    for (auto _ : state) benchmark::DoNotOptimize(keyLineValue(line, "title"));
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_keyLine)->RangeMultiplier(10)->Range(1000, 10000000)->Complexity(benchmark::oN);

}  // namespace
