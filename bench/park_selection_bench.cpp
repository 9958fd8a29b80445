// The stand and flight selection at a park airport.
//
// BM_FillParkPositions/S/F/T: lf_fillParkPositions as the first filling runs
// it (marks cleared, nothing occupied) at S stands with F learned flights
// each and T static aircraft standing. The flights are spread evenly over
// the week's 336 half hours, each staying two hours; one in four is real,
// the rest soft. Half the stands form neighbour pairs. 50 % of the stands
// are wanted; WEEK and PARK_SOFT are on, MAX_FIT is 47.
//
// BM_FillParkPositionsShortfall/S/F/T: the same airport with every stand
// wanted, which the neighbour pairs make impossible: all four passes run to
// fit 47.
//
// BM_SelectParkPositions/S/F/T, BM_AdjustParking/S/F/T: the parking cycle's
// first filling (no static aircraft yet) and its adjustment (T static
// aircraft standing, reviewed against the candidates) at the same airports;
// the number wanted is the program's: 50 % of the stands, at most
// MAX_PARK_SEL (500).
//
// Counters: candidates found, and the fit of the last real and soft pass.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "airports/loaded_park_airport.h"
#include "airports/stand.h"
#include "bench_engine.h"
#include "core/geodesy.h"
#include "core/range_control.h"
#include "core/run_state.h"
#include "core/settings.h"
#include "core/time_text.h"
#include "engine/base/engine.h"
#include "engine/parking/park_selection.h"
#include "engine/parking/parking_cycle.h"
#include "engine/stands/park_airport_stands.h"
#include "feed/feed_state.h"
#include "feed/traffic_queue.h"
#include "platform/units.h"
#include "refdata/code_table.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "simlink/sim_state.h"

namespace qvl {
namespace {

using bench::loadReferenceData;
using bench::NoLiveries;
using bench::NoPlans;

struct Airport {
    std::uint32_t stands = 0;
    std::uint32_t flightsPerStand = 0;
    std::uint32_t statics = 0;
};

constexpr std::uint32_t kWeekSlots = 336;
constexpr std::uint32_t kStay = 4;  // half hours at the stand
constexpr double kSpacingNm = 100.0 / kMetresPerNm;

// The parts of one engine, as the program owns them, over a generated airport.
struct Rig {
    EngineState state;
    test::FakeStatus status;
    FeedState feed{status, {.realTrafficGone = [] {}}};
    TrafficQueue traffic;
    SimLinkState link;
    RunState run;
    CurrentParkAirportState parkAirport;
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};
    NoLiveries liveries;
    LoadedParkAirport park{status};
    ParkAirportStands stands{park};
    NoPlans plans;
    bench::FixedCallsigns callsigns;
    Engine engine{
        makeEngine({.state = state,
                    .feed = feed,
                    .traffic = traffic,
                    .link = link,
                    .run = run,
                    .parkAirport = parkAirport,
                    .loadedPark = park,
                    .range = range,
                    .liveries = liveries,
                    .stands = stands,
                    .flightPlans = plans,
                    .status = status,
                    .callsigns = callsigns,
                    .userAircraft = {.read = [] { return UserAircraftBlock{}; }, .send = [](const UserState&) {}}})};

    explicit Rig(const Airport& airport) {
        loadReferenceData();
        engine.clocks.weekTime = [] { return packDaySlot(3, 20); };
        RANDOM.set(true);
        WEEK.set(true);
        PARK_SOFT.set(true);
        MAX_FIT.set(47);
        parking_percentage.set(50);
        CUSTOM_PARKING_PERCENTAGE.set(-1);
        HELICOPTERS.set(true);
        buildStands(airport);
        buildStatics(airport);
        for (std::uint32_t i = 0; i < 200; ++i) state.parking.liveCallsigns.insert("LIVE" + std::to_string(i));
        // The cycle takes the live callsigns over from the traffic reader.
        for (std::uint32_t i = 0; i < 200; ++i) callsigns.callsigns.insert("LIVE" + std::to_string(i));
        parkAirport.set({.code = FixedCode4("EDDF"), .position = {.latitude = 50.0, .longitude = 8.5}});
        parkAirport.setStandsLoaded(true);
    }

    void buildStands(const Airport& airport) {
        static constexpr const char* kModels[] = {"A320", "B738", "B744", "E190", "A21N", "CRJ7", "B77W", "AT76"};
        const std::uint32_t columns = 50;
        for (std::uint32_t n = 1; n <= airport.stands; ++n) {
            const GeoPosition at{.latitude = 50.0 + ((n - 1) / columns) * kSpacingNm / 60.0,
                                 .longitude = 8.5 + ((n - 1) % columns) * kSpacingNm / 60.0 / 0.64};
            Stand& stand = park.parkStands.emplace_back(
                "S" + std::to_string(n), std::vector<LearnedFlight>{},
                StandPlacement{.latitude = at.latitude, .longitude = at.longitude}, 30.0, StandKind{});
            stand.number = n;
            // Stands 1-2, 5-6, 9-10 ... overlap.
            if (n % 4 == 1 && n < airport.stands) stand.neighbours = {n + 1};
            if (n % 4 == 2) stand.neighbours = {n - 1};
            stand.flights.reserve(airport.flightsPerStand);
            for (std::uint32_t j = 0; j < airport.flightsPerStand; ++j) {
                const std::uint32_t week = (n * 7 + j * kWeekSlots / airport.flightsPerStand) % kWeekSlots;
                const std::uint32_t slot = week % 48;
                LearnedFlight flight;
                flight.ids = {.airlineId = static_cast<CodeId>(1 + (n + j) % 40),
                              .modelId = gf_modelId(kModels[(n + j) % 8])};
                const std::uint32_t id = n * airport.flightsPerStand + j;
                // Every registration and arriving callsign flies twice a week.
                const std::uint32_t aircraft = id % (airport.stands * airport.flightsPerStand / 2);
                flight.registration = "R" + std::to_string(aircraft);
                flight.callsign1 = "C" + std::to_string(aircraft);
                if (j % 2 == 1) flight.callsign2 = "D" + std::to_string(id);
                for (std::uint32_t s = slot; s < std::min(slot + kStay, 48U); ++s) flight.hours.set(s);
                flight.ordinal = j + 1;
                flight.day = week / 48 + 1;
                flight.real = j % 4 == 0;
                stand.flights.push_back(flight);
            }
        }
    }

    void buildStatics(const Airport& airport) {
        for (std::uint32_t i = 0; i < airport.statics; ++i) {
            const std::uint32_t number = 1 + i * airport.stands / airport.statics;
            const Stand& stand = park.parkStands[number - 1];
            StaticAc& ac = state.staticAircraft.emplace_back();
            ac.flight.hexId = i + 1;
            ac.flight.callsign = "X" + std::to_string(i) + "*";
            ac.flight.callsignCopy = "X" + std::to_string(i);
            ac.flight.registration = "RS" + std::to_string(i);
            ac.flight.key = {.airlineId = 1, .modelId = gf_modelId("A320")};
            ac.status = SimStatus::active;
            ac.standNumber = number;
            ac.stand = {.position = {.latitude = stand.latitude, .longitude = stand.longitude}, .heading = 0.0};
        }
    }

    // The state a first filling starts from.
    void freshRun() {
        state.parking.candidates.clear();
        for (Stand& stand : park.parkStands) {
            stand.taken = stand.blocked = stand.adjacent = false;
            for (std::uint32_t j = 0; j < stand.flights.size(); ++j) stand.flights[j].ordinal = j + 1;
        }
    }
};

Airport airportOf(const benchmark::State& state) {
    return {.stands = static_cast<std::uint32_t>(state.range(0)),
            .flightsPerStand = static_cast<std::uint32_t>(state.range(1)),
            .statics = static_cast<std::uint32_t>(state.range(2))};
}

void runFill(benchmark::State& state, std::int64_t wanted, Rig& rig) {
    const WeekTime now = rig.engine.weekTime();
    for (auto _ : state) {
        state.PauseTiming();
        rig.freshRun();
        state.ResumeTiming();
        lf_fillParkPositions(rig.engine, now, wanted, 0);
        benchmark::DoNotOptimize(rig.state.parking.candidates.data());
    }
    state.counters["candidates"] = static_cast<double>(rig.state.parking.candidates.size());
    state.counters["realFit"] = rig.state.parking.realPassFit;
    state.counters["softFit"] = rig.state.parking.softPassFit;
}

void BM_FillParkPositions(benchmark::State& state) {
    Rig rig(airportOf(state));
    runFill(state, state.range(0) / 2, rig);
}

void BM_FillParkPositionsShortfall(benchmark::State& state) {
    Rig rig(airportOf(state));
    runFill(state, state.range(0), rig);
}

// The parking cycle's two selections over the same airport: the first
// filling after a load and the 20-minute adjustment, which also reviews the
// static aircraft standing there.
void BM_SelectParkPositions(benchmark::State& state) {
    Rig rig(airportOf(state));
    rig.state.staticAircraft.clear();
    for (auto _ : state) {
        state.PauseTiming();
        rig.freshRun();
        state.ResumeTiming();
        lf_selectParkPositions(rig.engine);
        benchmark::DoNotOptimize(rig.state.parking.candidates.data());
    }
    state.counters["candidates"] = static_cast<double>(rig.state.parking.candidates.size());
}

void BM_AdjustParking(benchmark::State& state) {
    const Airport airport = airportOf(state);
    Rig rig(airport);
    for (auto _ : state) {
        state.PauseTiming();
        rig.freshRun();
        rig.state.staticAircraft.clear();
        rig.state.removalQueue.clear();
        rig.buildStatics(airport);
        state.ResumeTiming();
        lf_adjustParking(rig.engine);
        benchmark::DoNotOptimize(rig.state.parking.candidates.data());
    }
    state.counters["candidates"] = static_cast<double>(rig.state.parking.candidates.size());
    const auto removed = std::count_if(rig.state.staticAircraft.begin(), rig.state.staticAircraft.end(),
                                       [](const StaticAc& ac) { return ac.status != SimStatus::active; });
    state.counters["statics_removed"] = static_cast<double>(removed);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Args({100, 10, 30})->Args({500, 20, 150})->Args({2000, 50, 500})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_FillParkPositions)->Apply(sizes);
BENCHMARK(BM_FillParkPositionsShortfall)->Apply(sizes);
BENCHMARK(BM_SelectParkPositions)->Apply(sizes);
BENCHMARK(BM_AdjustParking)->Apply(sizes);

}  // namespace
}  // namespace qvl
