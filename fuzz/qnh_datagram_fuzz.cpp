// QNH datagrams from the traffic client ({"QNH": 1013}), read as the QNH
// reader's receive loop reads them, and the value it hands on.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/current_park_airport.h"
#include "core/messages.h"
#include "core/run_state.h"
#include "feed/feed_state.h"
#include "feed/qnh_reader.h"
#include "feed/traffic_queue.h"
#include "feed/traffic_reader.h"
#include "support/fuzz_support.h"
#include "support/quiet_status.h"

namespace {

using namespace qvl;
using fuzz::expect;

struct Readers {
    TrafficQueue queue;
    fuzz::QuietStatus status;
    FeedState state{status, {.realTrafficGone = [] {}}};
    RunState run;
    CurrentParkAirportState filter;
    TrafficReader traffic{queue, state, run, filter};
    QnhReader qnh{traffic, state, run};
};

Readers& readers() {
    static Readers r;
    return r;
}

bool inRange(std::int32_t hPa) { return hPa >= kQnhMinimum && hPa <= kQnhMaximum; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view datagram = fuzz::bytesOf(data, size);
    const std::optional<std::int32_t> qnh = qnhOfDatagram(datagram);
    if (qnh) expect(inRange(*qnh), "a QNH is clamped to 900..1100 hPa");

    Readers& r = readers();
    r.qnh.setLastQnh(kStandardQnh);
    r.traffic.setQnh(kStandardQnh);
    r.state.publishedQnh.store(kStandardQnh);
    resetMessages();
    r.qnh.onQnhDatagram(datagram);
    expect(r.qnh.lastQnh() == qnh.value_or(kStandardQnh), "the reader publishes the datagram's QNH");
    expect(r.traffic.qnh() == r.qnh.lastQnh() && r.state.publishedQnh.load() == r.qnh.lastQnh(),
           "the traffic reader and the engine get the same QNH");
    return 0;
}
