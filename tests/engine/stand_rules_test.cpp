// The stand rules for live aircraft: the cargo mark a cargo aircraft shows on
// its stand, and how many may stand parked.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include <fmt/format.h>

#include "core/settings.h"
#include "engine/conflicts/park_limit.h"
#include "engine/parking/parking_cycle.h"
#include "engine/stands/stands.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class CargoStandTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        stands.add(1, "C1").cargo = true;
    }
    LiveAc cargoAircraftOn(std::uint32_t standNumber) {
        LiveAc ac;
        ac.flight.key.cargo = 1;
        ac.standNumber = standNumber;
        return ac;
    }
    const std::atomic<int>& repaints = stands.status.parkingStatsChanges;
};

TEST_F(CargoStandTest, ACargoAircraftOnACargoStandClearsTheMarkAndCountsOneUpdate) {
    updateCargoStandDisplay(engine, cargoAircraftOn(1));
    const Stand& stand = *stands.stand(1);
    EXPECT_FALSE(stand.cargo);
    EXPECT_TRUE(stand.cargoChange);
    EXPECT_EQ(stands.park.learnedUpdates, 1);
    EXPECT_EQ(stands.park.stats.snapshot().updates, 1);
    EXPECT_EQ(repaints, 1);
    // The mark is gone: a second aircraft changes nothing more.
    updateCargoStandDisplay(engine, cargoAircraftOn(1));
    EXPECT_EQ(stands.park.learnedUpdates, 1);
    EXPECT_EQ(repaints, 1);
}

TEST_F(CargoStandTest, PassengerAircraftAndAircraftWithTheStandFlagLeaveTheMark) {
    LiveAc passenger = cargoAircraftOn(1);
    passenger.flight.key.cargo = 0;
    updateCargoStandDisplay(engine, passenger);
    LiveAc flagged = cargoAircraftOn(1);
    flagged.standFlag = 1;
    updateCargoStandDisplay(engine, flagged);
    updateCargoStandDisplay(engine, cargoAircraftOn(7));
    EXPECT_TRUE(stands.stand(1)->cargo);
    EXPECT_EQ(stands.park.learnedUpdates, 0);
    EXPECT_EQ(repaints, 0);
}

class ParkLimitTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        for (std::uint32_t n = 1; n <= 4; ++n) stands.add(n, fmt::format("P{}", n));
        setForTest(MAX_PARK_SEL, 500);
        setForTest(CUSTOM_PARKING_PERCENTAGE, -1);
        setForTest(parking_percentage, 40);
    }
    void parkLive(std::uint32_t standNumber, int minutesAgo) {
        LiveAc& ac = state.liveAircraft.emplace_back();
        ac.flight.callsign = fmt::format("DLH{}", standNumber);
        ac.flight.hexId = 0x400000 + standNumber;
        ac.standNumber = standNumber;
        ac.status = SimStatus::active;
        ac.phase = GroundPhase::parked;
        ac.parkedAt = steady - std::chrono::minutes(minutesAgo);
    }
};

TEST_F(ParkLimitTest, TheParkLimitIsTheNumberOfStaticAircraftWanted) {
    steady += std::chrono::hours(1);
    // 4 stands at 40 %: 2 wanted, so a third parked aircraft is one too many.
    EXPECT_EQ(lf_wantedStaticCount(engine), 2);
    parkLive(1, 10);
    parkLive(2, 30);
    parkLive(3, 20);
    lf_checkMaxPark(engine, 0);
    EXPECT_TRUE(logHas("P2      : DLH2 live max park exceeded, removed")) << log();
    EXPECT_EQ(logCount("max park exceeded"), 1U);
}

TEST_F(ParkLimitTest, NoStaticAircraftWantedSetsNoLimit) {
    setForTest(MAX_PARK_SEL, 0);
    EXPECT_EQ(lf_wantedStaticCount(engine), 0);
    parkLive(1, 10);
    parkLive(2, 30);
    parkLive(3, 20);
    lf_checkMaxPark(engine, 0);
    EXPECT_FALSE(logHas("max park exceeded"));
}

}  // namespace
}  // namespace qvl::test
