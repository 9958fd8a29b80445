// Whole flights through the engine tick: scripted traffic goes in through the
// traffic queue, and the positions and client events that reach the
// simulator link come out, tick by tick. The departure and the approach fly
// against the stand-in simulator, whose reports (height over the ground,
// ground contact) the engine reacts to.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "core/geodesy.h"
#include "engine/base/engine_math.h"
#include "engine/base/motion_tables.h"
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

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// The run's main loop under load: a tick that ends more than 100 ms after
// its deadline puts the next one 10 ms later; one that ends less late is
// followed by the missed ticks back to back, several at one instant.
class LoadedMainLoop {
public:
    explicit LoadedMainLoop(Clock::time_point start) : tickStart_(start), deadline_(start) {}
    [[nodiscard]] Clock::time_point tickStart() const { return tickStart_; }
    // Moves to the start of the next tick after one that worked this long.
    void next(milliseconds work) {
        const Clock::time_point now = tickStart_ + work;
        const Clock::time_point target = now > deadline_ + milliseconds(100) ? now + milliseconds(10) : deadline_;
        tickStart_ = std::max(target, now);
        deadline_ = target + milliseconds(10);
    }

private:
    Clock::time_point tickStart_;
    Clock::time_point deadline_;
};

// How long a tick works: by the time since the start of the run and the
// tick's number.
using Load = std::function<milliseconds(Clock::duration sinceStart, std::int64_t tick)>;

// Every tick ends more than 100 ms late.
milliseconds lateTicks(Clock::duration /*sinceStart*/, std::int64_t /*tick*/) { return milliseconds(110); }

// 10 s on time, 10 s of ticks that end more than 100 ms late, 10 s of
// stalls of 95 ms after which the missed ticks come back to back; again.
milliseconds changingLoad(Clock::duration sinceStart, std::int64_t tick) {
    switch ((sinceStart / seconds(10)) % 3) {
        case 1: return milliseconds(110);
        case 2: return tick % 10 == 0 ? milliseconds(95) : milliseconds(0);
        default: return milliseconds(0);
    }
}

// How far along the path (nm) its point nearest to the position lies.
double progressAlong(const std::vector<GeoPosition>& path, GeoPosition at) {
    double nearest = std::numeric_limits<double>::max();
    double progress = 0.0;
    double travelled = 0.0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        const double length = gf_distanceNm(path[i - 1], path[i]);
        const double toPoint = gf_distanceNm(path[i - 1], at);
        const double bearing = gf_initialBearing(path[i - 1], path[i]);
        const double along =
            std::clamp(std::cos(wrapPi(gf_initialBearing(path[i - 1], at) - bearing)) * toPoint, 0.0, length);
        const double off = gf_distanceNm(at, gf_destinationPoint(path[i - 1], bearing, along * kFeetPerNm));
        if (off < nearest) {
            nearest = off;
            progress = travelled + along;
        }
        travelled += length;
    }
    return progress;
}

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
    // Ticks on the grid of a main loop under the load until the run has
    // lasted that long; the simulator objects each hex id had.
    std::map<std::uint32_t, std::set<std::uint32_t>> runUnderLoad(const Load& load, Clock::duration runFor) {
        std::map<std::uint32_t, std::set<std::uint32_t>> objects;
        const Clock::time_point start = steady;
        LoadedMainLoop loop(start);
        for (std::int64_t i = 0; loop.tickStart() - start < runFor; ++i) {
            tickAt(loop.tickStart());
            for (const LiveAc& ac : state.liveAircraft) {
                if (ac.objectId != 0) objects[ac.flight.hexId].insert(ac.objectId);
            }
            loop.next(load(loop.tickStart() - start, i));
        }
        return objects;
    }
    // Every position update of the objects turns by a degree at most, and
    // each object turns in all no more than the feed plus 20 degrees; none
    // moves back along the script's path by more than a metre.
    void expectSmoothAndForward(const FlightScript& script, const std::set<std::uint32_t>& objects,
                                double feedTurnDeg) {
        std::vector<GeoPosition> path;
        for (const ScheduledRecord& r : generateRecords(script, 0)) {
            path.push_back({r.record.sample.latitude, r.record.sample.longitude});
        }
        for (const std::uint32_t objectId : objects) {
            const auto positions = recorder.positionsOf(objectId);
            ASSERT_GT(positions.size(), 500U) << script.callsign;
            double turned = 0.0;
            double farthest = progressAlong(path, {positions[0].command.latitude, positions[0].command.longitude});
            for (std::size_t i = 1; i < positions.size(); ++i) {
                const PositionCommand& a = positions[i - 1].command;
                const PositionCommand& b = positions[i].command;
                const double step = angleApart(a.heading, b.heading) * kRadToDeg;
                ASSERT_LE(step, 1.0) << script.callsign << " at tick " << positions[i].tick;
                turned += step;
                const double progress = progressAlong(path, {b.latitude, b.longitude});
                ASSERT_GE(progress, farthest - 1.0 / kMetresPerNm)
                    << script.callsign << " at tick " << positions[i].tick;
                farthest = std::max(farthest, progress);
            }
            EXPECT_LE(turned, feedTurnDeg + 20.0) << script.callsign;
        }
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
    EXPECT_GE(aircraft(hexId)->motion.heightAboveGround, 800.0);
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
            if (!approachHeightFt && ac.motion.approaching) approachHeightFt = height;
            if (ac.motion.flareStage == stageHeights.size() + 1) stageHeights.push_back(height);
            if (!touched && height <= cg) {
                touchGround(objectId);
                touched = true;
            }
            return ac.motion.landed;
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
    EXPECT_TRUE(ac.onGround);
    EXPECT_TRUE(ac.motion.derotating);
    EXPECT_TRUE(ac.motion.landedHere);
    EXPECT_TRUE(firstEvent(objectId, evSpoilersSet, 16383));
    ASSERT_TRUE(tickUntil([&] { return aircraft(hexId)->motion.derotating == 0; },
                          aircraft(hexId)->flight.derotationTicks + 10));
    EXPECT_DOUBLE_EQ(aircraft(hexId)->pitch, aircraft(hexId)->flight.staticPitch);
    EXPECT_EQ(aircraft(hexId)->motion.flareStage, 0U);
    const auto positions = recorder.positionsOf(objectId);
    ASSERT_FALSE(positions.empty());
    EXPECT_DOUBLE_EQ(positions.back().command.pitch, aircraft(hexId)->flight.staticPitch);
}

// A loaded main loop delivers ticks late and in bunches while the feed goes
// on in wall time: the samples of one aircraft come closer together in
// ticks, and the aircraft runs behind its samples.
TEST_F(MotionTrajectoryTest, UnderLoadAFlightAndATaxiingAircraftTurnSmoothlyAndNeverMoveBack) {
    connectStandIn();
    FlightScript flight;
    flight.hexId = 0x3c6586;
    flight.callsign = "DLH4AB";
    flight.altitudeFt = 5000.0;
    flight.legs = {{.seconds = 40.0, .groundSpeedKt = 250.0, .trackDeg = 330.0}};
    // A turn through north, 10 degrees every 8 s, then on.
    for (double track = 340.0; track <= 420.0; track += 10.0) {
        flight.legs.push_back({.seconds = 8.0, .groundSpeedKt = 250.0, .trackDeg = std::fmod(track, 360.0)});
    }
    flight.legs.push_back({.seconds = 80.0, .groundSpeedKt = 250.0, .trackDeg = 60.0});
    FlightScript taxi;
    taxi.hexId = 0x3c6587;
    taxi.callsign = "DLH7CD";
    taxi.latitude = 50.05;
    taxi.longitude = 8.55;
    taxi.altitudeFt = 0.0;
    // A corner of 90 degrees across north, then one of 40.
    taxi.legs = {{.seconds = 60.0, .groundSpeedKt = 15.0, .trackDeg = 300.0},
                 {.seconds = 60.0, .groundSpeedKt = 15.0, .trackDeg = 30.0},
                 {.seconds = 60.0, .groundSpeedKt = 15.0, .trackDeg = 70.0}};
    fly(flight);
    fly(taxi);

    auto objects = runUnderLoad(changingLoad, seconds(330));
    ASSERT_EQ(objects[flight.hexId].size(), 1U);
    ASSERT_EQ(objects[taxi.hexId].size(), 1U);
    expectSmoothAndForward(flight, objects[flight.hexId], 90.0);
    expectSmoothAndForward(taxi, objects[taxi.hexId], 130.0);
}

// The demonstration's feed: 20 s of a flight, a minute of silence, and the
// same 20 s again, and again. Under load the ticks lag the feed so far that
// the first pass is still queued when the next begins behind its end.
TEST_F(MotionTrajectoryTest, UnderLoadAFeedThatStartsOverBehindTheAircraftDoesNotTurnItBack) {
    connectStandIn();
    FlightScript pass;
    pass.altitudeFt = 3000.0;
    pass.reportSeconds = 2.0;
    pass.legs = {{.seconds = 22.0, .groundSpeedKt = 200.0, .trackDeg = 90.0}};
    for (int loop = 0; loop < 12; ++loop) {
        FlightScript again = pass;
        again.startTime += 80.0 * loop;
        fly(again, engine.now() + 8000 * loop);
    }

    auto objects = runUnderLoad(lateTicks, seconds(1500));
    ASSERT_FALSE(objects[pass.hexId].empty());
    expectSmoothAndForward(pass, objects[pass.hexId], 0.0);
}

}  // namespace
}  // namespace qvl::test
