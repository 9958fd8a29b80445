// The whole program's main-loop tick at full load.
//
// BM_ProgramRun stages a program folder in a temporary folder as the
// demonstration does (tools/demo.sh: the data files, the generated Community
// and airport packages, the application-data folders, the scenario), then
// gives it a park airport of its own at the user's position: a stand file of
// 600 stands in a grid and a learned file with flights for every stand, day
// and half hour, so that MAX_PARK_SEL's 500 static aircraft are parked. The
// stand-in traffic client (in process, on loopback, on ports the system
// chose) replays 500 airliners circling the user within 35 nm, each
// reporting every 4 s. The program runs as quorvelant does: the same entry,
// the same start-up, the stand-in simulator on a thread of its own, no
// window (DISPLAY is unset: the headless back end), Log.txt and the
// simulator's trace written as in a run.
//
// Once the stand-in simulator holds the live (airborne) and static (on the
// ground) objects asked for, or after the wait bound, the main loop's ticks
// are timed for the measured time; then the program is closed as by its
// window's close button. The ticks are timed through the clock that the loop
// paces itself by: a tick is the run thread's work from the end of one clock
// call to the next call of now() that begins the next round. The loop's look
// at the simulator's second between its sleep and the tick is also such a
// stretch, of well under a microsecond: those are set aside and counted
// (about one per simulated second).
//
// A run may also see the traffic client drop its link and come back three
// seconds later, the drops spread evenly over the measured time: each one
// takes the live aircraft away at once (a mass removal, every object's
// flight plan deleted) and they are created again as the traffic returns.
// And the flight plans' writer may be given a file layer that answers
// slowly: every write and delete waits 15 to 300 ms before it reaches the
// disk, as a busy disk does.
//
// Arguments: measured seconds (default 60; $QVL_BENCH_SECONDS overrides), live and static aircraft wanted
// (500, 500), client drops (0) and slow files (0: the disk as it is, 1: slow). Counters: the tick's wall and thread-CPU
// microseconds at p50, p99, p99.9 and the longest, the ticks over 10 ms, the live and static objects at the start and
// the end of the measured time, and the ramp's figures (from the first AI object to full load, which holds the park
// airport's load and the creations), the drops made and the file jobs the
// writer carried out.
//
// Run it pinned, e.g. taskset -c 6,7 build/bench/qvl_program_run_bench.
#include <benchmark/benchmark.h>

#include <stdlib.h>  // setenv, unsetenv: the program reads its folders from the environment

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/file_writer.h"
#include "core/log.h"
#include "platform/net/socket.h"
#include "platform/sim/stand_in.h"
#include "platform/sys/cpu_time.h"
#include "platform/ui/window.h"
#include "run/application.h"
#include "run/run_clock.h"
#include "support/temp_dir.h"
#include "tools/traffic_client/stand_in_client.h"
#include "tools/traffic_client/traffic_file.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr double kUserLatitude = 48.1103;
constexpr double kUserLongitude = 16.5697;
constexpr int kStandColumns = 20;
constexpr int kStandRows = 30;
constexpr double kStandStepMetres = 60.0;
constexpr double kMetresPerDegree = 111120.0;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTrafficSeconds = 900.0;  // the replay's length before it loops
constexpr int kReportSeconds = 4;

// --- The clock that times the ticks ---------------------------------------

struct Stretch {
    double wallMicros;
    double cpuMicros;
    Clock::time_point end;
};

// The steady clock, noting the run thread's work between its calls while
// recording is on.
class TickTimingClock final : public RunClock {
public:
    time_point now() override {
        const time_point at = Clock::now();
        const auto cpu = sys::threadCpuTime();
        note(at, cpu, true);
        leave(at, cpu);
        return at;
    }

    void sleepUntil(time_point when) override {
        note(Clock::now(), sys::threadCpuTime(), false);
        steady_.sleepUntil(when);
        leave(Clock::now(), sys::threadCpuTime());
    }

    // Recording on: the stretches from now on go to `into`.
    void record(std::vector<Stretch>* into) {
        const std::lock_guard lock(mutex_);
        into_ = into;
        havePrevious_ = false;
    }
    [[nodiscard]] std::size_t reanchors() {
        const std::lock_guard lock(mutex_);
        return reanchors_;
    }
    void clearReanchors() {
        const std::lock_guard lock(mutex_);
        reanchors_ = 0;
    }

private:
    // The loop's look at the simulator's second between sleep and tick.
    static constexpr double kReanchorMicros = 2.0;

    void note(time_point at, std::chrono::nanoseconds cpu, bool endsAtNow) {
        const std::lock_guard lock(mutex_);
        if (into_ == nullptr) return;
        if (runThread_ != std::this_thread::get_id()) {
            // The loop is the clock's only user while the program runs; the
            // first caller after recording starts is its thread.
            if (havePrevious_ || !into_->empty()) return;
            runThread_ = std::this_thread::get_id();
        }
        if (!havePrevious_ || !endsAtNow) return;
        const Stretch s{.wallMicros = std::chrono::duration<double, std::micro>(at - previousEnd_).count(),
                        .cpuMicros = std::chrono::duration<double, std::micro>(cpu - previousCpu_).count(),
                        .end = at};
        if (s.wallMicros < kReanchorMicros) {
            ++reanchors_;
        } else {
            into_->push_back(s);
        }
    }

    void leave(time_point at, std::chrono::nanoseconds cpu) {
        const std::lock_guard lock(mutex_);
        if (into_ == nullptr || runThread_ != std::this_thread::get_id()) return;
        previousEnd_ = at;
        previousCpu_ = cpu;
        havePrevious_ = true;
    }

    SteadyRunClock steady_;
    std::mutex mutex_;  // a leaf lock: the recording state
    std::vector<Stretch>* into_ = nullptr;
    std::thread::id runThread_;
    bool havePrevious_ = false;
    time_point previousEnd_;
    std::chrono::nanoseconds previousCpu_{0};
    std::size_t reanchors_ = 0;
};

// --- A disk that answers slowly ----------------------------------------------

// The disk, each operation waiting 15 to 300 ms first: the flight plans'
// writer is its only user.
class SlowFiles final : public FileLayer {
public:
    std::error_code writeFile(const std::filesystem::path& file, std::string_view bytes) override {
        wait();
        return disk_.writeFile(file, bytes);
    }
    std::error_code replaceFile(const std::filesystem::path& file, std::string_view bytes) override {
        wait();
        return disk_.replaceFile(file, bytes);
    }
    std::error_code removeFile(const std::filesystem::path& file) override {
        wait();
        return disk_.removeFile(file);
    }
    [[nodiscard]] std::size_t operations() const { return operations_.load(); }

private:
    void wait() {
        std::chrono::milliseconds delay{0};
        {
            const std::lock_guard lock(mutex_);
            delay = std::chrono::milliseconds(delays_(random_));
        }
        std::this_thread::sleep_for(delay);
        operations_.fetch_add(1);
    }

    DiskFileLayer disk_;
    std::mutex mutex_;  // a leaf lock: the random delays
    std::mt19937 random_{20261207};
    std::uniform_int_distribution<int> delays_{15, 300};
    std::atomic<std::size_t> operations_{0};
};

// The disk, counting its operations.
class CountedFiles final : public FileLayer {
public:
    std::error_code writeFile(const std::filesystem::path& file, std::string_view bytes) override {
        operations_.fetch_add(1);
        return disk_.writeFile(file, bytes);
    }
    std::error_code replaceFile(const std::filesystem::path& file, std::string_view bytes) override {
        operations_.fetch_add(1);
        return disk_.replaceFile(file, bytes);
    }
    std::error_code removeFile(const std::filesystem::path& file) override {
        operations_.fetch_add(1);
        return disk_.removeFile(file);
    }
    [[nodiscard]] std::size_t operations() const { return operations_.load(); }

private:
    DiskFileLayer disk_;
    std::atomic<std::size_t> operations_{0};
};

// --- The staged program folder ---------------------------------------------

void writeText(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string standId(int index) { return "S" + std::to_string(index + 1); }

constexpr const char* kMeta =
    "  <meta>\n"
    "    <info name=\"author\" value=\"Quorvelant\" />\n"
    "    <info name=\"version\" value=\"12.2.0\" />\n"
    "    <info name=\"copyright\" value=\"Ostrevane\" />\n"
    "    <info name=\"sim\" value=\"1\" />\n"
    "  </meta>\n";

// The user's stand R0 and 600 stands in rows north of it, noses south.
void writeStandFile(const std::filesystem::path& folder) {
    const double metresPerLonDegree = kMetresPerDegree * std::cos(kUserLatitude * kPi / 180.0);
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n";
    text += kMeta;
    text += "  <parameters>\n    <parameter name=\"airport_name\" value=\"\" />\n";
    text += "    <parameter name=\"publisher\" value=\"simaddon\" />\n";
    text += "    <parameter name=\"altitude\" value=\"0\" />\n";
    text += "    <parameter name=\"num_parkpos\" value=\"" + std::to_string(kStandColumns * kStandRows + 1) + "\" />\n";
    text += "  </parameters>\n  <parkpositions>\n";
    const auto stand = [&](const std::string& id, double north, double east) {
        text += "    <parkpos id=\"" + id + "\" latitude=\"" + fixed(kUserLatitude + north / kMetresPerDegree, 6) +
                "\" longitude=\"" + fixed(kUserLongitude + east / metresPerLonDegree, 6) +
                "\" heading=\"180.0\" radius=\"25.0\" type=\"8\" />\n";
    };
    stand("R0", 0.0, 0.0);
    for (int i = 0; i < kStandColumns * kStandRows; ++i) {
        stand(standId(i), 150.0 + (i / kStandColumns) * kStandStepMetres,
              (i % kStandColumns - kStandColumns / 2) * kStandStepMetres);
    }
    text += "  </parkpositions>\n</root>\n";
    writeText(folder / "airports" / "my_simaddon" / "LOWW.xml", text);
}

// Flights learned at every stand for every day and half hour.
void writeLearnedFile(const std::filesystem::path& folder) {
    std::string text = "<?xml version=\"1.0\"?>\n<root>\n";
    text += kMeta;
    text += "  <parameters>\n    <parameter name=\"airport_name\" value=\"\" />\n";
    text += "    <parameter name=\"publisher\" value=\"simaddon\" />\n  </parameters>\n  <parkpositions>\n";
    for (int i = 0; i < kStandColumns * kStandRows; ++i) {
        text += "    <parkpos id=\"" + standId(i) + "\">\n";
        for (int day = 1; day <= 7; ++day) {
            const std::string n = std::to_string(1000 + i);
            text += "      <opt reg=\"OE-S" + n + "\" airl=\"AUA\" type=\"A320\" day=\"" + std::to_string(day) +
                    "\" hh=\"0:47\" cs=\"AUA" + n + std::to_string(day) + ":AUA" + n + std::to_string(day) + "\" />\n";
        }
        text += "    </parkpos>\n";
    }
    text += "  </parkpositions>\n</root>\n";
    writeText(folder / "airports" / "learned" / "my_simaddon" / "LOWW.xml", text);
}

// N airliners circling the user between 5 and 35 nm, each reporting every
// 4 s, their reports spread over the seconds.
std::string trafficFile(int flights) {
    std::string text = "C " + fixed(kUserLatitude, 4) + " " + fixed(kUserLongitude, 4) + "\nQ 0 {\"QNH\": 1013}\n";
    const double cosLat = std::cos(kUserLatitude * kPi / 180.0);
    constexpr double kSpeedKt = 250.0;
    for (int t = 0; t < static_cast<int>(kTrafficSeconds); ++t) {
        for (int i = t % kReportSeconds; i < flights; i += kReportSeconds) {
            const double radiusNm = 5.0 + (i % 31);
            const double bearing0 = std::fmod(i * 137.508, 360.0) * kPi / 180.0;
            const double bearing = bearing0 + (kSpeedKt / 3600.0) * t / radiusNm;
            const double lat = kUserLatitude + radiusNm * std::cos(bearing) / 60.0;
            const double lon = kUserLongitude + radiusNm * std::sin(bearing) / (60.0 * cosLat);
            const double track = std::fmod(bearing * 180.0 / kPi + 90.0 + 720.0, 360.0);
            const int altitude = 3000 + (i % 25) * 1000;
            const std::string hex = std::to_string(4490000 + i);
            const std::string cs = "AUA" + std::to_string(5000 + i);
            text += "T " + std::to_string(t) + " QVL," + hex + "," + fixed(lat, 5) + "," + fixed(lon, 5) + "," +
                    std::to_string(altitude) + ",0,1000," + fixed(track, 1) + ",250," + cs + ",A320,OE-L" +
                    std::to_string(i) + ",LHR,VIE," + fixed(1767225600.0 + t, 2) + ",,,adsb_icao,,,260,,,0.0,," +
                    fixed(track, 1) + ",,,A3,\n";
        }
    }
    return text;
}

struct Ports {
    std::uint16_t tcp = 0;
    std::uint16_t traffic = 0;
    std::uint16_t qnh = 0;
};

// Three ports that the system gives free now, none of the program's defaults.
Ports freePorts() {
    Ports ports;
    net::TcpListener listener;
    if (listener.create() != 0 || listener.bind(net::Address::loopback, 0) != 0) {
        throw std::runtime_error("no free TCP port");
    }
    ports.tcp = listener.localPort();
    net::UdpSocket a;
    net::UdpSocket b;
    if (a.create() != 0 || a.bind(net::Address::loopback, 0) != 0 || b.create() != 0 ||
        b.bind(net::Address::loopback, 0) != 0) {
        throw std::runtime_error("no free UDP ports");
    }
    ports.traffic = a.localPort();
    ports.qnh = b.localPort();
    return ports;
}

std::string replaceOnce(std::string text, std::string_view what, std::string_view with) {
    const auto at = text.find(what);
    if (at == std::string::npos) throw std::runtime_error("staging: '" + std::string(what) + "' not found");
    return text.replace(at, what.size(), with);
}

// The demonstration's kit, then the park airport, the traffic and the
// settings of this run.
void stage(const std::filesystem::path& folder, const Ports& ports, int liveFlights) {
    const std::string command = "bash '" QVL_SOURCE_DIR "/tools/demo.sh' '" QVL_BINARY_DIR "' '" + folder.string() +
                                "' > '" + (folder.parent_path() / "demo.log").string() + "' 2>&1";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("tools/demo.sh failed: " + command);
    writeStandFile(folder);
    writeLearnedFile(folder);
    writeText(folder / "traffic.txt", trafficFile(liveFlights));
    const std::filesystem::path parameters = folder / "roaming" / "Quorvelant" / "parameters.xml";
    std::string settings = readText(parameters);
    // The stand file is this run's own: no airports scan replaces it.
    settings = replaceOnce(settings, "\"SCAN_AIRPORTS\" value=\"true\"", "\"SCAN_AIRPORTS\" value=\"false\"");
    settings = replaceOnce(settings, "\"CUSTOM_PARKING_PERCENTAGE\" value=\"70\"",
                           "\"CUSTOM_PARKING_PERCENTAGE\" value=\"100\"");
    settings = replaceOnce(
        settings, "  </parameters>",
        "    <parameter name=\"PORT_NUMBER\" value=\"" + std::to_string(ports.tcp) + "\" />\n  </parameters>");
    writeText(parameters, settings);
    // Room for every object; the rest of the world as the demonstration has it.
    std::ofstream(folder / "sim" / "scenario.txt", std::ios::binary | std::ios::app) << "object_limit = 2000\n";
}

void setEnvironment(const std::filesystem::path& folder) {
    ::setenv("QVL_ROAMING_DIR", (folder / "roaming").c_str(), 1);
    ::setenv("QVL_LOCAL_DIR", (folder / "local").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (folder / "runtime").c_str(), 1);
    ::setenv("QVL_SIM_SCENARIO", (folder / "sim" / "scenario.txt").c_str(), 1);
    ::setenv("QVL_SIM_TRACE", (folder / "sim" / "trace.txt").c_str(), 1);
    // The version check asks a port of loopback where nothing listens.
    ::setenv("QVL_DOWNLOAD_BASE", "http://127.0.0.1:1/", 1);
    ::unsetenv("DISPLAY");
}

// --- Figures ----------------------------------------------------------------

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::min(index == 0 ? 0 : index - 1, values.size() - 1)];
}

void report(benchmark::State& bench, const std::string& prefix, const std::vector<Stretch>& ticks) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (const Stretch& s : ticks) {
        wall.push_back(s.wallMicros);
        cpu.push_back(s.cpuMicros);
    }
    bench.counters[prefix + "ticks"] = static_cast<double>(ticks.size());
    for (const auto& [name, p] : {std::pair{"p50", 0.5}, {"p99", 0.99}, {"p999", 0.999}, {"max", 1.0}}) {
        bench.counters[prefix + name + "_us"] = percentile(wall, p);
        bench.counters[prefix + name + "_cpu_us"] = percentile(cpu, p);
    }
    bench.counters[prefix + "over_10ms"] =
        static_cast<double>(std::count_if(wall.begin(), wall.end(), [](double w) { return w > 10000.0; }));
    // The longest ticks with the second they ended in: their period tells
    // which of the loop's slower work they carried.
    if (ticks.empty()) return;
    std::vector<Stretch> longest = ticks;
    const auto shown = std::min<std::size_t>(longest.size(), 12);
    std::partial_sort(longest.begin(), longest.begin() + static_cast<std::ptrdiff_t>(shown), longest.end(),
                      [](const Stretch& a, const Stretch& b) { return a.wallMicros > b.wallMicros; });
    std::fprintf(stderr, "%slongest ticks (s after the start: wall us / cpu us):", prefix.c_str());
    for (std::size_t i = 0; i < shown; ++i) {
        std::fprintf(stderr, " %.2f: %.0f/%.0f", std::chrono::duration<double>(longest[i].end - ticks[0].end).count(),
                     longest[i].wallMicros, longest[i].cpuMicros);
    }
    std::fprintf(stderr, "\n");
}

struct Counts {
    std::size_t live = 0;
    std::size_t parked = 0;
};

// The stand-in's AI objects (released to the program or not): airborne ones
// are the live flights (all of them fly), those on the ground the static
// aircraft.
Counts countObjects(const sim::StandInSimulator& simulator) {
    Counts counts;
    for (const sim::ObjectId id : simulator.aiObjectIds()) {
        const auto object = simulator.object(id);
        if (!object) continue;
        ++(object->onGround ? counts.parked : counts.live);
    }
    return counts;
}

void BM_ProgramRun(benchmark::State& bench) {
    const char* seconds = std::getenv("QVL_BENCH_SECONDS");
    const auto measured = std::chrono::seconds(seconds != nullptr ? std::atoi(seconds) : bench.range(0));
    const auto wantLive = static_cast<std::size_t>(bench.range(1));
    const auto wantParked = static_cast<std::size_t>(bench.range(2));
    const auto drops = static_cast<int>(bench.range(3));
    const bool slowFiles = bench.range(4) != 0;
    // The program creates one aircraft every half second: 1000 take over 8 minutes.
    constexpr auto kLoadBound = 900s;
    // A dropped client comes back after this long.
    constexpr auto kReconnectAfter = 3s;
    for (auto _ : bench) {
        test::TempDir dir;
        const std::filesystem::path folder = dir / "program";
        const Ports ports = freePorts();
        stage(folder, ports, static_cast<int>(wantLive));
        setEnvironment(folder);
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(folder);

        standin::Options options;
        options.tcpPort = ports.tcp;
        options.trafficPort = ports.traffic;
        options.qnhPort = ports.qnh;
        options.traffic = standin::readTrafficFile(folder / "traffic.txt");
        options.shiftTime = true;
        options.loops = 100;
        options.connectTimeout = 120s;
        standin::StandInClient client(std::move(options));
        std::jthread trafficThread([&client] { client.run(1s); });

        TickTimingClock clock;
        std::vector<Stretch> ramp;
        std::vector<Stretch> full;
        ramp.reserve(100000);
        full.reserve(static_cast<std::size_t>(measured / 10ms) + 1000);
        std::shared_ptr<ui::Window> window;
        std::atomic<sim::StandInSimulator*> simulator{nullptr};
        std::atomic<bool> windowReady{false};
        Counts atStart;
        Counts atEnd;
        double rampSeconds = 0.0;
        std::size_t reanchors = 0;
        int dropsMade = 0;
        const auto slow = std::make_shared<SlowFiles>();
        const auto counted = std::make_shared<CountedFiles>();
        const std::shared_ptr<FileLayer> files =
            slowFiles ? std::static_pointer_cast<FileLayer>(slow) : std::static_pointer_cast<FileLayer>(counted);

        std::jthread conductor([&](const std::stop_token& stop) {
            while (!stop.stop_requested() && (!windowReady.load() || simulator.load() == nullptr)) {
                std::this_thread::sleep_for(50ms);
            }
            sim::StandInSimulator& sim = *simulator.load();
            const auto begin = Clock::now();
            while (!stop.stop_requested() && sim.aiObjectIds().empty() && Clock::now() - begin < kLoadBound) {
                std::this_thread::sleep_for(20ms);
            }
            const auto rampStart = Clock::now();
            clock.record(&ramp);
            while (!stop.stop_requested() && Clock::now() - begin < kLoadBound) {
                const Counts c = countObjects(sim);
                if (c.live >= wantLive && c.parked >= wantParked) break;
                std::this_thread::sleep_for(2s);
            }
            rampSeconds = std::chrono::duration<double>(Clock::now() - rampStart).count();
            atStart = countObjects(sim);
            clock.clearReanchors();
            clock.record(&full);
            const auto measuredStart = Clock::now();
            const auto end = measuredStart + measured;
            for (int drop = 0; drop < drops; ++drop) {
                // Drop i at (i + 1/2) / drops of the measured time.
                const auto at = measuredStart + measured * (2 * drop + 1) / (2 * drops);
                while (!stop.stop_requested() && Clock::now() < at) std::this_thread::sleep_for(100ms);
                if (stop.stop_requested()) break;
                client.dropLink();
                ++dropsMade;
                std::this_thread::sleep_for(kReconnectAfter);
                if (!client.connect()) break;
            }
            while (!stop.stop_requested() && Clock::now() < end) std::this_thread::sleep_for(100ms);
            clock.record(nullptr);
            reanchors = clock.reanchors();
            atEnd = countObjects(sim);
            window->requestClose();
        });

        const std::int32_t exitCode = runProgram({}, [&](const std::vector<std::string>& args) {
            window = ui::makeWindow(ui::BackEnd::Headless);
            windowReady.store(true);
            const auto standIn = sim::makeStandInForRun([](std::string_view problem) { gf_logAttention(problem); });
            simulator.store(standIn.get());
            const std::int32_t code =
                gf_runApplication(window, *standIn, args, {.traffic = ports.traffic, .qnh = ports.qnh}, clock, files);
            simulator.store(nullptr);
            return code;
        });
        conductor.request_stop();
        conductor.join();
        client.stop();
        trafficThread.join();
        std::filesystem::current_path(previous);

        report(bench, "", full);
        report(bench, "ramp_", ramp);
        bench.counters["ramp_s"] = rampSeconds;
        bench.counters["live_at_start"] = static_cast<double>(atStart.live);
        bench.counters["static_at_start"] = static_cast<double>(atStart.parked);
        bench.counters["live_at_end"] = static_cast<double>(atEnd.live);
        bench.counters["static_at_end"] = static_cast<double>(atEnd.parked);
        bench.counters["second_looks"] = static_cast<double>(reanchors);
        bench.counters["exit_code"] = exitCode;
        bench.counters["drops"] = dropsMade;
        bench.counters["file_jobs"] = static_cast<double>(slowFiles ? slow->operations() : counted->operations());
        if (const char* keep = std::getenv("QVL_BENCH_KEEP"); keep != nullptr && *keep != '\0') {
            std::filesystem::copy(folder / "Log.txt", std::filesystem::path(keep) / "Log.txt",
                                  std::filesystem::copy_options::overwrite_existing);
        }
    }
}
BENCHMARK(BM_ProgramRun)
    ->ArgNames({"s", "live", "static", "drops", "slow_files"})
    ->Args({60, 500, 500, 0, 0})
    ->Args({240, 500, 500, 4, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace qvl
