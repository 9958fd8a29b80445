// The rules between aircraft that want one stand or one callsign.
#include <gtest/gtest.h>

#include <string>

#include "engine/conflicts/conflicts.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class ConflictsTest : public EngineTest {
protected:
    LiveAc& parkedOn(std::uint32_t hexId, const std::string& callsign, std::uint32_t standNumber) {
        LiveAc& ac = state.liveAircraft.emplace_back();
        ac.flight.hexId = hexId;
        ac.flight.callsign = callsign;
        ac.status = SimStatus::active;
        ac.objectId = 300 + (hexId & 0xFFU);
        ac.standNumber = standNumber;
        ac.phase = GroundPhase::parked;
        return ac;
    }
    void SetUp() override {
        EngineTest::SetUp();
        stands.add(7, "A7");
    }
};

TEST_F(ConflictsTest, TheSameCallsignOnTheStandGivesWayToTheNewcomer) {
    LiveAc& old = parkedOn(0x400001, "DLH1", 7);
    EXPECT_TRUE(lf_solveCallsignClash(engine, 7, "DLH1"));
    EXPECT_EQ(old.status, SimStatus::removingfromsim);
    EXPECT_TRUE(logHas("A7      : DLH1     ac with same callsign DLH1 wants it, remove existing ... "));
}

TEST_F(ConflictsTest, AGhostOnTheStandIsReplacedEitherWayRound) {
    LiveAc& ghost = parkedOn(0x400001, "ABC123_", 7);
    EXPECT_TRUE(lf_solveCallsignClash(engine, 7, "ABC123"));
    EXPECT_EQ(ghost.status, SimStatus::removingfromsim);
    LiveAc& real = parkedOn(0x400002, "XYZ9", 7);
    EXPECT_TRUE(lf_solveCallsignClash(engine, 7, "XYZ9_"));
    EXPECT_EQ(real.status, SimStatus::removingfromsim);
    EXPECT_EQ(logCount("ghost, replace by"), 2U);
}

TEST_F(ConflictsTest, AnotherFlightStillSeenOnTheStandKeepsIt) {
    LiveAc& seen = parkedOn(0x400001, "KLM5", 7);
    seen.seenAtStand = true;
    EXPECT_FALSE(lf_solveCallsignClash(engine, 7, "DLH1"));
    EXPECT_EQ(seen.status, SimStatus::active);
    seen.seenAtStand = false;
    EXPECT_TRUE(lf_solveCallsignClash(engine, 7, "DLH1"));
    EXPECT_EQ(seen.status, SimStatus::removingfromsim);
    EXPECT_TRUE(logHas("removed because another live DLH1 wants the stand"));
}

TEST_F(ConflictsTest, AnAircraftTaxiingAwayOrOnAnotherStandIsNoClash) {
    LiveAc& taxiing = parkedOn(0x400001, "DLH1", 7);
    taxiing.phase = GroundPhase::taxi;
    parkedOn(0x400002, "DLH1", 8);
    EXPECT_TRUE(lf_solveCallsignClash(engine, 7, "DLH1"));
    for (const LiveAc& ac : state.liveAircraft) EXPECT_EQ(ac.status, SimStatus::active);
}

TEST_F(ConflictsTest, AGhostIsRemovedOnceAndTheLiveBaseMakesItsProvisionalFormAGhost) {
    LiveAc& ghost = parkedOn(0x400001, "ABC123_", 0);
    ghost.phase = GroundPhase::flying;
    EXPECT_TRUE(lf_isGhostCallsign(engine, "DLH1_") == false);
    lf_removeGhost(engine, "ABC123");
    EXPECT_EQ(ghost.status, SimStatus::removingfromsim);
    EXPECT_TRUE(logHas("          ABC123_  is a ghost and will be removed, continue with ABC123"));
    // Being removed, it is no longer anyone's ghost nor base.
    lf_removeGhost(engine, "ABC123");
    EXPECT_EQ(state.ghostList.size(), 1U);
    parkedOn(0x400002, "ABC123", 0);
    EXPECT_TRUE(lf_isGhostCallsign(engine, "ABC123_"));
    EXPECT_FALSE(lf_isGhostCallsign(engine, "ABC124_"));
}

}  // namespace
}  // namespace qvl::test
