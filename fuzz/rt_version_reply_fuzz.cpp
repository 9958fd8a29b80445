// The traffic client's answer to the version request: bytes as TCP brings
// them, framed into one JSON object the way the link waits for the reply,
// then read for the client's edition and version.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/current_park_airport.h"
#include "core/messages.h"
#include "core/run_state.h"
#include "core/strings.h"
#include "core/time_text.h"
#include "feed/feed_state.h"
#include "feed/readers.h"
#include "feed/realtraffic_link.h"
#include "feed/traffic_queue.h"
#include "support/fuzz_support.h"
#include "support/quiet_status.h"

namespace {

using namespace qvl;
using fuzz::expect;

// The link's wait for the reply: append what each receive brings, stop at
// the first complete object, give up early on text that cannot start one.
// `chunk` plays the size of each receive.
std::string framedReply(std::string_view bytes, std::size_t chunk) {
    std::string reply;
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
        reply.append(bytes.substr(at, chunk));
        if (reply.size() >= RealTrafficLink::kReceiveBufferSize) return {};
        if (const std::size_t length = completeJsonObjectLength(reply); length > 0) {
            expect(length <= reply.size(), "a framed object lies within the text");
            return reply.substr(0, length);
        }
        const std::size_t first = reply.find_first_not_of(kWhiteSpace);
        if (first != std::string::npos && reply[first] != '{') break;
    }
    return reply;
}

struct Link {
    TrafficQueue queue;
    fuzz::QuietStatus status;
    FeedState state{status, {.realTrafficGone = [] {}}};
    RunState run;
    CurrentParkAirportState filter;
    Readers readers{queue, state, run, filter};
    RealTrafficLink link{state, run, readers};
};

void readReply(Link& l, std::string_view reply) {
    l.state.time.rtEdition.store(false);
    l.state.setRealTrafficText({});
    resetMessages();
    l.link.processRTVersion(reply);
    const std::string shown = l.state.realTrafficText();
    expect(!l.state.time.rtEdition.load() || shown.starts_with("RT prof edition: "),
           "the prof edition is shown as such");
    expect(shown.empty() || shown.starts_with("RT "), "the status text is empty or names the edition");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::bytesOf(data, size);
    // Where the receives split the bytes must not change where the object ends.
    const std::size_t whole = completeJsonObjectLength(bytes);
    const std::string inOne = framedReply(bytes, bytes.size() + 1);
    const std::string inPieces = framedReply(bytes, 16);
    if (whole > 0 && bytes.size() < RealTrafficLink::kReceiveBufferSize) {
        expect(inOne.size() == whole && inPieces.size() == whole, "the framing does not depend on the receives");
        expect(bytes[whole - 1] == '}' || bytes[whole - 1] == ']', "a framed object ends in a closing bracket");
    }

    static Link link;
    readReply(link, inPieces);
    readReply(link, bytes);
    return 0;
}
