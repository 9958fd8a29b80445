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
    MainWindowState window{{.repaint = [this](WindowRegion region) { repainted.push_back(region); },
                            .takeSourceValues = [](MainWindowState& /*state*/) {}}};
    WindowStatus status{window, flags};
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

TEST_F(WindowStatusTest, AParkingUpdateRunsFromItsStartToItsEnd) {
    status.parkingUpdateStarts();
    EXPECT_TRUE(status.parkingUpdateRunning());
    EXPECT_TRUE(flags.parkingUpdateRunning.load());
    status.parkingUpdateEnds();
    EXPECT_FALSE(status.parkingUpdateRunning());
    flags.parkingUpdatePending = true;
    EXPECT_TRUE(status.parkingUpdatePending());
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

}  // namespace
}  // namespace qvl

namespace qvl {
namespace {

// A state that never asks for a repaint, or paints values nobody brings in,
// would leave the window silently stale.
TEST(MainWindowStateHooks, AMissingHookIsRefusedNamingIt) {
    const auto refusal = [](MainWindowStateHooks hooks) -> std::string {
        try {
            const MainWindowState refused(std::move(hooks));
        } catch (const std::invalid_argument& e) {
            return e.what();
        }
        return "accepted";
    };
    const auto repaint = [](WindowRegion /*region*/) {};
    const auto takeSourceValues = [](MainWindowState& /*state*/) {};
    EXPECT_EQ(refusal({.repaint = repaint}), "main window state hooks not wired: takeSourceValues");
    EXPECT_EQ(refusal({.takeSourceValues = takeSourceValues}), "main window state hooks not wired: repaint");
    EXPECT_EQ(refusal({}), "main window state hooks not wired: repaint takeSourceValues");
    EXPECT_EQ(refusal({.repaint = repaint, .takeSourceValues = takeSourceValues}), "accepted");
}

}  // namespace
}  // namespace qvl
