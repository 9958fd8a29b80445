// The program's one route to the window, as ProgramParts wires it: what the
// feed, the park airport, the simulator link, the message lines and core
// change reaches the window through the program's status, and the window's
// capabilities are owned with the parts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/messages.h"
#include "core/range_control.h"
#include "core/setting_controls.h"
#include "core/settings.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/headless_window.h"
#include "run/program.h"
#include "run/window/window_layout.h"
#include "support/run_fakes.h"
#include "support/settings_scope.h"

namespace qvl {
namespace {

class ProgramRoute : public ::testing::Test {
protected:
    void SetUp() override {
        resetAllSettings();
        resetMessages();
        window.repainted.clear();
    }
    void TearDown() override { resetMessages(); }

    test::SettingsScope settings;
    sim::StandInSimulator simulator{sim::StandInConfig{}};
    test::RecordingWindow window;
    ui::HeadlessWindow mainWindow;
    ProgramParts parts{simulator, window, mainWindow};
    ~ProgramRoute() override {
        for (RangeControlParameter* setting : bound) setting->setControlHandle(ui::kNoControl);
    }
    // A drop-down of the program's own window, bound to the setting and
    // filled from it.
    ui::ControlHandle combo(RangeControlParameter& setting) {
        const ui::ControlHandle handle =
            mainWindow.createControl({.kind = ui::ControlKind::ComboBox, .id = setting.controlId()});
        setting.setControlHandle(handle);
        bound.push_back(&setting);
        gf_fillRangeComboBox(mainWindow, setting);
        return handle;
    }
    std::string selected(ui::ControlHandle combo) const {
        return mainWindow.items(combo).at(static_cast<std::size_t>(mainWindow.currentSelection(combo)));
    }
    std::vector<RangeControlParameter*> bound;
};

TEST_F(ProgramRoute, EveryPartRepaintsTheWindowThroughTheStatus) {
    parts.feed.repaint();
    parts.loadedPark.stats.setStandCount(12);
    parts.link.hooks.repaintWindow();
    gf_showMessage("through the status", MessageLogging::notLogged);
    EXPECT_EQ(window.repainted, (std::vector<WindowRegion>{WindowRegion::statusPanel, WindowRegion::parkingStats,
                                                           WindowRegion::statusPanel, WindowRegion::messageArea}));
}

// The radius set in core (as a park airport's stand file does) reaches its
// drop-down only through the program's status.
TEST_F(ProgramRoute, ASettingChangedInCoreReachesItsControlThroughTheStatus) {
    const auto range = combo(RANGE);
    const auto maxFit = combo(MAX_FIT_FL);
    gf_setRange(25, parts.status);
    EXPECT_EQ(selected(range), "25");
    MAX_FIT.set(9);
    gf_selectMaxFitFl(parts.status);
    EXPECT_EQ(mainWindow.currentSelection(maxFit), 9) << "five hours";
    AUTO_RANGE.set(true);
    gf_applyAutoRange(parts.range, parts.status);
    EXPECT_FALSE(mainWindow.isEnabled(range)) << "the radius is the program's while automatic";
}

// The window's commands hand Enter to the edit fields the parts own.
TEST_F(ProgramRoute, TheEditFieldsAreThePartsOwn) {
    EXPECT_EQ(&parts.commandOwners.editFields, &parts.editFields);
    EXPECT_EQ(&parts.commandOwners.status, &parts.status);
    EXPECT_EQ(&parts.status.parkingUpdate(), &parts.engineState.parking.update);
}

}  // namespace
}  // namespace qvl
