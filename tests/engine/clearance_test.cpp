// Clearance around the user aircraft, on the ground and in the air.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/geodesy.h"
#include "engine/conflicts/clearance.h"
#include "platform/units.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

constexpr GeoPosition kUser{50.0, 8.5};

class ClearanceTest : public EngineTest {
protected:
    // An active aircraft at a bearing (degrees) and distance (nm) from the user.
    LiveAc& activeAt(std::uint32_t hexId, double bearingDeg, double distanceNm, bool onGround) {
        LiveAc& ac = state.liveAircraft.emplace_back();
        ac.flight.hexId = hexId;
        ac.flight.callsign = "C" + std::to_string(hexId);
        ac.flight.halfSpan = 0.01;
        ac.status = SimStatus::active;
        ac.objectId = 300 + (hexId & 0xFFU);
        const GeoPosition p = gf_destinationPoint(kUser, bearingDeg * kDegToRad, distanceNm * kFeetPerNm);
        ac.position.latitude = p.latitude;
        ac.position.longitude = p.longitude;
        ac.onGround = onGround;
        return ac;
    }
    void userAt(double heightFt, bool onGround) {
        state.userSnapshot.latitude = kUser.latitude;
        state.userSnapshot.longitude = kUser.longitude;
        state.userSnapshot.altitude = heightFt;
        state.userSnapshot.aboveGround = heightFt;
        state.userSnapshot.heading = 0.0;
        state.userSnapshot.wingspan.halfSpan = 0.01;
        state.userSnapshot.onGround = onGround;
    }
};

TEST_F(ClearanceTest, OnTheGroundTwoAircraftTooCloseGoInTwoSuccessiveCalls) {
    userAt(0.0, true);
    LiveAc& a = activeAt(0x400001, 90.0, 0.02, true);
    LiveAc& b = activeAt(0x400002, 180.0, 0.015, true);
    LiveAc& clear = activeAt(0x400003, 0.0, 0.05, true);
    gf_removeAcNearUser(engine);
    EXPECT_EQ(a.status, SimStatus::removingfromsim);
    EXPECT_EQ(b.status, SimStatus::active);
    gf_removeAcNearUser(engine);
    EXPECT_EQ(b.status, SimStatus::removingfromsim);
    gf_removeAcNearUser(engine);
    EXPECT_EQ(clear.status, SimStatus::active);
}

TEST_F(ClearanceTest, OnTheGroundTheClearanceIsALittleMoreThanBothHalfSpans) {
    userAt(0.0, true);
    // Both half spans are 0.01 nm.
    LiveAc& kept = activeAt(0x400001, 90.0, 1.3 * 0.02, true);
    LiveAc& close = activeAt(0x400002, 270.0, 1.1 * 0.02, true);
    gf_removeAcNearUser(engine);
    EXPECT_EQ(close.status, SimStatus::removingfromsim);
    gf_removeAcNearUser(engine);
    EXPECT_EQ(kept.status, SimStatus::active);
}

TEST_F(ClearanceTest, AStaticAircraftNearTheUserGoesOnlyAfterTheUserMoved) {
    userAt(0.0, true);
    StaticAc& parked = state.staticAircraft.emplace_back();
    parked.flight.hexId = 12;
    parked.flight.halfSpan = 0.01;
    parked.status = SimStatus::active;
    parked.objectId = 400;
    parked.stand = {.position = {.latitude = kUser.latitude, .longitude = kUser.longitude + 0.0001}};
    state.lastStaticClearance = kUser;
    gf_removeAcNearUser(engine);
    EXPECT_EQ(parked.status, SimStatus::active);
    state.userSnapshot.longitude += 0.00005;
    gf_removeAcNearUser(engine);
    EXPECT_EQ(parked.status, SimStatus::removingfromsim);
}

TEST_F(ClearanceTest, AnAircraftOnTheExtendedLineGoesOnlyWhileTheUserIsLow) {
    // 0.8 nm ahead, 40 ft beside the line.
    const double aside = std::asin(40.0 / (0.8 * 6076.11549)) / kDegToRad;
    LiveAc& ahead = activeAt(0x400001, aside, 0.8, true);
    ahead.heading = std::numbers::pi;  // facing the user: no corridor behind it
    userAt(600.0, false);
    gf_removeAcOnUserLine(engine);
    EXPECT_EQ(ahead.status, SimStatus::active);
    userAt(300.0, false);
    gf_removeAcOnUserLine(engine);
    EXPECT_EQ(ahead.status, SimStatus::removingfromsim);
}

TEST_F(ClearanceTest, AnAircraftWhoseCorridorTheAirborneUserSitsInGoes) {
    userAt(3000.0, false);
    // 2 nm north at the user's height, flying north: the user is behind it.
    LiveAc& ahead = activeAt(0x400001, 0.0, 2.0, false);
    ahead.altitude = 3000.0;
    ahead.heading = 0.0;
    LiveAc& across = activeAt(0x400002, 90.0, 2.0, false);
    across.altitude = 3000.0;
    across.heading = std::numbers::pi;
    gf_removeAcOnUserLine(engine);
    EXPECT_EQ(ahead.status, SimStatus::removingfromsim);
    EXPECT_EQ(across.status, SimStatus::active);
}

}  // namespace
}  // namespace qvl::test
