// A taxiing aircraft taking the stand its samples end on, and the stand the
// user aircraft stands on, which no live aircraft takes.
#include <gtest/gtest.h>

#include "engine/motion/motion_steps.h"
#include "engine/spawn.h"
#include "ground_fixture.h"

namespace qvl::test {
namespace {

constexpr GeoPosition kStand{.latitude = 50.0, .longitude = 8.5};

class StandParkingTest : public GroundTest {
protected:
    // Taxiing towards the stand; its last sample is on it.
    LiveAc& arriving() {
        const GeoPosition from = offset(kStand, 180.0, 0.05);
        LiveAc& ac = make({groundSample(from.latitude, from.longitude, 10.0, now()),
                           groundSample(kStand.latitude, kStand.longitude, 3.0, now() + 2000)});
        ac.flight.callsign = "DLH4AB";
        return ac;
    }
    LiveAc& parkedOn(const Stand& stand, const char* callsign) {
        LiveAc& ac = make({groundSample(stand.latitude, stand.longitude, 0.0, now())});
        ac.flight.callsign = callsign;
        parkOn(ac, stand);
        return ac;
    }
    static bool removed(const AcRecord& ac) { return ac.status == SimStatus::removingfromsim; }
};

TEST_F(StandParkingTest, TheArrivingAircraftTakesTheStandAndTheAircraftInItsWayGo) {
    addStand(5, kStand, 90.0, 0.02);
    // Stand 6 is 25 m away (within 1.1 x two half spans); stand 7 is 60 m away.
    addStand(6, offset(kStand, 90.0, 0.0135), 90.0, 0.02);
    addStand(7, offset(kStand, 270.0, 0.0324), 90.0, 0.02);
    stands.stand(5)->cargo = true;
    stands.stand(5)->neighbours = {6, 7};
    LiveAc& onStand = parkedOn(*stands.stand(5), "KLM1");
    LiveAc& onClose = parkedOn(*stands.stand(6), "KLM2");
    LiveAc& onFar = parkedOn(*stands.stand(7), "KLM3");
    StaticAc& staticOnStand = state.staticAircraft.emplace_back();
    staticOnStand.flight.callsign = "DLH4AB*";
    staticOnStand.status = SimStatus::active;
    staticOnStand.objectId = 555;
    staticOnStand.standNumber = 5;
    LiveAc& ac = arriving();

    try2Park(engine, ac, false);
    EXPECT_TRUE(removed(onStand));
    EXPECT_TRUE(removed(onClose));
    EXPECT_FALSE(removed(onFar));
    EXPECT_TRUE(removed(staticOnStand));
    EXPECT_TRUE(logHas("A5      : KLM1     removed, DLH4AB wants to park there"));
    EXPECT_TRUE(logHas("A6      : KLM2     removed by parking DLH4AB at adjacent and possibly colliding stand A5"));
    EXPECT_TRUE(logHas("A5      : DLH4AB*   makes way for the same live version DLH4AB"));

    EXPECT_EQ(ac.phase, GroundPhase::parking);
    EXPECT_EQ(ac.standNumber, 5U);
    EXPECT_EQ(ac.standFlag, 1U);
    EXPECT_NEAR(ac.stand.heading, 90.0 * kDegToRad, 1e-9);
    // The front sample, then the drive onto the stand.
    EXPECT_NEAR(ac.samples.back().latitude, kStand.latitude, 1e-9);
    EXPECT_NEAR(ac.samples.back().longitude, kStand.longitude, 1e-9);
    EXPECT_EQ(ac.samples.front().groundSpeed, ac.flight.standApproachSpeed);
}

TEST_F(StandParkingTest, TheStandUnderTheUserAircraftIsLeftFreeAndAPlaceIsTriedOnce) {
    addStand(5, kStand, 90.0, 0.02);
    user.latitude = kStand.latitude;
    user.longitude = kStand.longitude;
    user.onGround = false;  // the reply has arrived
    LiveAc& ac = arriving();
    try2Park(engine, ac, false);
    EXPECT_EQ(ac.phase, GroundPhase::taxi);
    EXPECT_EQ(ac.standNumber, 0U);

    // The user moves off; the same last sample is not tried again.
    user.latitude += 0.01;
    try2Park(engine, ac, false);
    EXPECT_EQ(ac.standNumber, 0U);
    ac.samples.back().latitude += 1e-6;
    try2Park(engine, ac, false);
    EXPECT_EQ(ac.standNumber, 5U);
}

TEST_F(StandParkingTest, NoAircraftIsBornOnTheStandUnderTheUserAircraft) {
    addStand(5, kStand, 90.0, 0.02);
    parkAirport.set({.code = FixedCode4("EDDF"), .position = kStand, .elevationFeet = 0.0F});
    parkAirport.setStandsLoaded(true);
    LiveAc& ac = make({groundSample(kStand.latitude, kStand.longitude, 0.0, now())});
    ac.samples.front().stationary = 1;
    user.latitude = kStand.latitude;
    user.longitude = kStand.longitude;
    user.onGround = false;  // the reply has arrived
    EXPECT_FALSE(lf_findBirthStand(engine, ac));
    user.latitude += 0.01;
    const auto stand = lf_findBirthStand(engine, ac);
    ASSERT_TRUE(stand);
    EXPECT_EQ(stand->number, 5U);
}

}  // namespace
}  // namespace qvl::test
