// The program wires every hook of the parts below it, each given as the
// part is built (a part refuses to be built without its hooks): the
// simulator link's, the repaints of the window's parts, the panel's sources
// and the automatic radius's inputs.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "airports/stand.h"
#include "core/fixed_code.h"
#include "core/messages.h"
#include "core/range_control.h"
#include "core/settings.h"
#include "core/support/settings_fixture.h"
#include "engine/base/user_stand_exchange.h"
#include "engine/parking/publish_first_park_airport.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/headless_window.h"
#include "run/program.h"
#include "simlink/sim_session.h"
#include "support/run_fakes.h"

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
    RecordingWindow window;
    ui::HeadlessWindow mainWindow;
    ProgramParts parts{simulator, window, mainWindow};
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
    parts.loadedPark.stats.setStandCount(12);
    EXPECT_EQ(window.repainted, std::vector<WindowRegion>{WindowRegion::parkingStats});
}

TEST_F(ProgramHooks, TheMessageLinesAndTheFeedRepaintTheirPartsOfTheWindow) {
    gf_showMessage("ready", MessageLogging::notLogged);
    parts.feed.repaint();
    EXPECT_EQ(window.repainted, (std::vector<WindowRegion>{WindowRegion::messageArea, WindowRegion::statusPanel}));
    resetMessages();
}

TEST_F(ProgramHooks, ThePanelTakesItsValuesFromThePartsThatOwnThem) {
    parts.link.status.setConnectionText("MSFS 2020 (11.0.1)");
    parts.windowState.takeSourceValues();
    EXPECT_EQ(parts.windowState.text(WindowText::simulator), "MSFS 2020 (11.0.1)");
}

// The automatic radius reads the user aircraft and the park-airport list's
// head only as they are published for other threads.
TEST_F(ProgramHooks, TheAutomaticRadiusIsChosenFromTheUserAircraftAndTheFirstParkAirport) {
    EXPECT_FALSE(parts.range.sampleInputs().has_value()) << "no user aircraft data yet";
    parts.user.storeBlock({.latitude = 48.11 + 12.0 / 60.0, .longitude = 16.57, .aboveGround = 2500.0});
    parts.user.setOnGround(false);
    std::optional<AutoRangeInputs> inputs = parts.range.sampleInputs();
    ASSERT_TRUE(inputs.has_value());
    EXPECT_FALSE(inputs->onGround);
    EXPECT_EQ(inputs->heightAboveGroundFeet, 2500.0);
    EXPECT_FALSE(inputs->parkAirportDistanceNm.has_value()) << "no park airport published";

    parts.engineState.parking.parkAirports.push_back({.position = {.latitude = 48.11, .longitude = 16.57}});
    EXPECT_FALSE(parts.range.sampleInputs()->parkAirportDistanceNm.has_value()) << "the list is the run thread's";
    publishFirstParkAirport(parts.engine);
    inputs = parts.range.sampleInputs();
    ASSERT_TRUE(inputs->parkAirportDistanceNm.has_value());
    EXPECT_NEAR(*inputs->parkAirportDistanceNm, 12.0, 0.01);
}

// The simulator link's wrong-simulator answer goes through the same switch
// as the window's simulator choice.
class ProgramSwitch : public SettingsFolder {
protected:
    sim::StandInSimulator simulator{sim::StandInConfig{}};
    RecordingWindow window;
    ui::HeadlessWindow mainWindow;
    ProgramParts parts{simulator, window, mainWindow};
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
