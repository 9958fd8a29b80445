// What a Log.txt line costs the thread that writes it, now that every line
// goes to the file at once (a flush of the stream, no sync to disk); and a
// flood of refused traffic lines, which reaches the log only as its first
// few lines and a count.
#include <benchmark/benchmark.h>

#include <string>

#include "core/current_park_airport.h"
#include "core/log.h"
#include "core/run_state.h"
#include "feed/feed_state.h"
#include "feed/traffic_queue.h"
#include "feed/traffic_reader.h"
#include "support/fake_status.h"
#include "support/temp_dir.h"

namespace {

void BM_LogLine(benchmark::State& state) {
    const qvl::test::TempDir dir;
    qvl::openLogAt(dir / "Log.txt");
    const std::string line = "QVA123   OE-QVA       HAM->VIE A320  removed, no more data";
    for (auto _ : state) qvl::gf_log(line);
    qvl::closeLog();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogLine);

void BM_RefusedTrafficLineFlood(benchmark::State& state) {
    const qvl::test::TempDir dir;
    qvl::openLogAt(dir / "Log.txt");
    qvl::RunState run;
    qvl::test::FakeStatus status;
    qvl::FeedState feed{status, {.realTrafficGone = [] {}}};
    qvl::CurrentParkAirportState filter;
    qvl::TrafficQueue queue;
    qvl::TrafficReader reader{queue, feed, run, filter};
    reader.setOwnPosition({48.11, 16.57});
    const std::string bad =
        "QVL,4490501,nan,16.60,5000,-640,1000,290.0,180,QVA123,A320,OE-QVA,HAM,VIE,1767225600.00,,,adsb_icao,,,200,,,"
        "10,,"
        "291.5,,,A3,";
    for (auto _ : state) benchmark::DoNotOptimize(reader.onTrafficDatagram(bad));
    qvl::closeLog();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RefusedTrafficLineFlood);

}  // namespace
