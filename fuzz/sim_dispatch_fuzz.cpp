// Raw simulator replies through the dispatch procedure, as the client
// library hands them over. The input is a run of replies, each a 2-byte
// little-endian length and that many bytes; the reply's own header (size,
// version, id) is whatever those bytes say, so a header may claim more or
// less than the block holds. Each reply sits in a block of exactly its
// length, so any read past it shows.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "core/messages.h"
#include "core/run_state.h"
#include "core/settings.h"
#include "platform/sim/sim_api.h"
#include "simlink/sim_client.h"
#include "simlink/sim_hooks.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_state.h"
#include "simlink/sim_version.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;

// The block of the reply being dispatched, for the hooks to check against.
std::span<const std::byte> currentBlock;
// Where the data hooks leave the sum of the bytes they read, so that the
// reads are not optimised away.
volatile unsigned dataSum = 0;

// A data reply's bytes lie within its block; every one of them is read, so
// a span that runs past the block trips the address sanitizer as well.
void checkData(const SimObjectDataReply& reply) {
    const std::byte* begin = currentBlock.data();
    const std::byte* end = begin + currentBlock.size();
    expect(reply.data.empty() || (reply.data.data() >= begin && reply.data.data() + reply.data.size() <= end),
           "a data reply's bytes lie within the reply");
    unsigned sum = 0;
    for (std::byte b : reply.data) sum += std::to_integer<unsigned>(b);
    dataSum = sum;
}

SimLinkHooks checkingHooks() {
    SimLinkHooks h;
    h.onSimObjectData = checkData;
    h.onSimObjectDataByType = checkData;
    h.queueSimObjectEvent = [](const SimObjectEvent&) {};
    h.userPosition = [] { return GeoPosition{50.03, 8.56}; };
    h.userAircraft = [] { return UserAircraftBlock{.latitude = 50.03, .longitude = 8.56, .onGround = true}; };
    h.standNameAtPosition = [](const GeoPosition&) { return std::string("V112"); };
    h.reserveUserStand = [](const std::string&) {};
    h.repaintWindow = [] {};
    h.setStringParameter = [](StringParameter& setting, const std::string& value) { setting.set(value); };
    h.switchSimulator = [](SimVersion) {};
    return h;
}

struct Link {
    SimLinkState state;
    RunState run;
};

Link& link() {
    static Link l;
    return l;
}

// The link as a run finds it: the user aircraft known, two creations waiting
// for their objects.
void resetLinkState() {
    Link& l = link();
    l.run.reset();
    resetMessages();
    l.state.reset();
    l.state.simVersion.store(SimVersion::msfs2020);
    l.state.userObjectId.store(1);
    l.state.queues.rememberCreation({.packetId = 7, .hexId = 0x3c6586, .callsign = "DLH4AB"});
    l.state.queues.rememberCreation({.packetId = 8, .hexId = 0x4ca1d3, .callsign = "RYR12"});
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    link().state.hooks.publish(checkingHooks());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    resetLinkState();
    DispatchContext context{.link = link().state, .run = link().run, .kept = {}};  // one dispatch call's replies
    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::size_t wanted = data[at] | (std::size_t{data[at + 1]} << 8);
        at += 2;
        const std::size_t length = std::min(wanted, size - at);
        const auto block = std::make_unique<std::byte[]>(length);
        if (length > 0) std::memcpy(block.get(), data + at, length);
        at += length;
        currentBlock = {block.get(), length};
        lf_dispatchProc(reinterpret_cast<const sim::RecvHeader*>(block.get()), static_cast<std::uint32_t>(length),
                        &context);
    }
    currentBlock = {};
    return 0;
}
