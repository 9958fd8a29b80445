// The simulator's data replies through the link's own handlers, as the
// program installs them: the user aircraft's title, model, on-ground state
// and position block, the static values of a new object, the objects
// added, and the aircraft-in-range block that ties each new object to the
// creation it answers. The dispatch framing is built here (sim_dispatch
// fuzzes that); the fuzzer writes what the replies carry.
//
// Input: the first byte's low bit says whether the traffic client is the
// "prof" edition (the simulator's UTC time is then kept); then a run of
// replies, each a kind byte, a 2-byte little-endian length and that many
// bytes: the object id (4 bytes, little-endian) and the data block.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/paths.h"
#include "core/run_state.h"
#include "core/settings.h"
#include "platform/sim/sim_api.h"
#include "refdata/code_table.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "simlink/sim_client.h"
#include "simlink/sim_hooks.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_state.h"
#include "simlink/sim_version.h"
#include "simlink/user_aircraft.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("sim_data_replies");
    return folder;
}

// Models with wingspans (one of them the largest), and one without.
constexpr const char* kDatabaseText = R"(<?xml version="1.0"?>
<root>
<aircrafts><aircraft types="A319,A320,A321,A359,B38M,B738,CRJ7,E190,C172,EC35"/></aircrafts>
<cargo_types><cargo_type types="B77L"/></cargo_types>
<large><lar types="A319,A320,A321,B38M,B738,CRJ7,E190"/></large>
<heavy><hvy types="A359"/></heavy>
<buzjet><bzj types="C25C"/></buzjet>
<high_performance><hpf types="TBM9"/></high_performance>
<rotorcraft><rot types="EC35"/></rotorcraft>
<ICAO_airlines><ICAO codes="DLH"/></ICAO_airlines>
<cargo_operators><ICAO codes="BOX"/></cargo_operators>
<dbase><d r="D-AIZA" a="DLH" m="A320"/></dbase>
<wingspans><wingspan type="A320" meters="35.8"/><wingspan type="A319" meters="35.8"/>
<wingspan type="A321" meters="35.8"/><wingspan type="A359" meters="64.75"/><wingspan type="B738" meters="35.8"/>
<wingspan type="CRJ7" meters="23.2"/><wingspan type="E190" meters="28.7"/><wingspan type="C172" meters="11"/></wingspans>
<simaddons20><simaddon20 arpts="EHAM"/></simaddons20>
<simaddons24><simaddon24 arpts="EHAM"/></simaddons24>
</root>
)";
// Replies may name any model, and each new one is interned; past this many
// the reference database is read afresh, so a long run never fills the table.
constexpr std::size_t kCodesBeforeReload = 4096;

void readDbase() {
    const fs::path plain = scratch().path() / "dbase.source";
    fuzz::writeBytes(plain, kDatabaseText);
    expect(streamEncrypt(plain, kDbaseEnc), "the encryptor writes input/dbase.enc");
    resetDbaseTables();
    expect(gf_readDbase(), "the reference database reads");
}

// The creations waiting for their objects: two live aircraft, a static one,
// and one whose hex id got lost.
const std::vector<PendingCreation> kCreations{{.packetId = 7, .hexId = 0x3c6586, .callsign = "DLH4AB"},
                                              {.packetId = 8, .hexId = 0x4ca1d3, .callsign = "RYR12"},
                                              {.packetId = 9, .hexId = 17, .callsign = "STAT1*"},
                                              {.packetId = 10, .hexId = 0, .callsign = "LOST1"}};

enum class ReplyKind : std::uint8_t {
    staticValues,
    title,
    model,
    onGround,
    userBlock,
    aircraftInRange,
    objectAdded,
    otherRequest,
    count,
};

struct Link {
    SimLinkState state;
    RunState run;
    UserAircraftState user;
    std::vector<SimObjectEvent> events;
};

Link& link() {
    static Link l;
    return l;
}

void installHandlers() {
    Link& l = link();
    SimLinkHooks hooks;
    hooks.queueSimObjectEvent = [](const SimObjectEvent& event) { link().events.push_back(event); };
    hooks.onSimObjectData = [](const SimObjectDataReply& r) {
        lf_onSimObjectData(link().state, link().run, link().user, r);
    };
    hooks.onSimObjectDataByType = [](const SimObjectDataReply& r) {
        lf_onSimObjectDataByType(link().state, link().user, r);
    };
    hooks.standNameAtPosition = [](const GeoPosition& p) {
        return p.latitude > 0.0 ? std::string("V112") : std::string();
    };
    hooks.userPosition = [] { return link().user.block().position(); };
    hooks.userAircraft = [] { return link().user.block(); };
    hooks.reserveUserStand = [](const std::string&) {};
    hooks.repaintWindow = [] {};
    hooks.setStringParameter = [](StringParameter& setting, const std::string& value) { setting.set(value); };
    hooks.switchSimulator = [](SimVersion) {};
    l.state.hooks.publish(std::move(hooks));
}

void resetLink(bool profEdition) {
    Link& l = link();
    l.run.reset();
    resetMessages();
    l.state.reset();
    l.user.reset();
    l.events.clear();
    l.state.simVersion.store(SimVersion::msfs2020);
    l.state.userObjectId.store(1);
    l.user.setProfEdition(profEdition);
    for (const PendingCreation& creation : kCreations) l.state.queues.rememberCreation(creation);
}

struct Reply {
    ReplyKind kind;
    std::uint32_t objectId = 0;
    std::span<const std::uint8_t> data;
};

std::uint32_t requestOf(ReplyKind kind, std::span<const std::uint8_t>& data) {
    switch (kind) {
        case ReplyKind::staticValues: return reqStaticValues;
        case ReplyKind::title: return reqUserTitle;
        case ReplyKind::model: return reqUserModel;
        case ReplyKind::onGround: return reqUserOnGround;
        case ReplyKind::userBlock: return reqUserBlock;
        case ReplyKind::aircraftInRange: return reqAircraftInRange;
        default: break;
    }
    if (data.empty()) return 0;
    const std::uint32_t request = 100 + data.front() % 12;
    data = data.subspan(1);
    return request;
}

// One reply in a block of exactly its size, so a read past it shows.
void dispatch(const Reply& reply, DispatchContext& context) {
    if (reply.kind == ReplyKind::objectAdded) {
        sim::RecvEventObjectAddRemove added{};
        added.event.header = {.size = sizeof added, .version = 1, .id = sim::recvEventObjectAddRemove};
        added.event.groupId = 0xFFFFFFFF;
        added.event.eventId = evObjectAdded;
        added.event.data = reply.objectId;
        added.objectType = sim::kObjectTypeAircraft;
        lf_dispatchProc(&added.event.header, sizeof added, &context);
        return;
    }
    std::span<const std::uint8_t> data = reply.data;
    const std::uint32_t request = requestOf(reply.kind, data);
    const std::size_t size = sizeof(sim::RecvSimObjectData) + data.size();
    const auto block = std::make_unique<std::byte[]>(size);
    const bool byType =
        reply.kind == ReplyKind::aircraftInRange || (reply.kind == ReplyKind::otherRequest && request == 101);
    sim::RecvSimObjectData record{};
    record.header = {.size = static_cast<std::uint32_t>(size),
                     .version = 1,
                     .id = byType ? sim::recvSimObjectDataByType : sim::recvSimObjectData};
    record.requestId = request;
    record.objectId = reply.objectId;
    record.entryNumber = 1;
    record.outOf = 1;
    std::memcpy(block.get(), &record, sizeof record);
    if (!data.empty()) std::memcpy(block.get() + sizeof record, data.data(), data.size());
    lf_dispatchProc(reinterpret_cast<const sim::RecvHeader*>(block.get()), static_cast<std::uint32_t>(size), &context);
}

void expectSoundUser(const UserAircraftState& user) {
    expect(user.block().title.size() <= 48, "the user title has at most 48 characters");
    const UserAircraftBlock block = user.block();
    expect(!(block.altitude < 0.0), "the stored altitude is never below 0");
    const UserAircraftBlock::Wingspan wingspan = user.wingspan();
    if (wingspan.valid) {
        expect(std::isfinite(wingspan.halfSpan) && wingspan.halfSpan >= 0.0, "a half wingspan is a length");
        expect(wingspan.category < 6, "the user category is one of the six");
    }
}

// The events one reply queued. Each creation answers one object, once; the
// user's own object (and any below it) is never taken for one of ours.
void expectSoundEvents(std::span<const SimObjectEvent> events, std::uint32_t userObjectId,
                       std::set<std::uint32_t>& createdHexIds) {
    for (const SimObjectEvent& event : events) {
        switch (event.kind) {
            case SimObjectEventKind::created:
            case SimObjectEventKind::staticCreated: {
                expect(createdHexIds.insert(event.hexId).second, "a creation answers one object");
                const bool known = std::any_of(kCreations.begin(), kCreations.end(),
                                               [&](const PendingCreation& c) { return c.hexId == event.hexId; });
                expect(known && event.hexId != 0, "an object is tied only to a creation of ours");
                expect((event.kind == SimObjectEventKind::created) == (event.hexId > 10000),
                       "live and static creations are told apart by their hex id");
                expect(event.objectId > userObjectId, "the user's own object is never one of ours");
                break;
            }
            case SimObjectEventKind::groundData:
                expect(event.hexId <= 1, "the on-ground flag is 0 or 1");
                expect(!(event.value2 > 2500.0), "ground data only of aircraft near the ground");
                expect(event.objectId > userObjectId, "the user's own object is never one of ours");
                break;
            case SimObjectEventKind::staticValues: break;
            default: fuzz::fail("the replies queue only created, ground-data and static-value events");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const fuzz::InFolder inScratch(scratch().path());
    fs::create_directories(kInputFolder);
    readDbase();
    installHandlers();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if (modelCodes().size() + airlineCodes().size() > kCodesBeforeReload) {
        const fuzz::InFolder inScratch(scratch().path());
        readDbase();
    }
    resetLink((data[0] & 1) != 0);
    Link& l = link();
    DispatchContext context{.link = l.state, .run = l.run, .kept = {}};
    std::set<std::uint32_t> createdHexIds;
    std::size_t at = 1;
    while (at + 3 <= size) {
        const auto kind = static_cast<ReplyKind>(data[at] % static_cast<std::uint8_t>(ReplyKind::count));
        const std::size_t length =
            std::min<std::size_t>(data[at + 1] | (std::size_t{data[at + 2]} << 8), size - at - 3);
        std::span<const std::uint8_t> body(data + at + 3, length);
        at += 3 + length;
        Reply reply{.kind = kind};
        if (body.size() >= 4) {
            std::memcpy(&reply.objectId, body.data(), 4);
            body = body.subspan(4);
        }
        reply.data = body;
        const std::uint32_t userObjectId = l.state.userObjectId.load();
        const std::size_t queued = l.events.size();
        dispatch(reply, context);
        expect(context.kept == nullptr, "no reply makes the link fail");
        expectSoundUser(l.user);
        expectSoundEvents(std::span(l.events).subspan(queued), userObjectId, createdHexIds);
    }
    return 0;
}
