// Traffic lines through the parser: splitting, filters, conversions and the
// queue, as the traffic reader does for every datagram.
#include <benchmark/benchmark.h>

#include <fmt/format.h>

#include <string>
#include <vector>

#include "core/current_park_airport.h"
#include "core/run_state.h"
#include "core/settings.h"
#include "feed/feed_state.h"
#include "feed/traffic_queue.h"
#include "feed/traffic_reader.h"
#include "support/fake_status.h"

namespace {

using qvl::LineOutcome;

// Lines of several aircraft types around one airport, some airborne, some taxiing.
std::vector<std::string> sampleLines() {
    const char* types[] = {"A320", "B738", "B77W", "E190", "CRJ9", "A21N", "DH8D", "C172"};
    std::vector<std::string> lines;
    for (int i = 0; i < 64; ++i) {
        const bool ground = i % 8 == 0;
        lines.push_back(
            fmt::format("QVL,{},{:.5f},{:.5f},{},{},1000,{:.1f},{},QV{}{},{},OE-Q{:02},HAM,VIE,{:.2f},,,adsb_icao,,,{},"
                        ",,{},,{:.1f},,,A3,",
                        4490501 + i, 48.11 + 0.01 * (i % 16), 16.57 + 0.013 * (i % 11), ground ? 0 : 2000 + 500 * i,
                        ground ? 0 : -640, 3.0 * i, ground ? 15 : 180 + i, 100 + i, i % 10, types[i % 8], i,
                        1767225600.0 + i, ground ? -1 : 200 + i, ground ? -1 : i % 20 - 10, 5.0 * i + 1.0));
    }
    return lines;
}

// The state a reader works with, as the program owns it.
struct ReaderGround {
    qvl::RunState run;
    qvl::test::FakeStatus status;
    qvl::FeedState feed{status, {.realTrafficGone = [] {}}};
    qvl::CurrentParkAirportState filter;
    qvl::TrafficQueue queue;
    qvl::TrafficReader reader{queue, feed, run, filter};

    ReaderGround() {
        reader.setOwnPosition({48.11, 16.57});
        filter.set({.position = {48.11, 16.57}, .elevationFeet = 600});
    }
};

void BM_ParseAndQueueTrafficLines(benchmark::State& state) {
    const auto lines = sampleLines();
    ReaderGround ground;
    ground.queue.setAccepting(true);
    ground.filter.setReferenceElevation(600.0);
    qvl::TrafficReader& reader = ground.reader;
    qvl::TrafficQueue& queue = ground.queue;
    std::vector<qvl::TrafficRecord> taken;
    std::size_t i = 0;
    std::int64_t queued = 0;
    for (auto _ : state) {
        queued += reader.onTrafficDatagram(lines[i]) == LineOutcome::queued;
        if (++i == lines.size()) {
            i = 0;
            taken.clear();
            queue.takeFront(taken, lines.size());  // the engine empties the queue meanwhile
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["queued"] = benchmark::Counter(static_cast<double>(queued), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParseAndQueueTrafficLines);

void BM_ParseTrafficLine(benchmark::State& state) {
    const auto lines = sampleLines();
    ReaderGround ground;
    qvl::TrafficReader& reader = ground.reader;
    std::size_t i = 0;
    for (auto _ : state) {
        qvl::TrafficRecord record;
        benchmark::DoNotOptimize(reader.parseLine(lines[i], record));
        benchmark::DoNotOptimize(record);
        if (++i == lines.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseTrafficLine);

}  // namespace
