// The records' names and texts, the flight record built from a traffic
// record, and the per-category motion tables.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

#include "engine/base/live_ac.h"
#include "engine/base/motion_tables.h"
#include "platform/units.h"
#include "refdata/code_table.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class LiveAcTest : public ::testing::Test {
protected:
    void SetUp() override { loadReferenceData(); }
    static FixedCode3 code(const char* text) { return FixedCode3(text); }
    static TrafficRecord recordOf(const char* model) {
        TrafficRecord r;
        r.ids = packModelId(gf_modelId(model));
        r.callsign = "BAW12";
        r.registration = "G-EUPA";
        return r;
    }
};

TEST_F(LiveAcTest, AValueOutsideItsTableFailsInsteadOfReadingBeyondIt) {
    EXPECT_THROW(static_cast<void>(gf_simStatusName(static_cast<SimStatus>(5))), std::out_of_range);
    EXPECT_THROW(static_cast<void>(gf_groundPhaseName(static_cast<GroundPhase>(8))), std::out_of_range);
    EXPECT_THROW(static_cast<void>(maxBank(static_cast<AircraftCategory>(6))), std::out_of_range);
    EXPECT_THROW(static_cast<void>(categoryMotion(static_cast<AircraftCategory>(-1))), std::out_of_range);
}

TEST_F(LiveAcTest, TheLiveryKeyPacksAsTheTrafficRecordCarriesTheModel) {
    const LiveryKey key{.airlineId = 1, .secondAirlineId = 2, .modelId = 0x1234, .cargo = 1, .marker = 1};
    TrafficRecord r;
    r.ids = key.packed();
    EXPECT_EQ(r.modelId(), 0x1234);
    EXPECT_EQ(LiveryKey::fromPacked(r.ids), key);
}

TEST_F(LiveAcTest, FlightTextsHaveTheirFixedWidths) {
    FlightRec flight;
    flight.key = {.airlineId = gf_airlineId("BAW"),
                  .secondAirlineId = gf_airlineId("SHT"),
                  .modelId = gf_modelId("A320"),
                  .cargo = 1,
                  .marker = 1};
    flight.callsign = "BAW12";
    flight.registration = "G-EUPA";
    flight.origin = code("LHR");
    EXPECT_EQ(gf_codeText(flight.key), "BAW,SHT A320.(C)");
    EXPECT_EQ(gf_routeText(flight.origin, flight.destination), "LHR->   ");
    EXPECT_EQ(gf_routeText({}, {}), "        ");
    EXPECT_EQ(lf_flightText(flight), "BAW12    G-EUPA       LHR->   ");
    EXPECT_EQ(gf_flightLine(flight), "BAW,SHT A320.(C) BAW12    G-EUPA       LHR->   ");
    EXPECT_EQ(gf_flightLineShort(flight), "BAW12    G-EUPA BAW,SHT A320.(C)");
    EXPECT_EQ(gf_codeText(LiveryKey{}), std::string(16, ' '));
}

TEST_F(LiveAcTest, CallsignRules) {
    FlightRec flight;
    flight.callsign = "ABCDEFGH";
    EXPECT_TRUE(gf_isValidCallsign(flight));
    flight.callsign = "ABCDEFGHI";
    EXPECT_FALSE(gf_isValidCallsign(flight));
    flight.callsign = "@@@@@@@@";
    EXPECT_FALSE(gf_isValidCallsign(flight));
    EXPECT_EQ(gf_airlineFromCallsign("dlh4AB"), "DLH");
    EXPECT_FALSE(gf_airlineFromCallsign("DL12"));
    EXPECT_FALSE(gf_airlineFromCallsign("DLH"));
}

TEST_F(LiveAcTest, AHeavysPitchesAreSpreadByExactlyTheirPercentage) {
    for (int i = 0; i < 40; ++i) {
        const FlightRec flight = gf_buildFlightRec(recordOf("B744"));
        ASSERT_EQ(flight.category, AircraftCategory::Heavy);
        const double rotation = flight.rotationPitch / kDegToRad;
        const double climb = flight.climbPitch / kDegToRad;
        EXPECT_TRUE(std::fabs(rotation + 5.125) < 1e-9 || std::fabs(rotation + 4.875) < 1e-9) << rotation;
        EXPECT_TRUE(std::fabs(climb + 13.125) < 1e-9 || std::fabs(climb + 11.875) < 1e-9) << climb;
        EXPECT_EQ(flight.derotationTicks, 450);
        EXPECT_EQ(flight.rotationTicks, 250U);
        EXPECT_NEAR(flight.groundTurnStep, 0.05 * kDegToRad, 1e-15);
    }
}

TEST_F(LiveAcTest, TheFlightRecordCopiesTheIdentityAndLeavesTheCallersFields) {
    TrafficRecord r = recordOf("A320");
    r.text1 = "one";
    r.text2 = "two";
    r.origin = code("LHR");
    const FlightRec flight = gf_buildFlightRec(r);
    EXPECT_EQ(flight.callsign, "BAW12");
    EXPECT_EQ(flight.callsignCopy, "one");
    EXPECT_EQ(flight.callsignText, "two");
    EXPECT_EQ(flight.registration, "G-EUPA");
    EXPECT_EQ(flight.origin, code("LHR"));
    EXPECT_EQ(flight.category, AircraftCategory::Large);
    EXPECT_GT(flight.halfSpan, 0.0);
    EXPECT_EQ(flight.hexId, 0U);
    EXPECT_DOUBLE_EQ(flight.maxVerticalStep, 0.0);
}

TEST_F(LiveAcTest, AModelBeyondTheListHasNoCodeAndIsLight) {
    TrafficRecord r;
    r.ids = packModelId(60000);
    const FlightRec flight = gf_buildFlightRec(r);
    EXPECT_EQ(modelCodeOf(flight.key.modelId), "");
    EXPECT_EQ(flight.category, AircraftCategory::Light);
}

TEST_F(LiveAcTest, ANewLiveAircraftStartsInBufferAtBirthWithItsFirstSample) {
    TrafficSample first;
    first.latitude = 1.0;
    const LiveAc ac = makeLiveAc(first, FlightRec{}, 1234.5);
    EXPECT_EQ(ac.status, SimStatus::buffer);
    EXPECT_EQ(ac.phase, GroundPhase::birth);
    EXPECT_TRUE(std::isnan(ac.motion.curve.controlEast));
    EXPECT_TRUE(std::isnan(ac.motion.curve.controlNorth));
    EXPECT_DOUBLE_EQ(ac.lastSampleTime, 1234.5);
    ASSERT_EQ(ac.samples.size(), 1U);
    EXPECT_DOUBLE_EQ(ac.samples.front().latitude, 1.0);
}

TEST_F(LiveAcTest, APhaseChangeKeepsThePhaseLeftUnlessItIsTheSame) {
    LiveAc ac;
    ac.setPhase(GroundPhase::taxi);
    ac.setPhase(GroundPhase::taxi);
    EXPECT_EQ(ac.previousPhase, GroundPhase::birth);
    ac.setPhase(GroundPhase::take_off);
    EXPECT_EQ(ac.previousPhase, GroundPhase::taxi);
}

}  // namespace
}  // namespace qvl::test
