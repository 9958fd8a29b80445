// Livery matching inside the tick: nanoseconds per match for hits at the
// first steps, and for the longest road through every step, over a
// catalogue of 30,000 liveries with 4,096 reserved titles and a
// registration code for every third livery.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <string>
#include <vector>

#include "core/settings.h"
#include "liveries/livery_matching.h"
#include "liveries/livery_tables.h"
#include "refdata/code_table.h"

namespace {

using namespace qvl;

constexpr int kLiveries = 30000;
constexpr int kAirlines = 900;
constexpr int kModels = 120;
constexpr std::size_t kReserved = 4096;
// The longest road: a model with this many liveries of other airlines, and
// as many similar models of the same size, each searched by the
// registration's prefix and the fellows of its group.
constexpr int kWideModelTitles = 2000;
constexpr int kSimilarModels = 4;
constexpr int kPrefixFellows = 8;

std::string codeOf(int n, int letters) {
    std::string code;
    for (int k = 0; k < letters; ++k, n /= 26) code.insert(code.begin(), static_cast<char>('A' + n % 26));
    return code;
}

LiveryData generated(int n) {
    const int airline = n % kAirlines;
    const int model = (airline * 3 + n / kAirlines) % kModels;
    return {.title = fmt::format("AIG {} {} livery number {} of the generated fleet", codeOf(airline, 3),
                                 codeOf(model, 4), n),
            .registration = n % 3 == 0 ? fmt::format("D-{}", codeOf(n, 4)) : std::string(),
            .key = {.airlineId = gf_airlineId(codeOf(airline, 3)),
                    .secondAirlineId = n % 10 == 0 ? gf_airlineId(codeOf((airline + 1) % kAirlines, 3)) : CodeId{0},
                    .modelId = gf_modelId(codeOf(model, 4)),
                    .cargo = static_cast<std::uint8_t>(n % 7 == 0 ? 1 : 0)}};
}

// Liveries of the wide model "WIDE" and its similar models "WSM0".., spread
// over the generated airlines, every other one with a registration whose
// prefix the flight of the longest road never has.
LiveryList wideLiveries() {
    LiveryList liveries;
    for (int m = 0; m <= kSimilarModels; ++m) {
        const std::string model = m == 0 ? "WIDE" : fmt::format("WSM{}", m - 1);
        for (int i = 0; i < kWideModelTitles; ++i) {
            liveries.push_back(
                {.title = fmt::format("Wide fleet {} livery {} of a long list of titles", model, i),
                 .registration = i % 2 == 0 ? fmt::format("G-{}", codeOf(i, 4)) : std::string(),
                 .key = {.airlineId = gf_airlineId(codeOf(i % kAirlines, 3)), .modelId = gf_modelId(model)}});
        }
    }
    return liveries;
}

struct Fixture {
    LiveryTables tables;
    DontUseTitleSet refused;
    LiveryMatchCounters counters;

    Fixture() {
        LiveryList liveries;
        for (int n = 0; n < kLiveries; ++n) liveries.push_back(generated(n));
        for (LiveryData& wide : wideLiveries()) liveries.push_back(std::move(wide));
        sortLiveries(liveries);
        lf_buildAirlineModelMap(liveries, tables);
        lf_buildCatalogue(tables);
        tables.regcodes.reserve(36000);
        for (const LiveryData& livery : liveries) {
            if (livery.registration.empty()) continue;
            const std::string_view title = lf_findLiveryTitle(tables, livery.title);
            tables.regcodes.try_emplace(livery.registration, title);
            tables.inlineRegcodes.try_emplace(title, livery.registration);
        }
        for (std::size_t n = 0; n < kReserved; ++n) {
            tables.reservedTitles.push_back(lf_findLiveryTitle(tables, liveries[n * 7].title));
        }
        lf_buildModelTables(tables);
        auto& similar = tables.similar.byModel[gf_modelId("WIDE")];
        for (int m = 0; m < kSimilarModels; ++m) similar.push_back(gf_modelId(fmt::format("WSM{}", m)));
        std::vector<std::string> fellows;
        fellows.reserve(kPrefixFellows);
        for (int p = 0; p < kPrefixFellows; ++p) fellows.push_back(fmt::format("{}-", codeOf(p + 3, 2)));
        tables.similar.prefixGroups.try_emplace("N", std::move(fellows));
        RANDOM.set(false);
        MATCHING_DEPTH.set(4);
    }

    LiveryMatcher matcher() { return {.tables = tables, .dontUseTitles = refused, .counters = counters}; }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

MatchFlight flightOf(const LiveryData& livery, std::string_view registration) {
    return {.key = livery.key, .registration = registration, .category = AircraftCategory::Large, .line = [] {
                return std::string("DLH A320 DLH4AB");
            }};
}

void runLive(benchmark::State& state, MatchFlight flight, bool wantHit) {
    auto& f = fixture();
    const LiveryMatcher matcher = f.matcher();
    for (auto _ : state) {
        flight.title = {};
        gf_matchLiveAcLivery(matcher, flight);
        benchmark::DoNotOptimize(flight.title.data());
        if (flight.title.empty() == wantHit) state.SkipWithError("unexpected outcome");
    }
}

void BM_hitByRegistrationCode(benchmark::State& state) {
    const LiveryData livery = generated(3 * 1234);
    runLive(state, flightOf(livery, livery.registration), true);
}

void BM_hitByAirlineAndModel(benchmark::State& state) { runLive(state, flightOf(generated(4321), "N12345"), true); }

void BM_hitBySecondAirline(benchmark::State& state) { runLive(state, flightOf(generated(4320), ""), true); }

// An unknown airline flying for another unknown one, a light model that
// only other airlines have: every step misses until the last similar model
// is searched by prefix, by each fellow of the prefix's group, and whole.
// Every title of the model and of all but the last similar model is
// refused, so the search goes on to the end.
void longestRoad(benchmark::State& state, bool coldLists) {
    MatchFlight flight{.key = {.airlineId = gf_airlineId("QQQ"),
                               .secondAirlineId = gf_airlineId("QQR"),
                               .modelId = gf_modelId("WIDE")},
                       .registration = "N999QQ",
                       .category = AircraftCategory::Light,
                       .line = [] { return std::string("QQQ,QQR WIDE"); }};
    auto& f = fixture();
    const CodeId lastSimilar = gf_modelId(fmt::format("WSM{}", kSimilarModels - 1));
    for (const auto& [model, titles] : f.tables.paxModels) {
        if (model == lastSimilar || !modelCodeOf(model).starts_with("W")) continue;
        for (const std::string_view title : titles) f.refused.insert(title);
    }
    const LiveryMatcher matcher = f.matcher();
    for (auto _ : state) {
        if (coldLists) {
            state.PauseTiming();
            f.tables.registeredTitles.lists.clear();
            state.ResumeTiming();
        }
        flight.title = {};
        gf_matchLiveAcLivery(matcher, flight);
        benchmark::DoNotOptimize(flight.title.data());
        if (flight.title.empty()) state.SkipWithError("no match at the end of the road");
    }
    f.refused.clear();
    state.counters["titles"] = static_cast<double>(kWideModelTitles * (kSimilarModels + 1));
    state.counters["fellows"] = kPrefixFellows;
}

void BM_longestRoad(benchmark::State& state) { longestRoad(state, false); }
// The same while the searched lists have not been searched before: their
// titles are looked up in the in-line registrations first.
void BM_longestRoadFirstTime(benchmark::State& state) { longestRoad(state, true); }

BENCHMARK(BM_hitByRegistrationCode);
BENCHMARK(BM_hitByAirlineAndModel);
BENCHMARK(BM_hitBySecondAirline);
BENCHMARK(BM_longestRoad)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_longestRoadFirstTime)->Unit(benchmark::kMicrosecond);

}  // namespace
