// Static parked aircraft against live ones, and the parked live aircraft
// listed by their time on the stand.
#include "engine/conflicts/static_conflicts.h"
#include "engine/parking/park_averages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <string>

#include "core/settings.h"
#include "engine/conflicts/conflicts.h"
#include "ground_fixture.h"

namespace qvl::test {
namespace {

using std::chrono::minutes;

constexpr GeoPosition kApron{.latitude = 50.0, .longitude = 8.5};

class StaticConflictsTest : public GroundTest {
protected:
    void SetUp() override {
        GroundTest::SetUp();
        INITIAL_LOAD_ONLY.set(false);
        steady += minutes(600);
    }
    StaticAc& staticOn(std::uint32_t standNumber, const std::string& callsign, GeoPosition at = kApron) {
        StaticAc& ac = state.staticAircraft.emplace_back();
        ac.flight.hexId = 1 + static_cast<std::uint32_t>(state.staticAircraft.size());
        ac.flight.callsign = callsign + "*";
        ac.flight.callsignCopy = callsign;
        ac.flight.registration = "D-S" + callsign;
        ac.flight.halfSpan = 0.0096;
        ac.objectId = 500 + ac.flight.hexId;
        ac.status = SimStatus::active;
        ac.standNumber = standNumber;
        ac.stand = {.position = {.latitude = at.latitude, .longitude = at.longitude}, .heading = 0.0};
        if (stands.stand(standNumber) == nullptr) stands.add(standNumber, "S" + std::to_string(standNumber));
        return ac;
    }
    // Parked on stand n, arrived `ago` before now.
    LiveAc& parkedLive(std::uint32_t standNumber, minutes ago, AircraftCategory category = AircraftCategory::Large) {
        LiveAc& ac = make({groundSample(kApron.latitude, kApron.longitude, 0.0, now())}, category);
        ac.flight.callsign = "LIV" + std::to_string(standNumber);
        ac.flight.registration = "D-L" + std::to_string(standNumber);
        ac.phase = GroundPhase::parked;
        ac.standNumber = standNumber;
        ac.parkedAt = steady - ago;
        if (stands.stand(standNumber) == nullptr) stands.add(standNumber, "S" + std::to_string(standNumber));
        return ac;
    }
    static bool removed(const AcRecord& ac) { return ac.status == SimStatus::removingfromsim; }
};

TEST_F(StaticConflictsTest, StaticTwinsAndDuplicatesOfLiveFlightsGoOneACall) {
    StaticAc& other = staticOn(1, "KLM9");
    StaticAc& byRegistration = staticOn(2, "XYZ1");
    StaticAc& byCallsignPart = staticOn(3, "DLH4AB");
    LiveAc& ac = make({groundSample(50.1, 8.5, 0.0, now())});
    ac.flight.callsign = "DLH4AB_";
    ac.flight.registration = "D-SXYZ1";
    gf_removeStaticTwins(engine, ac);
    EXPECT_TRUE(removed(byRegistration));
    EXPECT_FALSE(removed(byCallsignPart)) << "one twin per call";
    ac.flight.registration.clear();
    gf_removeStaticTwins(engine, ac);
    EXPECT_TRUE(removed(byCallsignPart)) << "the base of a provisional callsign";

    // Duplicates: the static callsign is the live one followed by "*", on the ground only.
    StaticAc& duplicate = staticOn(4, "LIV7");
    LiveAc& flying = parkedLive(7, minutes(1));
    flying.onGround = false;
    gf_removeStaticDuplicates(engine);
    EXPECT_FALSE(removed(duplicate));
    flying.onGround = true;
    gf_removeStaticDuplicates(engine);
    EXPECT_TRUE(removed(duplicate));
    EXPECT_FALSE(removed(other));
}

TEST_F(StaticConflictsTest, ATaxiingAircraftClearsTheStaticAircraftInItsPathOnce) {
    const GeoPosition near = offset(kApron, 90.0, 0.015);  // 28 m, within 1.1 x two half spans
    StaticAc& inPath = staticOn(1, "KLM9", near);
    StaticAc& farAway = staticOn(2, "KLM8", offset(kApron, 90.0, 0.05));
    StaticAc& itsOwn = staticOn(3, "TST123", kApron);
    LiveAc& ac = make({groundSample(kApron.latitude, kApron.longitude, 15.0, now())});
    ac.motion.landed = true;
    gf_clearStaticInTaxiPaths(engine);
    EXPECT_FALSE(removed(inPath)) << "just landed";
    ac.motion.landed = false;
    gf_clearStaticInTaxiPaths(engine);
    EXPECT_TRUE(removed(inPath));
    EXPECT_FALSE(removed(farAway));
    EXPECT_FALSE(removed(itsOwn)) << "its own static version is a twin, not an obstacle";
    EXPECT_TRUE(logHas("S1      : KLM9*    in the path of taxiing TST123"));

    // Not moved since: nothing is looked at again.
    StaticAc& later = staticOn(4, "KLM7", near);
    gf_clearStaticInTaxiPaths(engine);
    EXPECT_FALSE(removed(later));
    ac.position.latitude += 0.00001;
    gf_clearStaticInTaxiPaths(engine);
    EXPECT_TRUE(removed(later));
}

TEST_F(StaticConflictsTest, TheReservedStandLosesItsStaticAircraftFirstThenItsParkedLiveOne) {
    addStand(4, kApron, 0.0, 0.02);
    StaticAc& onStand = staticOn(4, "KLM9");
    LiveAc& live = parkedLive(4, minutes(5));
    gf_clearReservedStand(engine, "NOPE");
    EXPECT_FALSE(removed(onStand));
    gf_clearReservedStand(engine, "A4");
    EXPECT_TRUE(removed(onStand));
    EXPECT_FALSE(removed(live));
    gf_clearReservedStand(engine, "A4");
    EXPECT_TRUE(removed(live));
}

TEST_F(StaticConflictsTest, FlushingRemovesActiveStaticsAndWithdrawsQueuedOnes) {
    StaticAc& active = staticOn(1, "KLM1");
    StaticAc& underWay = staticOn(2, "KLM2");
    underWay.status = SimStatus::adding2sim;
    staticOn(3, "KLM3").status = SimStatus::adding2sim;
    state.staticCreationQueue.push_back({.position = {}, .callsign = "KLM3*", .liveryTitle = "t", .hexId = 4});
    gf_flushStaticAc(engine);
    EXPECT_TRUE(state.staticCreationQueue.empty());
    ASSERT_EQ(state.staticAircraft.size(), 2U) << "the withdrawn record is erased";
    EXPECT_TRUE(removed(active));
    EXPECT_TRUE(state.staticAircraft[1].removeWhenCreated);
    EXPECT_EQ(state.removalQueue.size(), 1U);
}

TEST_F(StaticConflictsTest, TheLiveParkAverageCountsHalfHoursBackAcrossSundayNight) {
    weekTime = packDaySlot(1, 1);  // Monday 00:30
    parkedLive(1, minutes(0)).parkedSince = {.day = 7, .slot = 47};
    parkedLive(2, minutes(0)).parkedSince = {.day = 1, .slot = 1};
    make({groundSample(50.1, 8.5, 10.0, now())});  // taxiing
    const ParkAverage average = liveParkAverage(engine);
    EXPECT_EQ(average.count, 2);
    // (2 + 0) half hours / (2 x 2) + 0.5
    EXPECT_FLOAT_EQ(average.meanHours, 1.0f);
}

TEST_F(StaticConflictsTest, ParkedLiveAircraftAreListedLongestFirstAndUnseenOnesTimeOut) {
    parkedLive(1, minutes(30));
    LiveAc& seen = parkedLive(2, minutes(500));
    seen.seenAtStand = true;
    LiveAc& stale = parkedLive(3, minutes(91));
    LiveAc& heavy = parkedLive(4, minutes(170), AircraftCategory::Heavy);
    const std::vector<ParkedLive> list = lf_listParkedLive(engine);
    ASSERT_EQ(list.size(), 3U);
    EXPECT_EQ(list[0].standNumber, 4U);
    EXPECT_EQ(list[0].minutes, 170);
    EXPECT_EQ(list[1].standNumber, 1U);
    EXPECT_EQ(list[2].minutes, 0) << "its samples still show it at the stand";
    EXPECT_TRUE(removed(stale));
    EXPECT_FALSE(removed(heavy)) << "Heavy aircraft wait 180 minutes";

    INITIAL_LOAD_ONLY.set(true);
    heavy.parkedAt = steady - minutes(200);
    EXPECT_EQ(lf_listParkedLive(engine).size(), 3U);
    EXPECT_FALSE(removed(heavy));
}

TEST_F(StaticConflictsTest, TheParkLimitAndStaticParkingRemoveTheAircraftParkedLongest) {
    LiveAc* longest = nullptr;
    for (std::uint32_t n = 1; n <= 5; ++n) {
        LiveAc& ac = parkedLive(n, minutes(10 * (n == 3 ? 9 : n)));
        if (n == 3) longest = &ac;
    }
    const auto order = lf_listParkedSeconds(engine);
    ASSERT_EQ(order.size(), 5U);
    EXPECT_EQ(order.front().hexId, longest->flight.hexId);
    EXPECT_EQ(order.front().seconds, 5400);

    checkParkLimit(engine, 0, 5);
    EXPECT_FALSE(removed(*longest)) << "five of five";
    checkParkLimit(engine, 1, 5);
    EXPECT_TRUE(removed(*longest)) << "a sixth born on a stand";
    EXPECT_TRUE(logHas("S3      : LIV3 live max park exceeded, removed"));

    weekTime = packDaySlot(1, 2);
    StaticAc& earlier = staticOn(8, "KLM8");
    earlier.parkedSince = {.day = 7, .slot = 40};
    StaticAc& later = staticOn(9, "KLM9");
    later.parkedSince = {.day = 1, .slot = 0};
    checkParkLimit(engine, 0, 5);
    EXPECT_TRUE(removed(earlier)) << "Sunday evening is earlier than Monday night";
    EXPECT_FALSE(removed(later));

    // Static parking takes the two parked longest of the four left (50, 40, 20, 10 minutes).
    lf_removeParkedLive(engine, 2);
    EXPECT_TRUE(removed(*aircraft(order[1].hexId)));
    EXPECT_TRUE(removed(*aircraft(order[2].hexId)));
    EXPECT_FALSE(removed(*aircraft(order[3].hexId)));
    EXPECT_TRUE(logHas(" at S5 removed"));
}

}  // namespace
}  // namespace qvl::test
