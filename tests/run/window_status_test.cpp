// The window's side of the status: what the lower folders report reaches the
// window's counters, the parking flags and the controls.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/settings.h"
#include "core/status.h"
#include "core/support/bound_controls.h"
#include "core/support/settings_fixture.h"
#include "run/window/command_flags.h"
#include "run/window/main_window_state.h"
#include "run/window/window_status.h"

namespace qvl {
namespace {

class WindowStatusTest : public test::SettingsFolder {
protected:
    test::BoundControls bound;
    CommandFlags flags;
    std::vector<WindowRegion> repainted;
    MainWindowState window{{.takeSourceValues = [](MainWindowState& /*state*/) {}}};
    ParkingUpdate update;
    WindowStatus status{window, flags, update, bound.controls(),
                        [this](WindowRegion region) { repainted.push_back(region); }};
};

TEST_F(WindowStatusTest, CountsReachTheCountersThePanelPaints) {
    status.showCount(StatusCount::simaddonAirports, 3);
    status.showCount(StatusCount::thirdpartyAirports, 1);
    status.showCount(StatusCount::scannedLiveries, 812);
    status.showCount(StatusCount::waitingStatic, 7);
    EXPECT_EQ(window.simaddonAirports.load(), 3U);
    EXPECT_EQ(window.thirdpartyAirports.load(), 1U);
    EXPECT_EQ(window.scannedLiveries.load(), 812U);
    EXPECT_EQ(window.candidateCount.load(), 7U);
}

TEST_F(WindowStatusTest, PackedAirportsAndTheTrafficWeekRepaintWhereTheyAreShown) {
    repainted.clear();
    status.showCount(StatusCount::unrecognisedAirports, 4);
    status.showCount(StatusCount::parkTrafficWeek, 32);
    EXPECT_EQ(window.unrecognisedAirports.load(), 4U);
    EXPECT_EQ(window.parkTrafficWeek.load(), 32U);
    EXPECT_EQ(repainted, (std::vector<WindowRegion>{WindowRegion::controlsArea, WindowRegion::parkingStats}));
}

// The window shows the engine's parking update; whether one runs stays the
// engine's to say, whatever the window is told.
TEST_F(WindowStatusTest, TheWindowShowsTheParkingUpdateAndLeavesItsStateToTheEngine) {
    status.parkingUpdateStarts();
    EXPECT_FALSE(update.running.load());
    update.running = true;
    status.parkingUpdateEnds();
    EXPECT_TRUE(update.running.load());
    EXPECT_FALSE(update.pending.load());
}

TEST_F(WindowStatusTest, BlockStaysOffWhileUnblockIsUsable) {
    const auto choice = bound.bind(CALLSIGN_2_OBJECTID, ui::ControlKind::ComboBox);
    const auto block = bound.button(BLOCK_BUTTON);
    const auto unblock = bound.button(UNBLOCK_BUTTON);
    bound.controls().setEnabled(unblock, false);
    status.callsignChoicesChanged(true);
    EXPECT_TRUE(bound.controls().isEnabled(choice));
    EXPECT_TRUE(bound.controls().isEnabled(block));

    bound.controls().setEnabled(unblock, true);
    status.callsignChoicesChanged(true);
    EXPECT_FALSE(bound.controls().isEnabled(block)) << "one callsign is blocked at a time";

    status.callsignChoicesChanged(false);
    EXPECT_FALSE(bound.controls().isEnabled(choice));
    EXPECT_FALSE(bound.controls().isEnabled(block));
}

TEST_F(WindowStatusTest, TheCallsignChoicesReachTheirDropDown) {
    const auto choice = bound.bind(CALLSIGN_2_OBJECTID, ui::ControlKind::ComboBox);
    CALLSIGN_2_OBJECTID.setValues({"AUA789", "DLH4"});
    CALLSIGN_2_OBJECTID.set("DLH4");
    status.callsignChoicesChanged(true);
    EXPECT_EQ(bound.controls().items(choice), (std::vector<std::string>{"AUA789", "DLH4"}));
    EXPECT_EQ(bound.controls().currentSelection(choice), 1);
}

// parameters.xml is read without a control touched; the status then shows
// every setting in its control.
TEST_F(WindowStatusTest, SettingsReadAnewAreShownInTheirControls) {
    const auto onTop = bound.checkBox(ALWAYS_ON_TOP);
    const auto callsign = bound.bind(BLOCK_CALLSIGN, ui::ControlKind::Edit);
    ALWAYS_ON_TOP.set(true);
    BLOCK_CALLSIGN.set("DLH4");
    status.settingsRead();
    EXPECT_TRUE(bound.controls().isChecked(onTop));
    EXPECT_EQ(bound.controls().text(callsign), "DLH4");
}

// Everything that asks the window to paint again comes through the status.
TEST_F(WindowStatusTest, ChangesRepaintTheRegionThatShowsThem) {
    repainted.clear();
    status.parkingStatsChanged();
    status.statusChanged();
    status.repaint(WindowRegion::messageArea);
    EXPECT_EQ(repainted, (std::vector<WindowRegion>{WindowRegion::parkingStats, WindowRegion::statusPanel,
                                                    WindowRegion::messageArea}));
}

}  // namespace
}  // namespace qvl

namespace qvl {
namespace {

// A state that paints values nobody brings in, or a status that never asks
// for a repaint, would leave the window silently stale.
TEST(MainWindowStateHooks, AMissingHookIsRefusedNamingIt) {
    const auto refusal = [](MainWindowStateHooks hooks) -> std::string {
        try {
            const MainWindowState refused(std::move(hooks));
        } catch (const std::invalid_argument& e) {
            return e.what();
        }
        return "accepted";
    };
    EXPECT_EQ(refusal({}), "main window state hooks not wired: takeSourceValues");
    EXPECT_EQ(refusal({.takeSourceValues = [](MainWindowState& /*state*/) {}}), "accepted");

    MainWindowState state{{.takeSourceValues = [](MainWindowState& /*state*/) {}}};
    CommandFlags flags;
    ParkingUpdate update;
    ui::HeadlessControls controls;
    EXPECT_THROW(WindowStatus(state, flags, update, controls, {}), std::invalid_argument);
}

}  // namespace
}  // namespace qvl
