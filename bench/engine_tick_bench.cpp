// The engine tick under load.
//
// BM_EngineTick: lf_handleAddingStack with N active live aircraft (and S
// active static parked aircraft on stands of their own), 70 % in
// mixed airborne phases (cruise, climb, approach) and 30 % on the ground
// (taxiing, parked on a stand of the park airport's stand list, pushing
// back), each reporting every 4 s of report time through the traffic queue,
// and on every 20th tick the burst
// of ground-data events that the aircraft-in-range reply brings for every
// object. One run of 60 simulated seconds; the counters are microseconds per
// tick (p50, p99, max, mean).
//
// BM_StandSearch, BM_LearnedStandSearch: the stand questions of a parking
// and of the once-a-second check through the stand service, at a park
// airport of N stands with ten learned flights each.
//
// BM_LoopWithStandIn: the loop's tick at N live and S static aircraft with
// the stand-in simulator holding an object for each of them, paced at the
// loop's 10 ms for 30 s of wall time. As in a run, the tick asks the
// simulator for the aircraft in range every 0.2 s, and a second thread plays
// the simulator client's part: every frame it sends each live aircraft's
// position (with the send queues locked, as the frame sender does) and
// dispatches; the stand-in writes a trace file of every call. The third
// argument: 0 the stand-in answers on its callers' threads, 1 on a thread of
// its own (as a run has it). Counters: the tick's wall and CPU microseconds at
// p50, p99, p99.9 and the longest, and the ticks over 10 ms.
//
// BM_TrafficQueueLength: the traffic queue's length after 10 simulated
// minutes of a feed at R records a second (distinct aircraft reporting every
// 4 s), and its largest length after the first 60 s of warm-up.
#include <benchmark/benchmark.h>

#include <time.h>  // the tick thread's CPU clock

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "airports/loaded_park_airport.h"
#include "airports/stand.h"
#include "bench_engine.h"
#include "core/geodesy.h"
#include "core/range_control.h"
#include "core/run_state.h"
#include "core/time_text.h"
#include "engine/base/engine.h"
#include "engine/base/engine_math.h"
#include "engine/engine_tick.h"
#include "engine/object_events.h"
#include "engine/stands/park_airport_stands.h"
#include "engine/stands/stands.h"
#include "engine/traffic_intake.h"
#include "feed/feed_state.h"
#include "feed/traffic_queue.h"
#include "platform/sim/stand_in.h"
#include "platform/units.h"
#include "refdata/code_table.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_state.h"

namespace qvl {
namespace {

using bench::loadReferenceData;
using bench::NoLiveries;
using bench::NoPlans;

// The parts of one engine, as the program owns them.
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
    // One stand per aircraft on the ground, numbered from 1 in list order.
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

    Rig() {
        loadReferenceData();
        engine.clocks.weekTime = [] { return packDaySlot(3, 20); };
        traffic.setAccepting(true);
        link.queues.reserve();
        parkAirport.setStandsLoaded(true);
        gf_initAiTraffic(engine);
    }
};

enum class Profile : std::uint8_t { cruise, climb, approach, taxi, parked, pushback };

bool onGround(Profile profile) {
    return profile == Profile::taxi || profile == Profile::parked || profile == Profile::pushback;
}

struct Flight {
    std::uint32_t hexId;
    const char* model;
    Profile profile;
    double latitude;
    double longitude;
    double altitude;
    double speed;
    double track;
    double verticalSpeed;
    double time;
};

Flight flightFor(std::uint32_t i) {
    static constexpr const char* kModels[] = {"A320", "B738", "B744", "E190", "C56X", "A21N"};
    // Three in ten on the ground: taxiing, parked, pushing back.
    const std::uint32_t tenth = i % 10;
    const auto profile = tenth < 3 ? static_cast<Profile>(3 + tenth) : static_cast<Profile>(i % 3);
    // A grid of 40 rows of aircraft, 0.1 degrees apart.
    const std::uint32_t row = i % 40;
    const std::uint32_t column = i / 40;
    Flight f{.hexId = 0x400000 + i,
             .model = kModels[i % 6],
             .profile = profile,
             .latitude = 48.0 + row * 0.1,
             .longitude = 6.0 + column * 0.1,
             .altitude = 35000.0,
             .speed = 460.0,
             .track = static_cast<double>((i * 37) % 360),
             .verticalSpeed = 0.0,
             .time = 1.7e9};
    if (profile == Profile::climb) {
        f.altitude = 6000.0;
        f.speed = 280.0;
        f.verticalSpeed = 2000.0;
    } else if (profile == Profile::approach) {
        f.altitude = 4000.0;
        f.speed = 180.0;
        f.verticalSpeed = -800.0;
    } else if (onGround(profile)) {
        f.altitude = 0.0;
        f.speed = profile == Profile::taxi ? 15.0 : profile == Profile::pushback ? 3.0 : 0.0;
    }
    return f;
}

TrafficRecord recordOf(const Flight& f, std::int32_t now) {
    TrafficRecord r;
    r.hexId = f.hexId;
    r.callsign = "B" + std::to_string(f.hexId % 100000);
    r.ids = packModelId(gf_modelId(f.model));
    r.time = f.time;
    r.sample.latitude = f.latitude;
    r.sample.longitude = f.longitude;
    r.sample.altitude = f.altitude;
    r.sample.airborne = f.altitude > 0.0 ? 1 : 0;
    r.sample.groundSpeed = f.speed;
    r.sample.trueAirspeed = f.speed;
    r.sample.track = f.track;
    r.sample.verticalSpeed = f.verticalSpeed;
    r.sample.dueTick = static_cast<std::uint32_t>(now + kTrafficDelayTicks);
    return r;
}

// Four seconds further along.
void advance(Flight& f) {
    const GeoPosition next =
        gf_destinationPoint({f.latitude, f.longitude}, f.track * kDegToRad, f.speed * kFeetPerNm * 4.0 / 3600.0);
    f.latitude = next.latitude;
    f.longitude = next.longitude;
    if (!onGround(f.profile)) f.altitude = std::max(500.0, f.altitude + f.verticalSpeed * 4.0 / 60.0);
    f.time += 4.0;
}

// A ground aircraft taxis along its track, or stands on its own stand
// (facing away from its track, so that the one that moves pushes back).
void placeOnGround(Rig& rig, LiveAc& ac, const Flight& f) {
    ac.onGround = true;
    ac.heading = f.track * kDegToRad;
    if (f.profile == Profile::taxi) {
        ac.setPhase(GroundPhase::taxi);
        return;
    }
    Stand& stand = rig.park.parkStands.emplace_back();
    stand.number = static_cast<std::uint32_t>(rig.park.parkStands.size());
    stand.id = "S" + std::to_string(stand.number);
    stand.latitude = ac.position.latitude;
    stand.longitude = ac.position.longitude;
    stand.heading = normalizeHeading(ac.heading + kPi);
    stand.radius = 0.02;
    ac.stand = {.position = {.latitude = stand.latitude, .longitude = stand.longitude}, .heading = stand.heading};
    ac.standNumber = stand.number;
    ac.heading = stand.heading;
    ac.setPhase(GroundPhase::parked);
    ac.motion.departureRequested = f.profile == Profile::pushback;
}

// N aircraft active with their objects and a queue of samples 30 s deep,
// as they stand once the feed has run for a while.
void fillActive(Rig& rig, std::vector<Flight>& flights, std::uint32_t count) {
    const std::int32_t now = rig.engine.now();
    for (std::uint32_t i = 0; i < count; ++i) {
        Flight f = flightFor(i);
        TrafficRecord first = recordOf(f, now - kTrafficDelayTicks);
        lf_acceptTrafficSample(rig.engine, first);
        LiveAc& ac = rig.state.liveAircraft.back();
        for (int k = 1; k <= 8; ++k) {
            advance(f);
            TrafficRecord more = recordOf(f, now - kTrafficDelayTicks + k * 400);
            lf_acceptTrafficSample(rig.engine, more);
        }
        ac.status = SimStatus::active;
        ac.objectId = 1000 + i;
        ac.setPhase(GroundPhase::flying);
        ac.position.latitude = ac.samples.front().latitude;
        ac.position.longitude = ac.samples.front().longitude;
        ac.altitude = ac.samples.front().altitude;
        ac.motion.approaching = f.profile == Profile::approach;
        if (onGround(f.profile)) placeOnGround(rig, ac, f);
        flights.push_back(f);
    }
}

// S static aircraft active on stands of their own, east of the live ones.
void fillStatic(Rig& rig, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
        Stand& stand = rig.park.parkStands.emplace_back();
        stand.number = static_cast<std::uint32_t>(rig.park.parkStands.size());
        stand.id = "P" + std::to_string(stand.number);
        stand.latitude = 48.0 + (i % 40) * 0.0005;
        stand.longitude = 20.0 + (i / 40) * 0.0005;
        stand.radius = 0.02;
        StaticAc& ac = rig.state.staticAircraft.emplace_back();
        ac.flight.hexId = 1 + i;
        ac.flight.callsign = "S" + std::to_string(i) + "*";
        ac.objectId = 100000 + i;
        ac.status = SimStatus::active;
        ac.standNumber = stand.number;
        ac.stand = {.position = {.latitude = stand.latitude, .longitude = stand.longitude}, .heading = 0.0};
        ac.parkedSince = {.day = 3, .slot = 18};
    }
}

void queueInRangeBurst(Rig& rig) {
    for (const LiveAc& ac : rig.state.liveAircraft) {
        const bool ground = ac.onGround;
        gf_queueSimObjectEvent(rig.state, {.objectId = ac.objectId,
                                           .hexId = ground ? 1U : 0U,
                                           .kind = SimObjectEventKind::groundData,
                                           .value1 = ground ? 0.0 : 300.0,
                                           .value2 = ground ? 0.0 : ac.altitude - 300.0});
    }
}

// The frame sender's side: whatever the tick queued is taken away.
void drainQueues(Rig& rig) {
    rig.link.queues.trySend([](const QueuedCommands&) { return true; });
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

void BM_EngineTick(benchmark::State& bench) {
    const auto count = static_cast<std::uint32_t>(bench.range(0));
    constexpr int kTicks = 6000;
    for (auto _ : bench) {
        bench.PauseTiming();
        Rig rig;
        rig.feed.tickCounter.store(10000);
        std::vector<Flight> flights;
        fillActive(rig, flights, count);
        fillStatic(rig, static_cast<std::uint32_t>(bench.range(1)));
        std::vector<double> micros;
        micros.reserve(kTicks);
        bench.ResumeTiming();
        for (int t = 0; t < kTicks; ++t) {
            const std::int32_t now = rig.engine.now();
            // Every aircraft reports once every 400 ticks, spread over them.
            for (std::uint32_t i = static_cast<std::uint32_t>(now % 400); i < count; i += 400) {
                advance(flights[i]);
                rig.traffic.push(recordOf(flights[i], now));
            }
            if (now % 20 == 1) queueInRangeBurst(rig);
            const auto start = std::chrono::steady_clock::now();
            lf_handleAddingStack(rig.engine);
            const auto end = std::chrono::steady_clock::now();
            micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
            drainQueues(rig);
        }
        bench.PauseTiming();
        std::size_t active = 0;
        std::size_t ground = 0;
        for (const LiveAc& ac : rig.state.liveAircraft) {
            active += ac.status == SimStatus::active ? 1 : 0;
            ground += ac.status == SimStatus::active && ac.onGround ? 1 : 0;
        }
        bench.counters["on_ground_at_end"] = static_cast<double>(ground);
        bench.counters["p50_us"] = percentile(micros, 0.50);
        bench.counters["p99_us"] = percentile(micros, 0.99);
        bench.counters["max_us"] = percentile(micros, 1.0);
        double sum = 0.0;
        for (const double m : micros) sum += m;
        bench.counters["mean_us"] = sum / static_cast<double>(micros.size());
        bench.counters["active_at_end"] = static_cast<double>(active);
        bench.ResumeTiming();
    }
}
BENCHMARK(BM_EngineTick)
    ->Args({100, 0})
    ->Args({500, 0})
    ->Args({1000, 0})
    ->Args({500, 500})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// N stands 40 m apart in rows of 20, each with ten learned flights.
void fillStands(Rig& rig, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
        Stand& stand = rig.park.parkStands.emplace_back();
        stand.number = i + 1;
        stand.id = "S" + std::to_string(stand.number);
        const std::uint32_t row = i / 20U;
        const std::uint32_t column = i % 20U;
        const GeoPosition rowStart = gf_destinationPoint({50.0, 8.5}, 0.0, row * 40.0 / 0.3048);
        const GeoPosition at = gf_destinationPoint(rowStart, kPi / 2.0, column * 40.0 / 0.3048);
        stand.latitude = at.latitude;
        stand.longitude = at.longitude;
        stand.radius = 0.02;
        for (std::uint32_t k = 1; k <= 10; ++k) {
            LearnedFlight& flight = stand.flights.emplace_back();
            flight.registration = "D-A" + std::to_string(1000 + k);
            flight.callsign1 = "DLH" + std::to_string(i * 10 + k);
            flight.ordinal = k;
            flight.day = 3;
            flight.hours.set(k);
        }
    }
}

LiveAc searchingAircraft(const GeoPosition& at) {
    FlightRec flight;
    flight.callsign = "KLM77";
    flight.halfSpan = 0.0096;
    TrafficSample sample;
    sample.latitude = at.latitude;
    sample.longitude = at.longitude;
    return makeLiveAc(sample, flight, 1.7e9);
}

void BM_StandSearch(benchmark::State& bench) {
    Rig rig;
    fillStands(rig, static_cast<std::uint32_t>(bench.range(0)));
    // Between stands, so that the wide search looks at the learned flights of its neighbours.
    const Stand& near = rig.park.parkStands[45];
    const GeoPosition at = gf_destinationPoint({near.latitude, near.longitude}, kPi / 4.0, 30.0 / 0.3048);
    const LiveAc ac = searchingAircraft(at);
    for (auto _ : bench) {
        benchmark::DoNotOptimize(gf_findStandNear(rig.engine, at, ac, kStandSearchWideNm, true));
    }
}
BENCHMARK(BM_StandSearch)->Arg(100)->Arg(500)->Unit(benchmark::kMicrosecond);

void BM_LearnedStandSearch(benchmark::State& bench) {
    Rig rig;
    fillStands(rig, static_cast<std::uint32_t>(bench.range(0)));
    LiveAc ac = searchingAircraft({50.0, 8.5});
    for (auto _ : bench) {
        gf_findLearnedStand(rig.engine, {.day = 3, .slot = 20}, ac);
        benchmark::DoNotOptimize(ac.flight.callsignCopy);
    }
}
BENCHMARK(BM_LearnedStandSearch)->Arg(100)->Arg(500)->Unit(benchmark::kMicrosecond);

void BM_TrafficQueueLength(benchmark::State& bench) {
    const auto rate = static_cast<std::uint32_t>(bench.range(0));
    constexpr std::int32_t kTicks = 10 * 60 * 100;
    constexpr std::int32_t kWarmUp = 60 * 100;
    // Distinct aircraft, each reporting every 4 s.
    const std::uint32_t aircraftCount = rate * 4;
    for (auto _ : bench) {
        Rig rig;
        std::vector<Flight> flights;
        flights.reserve(aircraftCount);
        for (std::uint32_t i = 0; i < aircraftCount; ++i) flights.push_back(flightFor(i));
        std::size_t largest = 0;
        std::uint32_t next = 0;
        double owed = 0.0;
        for (std::int32_t t = 0; t < kTicks; ++t) {
            owed += static_cast<double>(rate) / 100.0;
            const std::int32_t now = rig.engine.now();
            while (owed >= 1.0) {
                Flight& f = flights[next];
                next = (next + 1) % aircraftCount;
                advance(f);
                rig.traffic.push(recordOf(f, now));
                owed -= 1.0;
            }
            lf_handleAddingStack(rig.engine);
            drainQueues(rig);
            if (t >= kWarmUp) largest = std::max(largest, rig.traffic.size());
        }
        bench.counters["queue_at_10min"] = static_cast<double>(rig.traffic.size());
        bench.counters["largest_after_warmup"] = static_cast<double>(largest);
        bench.counters["aim"] = static_cast<double>(rate) * 30.0 + 100.0;
    }
}
BENCHMARK(BM_TrafficQueueLength)->Arg(100)->Arg(300)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

std::chrono::nanoseconds threadCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// The stand-in's world for the loop: the user at the first live aircraft's
// place, and an object for every live and static aircraft within 5 nm of it.
struct StandInWorld {
    test::TempDir folder;
    std::unique_ptr<sim::StandInSimulator> sim;
    sim::SimConnection* connection = nullptr;
    std::vector<sim::ObjectId> liveObjects;

    static constexpr sim::DefinitionId kPosition = 1;

    StandInWorld(std::size_t live, std::size_t statics, bool ownThread) {
        sim::StandInConfig config;
        config.installedTitles = {"Bench Airliner"};
        config.objectLimit = live + statics + 10;
        config.creationFrames = 1;
        config.user.latitude = 48.0;
        config.user.longitude = 6.0;
        sim = std::make_unique<sim::StandInSimulator>(std::move(config));
        if (!sim->setTraceFile(folder / "trace.txt")) throw std::runtime_error("no trace file");
        if (ownThread) sim->runOnOwnThread();
        if (sim::failed(sim->open(&connection, "Quorvelant", 0))) throw std::runtime_error("no connection");
        connection->addToDataDefinition(kPosition, "PLANE LATITUDE", "degrees", sim::DataType::float64, 0, 0);
        connection->addToDataDefinition(kPosition, "PLANE LONGITUDE", "degrees", sim::DataType::float64, 0, 0);
        connection->addToDataDefinition(defAircraftInRange, "Plane Alt Above Ground", "feet", sim::DataType::float64, 0,
                                        0);
        connection->addToDataDefinition(defAircraftInRange, "Ground Altitude", "feet", sim::DataType::float64, 0, 0);
        connection->addToDataDefinition(defAircraftInRange, "SIM ON GROUND", "Bool", sim::DataType::int64, 0, 0);
        connection->addToDataDefinition(defAircraftInRange, "ATC ID", "", sim::DataType::string32, 0, 0);
        const std::size_t count = live + statics;
        for (std::size_t i = 0; i < count; ++i) {
            const sim::InitPosition at{.latitude = 48.0 + 0.001 * static_cast<double>(i % 60),
                                       .longitude = 6.0 + 0.001 * static_cast<double>(i / 60),
                                       .altitude = 1000.0,
                                       .pitch = 0.0,
                                       .bank = 0.0,
                                       .heading = 90.0,
                                       .onGround = i < live ? 0u : 1u,
                                       .airspeed = 0u};
            connection->aiCreateNonAtcAircraft("Bench Airliner", "B" + std::to_string(i), at,
                                               static_cast<sim::RequestId>(1 + i));
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (sim->aiObjectIds().size() < count && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            dispatchAll();
        }
        const std::vector<sim::ObjectId> ids = sim->aiObjectIds();
        if (ids.size() < count) throw std::runtime_error("the stand-in made too few objects");
        liveObjects.assign(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(live));
    }

    std::size_t dispatchAll() {
        std::size_t replies = 0;
        connection->callDispatch(
            [](const sim::RecvHeader*, std::uint32_t, void* count) { ++*static_cast<std::size_t*>(count); }, &replies);
        return replies;
    }
};

void BM_LoopWithStandIn(benchmark::State& bench) {
    const auto live = static_cast<std::uint32_t>(bench.range(0));
    const auto statics = static_cast<std::uint32_t>(bench.range(1));
    const bool ownThread = bench.range(2) != 0;
    constexpr int kTicks = 3000;
    constexpr auto kTick = std::chrono::milliseconds(10);
    for (auto _ : bench) {
        bench.PauseTiming();
        Rig rig;
        rig.feed.tickCounter.store(10000);
        std::vector<Flight> flights;
        fillActive(rig, flights, live);
        fillStatic(rig, statics);
        StandInWorld world(live, statics, ownThread);
        rig.link.simHandle.store(world.connection);
        std::atomic<bool> stop{false};
        // The simulator client's thread: positions every frame, then dispatch.
        std::thread client([&] {
            auto next = std::chrono::steady_clock::now();
            double latitude = 48.0;
            while (!stop.load()) {
                next += std::chrono::milliseconds(33);
                latitude += 1e-6;
                {
                    const auto lock = rig.link.queues.lock();
                    for (const sim::ObjectId id : world.liveObjects) {
                        const double position[2] = {latitude, 6.0};
                        world.connection->setDataOnSimObject(StandInWorld::kPosition, id, 0, 1, sizeof position,
                                                             position);
                    }
                }
                world.dispatchAll();
                std::this_thread::sleep_until(next);
            }
        });
        std::vector<double> wall;
        std::vector<double> cpu;
        wall.reserve(kTicks);
        cpu.reserve(kTicks);
        bench.ResumeTiming();
        const auto begin = std::chrono::steady_clock::now();
        for (int t = 0; t < kTicks; ++t) {
            std::this_thread::sleep_until(begin + t * kTick);
            const std::int32_t now = rig.engine.now();
            for (std::uint32_t i = static_cast<std::uint32_t>(now % 400); i < live; i += 400) {
                advance(flights[i]);
                rig.traffic.push(recordOf(flights[i], now));
            }
            if (now % 20 == 1) queueInRangeBurst(rig);
            const auto cpuStart = threadCpuTime();
            const auto start = std::chrono::steady_clock::now();
            lf_handleAddingStack(rig.engine);
            const auto end = std::chrono::steady_clock::now();
            const auto cpuEnd = threadCpuTime();
            wall.push_back(std::chrono::duration<double, std::micro>(end - start).count());
            cpu.push_back(std::chrono::duration<double, std::micro>(cpuEnd - cpuStart).count());
            drainQueues(rig);
        }
        bench.PauseTiming();
        stop.store(true);
        client.join();
        rig.link.simHandle.store(nullptr);
        bench.counters["p50_us"] = percentile(wall, 0.50);
        bench.counters["p99_us"] = percentile(wall, 0.99);
        bench.counters["p999_us"] = percentile(wall, 0.999);
        bench.counters["max_us"] = percentile(wall, 1.0);
        bench.counters["over_10ms"] =
            static_cast<double>(std::count_if(wall.begin(), wall.end(), [](double us) { return us > 10000.0; }));
        bench.counters["cpu_p50_us"] = percentile(cpu, 0.50);
        bench.counters["cpu_p99_us"] = percentile(cpu, 0.99);
        bench.counters["cpu_p999_us"] = percentile(cpu, 0.999);
        bench.counters["cpu_max_us"] = percentile(cpu, 1.0);
        bench.ResumeTiming();
    }
}
BENCHMARK(BM_LoopWithStandIn)
    ->Args({500, 500, 0})
    ->Args({500, 500, 1})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qvl
