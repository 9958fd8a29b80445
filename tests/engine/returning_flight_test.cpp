// A flight whose data stops and comes back: records that its old aircraft
// cannot take while it is on its way out (flown on past its data, or its
// removal under way) make the flight anew once the old record has gone.
#include <gtest/gtest.h>

#include <string>

#include "core/settings.h"
#include "engine/base/removal.h"
#include "engine/object_events.h"
#include "engine/traffic_intake.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

constexpr std::uint32_t kHexId = 0x448005;
constexpr std::int32_t kTicksPerSecond = 100;

class ReturningFlightTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        setForTest(MAX_LIVE_SEL, 500);
        setForTest(BLOCK_CALLSIGN, std::string{});
        setForTest(COLLISION_USER_GND, false);
        setForTest(COLLISION_USER_AIR, false);
        rangeNm.store(40.0);
        // The user parked a few miles from the flight's path, well in range,
        // so the engine flies the flight on for a while after its data stops.
        user.latitude = 50.0;
        user.longitude = 8.5;
        user.onGround = true;
        state.userSnapshot = user;
    }

    // Twenty seconds of a flight passing the user at 3000 ft, a report every
    // two seconds, as the demonstration's traffic replays it.
    static FlightScript passing() {
        FlightScript script;
        script.hexId = kHexId;
        script.callsign = "AUA123";
        script.latitude = 50.03;
        script.longitude = 8.38;
        script.altitudeFt = 3000.0;
        script.reportSeconds = 2.0;
        script.legs = {{.seconds = 21.0, .groundSpeedKt = 200.0, .trackDeg = 90.0}};
        return script;
    }

    // One record of the passing flight, due `dueIn` ticks from now.
    TrafficRecord record(double time, double longitude, std::int32_t dueIn = 3000) {
        TrafficRecord r = generateRecords(passing(), 0).front().record;
        r.time = time;
        r.sample.longitude = longitude;
        r.sample.dueTick = static_cast<std::uint32_t>(engine.now() + dueIn);
        return r;
    }

    // The flight active and flying on past its data, at 8.5 degrees east.
    LiveAc& flownOn() {
        TrafficRecord first = record(1000.0, 8.49);
        lf_acceptTrafficSample(engine, first);
        LiveAc& ac = *aircraft(kHexId);
        ac.samples.push_back(record(1002.0, 8.5).sample);
        makeActive(ac, 120);
        ac.samples.pop_front();
        ac.position.latitude = 50.03;
        ac.position.longitude = 8.5;
        ac.extendCount = 5;
        return ac;
    }

    [[nodiscard]] std::size_t creations() const { return simCalls("AICreateNonATCAircraft").size(); }
};

TEST_F(ReturningFlightTest, ReplayedWhileItsOldObjectFliesOnItIsCreatedAgainOnceTheObjectIsGone) {
    connectStandIn();
    FlightScript script = passing();
    const std::int32_t start = engine.now();
    fly(script, start);
    // The same flight from the same place 80 s later: its records arrive
    // while the engine still flies the old object on, east of them, and are
    // due after that object has gone.
    script.startTime += 80.0;
    fly(script, start + 80 * kTicksPerSecond);

    ASSERT_TRUE(tickUntil([&] { return creations() == 1; }, 50 * kTicksPerSecond));
    const std::uint32_t oldObject = aircraft(kHexId)->objectId;
    ASSERT_TRUE(tickUntil([&] { return !simCalls("AIRemoveObject").empty(); }, 150 * kTicksPerSecond));
    ASSERT_TRUE(tickUntil([&] { return aircraft(kHexId) == nullptr || aircraft(kHexId)->objectId != oldObject; }, 100));
    // Created again, from where the replay starts, within seconds.
    ASSERT_TRUE(tickUntil([&] { return creations() == 2; }, 10 * kTicksPerSecond)) << log();
    const auto created = simCalls("AICreateNonATCAircraft");
    EXPECT_NE(created[1].find("\"AUA123\""), std::string::npos) << created[1];
    ASSERT_TRUE(tickUntil([&] { return aircraft(kHexId) && aircraft(kHexId)->status == SimStatus::active; },
                          5 * kTicksPerSecond));
    EXPECT_LT(aircraft(kHexId)->position.longitude, 8.45);
    EXPECT_TRUE(state.returningTraffic.empty());
}

TEST_F(ReturningFlightTest, RecordsArrivingWhileTheRemovalIsUnderWayMakeTheFlightOnceTheObjectIsGone) {
    LiveAc& ac = flownOn();
    removeAircraftFromSim(engine, ac);
    ASSERT_EQ(ac.status, SimStatus::removingfromsim);
    // The flight comes back ahead of where the old one was: the old record
    // would take it, but it is going.
    traffic.push(record(1100.0, 8.52));
    traffic.push(record(1106.0, 8.53));
    tick();
    EXPECT_EQ(aircraft(kHexId)->status, SimStatus::removingfromsim);
    EXPECT_EQ(state.returningTraffic.size(), 2U);

    gf_queueSimObjectEvent(state, {.objectId = 120, .kind = SimObjectEventKind::removed});
    tick();
    const LiveAc* again = aircraft(kHexId);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->status, SimStatus::buffer);
    EXPECT_EQ(again->objectId, 0U);
    ASSERT_EQ(again->samples.size(), 2U);
    EXPECT_DOUBLE_EQ(again->samples.front().longitude, 8.52);
    EXPECT_TRUE(state.returningTraffic.empty());
}

TEST_F(ReturningFlightTest, RecordsBehindAFlownOnAircraftAreRefusedAndKeptOnlyWhileItIsOnItsWayOut) {
    LiveAc& ac = flownOn();
    const std::size_t queued = ac.samples.size();
    // Behind it: refused, as before, and kept.
    traffic.push(record(1100.0, 8.40));
    tick();
    EXPECT_EQ(aircraft(kHexId)->samples.size(), queued);
    EXPECT_EQ(state.returningTraffic.size(), 1U);
    // Ahead of it: the feed takes the old aircraft back, and the kept record
    // is out of date.
    traffic.push(record(1104.0, 8.51));
    tick(2);
    EXPECT_EQ(aircraft(kHexId)->extendCount, 0);
    EXPECT_TRUE(state.returningTraffic.empty());
    EXPECT_EQ(state.liveAircraft.size(), 1U);
}

TEST_F(ReturningFlightTest, ARecordAheadThatTheFlownOnAircraftRefusesIsNotKept) {
    LiveAc& ac = flownOn();
    const std::size_t queued = ac.samples.size();
    // Just ahead of its last sample, too close to move it on: refused, and
    // the aircraft flies on past its data. Only records behind it may be a
    // flight that comes back.
    traffic.push(record(1100.0, 8.5001));
    tick();
    const LiveAc* after = aircraft(kHexId);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->samples.size(), queued);
    EXPECT_GE(after->extendCount, 1);
    EXPECT_TRUE(state.returningTraffic.empty());
}

TEST_F(ReturningFlightTest, KeptRecordsThatFallDueBeforeTheObjectGoesAreDropped) {
    LiveAc& ac = flownOn();
    removeAircraftFromSim(engine, ac);
    traffic.push(record(1100.0, 8.52, 50));
    traffic.push(record(1106.0, 8.53, 60));
    tick();
    ASSERT_EQ(state.returningTraffic.size(), 2U);
    // The simulator never confirms within their time: nothing piles up.
    tick(60);
    EXPECT_TRUE(state.returningTraffic.empty());
    gf_queueSimObjectEvent(state, {.objectId = 120, .kind = SimObjectEventKind::removed});
    tick();
    EXPECT_EQ(aircraft(kHexId), nullptr);
}

}  // namespace
}  // namespace qvl::test
