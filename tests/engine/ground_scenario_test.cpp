// Whole ground movements through the engine tick: a landing that rolls out,
// leaves the runway, taxis round a corner and parks on its stand; an
// aircraft born on a stand that pushes back (curved or straight), holds,
// taxis and takes off; and one that pulls out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/settings.h"
#include "engine/stands.h"
#include "ground_fixture.h"
#include "simlink/sim_ids.h"

namespace qvl::test {
namespace {

constexpr std::uint32_t kObjectId = 900;

class GroundScenarioTest : public GroundTest {
protected:
    // The scripted aircraft, created and active on the ground.
    LiveAc& activeOnGround(const FlightScript& script) {
        fly(script);
        tick(10);
        LiveAc* ac = aircraft(script.hexId);
        EXPECT_NE(ac, nullptr);
        makeActive(*ac, kObjectId);
        ac->onGround = 1;
        return *ac;
    }
    // Where the script's legs end.
    static GeoPosition endOf(const FlightScript& script) {
        GeoPosition at{.latitude = script.latitude, .longitude = script.longitude};
        for (const Leg& leg : script.legs) {
            at = offset(at, leg.trackDeg, leg.groundSpeedKt * leg.seconds / 3600.0);
        }
        return at;
    }
    [[nodiscard]] std::size_t eventCount(std::uint32_t eventId, std::uint32_t data) const {
        std::size_t n = 0;
        for (const auto& e : recorder.eventsOf(kObjectId, eventId)) n += e.command.data == data ? 1 : 0;
        return n;
    }
};

TEST_F(GroundScenarioTest, ALandingRollsOutTaxisRoundACornerAndParksOnItsStand) {
    parkAirport.setStandsLoaded(true);
    FlightScript script;
    script.registration = "D-AINA";
    script.altitudeFt = 0.0;
    script.legs = {{.seconds = 16.0, .groundSpeedKt = 100.0, .trackDeg = 90.0},
                   {.seconds = 20.0, .groundSpeedKt = 40.0, .trackDeg = 90.0},
                   {.seconds = 40.0, .groundSpeedKt = 15.0, .trackDeg = 0.0},
                   {.seconds = 60.0, .groundSpeedKt = 15.0, .trackDeg = 270.0},
                   {.seconds = 16.0, .groundSpeedKt = 3.0, .trackDeg = 270.0}};
    const GeoPosition stop = endOf(script);
    const GeoPosition standAt = offset(stop, 270.0, 0.002);  // 3.7 m on
    addStand(12, standAt, 270.0, 0.03);

    LiveAc& ac = activeOnGround(script);
    ac.landed = 1;
    ac.landedHere = 1;
    ac.touchdownHeading = 90.0 * kDegToRad;
    const std::uint32_t hexId = ac.flight.hexId;

    bool leftRunway = false;
    bool curved = false;
    const bool parked = tickUntil(
        [&] {
            const LiveAc* a = aircraft(hexId);
            if (a == nullptr) return true;
            if (a->landed == 0) leftRunway = true;
            if (curveIsSet(*a) && a->phase == GroundPhase::taxi) curved = true;
            return a->phase == GroundPhase::parked;
        },
        kTrafficDelayTicks + 40000);
    ASSERT_TRUE(parked) << log();
    const LiveAc& at = *aircraft(hexId);
    EXPECT_TRUE(leftRunway);
    EXPECT_TRUE(curved);
    EXPECT_EQ(at.standNumber, 12U);
    EXPECT_LE(gf_distanceNm(positionOf(at), standAt) * 1852.0, 2.0);
    // Marked occupied on arrival (the week-long continuation clears the mark
    // until the feed shows the aircraft at its stand again).
    EXPECT_NE(
        std::find(stands.occupiedCalls.begin(), stands.occupiedCalls.end(), std::pair<std::uint32_t, bool>{12, true}),
        stands.occupiedCalls.end());
    recorder.record(link.queues, engine.now(), true);
    EXPECT_EQ(recorder.eventsOf(kObjectId, evEngineAutoShutdown).size(), 1U);
    EXPECT_TRUE(logHas("A12     : DLH4AB   arrived at stand"));
    // The stand learned the flight for this half hour.
    ASSERT_EQ(stands.options[12].size(), 1U);
    EXPECT_EQ(stands.options[12][0].registration, "D-AINA");
    EXPECT_TRUE(stands.options[12][0].hours.test(20));
}

}  // namespace
}  // namespace qvl::test
