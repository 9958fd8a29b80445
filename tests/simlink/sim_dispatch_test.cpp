#include <cstring>

#include "core/user_error.h"
#include "simlink/sim_ids.h"
#include "support/sim_link_fixture.h"

namespace qvl {
namespace {

template <class Record>
sim::RecvHeader headerOf(std::uint32_t id) {
    return {sizeof(Record), 1, id};
}

// A reply record with its header filled in.
template <class Record>
Record replyOf(std::uint32_t id) {
    Record r{};
    *reinterpret_cast<sim::RecvHeader*>(&r) = headerOf<Record>(id);
    return r;
}

sim::RecvOpen openReply(const std::string& name, std::uint32_t major = 11) {
    auto r = replyOf<sim::RecvOpen>(sim::recvOpen);
    sim::writeFixedText(r.applicationName, sizeof r.applicationName, name, true);
    r.applicationVersionMajor = major;
    r.applicationBuildMajor = 282174;
    r.applicationBuildMinor = 999;
    return r;
}

sim::RecvEvent event(std::uint32_t id, std::uint32_t data) {
    return {headerOf<sim::RecvEvent>(sim::recvEvent), sim::kUnusedId, id, data};
}

sim::RecvEventObjectAddRemove objectEvent(std::uint32_t id, std::uint32_t object,
                                          std::uint32_t type = sim::kObjectTypeAircraft) {
    return {{headerOf<sim::RecvEventObjectAddRemove>(sim::recvEventObjectAddRemove), sim::kUnusedId, id, object}, type};
}

sim::RecvException exception(std::uint32_t code, std::uint32_t sendId = 0, std::uint32_t index = 0) {
    return {headerOf<sim::RecvException>(sim::recvException), code, sendId, index};
}

class Dispatch : public test::SimLinkTest {
protected:
    // Hands one reply to the dispatch procedure and rethrows what it kept.
    template <class Record>
    void deliver(const Record& r, std::uint32_t size = sizeof(Record)) {
        DispatchContext context{.link = link, .run = run, .kept = nullptr};
        lf_dispatchProc(reinterpret_cast<const sim::RecvHeader*>(&r), size, &context);
        if (context.kept) std::rethrow_exception(context.kept);
    }

    template <class Reply>
    std::string errorOf(const Reply& r) {
        try {
            deliver(r);
        } catch (const UserErrorException& e) {
            return e.what();
        }
        return "no error";
    }
};

TEST_F(Dispatch, OpenConnectsOnlyTheChosenSimulator) {
    gf_showMessage("Waiting for MSFS 2020 ...", MessageLogging::notLogged);
    deliver(openReply("KittyHawk"));
    EXPECT_TRUE(link.status.snapshot().connected);
    EXPECT_EQ(link.status.snapshot().connectionText, "MSFS 2020 (11.0.282174.999)");
    EXPECT_EQ(messageLines().message, "");
    link.simVersion.store(SimVersion::msfs2024);
    // The other simulator is a signal of its own, not a text to compare.
    EXPECT_THROW(deliver(openReply("KittyHawk")), WrongSimulatorError);
    deliver(openReply("Sun.Rise!", 12));  // punctuation is dropped before the comparison
    EXPECT_EQ(link.status.snapshot().connectionText, "MSFS 2024 (12.0.282174.999)");
    // Blanks are kept, so an inner blank makes another name.
    EXPECT_EQ(errorOf(openReply("Kitty Hawk")), "77: 'Kitty Hawk' not being MSFS 2020 or MSFS 2024 connects ... ?");
    // A name that fills its field is read within the field.
    auto full = openReply("");
    std::memset(full.applicationName, 'K', sizeof full.applicationName);
    full.applicationVersionMajor = 0x41414141;
    EXPECT_EQ(errorOf(full), "77: '" + std::string(256, 'K') + "' not being MSFS 2020 or MSFS 2024 connects ... ?");
    deliver(openReply(""));
    EXPECT_TRUE(logHas("! Simulator name empty?\n"));
}

TEST_F(Dispatch, SimRunningObjectsAddedAndRemovedAndQuit) {
    deliver(event(evSim, 1));
    EXPECT_TRUE(link.status.snapshot().running);
    deliver(event(evObjectAdded, 7));  // as a plain event: nothing
    deliver(event(evSim, 0));
    EXPECT_FALSE(link.status.snapshot().running);

    link.userObjectId.store(1);
    deliver(objectEvent(evObjectAdded, 1));  // not above the user's id
    deliver(objectEvent(evObjectAdded, 140));
    deliver(objectEvent(evObjectAdded, 141, 4));  // not an aircraft
    EXPECT_EQ(link.queues.newObjectIds(), std::vector<std::uint32_t>{140});
    deliver(objectEvent(evObjectRemoved, 140));
    ASSERT_EQ(rec.events.size(), 1u);
    EXPECT_EQ(rec.events[0].objectId, 140u);
    EXPECT_EQ(rec.events[0].kind, SimObjectEventKind::removed);
    EXPECT_FALSE(run.isClosing());

    deliver(event(evSim, 1));
    deliver(replyOf<sim::RecvHeader>(sim::recvQuit));
    EXPECT_FALSE(link.simRunning.load());
    EXPECT_FALSE(link.status.snapshot().running);
    EXPECT_EQ(run.restartReason.load(), RestartReason::simWasClosed);
}

// Until the first user block names the user's object, objects 1 and 2 may be
// the user's and are never taken for AI objects.
TEST_F(Dispatch, ObjectsOneAndTwoAreNotAiBeforeTheUserBlock) {
    EXPECT_EQ(link.userObjectId.load(), 2u);
    for (std::uint32_t id : {1u, 2u, 3u}) deliver(objectEvent(evObjectAdded, id));
    EXPECT_EQ(link.queues.newObjectIds(), std::vector<std::uint32_t>{3});

    link.userObjectId.store(7);  // a user block arrived
    link.reset();
    EXPECT_EQ(link.userObjectId.load(), 2u);
    EXPECT_TRUE(link.queues.newObjectIds().empty());
}

TEST_F(Dispatch, NewFlightEndsTheRunAndKeepsTheUsersStand) {
    rec.standName = "V155";
    rec.user = {.latitude = 50.03, .longitude = 8.57, .groundSpeed = 2.5, .onGround = true};  // still rolling
    lf_onFlightReloaded(link.hooks);
    EXPECT_TRUE(rec.reservedStands.empty());
    rec.user.groundSpeed = 2.0;
    deliver(event(evFlightLoaded, 0));
    EXPECT_TRUE(logHas("SimConnect: flight loaded event\n"));
    EXPECT_EQ(rec.reservedStands, std::vector<std::string>{"V155"});
    EXPECT_EQ(run.restartReason.load(), RestartReason::newFlight);
    EXPECT_EQ(run.restartDelay.load(), 45);
    deliver(replyOf<sim::RecvEventFilename>(sim::recvEventFilename));
    EXPECT_TRUE(logHas("==> SimConnect: New file event\n"));
    EXPECT_EQ(rec.reservedStands.size(), 2u);
}

TEST_F(Dispatch, DataRepliesReachTheirHandlersWithinTheirSize) {
    struct {
        sim::RecvSimObjectData record;
        double block[2];
    } reply{replyOf<sim::RecvSimObjectData>(sim::recvSimObjectData), {6.5, -0.03}};
    reply.record.header.size = sizeof reply;
    reply.record.objectId = 150;
    deliver(reply);
    ASSERT_EQ(rec.data.size(), 1u);
    EXPECT_EQ(rec.data[0].objectId, 150u);
    ASSERT_EQ(rec.data[0].data.size(), sizeof reply.block);
    double received[2] = {};
    std::memcpy(received, rec.data[0].data.data(), sizeof received);
    EXPECT_EQ(received[0], 6.5);
    EXPECT_EQ(received[1], -0.03);
    // The header says less than was handed over: only what it says is data.
    reply.record.header.id = sim::recvSimObjectDataByType;
    reply.record.header.size = sizeof reply - 8;
    deliver(reply);
    ASSERT_EQ(rec.byType.size(), 1u);
    EXPECT_EQ(rec.byType[0].data.size(), 8u);
    // Shorter than its record: not read at all.
    deliver(reply, 30);
    EXPECT_EQ(rec.byType.size(), 1u);
    EXPECT_TRUE(logHas("==> ! SimConnect reply 9 too short: 30 bytes\n"));
    const std::uint32_t tiny = 4;
    deliver(tiny);
    EXPECT_TRUE(logHas("without a header: 4 bytes"));
}

TEST_F(Dispatch, IgnoredAndUnknownReplies) {
    for (std::uint32_t ignored : {sim::recvAssignedObjectId, sim::recvClientData, sim::recvEventEx1}) {
        deliver(replyOf<sim::RecvEvent>(ignored));
    }
    EXPECT_FALSE(logHas("Unknown Dispatch"));
    deliver(replyOf<sim::RecvEvent>(40));
    EXPECT_TRUE(logHas("! Unknown Dispatch dwID 40\n"));
}

TEST_F(Dispatch, ExceptionTable) {
    rec.userPosition = {50.0, 8.5};
    for (const auto& [code, logged] : std::initializer_list<std::pair<std::uint32_t, const char*>>{
             {sim::exceptionUnrecognizedId, "==> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID\n"},
             {sim::exceptionLoadFlightPlanFailed, "==> SimConnect exception: load flight plan failed\n"},
             {31, "==> SIMCONNECT_EXCEPTION #31\n"}}) {
        deliver(exception(code));
        EXPECT_TRUE(logHas(logged)) << code;
    }
    deliver(exception(sim::exceptionTooManyObjects));
    EXPECT_EQ(messageLines().message, "SimConnect: too many objects (max 1000)");
    EXPECT_FALSE(run.isClosing());
    EXPECT_EQ(errorOf(exception(sim::exceptionVersionMismatch, 0, 4)), "95: SimConnect Version Mismatch, dwIndex: 4");

    run.endRun(RestartReason::userClosedSim, 0);
    const std::size_t logged = log().size();
    deliver(exception(sim::exceptionUnrecognizedId));  // silent while closing
    EXPECT_EQ(log().size(), logged);
}

// The user position is unknown while both coordinates lie within 0.0001
// degree of 0, the boundary included.
TEST_F(Dispatch, UnrecognizedIdIsSilentUpToTheZeroPositionBoundary) {
    const auto unrecognizedLogged = [&](GeoPosition user) {
        rec.userPosition = user;
        const std::size_t before = log().size();
        deliver(exception(sim::exceptionUnrecognizedId));
        return log().size() != before;
    };
    EXPECT_FALSE(unrecognizedLogged({0.0001, 0.0001}));
    EXPECT_FALSE(unrecognizedLogged({-0.0001, -0.0001}));
    EXPECT_FALSE(unrecognizedLogged({0.0, -0.00005}));
    EXPECT_TRUE(unrecognizedLogged({0.00011, 0.0}));
    EXPECT_TRUE(unrecognizedLogged({0.0, -0.00011}));
}

TEST_F(Dispatch, FailedCreationFindsItsPendingCreationByPacket) {
    link.queues.rememberCreation({.packetId = 11, .hexId = 0x3c6586, .callsign = "DLH4AB"});
    link.queues.rememberCreation({.packetId = 12, .hexId = 0, .callsign = "STATIC*"});
    link.queues.rememberCreation({.packetId = 13, .hexId = 0x4ca123, .callsign = "RYR1"});
    deliver(exception(sim::exceptionCreateObjectFailed, 11));
    auto pending = link.queues.pendingCreations();
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].callsign, "RYR1");                    // the last one takes its place
    deliver(exception(sim::exceptionCreateObjectFailed, 12));  // hex id 0: removed, nothing queued
    deliver(exception(sim::exceptionCreateObjectFailed, 99));  // no such packet
    EXPECT_EQ(link.queues.pendingCreations().size(), 1u);
    ASSERT_EQ(rec.events.size(), 1u);
    EXPECT_EQ(rec.events[0].hexId, 0x3c6586u);
    EXPECT_EQ(rec.events[0].kind, SimObjectEventKind::creationFailed);
}

TEST_F(Dispatch, ExceptionsInsideADispatchAreKeptAndRethrownAfterIt) {
    connectWithAircraft();
    sim->injectException(sim::exceptionVersionMismatch, 0, 2);
    sim->injectException(sim::exceptionTooManyObjects, 0, 0);
    EXPECT_THROW(dispatchOnce(link, run, *handle), UserErrorException);
    EXPECT_EQ(messageLines().message, "");  // the reply behind the failing one was not handled

    // Without its context a reply cannot reach the link: it is only logged.
    auto reply = replyOf<sim::RecvSimObjectData>(sim::recvSimObjectData);
    lf_dispatchProc(&reply.header, sizeof reply, nullptr);
    EXPECT_TRUE(logHas("==> ! SimConnect reply without a dispatch context\n"));
    EXPECT_TRUE(rec.data.empty());
}

}  // namespace
}  // namespace qvl
