// The motion of one aircraft, step by step: the timing of its next sample,
// the flying step, continuation samples, and the per-tick integration with
// its take-off, flare and touchdown. Aircraft are built by hand on the
// engine harness; what they send is read from the simulator link's queues.
#include <gtest/gtest.h>
#include <gsl/narrow>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <optional>

#include "core/geodesy.h"
#include "core/settings.h"
#include "engine/base/engine_math.h"
#include "engine/base/motion_tables.h"
#include "engine/motion/motion.h"
#include "engine/motion/motion_steps.h"
#include "platform/units.h"
#include "simlink/sim_ids.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

constexpr double kDeg = kDegToRad;
constexpr std::uint32_t kMotionObjectId = 500;

TrafficSample sampleAt(double latitude, double longitude, double altitude, double groundSpeed, std::int64_t due,
                       double verticalSpeed = 0.0) {
    TrafficSample s;
    s.latitude = latitude;
    s.longitude = longitude;
    s.altitude = altitude;
    s.airborne = altitude > 0.0 ? 1 : 0;
    s.groundSpeed = groundSpeed;
    s.trueAirspeed = groundSpeed;
    s.verticalSpeed = verticalSpeed;
    s.dueTick = static_cast<std::uint32_t>(due);
    return s;
}

class MotionTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        setTick(100001);  // room for samples due in the past
    }
    [[nodiscard]] std::int64_t now() const { return engine.now(); }

    // An active aircraft at its front sample, heading for the next one.
    LiveAc& make(AircraftCategory category, std::initializer_list<TrafficSample> samples) {
        const CategoryMotion& m = categoryMotion(category);
        FlightRec f;
        f.callsign = "TST123";
        f.hexId = 0x400001 + static_cast<std::uint32_t>(state.liveAircraft.size());
        f.category = category;
        f.halfSpan = 0.01;
        f.staticCgHeight = 6.0;
        f.staticPitch = 0.7 * kDeg;
        f.rotationPitch = m.rotationPitchDeg * kDeg;
        f.climbPitch = m.climbPitchDeg * kDeg;
        f.groundTurnStep = m.groundTurnStepDeg * kDeg;
        f.turnStep = f.groundTurnStep;
        f.maxVerticalStep = m.maxVerticalStep;
        f.standApproachSpeed = m.standApproachSpeed;
        f.flareTicks = m.flareTicks;
        f.derotationTicks = m.derotationTicks;
        f.rotationTicks = m.rotationTicks;
        f.pitchTransitionTicks = m.pitchTransitionTicks;
        LiveAc ac = makeLiveAc(*samples.begin(), f, 1.7e9);
        for (auto it = samples.begin() + 1; it != samples.end(); ++it) ac.samples.push_back(*it);
        const TrafficSample& front = ac.samples.front();
        ac.objectId = kMotionObjectId + static_cast<std::uint32_t>(state.liveAircraft.size());
        ac.status = SimStatus::active;
        ac.position.latitude = front.latitude;
        ac.position.longitude = front.longitude;
        ac.altitude = front.altitude;
        ac.onGround = front.airborne != 0 ? 0 : 1;
        ac.phase = front.airborne != 0 ? GroundPhase::flying : GroundPhase::taxi;
        if (ac.samples.size() > 1) ac.heading = gf_initialBearing(positionOf(front), positionOf(ac.samples[1]));
        state.liveAircraft.push_back(std::move(ac));
        return state.liveAircraft.back();
    }
    std::vector<AtTick<EventCommand>> sent(const LiveAc& ac, std::uint32_t eventId) {
        recorder.record(link.queues, engine.now(), true);
        return recorder.eventsOf(ac.objectId, eventId);
    }
    // The data of the last such event sent for the aircraft; none when none was sent.
    std::optional<std::uint32_t> lastSent(const LiveAc& ac, std::uint32_t eventId) {
        const auto events = sent(ac, eventId);
        if (events.empty()) return std::nullopt;
        return events.back().command.data;
    }
    void setTick(std::int64_t tick) { feed.tickCounter.store(static_cast<std::int32_t>(tick)); }
};

// --- Timing of the next sample ---

TEST_F(MotionTest, SpeedBetweenSamplesIsTheirMeanAndNeverBelowOneKnot) {
    EXPECT_DOUBLE_EQ(estimateSpeed(sampleAt(50, 8, 0, 100, 0), sampleAt(50, 8.1, 0, 200, 100)), 150.0);
    // Both stopped: the distance over the time between them.
    const TrafficSample a = sampleAt(50, 8, 0, 0, 1000);
    const TrafficSample b = sampleAt(50.01, 8, 0, 0, 1600);
    EXPECT_NEAR(estimateSpeed(a, b), gf_distanceNm(positionOf(a), positionOf(b)) * 360000.0 / 600.0, 1e-9);
    EXPECT_DOUBLE_EQ(estimateSpeed(a, sampleAt(50, 8, 0, 0, 1600)), 1.0);
    // A mean of 0 or less, or none at all, would make no tick count.
    EXPECT_DOUBLE_EQ(estimateSpeed(sampleAt(50, 8, 0, 0, 0), sampleAt(50, 8.1, 0, -4, 100)), 1.0);
    EXPECT_DOUBLE_EQ(estimateSpeed(sampleAt(50, 8, 0, std::nan(""), 0), sampleAt(50, 8.1, 0, 80, 100)), 1.0);
    EXPECT_DOUBLE_EQ(estimateSpeed(sampleAt(50, 8, 0, 0.2, 0), sampleAt(50, 8.1, 0, 0.4, 100)), 1.0);
}

TEST_F(MotionTest, TouchdownLegWithoutASpeedIsFlownAtOneHundredKnots) {
    for (const double speed : {0.0, -5.0, std::nan("")}) {
        LiveAc& ac = make(AircraftCategory::Large,
                          {sampleAt(50, 8.5, 300, speed, now()), sampleAt(50, 8.52, 0, speed, now() + 3000)});
        ac.motion.approaching = true;
        ac.motion.earlyLimit = ac.motion.lateLimit = 100000;
        retimeAir(engine.now(), ac);
        const double distance = gf_distanceNm(positionOf(ac.samples[0]), positionOf(ac.samples[1]));
        EXPECT_EQ(ac.samples[1].dueTick, now() + std::lround(distance * 360000.0 / 100.0)) << speed;
    }
}

TEST_F(MotionTest, RetimingKeepsWithinTheLimitsAndNeverBeforeNow) {
    // 250 kt over 0.5 nm is 720 ticks; the sample was due in 3000.
    const double lon = 8.5 + 0.5 / (60.0 * std::cos(50.0 * kDeg));
    LiveAc& ac = make(AircraftCategory::Large,
                      {sampleAt(50, 8.5, 5000, 250, now()), sampleAt(50, lon, 5000, 250, now() + 3000)});
    retimeAir(engine.now(), ac);
    EXPECT_EQ(ac.samples[1].dueTick, now() + 3000 - 1000);  // as early as the early limit allows
    ac.samples[1].dueTick = static_cast<std::uint32_t>(now() - 500);
    retimeAir(engine.now(), ac);
    EXPECT_EQ(ac.samples[1].dueTick, now() + 500);  // as late as the late limit allows
    ac.samples[1].dueTick = static_cast<std::uint32_t>(now() - 2000);
    retimeAir(engine.now(), ac);
    EXPECT_EQ(ac.samples[1].dueTick, now());  // never before now
    ac.extendCount = 3;                       // an extending aircraft is timed freely
    retimeAir(engine.now(), ac);
    EXPECT_EQ(ac.samples[1].dueTick, now() + 720);
}

TEST_F(MotionTest, DueTicksBeyondTheSignedRangeAreComparedInSixtyFourBits) {
    const std::int64_t top = std::numeric_limits<std::int32_t>::max();
    setTick(top - 50);
    const double lon = 8.5 + 0.2 / (60.0 * std::cos(50.0 * kDeg));
    LiveAc& ac = make(AircraftCategory::Large,
                      {sampleAt(50, 8.5, 5000, 250, top - 50), sampleAt(50, lon, 5000, 250, top + 2000)});
    retimeAir(engine.now(), ac);
    EXPECT_EQ(ac.samples[1].dueTick, static_cast<std::uint32_t>(top + 1000));
    EXPECT_EQ(ticksTo(ac.samples[1], engine.now()), 1050);
}

TEST_F(MotionTest, ASampleDueInThePastIsFlownInTwentyFiveTicks) {
    LiveAc& ac = make(AircraftCategory::Large,
                      {sampleAt(50, 8.5, 5000, 250, now() - 500), sampleAt(50.0001, 8.5, 5000, 250, now() - 100)});
    nextPosMain(engine, ac);
    ASSERT_EQ(ac.samples.size(), 1U);
    EXPECT_EQ(ac.samples[0].dueTick, now() + 25);
    EXPECT_NEAR(ac.motion.latStep, 0.0001 / 25.0, 1e-15);
}

TEST_F(MotionTest, AGroundSampleIsTimedByDistanceOrByTheFeedsOwnStop) {
    // 0.1 nm at a mean of 15 kt: 2400 ticks.
    LiveAc& rolling = make(AircraftCategory::Large,
                           {sampleAt(50, 8.5, 0, 14, now()), sampleAt(50 + 0.1 / 60.0, 8.5, 0, 16, now() + 2000)});
    rolling.flight.turnStep = 0.0;
    nextPosGround(engine, rolling);
    EXPECT_EQ(rolling.samples[1].dueTick, now() + 2400);
    EXPECT_EQ(rolling.flight.turnStep, rolling.flight.groundTurnStep);

    // A stop the feed reports out of order still lasts 25 ticks at least.
    TrafficSample stop = sampleAt(50, 8.5, 0, 0, now() - 200);
    stop.stationary = 1;
    LiveAc& waiting = make(AircraftCategory::Large, {sampleAt(50, 8.5, 0, 0, now() - 100), stop});
    nextPosGround(engine, waiting);
    EXPECT_EQ(waiting.samples[1].dueTick, now() + 25);
}

TEST_F(MotionTest, ATickCountBeyondThirtyTwoBitsFailsTheStepWithALogLine) {
    LiveAc& ac =
        make(AircraftCategory::Large, {sampleAt(0, 0, 5000, 1, now()), sampleAt(0, 179, 5000, 1, now() + 400)});
    EXPECT_THROW(nextPosMain(engine, ac), gsl::narrowing_error);
    EXPECT_TRUE(logHas("==> nextPosMain: narrowing_error TST123, sz:2, fs:flying, st:active\n"));
}

TEST_F(MotionTest, AnAirborneRepeatIsDroppedButARotorcraftHovers) {
    TrafficSample repeat = sampleAt(50, 8.5, 3000, 0, now() + 400);
    repeat.stationary = 1;
    LiveAc& plane = make(AircraftCategory::Large,
                         {sampleAt(50, 8.5, 3000, 200, now()), repeat, sampleAt(50.02, 8.5, 3000, 200, now() + 800)});
    nextPosMain(engine, plane);
    ASSERT_EQ(plane.samples.size(), 1U);
    EXPECT_DOUBLE_EQ(plane.samples[0].latitude, 50.02);

    LiveAc& helicopter = make(AircraftCategory::Rotorcraft,
                              {sampleAt(50, 8.5, 3000, 0, now()), repeat, sampleAt(50.02, 8.5, 3000, 80, now() + 800)});
    nextPosMain(engine, helicopter);
    ASSERT_EQ(helicopter.samples.size(), 2U);
    EXPECT_EQ(helicopter.samples[0].stationary, 1);
    EXPECT_EQ(helicopter.motion.latStep, 0.0);
}

// --- The flying step ---

TEST_F(MotionTest, ClimbIsHeldToTheCategorysStepAndLowDeparturesKeepClimbing) {
    LiveAc& high = make(AircraftCategory::Large,
                        {sampleAt(50, 8.5, 5000, 250, now()), sampleAt(50.02, 8.5, 6000, 250, now() + 400)});
    high.motion.heightAboveGround = 5000.0;
    nextPosMain(engine, high);
    EXPECT_DOUBLE_EQ(high.motion.altitudeStep, 0.6);

    LiveAc& low = make(AircraftCategory::Large,
                       {sampleAt(50, 8.5, 500, 160, now()), sampleAt(50.02, 8.5, 450, 160, now() + 400)});
    low.motion.heightAboveGround = 500.0;
    nextPosMain(engine, low);
    EXPECT_DOUBLE_EQ(low.motion.altitudeStep, 0.2);
}

TEST_F(MotionTest, LandingSegmentWithoutParkAirportDescendsByQnh) {
    feed.publishedQnh.store(1020);
    LiveAc& ac = make(AircraftCategory::Large,
                      {sampleAt(50, 8.5, 1500, 140, now(), -1600), sampleAt(50.02, 8.5, 0, 140, now() + 400)});
    ac.motion.heightAboveGround = 1500.0;
    nextPosMain(engine, ac);
    EXPECT_DOUBLE_EQ(ac.motion.verticalSpeedFpm, -840.5);  // mean -800, 40.5 lower for 1020 hPa
    EXPECT_DOUBLE_EQ(ac.samples[0].verticalSpeed, -840.5);
    EXPECT_DOUBLE_EQ(ac.motion.altitudeStep, -840.5 / 6000.0);
    ASSERT_FALSE(sent(ac, evGearSet).empty());
    EXPECT_EQ(lastSent(ac, evGearSet), 1U);

    feed.publishedQnh.store(1013);
    LiveAc& standard = make(AircraftCategory::Large,
                            {sampleAt(50, 8.5, 1500, 140, now(), -1600), sampleAt(50.02, 8.5, 0, 140, now() + 400)});
    standard.motion.heightAboveGround = 1500.0;
    nextPosMain(engine, standard);
    EXPECT_DOUBLE_EQ(standard.motion.verticalSpeedFpm, -601.0);
}

TEST_F(MotionTest, AGivenTrueHeadingSteersLowAndTheTrackAheadSteersHigh) {
    TrafficSample next = sampleAt(50.02, 8.5, 900, 160, now() + 400);
    next.trueHeadingUsed = next.rollValid = next.trueHeadingValid = 1;
    next.trueHeading = 30.0 * kDeg;
    const TrafficSample after = sampleAt(50.02, 8.6, 900, 160, now() + 800);  // due east of next
    for (const double height : {900.0, 1100.0}) {
        LiveAc& ac = make(AircraftCategory::Large, {sampleAt(50, 8.5, 900, 160, now()), next, after});
        ac.heading = 0.0;
        ac.motion.heightAboveGround = height;
        nextPosMain(engine, ac);
        const double turn = height < 1000.0 ? 30.0 * kDeg : gf_initialBearing(positionOf(next), positionOf(after));
        EXPECT_NEAR(ac.motion.headingStep, turn / ticksTo(ac.samples[0], engine.now()), 1e-12) << height;
    }
}

TEST_F(MotionTest, BankAndPitchChangeNoFasterThanTheCategoryAllows) {
    LiveAc& ac = make(AircraftCategory::Large,
                      {sampleAt(50, 8.5, 5000, 250, now()), sampleAt(50.02, 8.5, 5000, 250, now() + 400, 3000),
                       sampleAt(50.02, 8.6, 5000, 250, now() + 800)});
    ac.heading = 0.0;
    nextPosMain(engine, ac);  // a right turn of about 90 degrees and a climb
    EXPECT_DOUBLE_EQ(ac.motion.bankStep, -maxBankChange(AircraftCategory::Large));
    EXPECT_DOUBLE_EQ(ac.motion.pitchStep, -maxPitchChange(AircraftCategory::Large));
}

TEST_F(MotionTest, ATurnAcrossNorthGoesTheShortWay) {
    const double lat = 50.0;
    LiveAc& ac = make(AircraftCategory::Large,
                      {sampleAt(lat, 8.5, 5000, 250, now()), sampleAt(lat + 0.02, 8.5, 5000, 250, now() + 400),
                       sampleAt(lat + 0.04, 8.5 + 0.0005, 5000, 250, now() + 800)});
    ac.heading = 359.0 * kDeg;
    nextPosMain(engine, ac);
    EXPECT_GT(ac.motion.headingStep, 0.0);
    const int ticks = ticksTo(ac.samples[0], engine.now());
    for (int i = 0; i < ticks; ++i) {
        const double before = ac.heading;
        integrateStep(engine, ac);
        ASSERT_GE(ac.heading, 0.0);
        ASSERT_LT(ac.heading, kTwoPi);
        ASSERT_LT(angleApart(ac.heading, before), 0.01 * kDeg);
    }
    EXPECT_LT(angleApart(ac.heading, gf_initialBearing(positionOf(ac.samples[0]), positionOf(ac.samples[1]))),
              0.01 * kDeg);
}

// A taxiing aircraft turns towards its next point by its turn rate, to
// whichever side is shorter, across north too, and never past the point.
TEST(GroundTurn, ATaxiTurnGoesTheShortWayOnEitherSideAndNeverPastItsBearing) {
    LiveAc ac;
    ac.flight.turnStep = 3.0 * kDeg;
    struct Case {
        double from;
        double towards;
        double expected;
    };
    for (const Case c :
         {Case{.from = 10.0, .towards = 350.0, .expected = 7.0},
          Case{.from = 350.0, .towards = 10.0, .expected = 353.0},
          Case{.from = 90.0, .towards = 45.0, .expected = 87.0}, Case{.from = 90.0, .towards = 135.0, .expected = 93.0},
          Case{.from = 90.0, .towards = 91.5, .expected = 91.5}}) {
        ac.heading = c.from * kDeg;
        turnTowards(ac, c.towards * kDeg);
        EXPECT_NEAR(ac.heading, c.expected * kDeg, 1e-9) << c.from << " towards " << c.towards;
    }
}

// The simulator has it in the air while the feed still shows the runway.
TEST_F(MotionTest, SkippingAheadToAnAirborneSampleLeadsThereAndClimbs) {
    LiveAc& ac =
        make(AircraftCategory::Large,
             {sampleAt(50, 8.5, 0, 150, now()), sampleAt(50.01, 8.5, 0, 150, now() + 300),
              sampleAt(50.02, 8.5, 300, 160, now() + 600, 1500), sampleAt(50.03, 8.5, 500, 170, now() + 900, 1500)});
    ac.onGround = false;
    nextPosMain(engine, ac);
    ASSERT_EQ(ac.samples.size(), 2U);
    EXPECT_DOUBLE_EQ(ac.samples[0].latitude, 50.02);
    const double ticks = ticksTo(ac.samples[0], engine.now());
    EXPECT_NEAR(ac.motion.latStep, 0.02 / ticks, 1e-15);
    EXPECT_DOUBLE_EQ(ac.motion.altitudeStep, std::min(300.0 / ticks, ac.flight.maxVerticalStep));
}

TEST_F(MotionTest, LowLevelLightsComeOnAgainAfterACruise) {
    LiveAc& ac = make(AircraftCategory::Large,
                      {sampleAt(50, 8.5, 12000, 300, now()), sampleAt(50.02, 8.5, 11000, 300, now() + 400),
                       sampleAt(50.04, 8.5, 9000, 300, now() + 800), sampleAt(50.06, 8.5, 8000, 300, now() + 1200)});
    ac.motion.lowLevelLightsSet = true;  // it climbed through 10000 ft with its lights on
    nextPosMain(engine, ac);
    ASSERT_EQ(sent(ac, evLandingLightsSet).size(), 1U);
    EXPECT_EQ(lastSent(ac, evLandingLightsSet), 0U);
    setTick(now() + 400);
    nextPosMain(engine, ac);
    setTick(now() + 400);
    nextPosMain(engine, ac);
    ASSERT_EQ(sent(ac, evLandingLightsSet).size(), 2U);
    EXPECT_EQ(lastSent(ac, evLandingLightsSet), 1U);
}

// --- Continuation samples ---

TEST_F(MotionTest, AnAirborneStreamGoesOnForEightSamplesAlongItsHeadingThenEnds) {
    LiveAc& ac = make(AircraftCategory::Large, {sampleAt(50, 8.5, 5000, 200, now())});
    ac.heading = 90.0 * kDeg;
    int made = 0;
    while (ac.status == SimStatus::active) {
        const TrafficSample front = ac.samples.front();
        nextPosMain(engine, ac);
        if (ac.status != SimStatus::active) break;
        ++made;
        const TrafficSample& next = ac.samples.front();
        EXPECT_NEAR(next.groundSpeed, std::max(0.95 * front.groundSpeed, 1.0), 1e-9);
        EXPECT_NEAR(gf_distanceNm(positionOf(front), positionOf(next)), 8.0 * next.groundSpeed / 3600.0, 1e-6);
        setTick(next.dueTick);
    }
    EXPECT_EQ(made, 8);
    EXPECT_EQ(ac.status, SimStatus::removingfromsim);
}

TEST_F(MotionTest, AnAircraftAtTheEdgeOfRangeIsNotContinued) {
    LiveAc& ac = make(AircraftCategory::Large, {sampleAt(50, 8.5, 5000, 200, now())});
    state.userSnapshot.latitude = 50.0;
    state.userSnapshot.longitude = 8.5 - (rangeNm.load() - 0.4) / (60.0 * std::cos(50.0 * kDeg));
    nextPosMain(engine, ac);
    EXPECT_EQ(ac.status, SimStatus::removingfromsim);
}

TEST_F(MotionTest, AParkedAircraftsContinuationIsDueAWeekLaterAndFreesItsStand) {
    TrafficSample parkedAt = sampleAt(50, 8.5, 0, 0, now());
    parkedAt.stationary = 1;
    LiveAc& ac = make(AircraftCategory::Large, {parkedAt});
    ac.phase = GroundPhase::parked;
    ac.standNumber = 17;
    ac.seenAtStand = true;
    ASSERT_TRUE(extendSamples(engine, ac));
    EXPECT_EQ(ac.samples[1].dueTick, parkedAt.dueTick + 60480000U);
    EXPECT_EQ(ac.samples[1].stationary, 1);
    EXPECT_FALSE(ac.seenAtStand);
    ASSERT_EQ(stands.occupiedCalls.size(), 1U);
    EXPECT_EQ(stands.occupiedCalls[0], std::make_pair(17U, false));
}

TEST_F(MotionTest, HoldingOnTheGroundEndsAfterTheLimitOrForATaxiingNeighbour) {
    LiveAc& ac = make(AircraftCategory::Large, {sampleAt(50, 8.5, 0, 10, now())});
    ASSERT_TRUE(extendSamples(engine, ac));
    EXPECT_TRUE(ac.holding);
    EXPECT_EQ(ac.samples[1].dueTick, ac.samples[0].dueTick + 300);
    EXPECT_EQ(ac.samples[1].stationary, 1);
    ac.samples.pop_front();
    setTick(now() + std::int64_t{MAX_HOLDING_MINUTES.value()} * 6000);
    EXPECT_TRUE(extendSamples(engine, ac));  // exactly the limit: still holding
    ac.samples.pop_front();
    setTick(now() + 6000);
    EXPECT_FALSE(extendSamples(engine, ac));

    make(AircraftCategory::Large, {sampleAt(51, 8.5, 0, 10, now())});
    make(AircraftCategory::Large, {sampleAt(51.0003, 8.5, 0, 10, now())});  // taxiing 0.018 nm away
    LiveAc& waiting = state.liveAircraft[1];
    waiting.holding = true;
    waiting.holdStart = static_cast<std::int32_t>(now());
    EXPECT_FALSE(extendSamples(engine, waiting));
    EXPECT_FALSE(waiting.holding);
}

// --- Take-off, roll-out and touchdown ---

TEST_F(MotionTest, RotationWaitsUntilEverySampleAheadFliesFastEnough) {
    const auto departing = [&](std::initializer_list<TrafficSample> samples) -> LiveAc& {
        LiveAc& ac = make(AircraftCategory::Large, samples);
        ac.motion.departing = true;
        return ac;
    };
    LiveAc& early = departing({sampleAt(50, 8.5, 0, 120, now()), sampleAt(50.01, 8.5, 0, 135, now() + 300),
                               sampleAt(50.02, 8.5, 200, 150, now() + 600, 1500)});
    nextPosMain(engine, early);
    EXPECT_EQ(early.phase, GroundPhase::taxi);
    LiveAc& slow = departing({sampleAt(50, 8.5, 0, 120, now()), sampleAt(50.01, 8.5, 100, 130, now() + 300, 200),
                              sampleAt(50.02, 8.5, 200, 150, now() + 600, 1500)});
    nextPosMain(engine, slow);
    EXPECT_EQ(slow.phase, GroundPhase::taxi);
    LiveAc& ready = departing({sampleAt(50, 8.5, 0, 135, now()), sampleAt(50.01, 8.5, 100, 145, now() + 300, 200),
                               sampleAt(50.02, 8.5, 200, 150, now() + 600, 1500)});
    nextPosMain(engine, ready);
    EXPECT_EQ(ready.phase, GroundPhase::take_off);
    EXPECT_EQ(ready.motion.rotationCountdown, 200);
    EXPECT_DOUBLE_EQ(ready.motion.pitchStep, (ready.flight.rotationPitch - ready.flight.staticPitch) / 200.0);
    EXPECT_DOUBLE_EQ(ready.motion.altitudeStep, ready.flight.maxVerticalStep);
    EXPECT_EQ(lastSent(ready, evThrottleSet), 16383U);
}

TEST_F(MotionTest, GearComesUpThreeHundredTicksAfterTheCountdownReachedZeroThenItFlies) {
    LiveAc& ac =
        make(AircraftCategory::Large, {sampleAt(50, 8.5, 0, 150, now()), sampleAt(50.01, 8.5, 100, 150, now() + 300)});
    ac.motion.altitudeStep = 0.5;
    startRotation(engine, ac);
    ac.motion.heightAboveGround = 900.0;
    int zeroAt = -1;
    int gearAt = -1;
    int flyingAt = -1;
    for (int i = 0; i < 1000 && flyingAt < 0; ++i) {
        integrateStep(engine, ac);
        if (ac.motion.rotationCountdown == 0) zeroAt = i;
        if (gearAt < 0 && !sent(ac, evGearSet).empty()) gearAt = i;
        if (ac.phase == GroundPhase::flying) flyingAt = i;
    }
    EXPECT_EQ(gearAt - zeroAt, 300);
    EXPECT_EQ(lastSent(ac, evGearSet), 0U);
    ASSERT_GT(flyingAt, gearAt);
    EXPECT_LE(ac.pitch, ac.flight.climbPitch);
    EXPECT_EQ(lastSent(ac, evThrottleSet), 11468U);  // step 3
    EXPECT_EQ(ac.motion.rotationCountdown, 1);
}

TEST_F(MotionTest, ARotorcraftGetsNoGearFlapsOrSpoilersAndFullThrottleOnTheRoll) {
    LiveAc& ac =
        make(AircraftCategory::Rotorcraft, {sampleAt(50, 8.5, 0, 5, now()), sampleAt(50.001, 8.5, 0, 10, now() + 300)});
    startTakeOff(engine, ac);
    nextPosMain(engine, ac);
    startRotation(engine, ac);
    for (int i = 0; i < 400; ++i) integrateStep(engine, ac);
    EXPECT_TRUE(sent(ac, evGearSet).empty());
    EXPECT_TRUE(sent(ac, evFlapsSet).empty());
    EXPECT_TRUE(sent(ac, evSpoilersSet).empty());
    ASSERT_FALSE(sent(ac, evThrottleSet).empty());
    EXPECT_EQ(lastSent(ac, evThrottleSet), 16383U);
}

TEST_F(MotionTest, ATouchAndGoSendsFullThrottleSpoilersAndFlaps) {
    LiveAc& ac =
        make(AircraftCategory::Large, {sampleAt(50, 8.5, 0, 130, now()), sampleAt(50.01, 8.5, 100, 150, now() + 300)});
    ac.motion.landed = true;
    ac.motion.departing = true;
    ac.motion.approaching = true;
    startRotation(engine, ac);
    EXPECT_FALSE(ac.motion.landed);
    EXPECT_FALSE(ac.motion.approaching);
    EXPECT_EQ(lastSent(ac, evThrottleSet), 16383U);
    EXPECT_EQ(lastSent(ac, evSpoilersSet), 16383U);
    EXPECT_EQ(lastSent(ac, evFlapsSet), 3072U);
}

// A runway facing north: headings of 359 and 1 degrees lie 2 degrees apart.
TEST_F(MotionTest, TheRollOutLeavesTheRunwayOnlyFifteenDegreesOffItsHeadingAcrossNorth) {
    const auto rolling = [&](double headingDeg) -> LiveAc& {
        LiveAc& ac =
            make(AircraftCategory::Large, {sampleAt(50, 8.5, 0, 80, now()), sampleAt(50.005, 8.5, 0, 60, now() + 300)});
        ac.motion.landed = true;
        ac.motion.touchdownHeading = 359.0 * kDeg;
        ac.heading = headingDeg * kDeg;
        return ac;
    };
    LiveAc& onRunway = rolling(1.0);
    nextPosMain(engine, onRunway);
    EXPECT_TRUE(onRunway.motion.landed);
    EXPECT_EQ(lastSent(onRunway, evFlapsSet), 3072U);  // flaps 1 on the roll-out

    for (const double off : {14.0, 344.0}) {
        LiveAc& turned = rolling(off);
        nextPosMain(engine, turned);
        EXPECT_FALSE(turned.motion.landed) << off;
        EXPECT_EQ(lastSent(turned, evFlapsSet), 0U) << off;
        EXPECT_EQ(lastSent(turned, evTaxiLightsSet), 1U) << off;
    }
    LiveAc& nearly = rolling(13.9);
    nextPosMain(engine, nearly);
    EXPECT_TRUE(nearly.motion.landed);
}

TEST_F(MotionTest, TheFlareBeginsAtThirtyFeetOverTheLowerHeightAndStepsDown) {
    LiveAc& ac =
        make(AircraftCategory::Large, {sampleAt(50, 8.5, 40, 130, now()), sampleAt(50.01, 8.5, 0, 130, now() + 600)});
    ac.motion.approaching = true;
    ac.altitude = 30.0;  // 30 ft over the park airport below
    ac.motion.heightAboveGround = 50.0;
    flareTick(engine, ac);
    EXPECT_EQ(ac.motion.flareStage, 0U);  // without a park airport the simulator's height decides
    parkAirport.set({.code = FixedCode4("EDDF"), .position = {50.01, 8.5}, .elevationFeet = 0.0f});
    ac.pitch = -2.0 * kDeg;
    flareTick(engine, ac);
    ASSERT_EQ(ac.motion.flareStage, 1U);
    EXPECT_DOUBLE_EQ(ac.motion.pitchStep, (-4.0 * kDeg + 2.0 * kDeg) / 400.0);
    EXPECT_DOUBLE_EQ(ac.motion.altitudeStep, -0.1);
    EXPECT_DOUBLE_EQ(ac.samples[0].verticalSpeed, -601.0);

    const struct {
        double height;
        std::uint32_t stage;
        double step;
    } stages[] = {{26.1, 1, -0.1}, {26.0, 2, -0.075}, {16.0, 3, -0.05}, {9.0, 4, -0.025}};
    for (const auto& s : stages) {
        ac.motion.heightAboveGround = s.height;
        flareTick(engine, ac);
        EXPECT_EQ(ac.motion.flareStage, s.stage) << s.height;
        EXPECT_DOUBLE_EQ(ac.motion.altitudeStep, s.step) << s.height;
    }
    EXPECT_EQ(lastSent(ac, evThrottleSet), 0U);  // idle from stage 3
}

TEST_F(MotionTest, DerotationLowersTheNoseToTheStaticPitchAndEndsTheFlare) {
    LiveAc& ac =
        make(AircraftCategory::Large, {sampleAt(50, 8.5, 0, 130, now()), sampleAt(50.01, 8.5, 0, 120, now() + 600)});
    ac.pitch = -4.0 * kDeg;
    ac.bank = 1.0 * kDeg;
    ac.motion.flareStage = 4;
    ac.motion.derotating = true;
    ac.motion.pitchStep = (ac.flight.staticPitch - ac.pitch) / 350.0;
    ac.motion.bankStep = -ac.bank / 350.0;
    int ticks = 0;
    while (ac.motion.derotating && ticks < 1000) {
        integrateStep(engine, ac);
        ++ticks;
        if (ac.motion.derotating) {
            ASSERT_LT(ac.pitch, ac.flight.staticPitch);
        }
    }
    EXPECT_NEAR(ticks, 350, 1);
    EXPECT_DOUBLE_EQ(ac.pitch, ac.flight.staticPitch);
    EXPECT_EQ(ac.bank, 0.0);
    EXPECT_EQ(ac.motion.flareStage, 0U);
}

// --- Position on the globe ---

TEST_F(MotionTest, APathAcrossTheDateLineGoesTheShortWay) {
    LiveAc& ac = make(AircraftCategory::Large,
                      {sampleAt(10, 179.99, 5000, 250, now()), sampleAt(10, -179.99, 5000, 250, now() + 100)});
    ac.motion.earlyLimit = ac.motion.lateLimit = 0;
    nextPosMain(engine, ac);
    EXPECT_NEAR(ac.motion.lonStep, 0.02 / 100.0, 1e-12);
    for (int i = 0; i < 100; ++i) {
        integrateStep(engine, ac);
        ASSERT_GE(ac.position.longitude, -180.0);
        ASSERT_LT(ac.position.longitude, 180.0);
    }
    EXPECT_NEAR(ac.position.longitude, -179.99, 1e-9);
}

TEST_F(MotionTest, APositionOverThePoleIsMirroredBeforeItsLongitudeIsNormalised) {
    LiveAc& ac = make(AircraftCategory::Large, {sampleAt(89.99995, 170, 35000, 450, now())});
    ac.motion.latStep = 0.0001;
    ac.motion.lonStep = 0.0;
    integrateStep(engine, ac);
    EXPECT_NEAR(ac.position.latitude, 89.99995, 1e-9);
    EXPECT_NEAR(ac.position.longitude, -10.0, 1e-9);
}

}  // namespace
}  // namespace qvl::test
