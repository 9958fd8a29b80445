// The park airport's stand files at the size of a large airport: 1,000
// stands with 20 learned flights each, written and read; the main loop's
// part of a load whose files were read and built off the loop; the
// neighbour step of the read on its own; and a learned file of 20,000
// flights merged onto the stands. The shipped reference database is loaded, so registrations
// are looked up as in a run.
#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <pugixml.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "airports/apf_file.h"
#include "airports/closest_stand.h"
#include "airports/learned_file.h"
#include "airports/loaded_park_airport.h"
#include "airports/park_airport.h"
#include "core/current_park_airport.h"
#include "core/download.h"
#include "core/geodesy.h"
#include "core/paths.h"
#include "core/range_control.h"
#include "core/settings.h"
#include "engine/base/user_stand_exchange.h"
#include "platform/units.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/fake_status.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace qvl;

constexpr int kStands = 1000;
constexpr int kFlightsPerStand = 20;
// Stands in rows of 40, 40 m apart, radii 20 to 38 m: a busy apron where
// neighbouring stands overlap.
constexpr int kStandsPerRow = 40;
constexpr double kSpacingMetres = 40.0;

fs::path dataFolder() { return fs::path(__FILE__).parent_path().parent_path() / "data"; }

double metresAsDegrees(double metres) { return metres / kMetresPerNm / 60.0; }

LearnedFlight flightOf(int stand, int k, FlightSource source) {
    LearnedFlight flight;
    flight.registration = fmt::format("{}-{:03}{:02}", source == FlightSource::learned ? "LX" : "PH", stand, k);
    flight.ids = {.airlineId = 0, .operatorId = 0, .modelId = 0, .cargo = 0, .marker = 0};
    flight.callsign1 = fmt::format("KLM{}", 100 + k);
    flight.hours.set(static_cast<std::size_t>(k * 2 % 48));
    flight.hours.set(static_cast<std::size_t>((k * 2 + 1) % 48));
    flight.ordinal = static_cast<std::uint32_t>(k + 1);
    flight.day = static_cast<std::uint32_t>(k % 7 + 1);
    flight.source = source;
    flight.real = k % 3 != 0;
    return flight;
}

std::vector<Stand> apron(FlightSource source) {
    std::vector<Stand> stands;
    stands.reserve(kStands);
    for (int i = 0; i < kStands; ++i) {
        std::vector<LearnedFlight> flights;
        for (int k = 0; k < kFlightsPerStand; ++k) flights.push_back(flightOf(i, k, source));
        const double north = metresAsDegrees(kSpacingMetres * (i / kStandsPerRow));
        const double east = metresAsDegrees(kSpacingMetres * (i % kStandsPerRow)) / 0.61;  // cos(52.3)
        stands.emplace_back(fmt::format("S{:04}", i), std::move(flights),
                            StandPlacement{.latitude = 52.3 + north, .longitude = 4.76 + east, .heading = 1.0},
                            20.0 + (i % 10) * 2.0, StandKind{.type = 3});
    }
    return stands;
}

ApfRecord recordOf(std::vector<Stand> stands) {
    return {.icao = FixedCode4("EHAM"), .airportName = "Schiphol", .publisher = "Bench", .stands = std::move(stands)};
}

// The program folder, the database and the files the benchmarks read, made once.
struct BenchFolder {
    test::TempDir folder;
    std::string standFile = (kMySimaddonFolder / "EHAM.xml").string();
    fs::path learnedFile = kLearnedFolder / "my_simaddon" / "EHAM.xml";
    std::vector<Stand> airportStands;

    BenchFolder() {
        fs::current_path(folder.path());
        fs::create_directories(kInputFolder);
        streamEncrypt(dataFolder() / "dbase.xml", kInputFolder / "dbase.enc");
        resetDbaseTables();
        gf_readDbase();
        // The stand file: every stand with its geometry and 20 flights.
        gf_saveApf(recordOf(apron(FlightSource::standFile)), kAirportsFolder / "full.xml",
                   {.mode = ApfMode::learned, .simNumber = 1, .handmade = true});
        pugi::xml_document document;
        document.load_file((kAirportsFolder / "full.xml").c_str());
        document.child("root")
            .child("parameters")
            .remove_child(document.child("root").child("parameters").find_child_by_attribute("name", "handmade"));
        fs::create_directories(kMySimaddonFolder);
        document.save_file(fs::path(standFile).c_str());
        // The learned file: 20 other flights at every stand.
        gf_saveApf(recordOf(apron(FlightSource::learned)), learnedFile,
                   {.mode = ApfMode::learned, .simNumber = 1, .handmade = false});
        lf_checkStands(document, airportStands);
        // Back on the file without a learned file for the reads.
        fs::rename(learnedFile, kAirportsFolder / "learned.xml");
    }
    ~BenchFolder() {
        std::error_code ignored;
        fs::current_path(fs::temp_directory_path(), ignored);
    }
};

BenchFolder& benchFolder() {
    static BenchFolder folder;
    return folder;
}

void BM_WriteStandFile(benchmark::State& state) {
    benchFolder();
    const ApfRecord record = recordOf(apron(FlightSource::learned));
    const fs::path target = kAirportsFolder / "written.xml";
    for (auto _ : state) {
        if (!gf_saveApf(record, target, {.mode = ApfMode::learned, .simNumber = 1, .handmade = true})) {
            state.SkipWithError("gf_saveApf failed");
        }
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(target));
}
BENCHMARK(BM_WriteStandFile)->Unit(benchmark::kMillisecond);

// What leaving the park airport still costs the loop: the copy of the
// learned record it hands over. Building and writing the file
// (BM_WriteStandFile) is the learned files' writer's, off the loop.
void BM_CopyLearnedRecord(benchmark::State& state) {
    const ApfRecord record = recordOf(apron(FlightSource::learned));
    for (auto _ : state) {
        ApfRecord copy = record;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_CopyLearnedRecord)->Unit(benchmark::kMillisecond);

// The whole load: parse, stands and flights, numbering, neighbours, summary.
void BM_ReadStandFile(benchmark::State& state) {
    BenchFolder& bench = benchFolder();
    test::FakeStatus status;
    LoadedParkAirport park{status};
    CurrentParkAirportState parkAirport;
    const RunState run;
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};
    for (auto _ : state) {
        const ApfLoadResult result =
            gf_readApf({.pathText = bench.standFile, .icao = FixedCode4("EHAM")}, park,
                       {.parkAirport = parkAirport, .range = range, .status = status, .run = run});
        if (!result) state.SkipWithError(result.errorText().c_str());
    }
    std::size_t flights = 0;
    std::size_t neighbours = 0;
    for (const Stand& stand : park.parkStands) {
        flights += stand.flights.size();
        neighbours += stand.neighbours.size();
    }
    state.counters["stands"] = static_cast<double>(park.parkStands.size());
    state.counters["flights"] = static_cast<double>(flights);
    state.counters["neighbours"] = static_cast<double>(neighbours);
    resetAllSettings();
}
BENCHMARK(BM_ReadStandFile)->Unit(benchmark::kMillisecond);

// What of the load is left on the main loop once its files were read and
// their stands built on a thread of their own: the stands and statistics
// taken in, the summary, the files let go. Each round reads anew (not
// timed), as the stands are taken in once.
void applyReadFiles(benchmark::State& state, bool withLearnedFile) {
    BenchFolder& bench = benchFolder();
    if (withLearnedFile) {
        fs::copy_file(kAirportsFolder / "learned.xml", bench.learnedFile, fs::copy_options::overwrite_existing);
    }
    test::FakeStatus status;
    LoadedParkAirport park{status};
    CurrentParkAirportState parkAirport;
    const RunState run;
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};
    const ApfLoadRequest request{.pathText = bench.standFile, .icao = FixedCode4("EHAM")};
    for (auto _ : state) {
        state.PauseTiming();
        auto files = std::make_unique<ApfFiles>(readApfFiles(request, [] { return false; }));
        state.ResumeTiming();
        const ApfLoadResult result =
            applyApfFiles(*files, park, {.parkAirport = parkAirport, .range = range, .status = status, .run = run});
        files.reset();
        if (!result) state.SkipWithError(result.errorText().c_str());
    }
    std::size_t flights = 0;
    for (const Stand& stand : park.parkStands) flights += stand.flights.size();
    state.counters["stands"] = static_cast<double>(park.parkStands.size());
    state.counters["flights"] = static_cast<double>(flights);
    if (withLearnedFile) fs::remove(bench.learnedFile);
    resetAllSettings();
}

// Each round reads for about 25 ms untimed: a fixed count keeps the run short.
constexpr int kApplyRounds = 60;

// The stand file alone: 1,000 stands, 20,000 flights.
void BM_ApplyReadStandFile(benchmark::State& state) { applyReadFiles(state, false); }
BENCHMARK(BM_ApplyReadStandFile)->Unit(benchmark::kMillisecond)->Iterations(kApplyRounds);

// With its learned file: 20,000 flights more.
void BM_ApplyReadStandAndLearnedFile(benchmark::State& state) { applyReadFiles(state, true); }
BENCHMARK(BM_ApplyReadStandAndLearnedFile)->Unit(benchmark::kMillisecond)->Iterations(kApplyRounds);

// The stands built where the files were read (off the main loop), with the
// learned file.
void BM_BuildReadStands(benchmark::State& state) {
    BenchFolder& bench = benchFolder();
    fs::copy_file(kAirportsFolder / "learned.xml", bench.learnedFile, fs::copy_options::overwrite_existing);
    ApfFiles files = readApfFiles({.pathText = bench.standFile, .icao = FixedCode4("EHAM")}, [] { return false; });
    for (auto _ : state) {
        const ParkStandsBuild build = buildParkStands(files);
        benchmark::DoNotOptimize(build.stands.data());
    }
    fs::remove(bench.learnedFile);
}
BENCHMARK(BM_BuildReadStands)->Unit(benchmark::kMillisecond);

// What the main loop does with the stands right after a load: publishes
// their places for the simulator client's thread, and names the stand at
// a position (the user's, when the load keeps it as the reserved stand).
void BM_PublishAndNameStands(benchmark::State& state) {
    const std::vector<Stand>& stands = benchFolder().airportStands;
    UserStandExchange exchange;
    const GeoPosition far{.latitude = 52.0, .longitude = 4.0};
    for (auto _ : state) {
        exchange.publish(FixedCode4("EHAM"), stands);
        benchmark::DoNotOptimize(exchange.standNameAt(far));
    }
}
BENCHMARK(BM_PublishAndNameStands)->Unit(benchmark::kMillisecond);

// The closest-airport search's question while the user aircraft stands on
// the ground between two airports: how far the nearest stand of one of them
// is, read from its stand file (local here; an archived one is downloaded
// first). It runs on the search's own thread.
void BM_ClosestStandQuestion(benchmark::State& state) {
    benchFolder();
    std::string standId;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gf_readDestApfForClosestStand(
            FixedCode4("EHAM"), {.latitude = 52.31, .longitude = 4.77}, standId, DownloadStop{}));
    }
    if (standId.empty()) state.SkipWithError("no stand found");
}
BENCHMARK(BM_ClosestStandQuestion)->Unit(benchmark::kMillisecond);

// What the main loop pays for that question: asking (the search's thread
// starts) and, a step later, taking the answer.
void BM_ClosestAirportQuestionOnTheLoop(benchmark::State& state) {
    benchFolder();
    ClosestAirportSearch search;
    for (auto _ : state) {
        search.ask({.latitude = 52.31, .longitude = 4.77});
        state.PauseTiming();
        while (!search.idle()) std::this_thread::yield();
        state.ResumeTiming();
        benchmark::DoNotOptimize(search.take());
    }
}
BENCHMARK(BM_ClosestAirportQuestionOnTheLoop)->Unit(benchmark::kMicrosecond);

// The neighbour step of the load on its own.
void BM_NeighbourStep(benchmark::State& state) {
    std::vector<Stand> stands = benchFolder().airportStands;
    numberStands(stands);
    for (auto _ : state) linkNeighbours(stands);
}
BENCHMARK(BM_NeighbourStep)->Unit(benchmark::kMillisecond);

// The same lists from every ordered pair, as the all-pairs rule states it.
void BM_NeighbourStepAllPairs(benchmark::State& state) {
    std::vector<Stand> stands = benchFolder().airportStands;
    numberStands(stands);
    for (auto _ : state) {
        for (Stand& a : stands) {
            a.neighbours.clear();
            for (const Stand& b : stands) {
                const double distance = gf_distanceNm({a.latitude, a.longitude}, {b.latitude, b.longitude});
                if (a.number != b.number && distance * 1.1 < a.radius + b.radius) a.neighbours.push_back(b.number);
            }
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_NeighbourStepAllPairs)->Unit(benchmark::kMillisecond);

// A learned file of 20,000 flights merged onto the stand file's stands.
void BM_MergeLearnedFile(benchmark::State& state) {
    BenchFolder& bench = benchFolder();
    fs::copy_file(kAirportsFolder / "learned.xml", bench.learnedFile, fs::copy_options::overwrite_existing);
    test::FakeStatus status;
    LoadedParkAirport park{status};
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};
    for (auto _ : state) {
        state.PauseTiming();
        park.parkStands = bench.airportStands;
        state.ResumeTiming();
        lf_readLearned(bench.learnedFile, park, range, status);
    }
    std::size_t flights = 0;
    for (const Stand& stand : park.parkStands) flights += stand.flights.size();
    state.counters["flights"] = static_cast<double>(flights);
    fs::remove(bench.learnedFile);
    resetAllSettings();
}
BENCHMARK(BM_MergeLearnedFile)->Unit(benchmark::kMillisecond);

}  // namespace
