// The stand rules static parking answers for live aircraft: the cargo mark a
// cargo aircraft shows on its stand.
#include <gtest/gtest.h>

#include "engine/stands/stand_seams.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class CargoStandTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        stands.add(1, "C1").cargo = true;
        stands.park.stats.setRepaintHook([this] { ++repaints; });
    }
    LiveAc cargoAircraftOn(std::uint32_t standNumber) {
        LiveAc ac;
        ac.flight.key.cargo = 1;
        ac.standNumber = standNumber;
        return ac;
    }
    int repaints = 0;
};

TEST_F(CargoStandTest, ACargoAircraftOnACargoStandClearsTheMarkAndCountsOneUpdate) {
    showCargoStand(engine, cargoAircraftOn(1));
    const Stand& stand = *stands.stand(1);
    EXPECT_FALSE(stand.cargo);
    EXPECT_TRUE(stand.cargoChange);
    EXPECT_EQ(stands.park.learnedUpdates, 1);
    EXPECT_EQ(stands.park.stats.snapshot().updates, 1);
    EXPECT_EQ(repaints, 1);
    // The mark is gone: a second aircraft changes nothing more.
    showCargoStand(engine, cargoAircraftOn(1));
    EXPECT_EQ(stands.park.learnedUpdates, 1);
    EXPECT_EQ(repaints, 1);
}

TEST_F(CargoStandTest, PassengerAircraftAndAircraftWithTheStandFlagLeaveTheMark) {
    LiveAc passenger = cargoAircraftOn(1);
    passenger.flight.key.cargo = 0;
    showCargoStand(engine, passenger);
    LiveAc flagged = cargoAircraftOn(1);
    flagged.standFlag = 1;
    showCargoStand(engine, flagged);
    showCargoStand(engine, cargoAircraftOn(7));
    EXPECT_TRUE(stands.stand(1)->cargo);
    EXPECT_EQ(stands.park.learnedUpdates, 0);
    EXPECT_EQ(repaints, 0);
}

}  // namespace
}  // namespace qvl::test
