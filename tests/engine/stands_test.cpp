// Stand lookups and stand learning against the fake stand list.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "core/time_text.h"
#include "engine/parking/park_averages.h"
#include "engine/stands/stands.h"
#include "ground_fixture.h"

namespace qvl::test {
namespace {

constexpr GeoPosition kAt{.latitude = 50.0, .longitude = 8.5};
constexpr double kMetre = 1.0 / 1852.0;

TEST_F(GroundTest, AStandTooSmallButWithin20MetresIsTakenAndLearnsTheSize) {
    LiveAc& ac = make({groundSample(kAt.latitude, kAt.longitude, 0, now())});
    const double halfSpan = ac.flight.halfSpan;
    addStand(7, offset(kAt, 0.0, 15.0 * kMetre), 0.0, halfSpan - 5.0 * kMetre);
    std::atomic<int>& repaints = status.statusChanges;
    repaints = 0;
    const auto stand = gf_findStandNear(engine, kAt, ac, kStandSearchWideNm, false);
    ASSERT_TRUE(stand);
    EXPECT_EQ(stand->number, 7U);
    // Learned as half span - 1 m, and marked changed so the learned file keeps it.
    EXPECT_TRUE(stands.stand(7)->learnedSize && stands.stand(7)->radiusChange);
    EXPECT_NEAR(stands.stand(7)->radius, halfSpan - kMetre, 1e-5);
    EXPECT_EQ(stands.park.learnedUpdates, 1);
    EXPECT_EQ(repaints, 1);

    // Beyond 20 m a stand too small is not taken.
    stands.park.parkStands.clear();
    addStand(8, offset(kAt, 0.0, 25.0 * kMetre), 0.0, halfSpan - 5.0 * kMetre);
    EXPECT_FALSE(gf_findStandNear(engine, kAt, ac, kStandSearchWideNm, false));
}

TEST_F(GroundTest, HelipadsAndRotorcraftOnlyGoTogether) {
    LiveAc& plane = make({groundSample(kAt.latitude, kAt.longitude, 0, now())});
    LiveAc& helicopter = make({groundSample(kAt.latitude, kAt.longitude, 0, now())}, AircraftCategory::Rotorcraft);
    Stand& pad = addStand(1, offset(kAt, 0.0, 5.0 * kMetre), 0.0, 0.02);
    pad.heli = true;
    EXPECT_FALSE(gf_findStandNear(engine, kAt, plane, kStandSearchWideNm, false));
    EXPECT_TRUE(gf_findStandNear(engine, kAt, helicopter, kStandSearchWideNm, false));
    stands.stand(1)->heli = false;
    EXPECT_FALSE(gf_findStandNear(engine, kAt, helicopter, kStandSearchWideNm, false));
}

TEST_F(GroundTest, AWideSearchFallsBackToAStandThatKnowsTheFlight) {
    LiveAc& ac = make({groundSample(kAt.latitude, kAt.longitude, 0, now())});
    addStand(1, offset(kAt, 0.0, 70.0 * kMetre), 0.0, 0.02);
    EXPECT_FALSE(gf_findStandNear(engine, kAt, ac, kStandSearchWideNm, true));
    stands.flights(1).push_back({.callsign1 = "TST123", .ordinal = 1});
    EXPECT_FALSE(gf_findStandNear(engine, kAt, ac, kStandSearchWideNm, false));
    const auto stand = gf_findStandNear(engine, kAt, ac, kStandSearchWideNm, true);
    ASSERT_TRUE(stand);
    EXPECT_EQ(stand->number, 1U);
}

TEST(WeekTimeTest, HalfHoursCountBackOverTheWeek) {
    EXPECT_EQ(halfHoursSince({.day = 3, .slot = 17}, {.day = 3, .slot = 20}), 3);
    // Sunday 23:00 to Monday 00:30.
    EXPECT_EQ(halfHoursSince({.day = 7, .slot = 46}, {.day = 1, .slot = 1}), 3);
    EXPECT_EQ(halfHoursSince({.day = 1, .slot = 2}, {.day = 1, .slot = 1}), 335);
    EXPECT_TRUE(isValidWeekTime({.day = 7, .slot = 47}));
    EXPECT_FALSE(isValidWeekTime({.day = 0, .slot = 0}));
    EXPECT_FALSE(isValidWeekTime({.day = 1, .slot = 48}));
}

class StandLearningTest : public GroundTest {
protected:
    void SetUp() override {
        GroundTest::SetUp();
        addStand(1, kAt, 0.0, 0.02);
        flight.registration = "D-AINA";
        flight.callsign = "DLH4AB";
        flight.category = AircraftCategory::Large;
    }
    void at(std::uint32_t day, std::uint32_t slot) { weekTime = packDaySlot(day, slot); }
    FlightRec flight;
};

TEST_F(StandLearningTest, NothingIsLearnedWithoutAValidWeekTimeOrAKnownRegistration) {
    weekTime = 0;
    lf_addRealStandOption(engine, 1, flight, StandLearning::arrival);
    EXPECT_TRUE(stands.flights(1).empty());
    at(3, 20);
    flight.registration = "X-UNKNOWN";
    lf_addRealStandOption(engine, 1, flight, StandLearning::arrival);
    EXPECT_TRUE(stands.flights(1).empty());
}

TEST_F(StandLearningTest, ARecentStayIsExtendedAndALongAgoOneMakesANewOption) {
    at(3, 17);
    lf_addRealStandOption(engine, 1, flight, StandLearning::arrival);
    ASSERT_EQ(stands.flights(1).size(), 1U);
    EXPECT_NE(flight.key.modelId, 0U);  // the database's ids were taken

    at(3, 20);
    lf_addRealStandOption(engine, 1, flight, StandLearning::leaving);
    ASSERT_EQ(stands.flights(1).size(), 1U);
    const LearnedFlight& option = stands.flights(1)[0];
    for (std::size_t slot : {17U, 18U, 19U, 20U}) EXPECT_TRUE(option.hours.test(slot)) << slot;
    EXPECT_TRUE(option.seenWhileParked);
    EXPECT_EQ(option.callsign1, "DLH4AB");

    // Six half hours or more later (a Large passenger flight) a new option is made.
    at(3, 26);
    stands.flights(1)[0].seenWhileParked = false;
    lf_addRealStandOption(engine, 1, flight, StandLearning::arrival);
    EXPECT_EQ(stands.flights(1).size(), 2U);
}

TEST_F(StandLearningTest, ALearnedOptionGivesTheFlightItsCallsignParts) {
    stands.flights(1).push_back({.callsign1 = "DLH4AB", .callsign2 = "LH400", .ordinal = 1, .day = 3});
    stands.flights(1).back().hours.set(25);
    LiveAc& ac = make({groundSample(kAt.latitude, kAt.longitude, 0, now())});
    ac.flight.callsign = "DLH4AB_";
    gf_findLearnedStand(engine, {.day = 3, .slot = 20}, ac);
    EXPECT_EQ(ac.flight.callsignCopy, "DLH4AB");
    EXPECT_EQ(ac.flight.callsignText, "LH400");
}

TEST_F(StandLearningTest, AFlightOfLastNightCountsWhenTheWindowReachesBackOverMidnight) {
    stands.flights(1).push_back({.registration = "D-AINA", .ordinal = 1, .day = 3});
    stands.flights(1).back().hours.set(46);
    EXPECT_TRUE(lf_standHasFlightNow(engine, {.day = 4, .slot = 2}, 1, flight, 6));
    EXPECT_FALSE(lf_standHasFlightNow(engine, {.day = 4, .slot = 2}, 1, flight, 2));
    EXPECT_FALSE(lf_standHasFlightNow(engine, {.day = 4, .slot = 2}, 2, flight, 6));
}

TEST_F(GroundTest, TheStandNameAtTheCachedPositionIsNotSearchedAgain) {
    StandNameCache cache;
    addStand(3, offset(kAt, 90.0, 30.0 * kMetre), 0.0, 0.02);
    EXPECT_EQ(gf_standNameAtPosition(engine, cache, kAt, false), "");
    EXPECT_EQ(gf_standNameAtPosition(engine, cache, kAt, true), "A3");
    stands.park.parkStands.front().id = "B9";  // a search would see the new name
    EXPECT_EQ(gf_standNameAtPosition(engine, cache, kAt, true), "A3");
    EXPECT_EQ(gf_standNameAtPosition(engine, cache, offset(kAt, 0.0, 60.0 * kMetre), true), "");
}

TEST_F(GroundTest, TheStaticParkAverageCountsStaysAcrossSundayMidnight) {
    weekTime = packDaySlot(1, 1);  // Monday 00:30
    StaticAc parked;
    parked.status = SimStatus::active;
    parked.parkedSince = {.day = 7, .slot = 46};  // Sunday 23:00
    state.staticAircraft.push_back(parked);
    parked.status = SimStatus::buffer;
    state.staticAircraft.push_back(parked);
    const ParkAverage average = staticParkAverage(engine);
    EXPECT_EQ(average.count, 1);
    EXPECT_FLOAT_EQ(average.meanHours, 3.0f / 2.0f + 0.5f);
}

}  // namespace
}  // namespace qvl::test
