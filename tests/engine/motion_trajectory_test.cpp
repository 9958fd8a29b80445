// Whole flights through the engine tick: scripted traffic goes in through the
// traffic queue, and the positions and client events that reach the
// simulator link come out, tick by tick. The departure and the approach fly
// against the stand-in simulator, whose reports (height over the ground,
// ground contact) the engine reacts to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/engine_math.h"
#include "engine/motion_tables.h"
#include "platform/sim/sim_api.h"
#include "platform/units.h"
#include "simlink/sim_ids.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

constexpr std::uint32_t kThrottleFull = 16383;
constexpr std::uint32_t kThrottleClimb = 11468;
constexpr std::uint32_t kThrottleApproach = 4914;
constexpr std::uint32_t kFlapsApproach = 16383;
constexpr std::uint32_t kSimOnGroundDefinition = 490;

class MotionTrajectoryTest : public EngineTest {
protected:
    // The scripted aircraft, created as spawning creates it.
    LiveAc& spawn(const FlightScript& script) {
        fly(script);
        tick(10);
        LiveAc* ac = aircraft(script.hexId);
        EXPECT_NE(ac, nullptr);
        spawnAsSpawningWould(*ac);
        return *ac;
    }
    // The tick of the first event of the object with that id and data at or
    // after `from`; none when there is none.
    std::optional<std::int32_t> firstEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t data,
                                           std::int32_t from = 0) const {
        for (const auto& e : recorder.eventsOf(objectId, eventId)) {
            if (e.command.data == data && e.tick >= from) return e.tick;
        }
        return std::nullopt;
    }
    // The simulator's ground contact: it puts the object on the ground.
    void touchGround(std::uint32_t objectId) {
        const std::int64_t onGround = 1;
        ASSERT_TRUE(sim::succeeded(handle->addToDataDefinition(kSimOnGroundDefinition, "SIM ON GROUND", "Bool",
                                                               sim::DataType::int64, 0.0f, 0)));
        ASSERT_TRUE(sim::succeeded(
            handle->setDataOnSimObject(kSimOnGroundDefinition, objectId, 0, 0, sizeof onGround, &onGround)));
    }
};

// A turn through north and a climb faster than the category may climb.
TEST_F(MotionTrajectoryTest, AnOverflightMovesWithinItsCategorysLimitsEveryTick) {
    FlightScript script;
    script.altitudeFt = 5000.0;
    script.legs = {{.seconds = 60.0, .groundSpeedKt = 250.0, .trackDeg = 330.0},
                   {.seconds = 40.0, .groundSpeedKt = 250.0, .trackDeg = 30.0, .verticalSpeedFpm = 6000.0},
                   {.seconds = 60.0, .groundSpeedKt = 250.0, .trackDeg = 30.0}};
    LiveAc& ac = spawn(script);
    makeActive(ac, 300);
    tick(kTrafficDelayTicks + 16000);

    const auto positions = recorder.positionsOf(300);
    ASSERT_GT(positions.size(), 16000U);
    const AircraftCategory large = AircraftCategory::Large;
    double turned = 0.0;
    bool crossedNorth = false;
    for (std::size_t i = 1; i < positions.size(); ++i) {
        const PositionCommand& a = positions[i - 1].command;
        const PositionCommand& b = positions[i].command;
        ASSERT_EQ(positions[i].tick, positions[i - 1].tick + 1);
        ASSERT_LE(std::fabs(b.bank - a.bank), maxBankChange(large) + 1e-12) << i;
        ASSERT_LE(std::fabs(b.pitch - a.pitch), maxPitchChange(large) + 1e-12) << i;
        ASSERT_LE(b.altitude - a.altitude, categoryMotion(large).maxVerticalStep + 1e-9) << i;
        ASSERT_GE(b.heading, 0.0);
        ASSERT_LT(b.heading, kTwoPi);
        const double step = wrapPi(b.heading - a.heading);
        ASSERT_LT(std::fabs(step), 0.5 * kDegToRad) << i;
        turned += step;
        crossedNorth = crossedNorth || (a.heading > kPi && b.heading < kPi);
        // At most 10 percent over the feed's speed between two ticks.
        ASSERT_LT(gf_distanceNm({a.latitude, a.longitude}, {b.latitude, b.longitude}), 1.1 * 250.0 / 360000.0) << i;
    }
    EXPECT_TRUE(crossedNorth);
    EXPECT_NEAR(turned * kRadToDeg, 60.0, 2.0);  // 330 to 30 degrees, the short way
    // The climb was held back but caught up: the last level leg's altitude.
    EXPECT_NEAR(positions.back().command.altitude, 5000.0 + 6000.0 * 40.0 / 60.0, 5.0);
}

TEST_F(MotionTrajectoryTest, ADepartureAcceleratesRotatesAtItsLiftOffSpeedAndClimbsOut) {
    connectStandIn();
    FlightScript script;
    script.altitudeFt = 0.0;
    script.legs = {{.seconds = 12.0, .groundSpeedKt = 20.0, .trackDeg = 90.0},
                   {.seconds = 8.0, .groundSpeedKt = 60.0, .trackDeg = 90.0},
                   {.seconds = 8.0, .groundSpeedKt = 100.0, .trackDeg = 90.0},
                   {.seconds = 8.0, .groundSpeedKt = 120.0, .trackDeg = 90.0},
                   // The feed's first airborne reports are below the lift-off speed and barely climb.
                   {.seconds = 12.0, .groundSpeedKt = 130.0, .trackDeg = 90.0, .verticalSpeedFpm = 240.0},
                   {.seconds = 80.0, .groundSpeedKt = 160.0, .trackDeg = 90.0, .verticalSpeedFpm = 2000.0}};
    const std::uint32_t hexId = spawn(script).flight.hexId;
    ASSERT_TRUE(tickUntil([&] { return aircraft(hexId)->status == SimStatus::active; }, 600));
    const std::uint32_t objectId = aircraft(hexId)->objectId;
    EXPECT_EQ(aircraft(hexId)->onGround, 1);

    std::optional<std::int32_t> rotated;
    double speedAtRotation = 0.0;
    double lastGroundSpeed = 0.0;
    const bool flying = tickUntil(
        [&] {
            const LiveAc& ac = *aircraft(hexId);
            if (!rotated && ac.phase == GroundPhase::take_off) {
                rotated = lastTick();
                speedAtRotation = ac.trueAirspeed;
            }
            if (!rotated) {
                EXPECT_GE(ac.trueAirspeed, lastGroundSpeed);  // it only speeds up on the runway
                lastGroundSpeed = ac.trueAirspeed;
            }
            return ac.phase == GroundPhase::flying;
        },
        kTrafficDelayTicks + 12000);
    ASSERT_TRUE(flying);
    ASSERT_TRUE(rotated);
    const std::int32_t flyingAt = lastTick();
    EXPECT_GE(speedAtRotation, liftOffSpeed(AircraftCategory::Large));

    // The take-off run, then full power before the rotation.
    const auto runLights = firstEvent(objectId, evLandingLightsSet, 1);
    const auto fullPower = firstEvent(objectId, evThrottleSet, kThrottleFull);
    ASSERT_TRUE(runLights && fullPower);
    EXPECT_LE(*runLights, *fullPower);
    EXPECT_LT(*fullPower, *rotated);
    // The countdown starts at the rotation's 200 ticks; the gear comes up when it reaches -300.
    const auto gearUp = firstEvent(objectId, evGearSet, 0, *rotated + 499);
    ASSERT_TRUE(gearUp);
    EXPECT_EQ(*gearUp, *rotated + 499);
    // Climb power once it flies, 800 ft over the ground or more.
    const auto climbPower = firstEvent(objectId, evThrottleSet, kThrottleClimb);
    ASSERT_TRUE(climbPower);
    EXPECT_GT(*climbPower, *gearUp);
    EXPECT_EQ(*climbPower, flyingAt);
    EXPECT_GE(aircraft(hexId)->heightAboveGround, 800.0);
    EXPECT_LE(aircraft(hexId)->pitch, aircraft(hexId)->flight.climbPitch);
}

TEST_F(MotionTrajectoryTest, AnApproachConfiguresByHeightFlaresInFourStagesAndTouchesDown) {
    connectStandIn();
    FlightScript script;
    script.latitude = 50.0;
    script.longitude = 8.0;
    script.altitudeFt = 2400.0;
    script.legs = {{.seconds = 212.0, .groundSpeedKt = 140.0, .trackDeg = 90.0, .verticalSpeedFpm = -700.0},
                   {.seconds = 20.0, .groundSpeedKt = 100.0, .trackDeg = 90.0},
                   {.seconds = 20.0, .groundSpeedKt = 60.0, .trackDeg = 90.0},
                   {.seconds = 20.0, .groundSpeedKt = 20.0, .trackDeg = 90.0}};
    // The park airport lies where the descent reaches the ground, at the
    // stand-in's ground elevation.
    const double touchdownNm = 140.0 * (2400.0 / 700.0) / 60.0;
    parkAirport.set({.code = FixedCode4("EDDF"),
                     .position = {50.0, 8.0 + touchdownNm / (60.0 * std::cos(50.0 * kDegToRad))},
                     .elevationFeet = static_cast<float>(config.groundElevationFt)});
    const std::uint32_t hexId = spawn(script).flight.hexId;
    ASSERT_TRUE(tickUntil([&] { return aircraft(hexId)->status == SimStatus::active; }, 600));
    const std::uint32_t objectId = aircraft(hexId)->objectId;
    const double cg = config.staticCgToGroundFt;

    // Heights over the ground at which the flare stages began.
    std::vector<double> stageHeights;
    std::optional<double> approachHeightFt;
    bool touched = false;
    const bool landed = tickUntil(
        [&] {
            const LiveAc& ac = *aircraft(hexId);
            const double height = ac.altitude - config.groundElevationFt;
            if (!approachHeightFt && ac.approaching != 0) approachHeightFt = height;
            if (ac.flareStage == stageHeights.size() + 1) stageHeights.push_back(height);
            if (!touched && height <= cg) {
                touchGround(objectId);
                touched = true;
            }
            return ac.landed != 0;
        },
        kTrafficDelayTicks + 25000);
    ASSERT_TRUE(landed);

    // Configured for the approach as it came down through 2050 ft.
    ASSERT_TRUE(approachHeightFt);
    EXPECT_LE(*approachHeightFt, 2060.0);
    EXPECT_GE(*approachHeightFt, 1950.0);
    EXPECT_TRUE(firstEvent(objectId, evThrottleSet, kThrottleApproach));
    EXPECT_TRUE(firstEvent(objectId, evFlapsSet, kFlapsApproach));
    EXPECT_TRUE(firstEvent(objectId, evGearSet, 1));
    // The four stages at c + 30, 20, 10 and 3 ft (the simulator reports the
    // height every 20 ticks, so a stage may begin up to 20 ticks late).
    ASSERT_EQ(stageHeights.size(), 4U);
    const double thresholds[] = {30.0, 20.0, 10.0, 3.0};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_LE(stageHeights[i], cg + thresholds[i]) << "stage " << i + 1;
        EXPECT_GE(stageHeights[i], cg + thresholds[i] - 2.5) << "stage " << i + 1;
    }
    // Touchdown on the simulator's report: spoilers out, the nose comes down.
    const LiveAc& ac = *aircraft(hexId);
    EXPECT_EQ(ac.onGround, 1);
    EXPECT_EQ(ac.derotating, 1);
    EXPECT_EQ(ac.landedHere, 1);
    EXPECT_TRUE(firstEvent(objectId, evSpoilersSet, 16383));
    ASSERT_TRUE(
        tickUntil([&] { return aircraft(hexId)->derotating == 0; }, aircraft(hexId)->flight.derotationTicks + 10));
    EXPECT_DOUBLE_EQ(aircraft(hexId)->pitch, aircraft(hexId)->flight.staticPitch);
    EXPECT_EQ(aircraft(hexId)->flareStage, 0U);
    const auto positions = recorder.positionsOf(objectId);
    ASSERT_FALSE(positions.empty());
    EXPECT_DOUBLE_EQ(positions.back().command.pitch, aircraft(hexId)->flight.staticPitch);
}

}  // namespace
}  // namespace qvl::test
