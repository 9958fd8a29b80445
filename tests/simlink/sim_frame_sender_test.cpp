#include <fmt/format.h>

#include "simlink/sim_ids.h"
#include "support/sim_link_fixture.h"

namespace qvl {
namespace {

using test::positionAt;

class FrameSender : public test::SimLinkTest {
protected:
    void SetUp() override {
        test::SimLinkTest::SetUp();
        connectWithAircraft();
    }
};

TEST_F(FrameSender, PositionsThenEventsThenCreationsThenRemovals) {
    link.queues.pushRemoval(aircraft);
    gf_queueCreateAircraft(link.queues, test::creation("Boeing 737 KLM", "KLM9", 0x484abf));
    gf_queueNavLights(link.queues, aircraft, true);
    link.queues.appendPosition({.latitude = 50.1,
                                .longitude = 8.6,
                                .pitch = -0.02,
                                .heading = 1.0,
                                .altitude = 900.0,
                                .verticalSpeed = 5.0,
                                .trueAirspeed = 150.0,
                                .objectId = aircraft});
    link.queues.appendPosition(positionAt(50.2, 8.7, 0));                     // not reported yet
    link.queues.appendPosition(positionAt(50.3, 8.8, config.user.objectId));  // the user
    EXPECT_TRUE(link.queues.exchangePositionBatches());
    frame();
    const auto sent = calls();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], fmt::format("SetDataOnSimObject 402 object {} size 64", aircraft));
    EXPECT_EQ(sent[1].rfind("TransmitClientEvent", 0), 0u);
    EXPECT_EQ(sent[2].rfind("AICreateNonATCAircraft", 0), 0u);
    EXPECT_EQ(sent[3].rfind("AIRemoveObject", 0), 0u);
    EXPECT_EQ(queuedCommands(), 0u);
    // The former send batch became the write batch, empty.
    EXPECT_TRUE(link.queues.exchangePositionBatches());
    frame();
    EXPECT_EQ(calls("SetDataOnSimObject 402").size(), 1u);
}

TEST_F(FrameSender, EventsInQueueOrderWithFlapsBetweenTwoReleases) {
    gf_queueLights(link.queues, aircraft, {.nav = true, .beacon = true, .taxi = true, .logo = true});
    const EventCommand flapsAndGear[] = {{.objectId = aircraft, .eventId = evFlapsSet, .data = 8192},
                                         {.objectId = aircraft, .eventId = evGearSet, .data = 1}};
    link.queues.pushEvents(flapsAndGear);
    gf_queueEngineStart(link.queues, aircraft);
    gf_queueEngineShutdown(link.queues, aircraft);
    gf_queueCabinLights(link.queues, aircraft, true);
    frame();
    const auto sent = [&](const char* event) {
        return fmt::format("TransmitClientEvent object {} event {} group 301", aircraft, event);
    };
    const std::string release = fmt::format("AIReleaseControl {} request 103", aircraft);
    EXPECT_EQ(calls(),
              (std::vector<std::string>{sent("207 NAV_LIGHTS_SET data 1"), sent("206 BEACON_LIGHTS_SET data 1"),
                                        sent("210 LANDING_LIGHTS_SET data 0"), sent("208 TAXI_LIGHTS_SET data 1"),
                                        sent("209 STROBES_SET data 0"), sent("212 LOGO_LIGHTS_SET data 1"),
                                        sent("211 CABIN_LIGHTS_SET data 0"), release, sent("217 FLAPS_SET data 8192"),
                                        release, sent("219 GEAR_SET data 1"), sent("220 ENGINE_AUTO_START data 0"),
                                        sent("221 ENGINE_AUTO_SHUTDOWN data 0"), sent("211 CABIN_LIGHTS_SET data 1")}));
    EXPECT_EQ(link.queues.sizes().events, 0u);

    // A failed event is only reported; flaps that did not move are not released again.
    sim->failCalls("TransmitClientEvent", 1);
    const EventCommand flapsUpGearUp[] = {{.objectId = aircraft, .eventId = evFlapsSet, .data = 0},
                                          {.objectId = aircraft, .eventId = evGearSet, .data = 0}};
    link.queues.pushEvents(flapsUpGearUp);
    sim->clearTrace();
    frame();
    EXPECT_EQ(calls("AIReleaseControl").size(), 1u);
    EXPECT_EQ(calls("GEAR_SET data 0").size(), 1u);
    EXPECT_EQ(messageLines().message, "SimConnect TransmitClientEvent: 217 fails");
    EXPECT_FALSE(run.isClosing());
}

TEST_F(FrameSender, CreationIsRememberedByItsPacketWithItsOwnTitle) {
    std::string title = "Boeing 737 KLM";
    gf_queueCreateAircraft(link.queues, test::creation(title, "KLM1234", 0x484abc));
    title.assign("changed by the catalogue");  // the queued command keeps its own copy
    frame();
    const auto created = calls("AICreateNonATCAircraft");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_NE(created[0].find("\"Boeing 737 KLM\" \"KLM1234\" 50.020000 8.510000 alt 364.0 request 104"),
              std::string::npos);
    std::uint32_t packet = 0;
    handle->getLastSentPacketId(&packet);
    ASSERT_EQ(link.queues.pendingCreations().size(), 1u);
    EXPECT_EQ(link.queues.pendingCreations()[0].packetId, packet);

    // Without its packet id the creation is still remembered, with packet 0.
    sim->failCalls("GetLastSentPacketID", 1);
    gf_queueCreateAircraft(link.queues, test::creation("Boeing 737 KLM", "KLM8", 0x484abe));
    frame();
    EXPECT_TRUE(logHas("==> GetLastSentPacketID\n"));
    const auto pending = link.queues.pendingCreations();
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[1].packetId, 0u);
}

TEST_F(FrameSender, RemovalsSpareTheUserAircraft) {
    link.queues.pushRemoval(config.user.objectId);
    link.queues.pushRemoval(aircraft);
    frame();
    EXPECT_TRUE(logHas("==> SimConnect call to remove ac with objectid 1\n"));
    EXPECT_EQ(calls(), std::vector<std::string>{fmt::format("AIRemoveObject {} request 105", aircraft)});
}

TEST_F(FrameSender, FailedCallPausesTheQueuesAndEndsTheRun) {
    sim->failCalls("AICreateNonATCAircraft", 1);
    gf_queueCreateAircraft(link.queues, test::creation("Boeing 737 KLM", "KLM7", 0x484abd));
    frame();
    EXPECT_TRUE(logHas(
        "==> ! Simcon call to create ac in sim failed, hexid:4737725, liv: 'Boeing 737 KLM', callsign: KLM7)\n"));
    EXPECT_EQ(messageLines().message, "SimConnect request error");
    EXPECT_EQ(run.restartReason.load(), RestartReason::simConnectError);
    EXPECT_EQ(run.restartDelay.load(), 9);
    EXPECT_TRUE(link.queues.pendingCreations().empty());

    // Paused: whatever is queued is dropped at the frame, nothing is sent.
    sim->clearTrace();
    gf_queueNavLights(link.queues, aircraft, true);
    link.queues.pushRemoval(aircraft);
    gf_queueCreateAircraft(link.queues, test::creation("Boeing 737 KLM", "KLM2", 0x484ab0));
    link.queues.appendPosition(positionAt(50.1, 8.6, aircraft));
    link.queues.exchangePositionBatches();
    frame();
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(queuedCommands(), 0u);
    gf_initSimQueues(link);
    EXPECT_FALSE(link.simQueuesPaused.load());

    // A failed removal pauses them the same way.
    sim->failCalls("AIRemoveObject", 1);
    link.queues.pushRemoval(aircraft);
    frame();
    EXPECT_TRUE(logHas(fmt::format(" !SimConnect call to remove AI ac from sim failed, id {}?\n", aircraft)));
    EXPECT_TRUE(gf_onSimConnectRequestError(link, run));  // already paused
}

// A fresh link before the first user block: the simulator's object 2 may be
// the user's aircraft, so it is neither moved nor removed.
class BeforeTheUserBlock : public test::SimLinkTest {};

TEST_F(BeforeTheUserBlock, ObjectTwoIsNeitherMovedNorRemoved) {
    config.firstAiObjectId = 2;
    startSim();
    ASSERT_TRUE(sim::succeeded(sim->open(&handle, "Quorvelant", 0)));
    link.simHandle.store(handle);
    lf_registerSimDefinitions(*handle);
    gf_initSimQueues(link);
    gf_queueCreateAircraft(link.queues, test::creation("Boeing 737 KLM", "KLM1", 0x484abc));
    frame();
    frame();
    ASSERT_EQ(sim->aiObjectIds(), std::vector<std::uint32_t>{2});
    EXPECT_TRUE(link.queues.newObjectIds().empty());  // its ObjectAdded was not taken for an AI object
    sim->clearTrace();

    link.queues.appendPosition(positionAt(50.1, 8.6, 2));
    link.queues.exchangePositionBatches();
    link.queues.pushRemoval(2);
    frame();
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(logHas("==> SimConnect call to remove ac with objectid 2\n"));
    EXPECT_EQ(sim->aiObjectIds(), std::vector<std::uint32_t>{2});
}

}  // namespace
}  // namespace qvl
