// Configuration events: sent once per change, never for a Rotorcraft's
// gear, flaps or spoilers, and never to object 0 (the user's aircraft).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/settings.h"
#include "engine/base/client_events.h"
#include "simlink/sim_ids.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class ClientEventsTest : public EngineTest {
protected:
    std::vector<EventCommand> sent() {
        recorder.record(link.queues, 0, true);
        std::vector<EventCommand> out;
        for (const auto& e : recorder.events) out.push_back(e.command);
        recorder.clear();
        return out;
    }
    AcRecord aircraftWith(std::uint32_t objectId, AircraftCategory category = AircraftCategory::Large) {
        AcRecord ac;
        ac.objectId = objectId;
        ac.flight.category = category;
        return ac;
    }
};

TEST_F(ClientEventsTest, AThrottleStepIsSentOncePerChange) {
    AcRecord ac = aircraftWith(300);
    gf_setThrottle(engine, ac, 2);
    gf_setThrottle(engine, ac, 2);
    const auto events = sent();
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(events[0].eventId, evThrottleSet);
    EXPECT_EQ(events[0].data, 8191U);
    gf_setThrottle(engine, ac, 5);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(ac.throttleStep, 5U);
    gf_setThrottle(engine, ac, 4);
    EXPECT_EQ(sent().at(0).data, 16383U);
}

TEST_F(ClientEventsTest, TheFirstFlapsCommandSendsUnlessItIsTheStartIndex) {
    AcRecord ac = aircraftWith(300);
    gf_setFlaps(engine, ac, 4);
    EXPECT_TRUE(sent().empty());
    gf_setFlaps(engine, ac, 2);
    ASSERT_EQ(sent().size(), 1U);
    gf_setFlaps(engine, ac, 7);
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(logHas("gf_setFlaps: invalid flaps index"));
}

TEST_F(ClientEventsTest, AnAircraftWithoutItsObjectSendsNothingToTheUsersAircraft) {
    AcRecord ac = aircraftWith(0);
    gf_setGear(engine, ac, true);
    gf_setThrottle(engine, ac, 3);
    gf_setFlaps(engine, ac, 1);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(ac.throttleStep, 3U);
    EXPECT_EQ(ac.flapsIndex, 1U);
}

TEST_F(ClientEventsTest, AParkedAircraftShutsDownWithItsCabinDarkOnAFlaggedStand) {
    NAV_LIGHTS_WHILE_PARKED.set(true);
    AcRecord ac = aircraftWith(300);
    ac.standFlag = 1;
    setParkedConfiguration(engine, ac);
    const auto events = sent();
    const auto has = [&](std::uint32_t id, std::uint32_t data) {
        return std::any_of(events.begin(), events.end(),
                           [&](const EventCommand& e) { return e.eventId == id && e.data == data; });
    };
    EXPECT_TRUE(has(evEngineAutoShutdown, 0) || has(evEngineAutoShutdown, 1));
    EXPECT_TRUE(has(evNavLightsSet, 1));
    EXPECT_TRUE(has(evBeaconLightsSet, 0));
    EXPECT_TRUE(has(evLogoLightsSet, 1));
    EXPECT_TRUE(has(evCabinLightsSet, 0));
    EXPECT_EQ(ac.throttleStep, 0U);
    EXPECT_EQ(ac.flapsIndex, 0U);
}

// The nav-light switch reaches parked aircraft in the simulator only: every
// active static aircraft and the active live ones in phase "parked".
TEST_F(ClientEventsTest, TheNavLightSwitchReachesEveryParkedAircraftInTheSimulatorOnly) {
    const auto live = [](std::uint32_t objectId, SimStatus simStatus, GroundPhase phase) {
        LiveAc ac;
        ac.objectId = objectId;
        ac.status = simStatus;
        ac.phase = phase;
        return ac;
    };
    state.liveAircraft.push_back(live(301, SimStatus::active, GroundPhase::parked));
    state.liveAircraft.push_back(live(302, SimStatus::active, GroundPhase::taxi));
    state.liveAircraft.push_back(live(303, SimStatus::adding2sim, GroundPhase::parked));
    StaticAc parked;
    parked.objectId = 401;
    parked.status = SimStatus::active;
    state.staticAircraft.push_back(parked);
    StaticAc leaving = parked;
    leaving.objectId = 402;
    leaving.status = SimStatus::removingfromsim;
    state.staticAircraft.push_back(leaving);

    switchParkedNavLights(engine, false);
    std::vector<std::uint32_t> switched;
    for (const EventCommand& e : sent()) {
        EXPECT_EQ(e.eventId, evNavLightsSet);
        EXPECT_EQ(e.data, 0U);
        switched.push_back(e.objectId);
    }
    std::sort(switched.begin(), switched.end());
    EXPECT_EQ(switched, (std::vector<std::uint32_t>{301, 401}));
}

}  // namespace
}  // namespace qvl::test
