// Traffic intake: which records become samples, which become new aircraft,
// and which are dropped.
#include <gtest/gtest.h>

#include <string>

#include "core/settings.h"
#include "engine/sample_checks.h"
#include "engine/traffic_intake.h"
#include "refdata/code_table.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class TrafficIntakeTest : public EngineTest {
protected:
    TrafficRecord record(double time, double latitude, double groundSpeed, double track, double altitude = 8000.0) {
        TrafficRecord r;
        r.hexId = 0x3c6586;
        r.callsign = "DLH4AB";
        r.ids = packModelId(gf_modelId(model));
        r.time = time;
        r.sample.latitude = latitude;
        r.sample.longitude = 8.5;
        r.sample.altitude = altitude;
        r.sample.airborne = altitude > 0.0 ? 1 : 0;
        r.sample.groundSpeed = groundSpeed;
        r.sample.track = track;
        r.sample.dueTick = static_cast<std::uint32_t>(engine.now() + 3000);
        return r;
    }
    void accept(TrafficRecord r) { lf_acceptTrafficSample(engine, r); }
    std::size_t samples() {
        const LiveAc* ac = aircraft(0x3c6586);
        return ac == nullptr ? 0 : ac->samples.size();
    }
    std::string model = "A320";
};

TEST_F(TrafficIntakeTest, ARecordThatAddsNothingIsDroppedAndALaterOneTaken) {
    // The second record comes too soon after the first; the third, a little
    // later at the same place, is taken.
    struct Case {
        const char* why;
        double altitude, speed, firstTrack, track, latitude, tooSoon, inTime;
    };
    const Case cases[] = {
        {"one second after the previous", 8000.0, 250.0, 90.0, 100.0, 50.01, 1001.0, 1001.01},
        // 359.5 and 0.3 degrees are 0.8 apart: on a straight line at 400 kt
        // a record within 2.19 s (450 m) adds nothing.
        {"in the air, tracks across north", 8000.0, 400.0, 359.5, 0.3, 50.01, 1002.0, 1003.0},
        // 20 m at 10 kt take 3.9 s; the tracks are 1.5 degrees apart.
        {"on the ground, tracks across north", 0.0, 10.0, 359.5, 1.0, 50.001, 1003.0, 1004.0},
    };
    for (const Case& c : cases) {
        state.liveAircraft.clear();
        accept(record(1000.0, 50.0, c.speed, c.firstTrack, c.altitude));
        accept(record(c.tooSoon, c.latitude, c.speed, c.track, c.altitude));
        EXPECT_EQ(samples(), 1U) << c.why;
        accept(record(c.inTime, c.latitude, c.speed, c.track, c.altitude));
        EXPECT_EQ(samples(), 2U) << c.why;
        EXPECT_DOUBLE_EQ(aircraft(0x3c6586)->lastSampleTime, c.inTime) << c.why;
    }
}

TEST_F(TrafficIntakeTest, ASpeedJumpIsDroppedAndAnOrdinaryChangeIsTaken) {
    accept(record(1000.0, 50.0, 6.0, 90.0, 0.0));
    accept(record(1005.0, 50.01, 60.0, 150.0, 0.0));
    EXPECT_EQ(samples(), 1U);  // 6 to 60 kt: ten times
    accept(record(1010.0, 50.01, 59.0, 150.0, 0.0));
    EXPECT_EQ(samples(), 2U);
    LiveAc& ac = *aircraft(0x3c6586);
    ac.samples.back().groundSpeed = 5.0;
    accept(record(1020.0, 50.02, 80.0, 200.0, 0.0));
    EXPECT_EQ(samples(), 2U);  // from a stand-still to 80 kt
    accept(record(1030.0, 50.03, 79.0, 250.0, 0.0));
    EXPECT_EQ(samples(), 3U);
    ac.samples.back().groundSpeed = 80.0;
    accept(record(1040.0, 50.04, 5.0, 300.0, 0.0));
    EXPECT_EQ(samples(), 3U);  // from 80 kt to a stand-still
}

TEST_F(TrafficIntakeTest, NoAircraftIsBornJustAboveTheParkAirport) {
    parkAirport.set({.code = FixedCode4("EDDF"), .position = {50.03, 8.56}, .elevationFeet = 364.0F});
    accept(record(1000.0, 50.0, 140.0, 250.0, 414.0));
    EXPECT_EQ(aircraft(0x3c6586), nullptr);
    accept(record(1000.0, 50.0, 10.0, 250.0, 0.0));
    EXPECT_NE(aircraft(0x3c6586), nullptr);
}

TEST_F(TrafficIntakeTest, ALightAircraftIsNotTakenWhileLightAircraftAreOff) {
    model = "C172";
    LIGHT_AIRCRAFT.set(false);
    accept(record(1000.0, 50.0, 100.0, 90.0, 2000.0));
    EXPECT_EQ(aircraft(0x3c6586), nullptr);
    LIGHT_AIRCRAFT.set(true);
    accept(record(1000.0, 50.0, 100.0, 90.0, 2000.0));
    ASSERT_NE(aircraft(0x3c6586), nullptr);
    EXPECT_EQ(aircraft(0x3c6586)->flight.category, AircraftCategory::Light);
}

TEST_F(TrafficIntakeTest, AnUnknownModelIsNotTaken) {
    model = "ZZ9X";
    accept(record(1000.0, 50.0, 100.0, 90.0));
    EXPECT_TRUE(state.liveAircraft.empty());
}

TEST_F(TrafficIntakeTest, ANewAircraftIsBuiltFromTheRecordAndTheCategoryTables) {
    model = "B744";
    accept(record(1000.0, 50.0, 480.0, 90.0, 35000.0));
    const LiveAc* ac = aircraft(0x3c6586);
    ASSERT_NE(ac, nullptr);
    EXPECT_EQ(ac->status, SimStatus::buffer);
    EXPECT_EQ(ac->phase, GroundPhase::birth);
    EXPECT_EQ(ac->flight.category, AircraftCategory::Heavy);
    EXPECT_DOUBLE_EQ(ac->flight.maxVerticalStep, 0.5);
    EXPECT_DOUBLE_EQ(ac->flight.standApproachSpeed, 3.0);
    EXPECT_DOUBLE_EQ(ac->flight.turnStep, ac->flight.groundTurnStep);
    EXPECT_EQ(ac->flight.callsignCopy, "DLH4AB");
    EXPECT_EQ(ac->throttleStep, 5U);
    EXPECT_EQ(ac->flapsIndex, 4U);
}

TEST_F(TrafficIntakeTest, TheRegistrationDatabaseCompletesANewFlight) {
    TrafficRecord r = record(1000.0, 50.0, 250.0, 90.0);
    r.registration = "D-AINA";
    accept(r);
    const LiveAc* ac = aircraft(0x3c6586);
    ASSERT_NE(ac, nullptr);
    EXPECT_EQ(modelCodeOf(ac->flight.key.modelId), "A20N");
    EXPECT_EQ(airlineCodeOf(ac->flight.key.airlineId), "DLH");
    EXPECT_EQ(ac->flight.key.marker, 1);
}

TEST_F(TrafficIntakeTest, TheSameFlightUnderAnotherHexIdIsDropped) {
    accept(record(1000.0, 50.0, 250.0, 90.0));
    TrafficRecord twin = record(1000.0, 51.0, 250.0, 90.0);
    twin.hexId = 0x3c6587;
    accept(twin);
    EXPECT_EQ(state.liveAircraft.size(), 1U);
    twin.callsign = "DLH5CD";
    accept(twin);
    EXPECT_EQ(state.liveAircraft.size(), 2U);
}

TEST_F(TrafficIntakeTest, AnAircraftBeingRemovedTakesNoMoreSamples) {
    accept(record(1000.0, 50.0, 250.0, 90.0));
    aircraft(0x3c6586)->status = SimStatus::removingfromsim;
    accept(record(1010.0, 50.1, 250.0, 120.0));
    EXPECT_EQ(samples(), 1U);
}

TEST_F(TrafficIntakeTest, TheTwoHundredAndFirstQueuedSampleRemovesTheAircraft) {
    accept(record(1000.0, 50.0, 250.0, 90.0));
    LiveAc& ac = *aircraft(0x3c6586);
    makeActive(ac, 300);
    ac.setPhase(GroundPhase::flying);
    ac.samples.resize(200, ac.samples.front());
    accept(record(1010.0, 50.1, 250.0, 120.0));
    EXPECT_EQ(ac.samples.size(), 201U);
    EXPECT_EQ(ac.status, SimStatus::active);
    accept(record(1020.0, 50.2, 250.0, 150.0));
    EXPECT_EQ(ac.status, SimStatus::removingfromsim);
    EXPECT_EQ(state.removalQueue.back(), 300U);
}

TEST_F(TrafficIntakeTest, ASampleBeyondTheHoldingThresholdEndsTheHoldAndTheAircraft) {
    HOLDING_THRESHOLD_METERS.set(250);
    accept(record(1000.0, 50.0, 0.0, 90.0, 0.0));
    LiveAc& ac = *aircraft(0x3c6586);
    makeActive(ac, 300);
    ac.setPhase(GroundPhase::taxi);
    ac.holding = true;
    ac.holdStart = 5;
    accept(record(1010.0, 50.002, 10.0, 120.0, 0.0));  // 222 m
    EXPECT_EQ(ac.status, SimStatus::active);
    accept(record(1020.0, 50.003, 10.0, 120.0, 0.0));  // 334 m
    EXPECT_EQ(ac.status, SimStatus::removingfromsim);
    EXPECT_FALSE(ac.holding);
    EXPECT_EQ(ac.holdStart, 0);
}

TEST_F(TrafficIntakeTest, ASampleIsNeverDueBeforeTheOneQueuedBeforeIt) {
    accept(record(1000.0, 50.0, 250.0, 90.0));
    TrafficRecord early = record(1010.0, 50.1, 250.0, 130.0);
    early.sample.dueTick = aircraft(0x3c6586)->samples.back().dueTick - 40;
    accept(early);
    ASSERT_EQ(samples(), 2U);
    const auto& queued = aircraft(0x3c6586)->samples;
    EXPECT_EQ(queued[1].dueTick, queued[0].dueTick + 1);
}

TEST_F(TrafficIntakeTest, TwoAirborneSamplesJustAfterALandingDepartAgain) {
    accept(record(1000.0, 50.0, 120.0, 90.0, 0.0));
    LiveAc& ac = *aircraft(0x3c6586);
    makeActive(ac, 300);
    ac.setPhase(GroundPhase::flying);
    ac.onGround = true;
    ac.motion.landed = true;
    ac.motion.landedHere = true;
    ac.motion.approaching = true;
    accept(record(1010.0, 50.01, 130.0, 100.0, 200.0));
    EXPECT_FALSE(ac.motion.departing);  // the last queued sample was on the ground
    const GroundPhase before = ac.previousPhase;
    accept(record(1020.0, 50.02, 140.0, 110.0, 600.0));
    EXPECT_EQ(ac.phase, GroundPhase::taxi);
    EXPECT_EQ(ac.previousPhase, before);
    EXPECT_TRUE(ac.motion.departing);
    EXPECT_EQ(ac.throttleStep, 3U);
    EXPECT_EQ(ac.flapsIndex, 1U);
    EXPECT_FALSE(ac.motion.landedHere);
    EXPECT_FALSE(ac.motion.approaching);
    EXPECT_EQ(ac.motion.earlyLimit, 3000);
    EXPECT_EQ(ac.motion.lateLimit, 5000);
    EXPECT_EQ(state.liveAircraft.size(), 1U);
}

// A feed that starts over from an earlier point of the flight, as a replayed
// stream does: the aircraft would turn round and fly back to it.
TEST_F(TrafficIntakeTest, AnAirborneSampleBehindTheEndOfTheQueueIsNotTaken) {
    const auto at = [&](double time, double latitude, double longitude, double track, double altitude = 8000.0) {
        TrafficRecord r = record(time, latitude, altitude > 0.0 ? 400.0 : 40.0, track, altitude);
        r.sample.longitude = longitude;
        accept(r);
    };
    // North at 400 kt, a record every 10 s.
    for (int i = 0; i < 3; ++i) at(1000.0 + 10.0 * i, 50.0 + 0.02 * i, 8.5, 0.0);
    ASSERT_EQ(samples(), 3U);
    at(1030.0, 50.01, 8.5, 0.0);
    EXPECT_EQ(samples(), 3U);
    // A turn of 90 degrees is taken; the way is east now.
    at(1040.0, 50.04, 8.53, 90.0);
    EXPECT_EQ(samples(), 4U);
    // Flying already: back west is behind.
    LiveAc& ac = *aircraft(0x3c6586);
    makeActive(ac, 300);
    ac.setPhase(GroundPhase::flying);
    at(1060.0, 50.04, 8.50, 90.0);
    EXPECT_EQ(samples(), 4U);
    at(1070.0, 50.04, 8.56, 90.0);
    EXPECT_EQ(samples(), 5U);

    // On the ground an aircraft may turn round: back along the runway.
    state.liveAircraft.clear();
    for (int i = 0; i < 3; ++i) at(2000.0 + 10.0 * i, 50.0 + 0.002 * i, 8.5, 0.0, 0.0);
    at(2030.0, 50.001, 8.5, 180.0, 0.0);
    EXPECT_EQ(samples(), 4U);
}

TEST_F(TrafficIntakeTest, TheBirthCheckRefusesAStillSampleInTheAirAndStillsANearlyStillOne) {
    accept(record(1000.0, 50.0, 250.0, 90.0));
    const LiveAc& ac = *aircraft(0x3c6586);
    TrafficSample still = ac.samples.back();
    EXPECT_FALSE(lf_checkBirthSample(ac, still));
    EXPECT_EQ(still.stationary, 1);

    TrafficSample onGround = ac.samples.back();
    onGround.airborne = 0;
    onGround.altitude = 0.0;
    onGround.latitude += 0.0001;
    onGround.groundSpeed = 3.0;
    onGround.dueTick += 400;
    EXPECT_TRUE(lf_checkBirthSample(ac, onGround));
    EXPECT_EQ(onGround.stationary, 1);
    EXPECT_DOUBLE_EQ(onGround.groundSpeed, 0.0);
    EXPECT_DOUBLE_EQ(onGround.latitude, ac.samples.back().latitude);
    EXPECT_EQ(onGround.dueTick, ac.samples.back().dueTick + 400);
}

}  // namespace
}  // namespace qvl::test
