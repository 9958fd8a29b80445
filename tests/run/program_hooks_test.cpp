// The program wires every hook of the parts below it: the simulator link's
// (which refuses an incomplete bundle, so building the parts is the check),
// and the parking statistics' repaint.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "airports/stand.h"
#include "core/fixed_code.h"
#include "core/settings.h"
#include "core/support/settings_fixture.h"
#include "engine/parking/user_stand_exchange.h"
#include "platform/sim/stand_in.h"
#include "run/program.h"
#include "simlink/sim_session.h"

namespace qvl::test {
namespace {

constexpr GeoPosition kOnA12{.latitude = 52.3, .longitude = 4.76};

std::vector<Stand> standA12() {
    std::vector<Stand> stands(1);
    stands[0].id = "A12";
    stands[0].latitude = kOnA12.latitude;
    stands[0].longitude = kOnA12.longitude;
    return stands;
}

class ProgramHooks : public ::testing::Test {
protected:
    sim::StandInSimulator simulator{sim::StandInConfig{}};
    ProgramParts parts{simulator};
};

TEST_F(ProgramHooks, TheLinkNamesTheUsersStandFromTheEnginesPublicationOnceTheGroundStateIsKnown) {
    const auto hooks = parts.link.hooks.current();
    parts.engineState.userStandExchange.publish(FixedCode4("EHAM"), standA12());
    EXPECT_EQ(hooks->standNameAtPosition(kOnA12), "") << "the user's ground state has not arrived";
    parts.user.setOnGround(true);
    EXPECT_EQ(hooks->standNameAtPosition(kOnA12), "A12");
    parts.engineState.userStandExchange.clearStands();
    EXPECT_EQ(hooks->standNameAtPosition(kOnA12), "");
}

TEST_F(ProgramHooks, TheUsersStandAfterANewFlightIsHandedToTheEngine) {
    parts.engineState.userStandExchange.publish(FixedCode4("EHAM"), standA12());
    parts.link.hooks.current()->reserveUserStand("A12");
    const auto handOver = parts.engineState.userStandExchange.takeHandOver();
    ASSERT_TRUE(handOver.has_value());
    EXPECT_EQ(handOver->airport, FixedCode4("EHAM"));
    EXPECT_EQ(handOver->stand, "A12");
}

TEST_F(ProgramHooks, ChangedParkingStatisticsRepaintTheirPartOfTheWindow) {
    std::vector<WindowRegion> repainted;
    parts.windowState.setRepaintHook([&repainted](WindowRegion region) { repainted.push_back(region); });
    parts.loadedPark.stats.setStandCount(12);
    EXPECT_EQ(repainted, std::vector<WindowRegion>{WindowRegion::parkingStats});
}

// The simulator link's wrong-simulator answer goes through the same switch
// as the window's simulator choice.
class ProgramSwitch : public SettingsFolder {
protected:
    sim::StandInSimulator simulator{sim::StandInConfig{}};
    ProgramParts parts{simulator};
};

TEST_F(ProgramSwitch, AWrongSimulatorSwitchesAsTheWindowsChoiceDoes) {
    parts.link.simVersion.store(SimVersion::msfs2020);
    SCAN_LIVERIES.set(false);
    gf_simNoLongerConnected(parts.link, parts.run, SimDisconnect::wrongSimulator);
    EXPECT_EQ(SIM_CHOICE.value(), "MSFS 2024");
    EXPECT_NE(file().find(R"(name="SIM_CHOICE" value="MSFS 2024")"), std::string::npos);
    EXPECT_EQ(parts.link.simVersion.load(), SimVersion::msfs2024);
    EXPECT_TRUE(SCAN_LIVERIES.value());
    EXPECT_TRUE(parts.liveryTables.clearRequested.load());
    EXPECT_TRUE(logged("Switching MSFS version in Quorvelant"));
    EXPECT_EQ(parts.run.restartReason.load(), RestartReason::newSettings);
    EXPECT_EQ(parts.run.restartDelay.load(), 3);
}

}  // namespace
}  // namespace qvl::test
