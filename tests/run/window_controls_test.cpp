#include <gtest/gtest.h>

#include <algorithm>

#include "core/messages.h"
#include "core/settings.h"
#include "core/support/bound_controls.h"
#include "core/support/logged_folder.h"
#include "core/support/settings_fixture.h"
#include "run/window/command_flags.h"
#include "run/window/control_text.h"
#include "run/window/main_window_state.h"
#include "run/window/parking_controls.h"
#include "run/window/window_layout.h"
#include "run/window/window_status.h"

namespace qvl {
namespace {

TEST(WindowLayout, EachKindSitsAtItsOffsetFromTheRow) {
    const auto controls = mainWindowControls();
    const auto find = [&](const ControlBinding& binding) {
        return *std::find_if(controls.begin(), controls.end(),
                             [&](const ChildControl& c) { return c.binding == &binding; });
    };
    EXPECT_EQ(childRect(find(SIM_CHOICE)), (WindowRect{5, 114, 110, 194}));
    EXPECT_EQ(childRect(find(ALL_INSTALL_PATH)), (WindowRect{111, 119, 1311, 135}));
    EXPECT_EQ(childRect(find(ALWAYS_ON_TOP)), (WindowRect{748, 149, 760, 161}));
    EXPECT_EQ(childRect(find(FLUSH_STATIC_BUTTON)), (WindowRect{758, 369, 848, 389}));
}

class ControlText : public test::LoggedFolder {
protected:
    ControlText() {
        edit = bound.controls().create(ui::ControlKind::Edit, BLOCK_CALLSIGN.controlId());
        BLOCK_CALLSIGN.setControlHandle(edit);
    }
    ~ControlText() override { BLOCK_CALLSIGN.setControlHandle(ui::kNoControl); }

    test::BoundControls bound;
    ui::ControlHandle edit = ui::kNoControl;
};

TEST_F(ControlText, ReadsAnEditsTextAndAnEmptyEditIsNoError) {
    EXPECT_EQ(lf_getTextFromId(bound.controls(), 32828), "");
    bound.controls().setText(edit, "DLH4AB");
    EXPECT_EQ(lf_getTextFromId(bound.controls(), 32828), "DLH4AB");
    EXPECT_FALSE(logged("failed"));
}

TEST_F(ControlText, MissingControlAndInvalidTextAreLoggedAsEmpty) {
    EXPECT_EQ(lf_getTextFromId(bound.controls(), 1234), "");
    EXPECT_TRUE(logged("GetDlgItem failed for ID 1234\n"));
    EXPECT_EQ(lf_getTextFromId(bound.controls(), DESTINATION.controlId()), "");  // a child not created yet
    EXPECT_TRUE(logged("GetDlgItem failed for ID 32839\n"));
    bound.controls().setText(edit, "EDD\xff");
    EXPECT_EQ(lf_getTextFromId(bound.controls(), 32828), "");
    EXPECT_TRUE(logged("==> lf_getTextFromId: UTF-16 UTF-8 failed for id 32828: "));
}

class ParkingControls : public test::SettingsFolder {
protected:
    void SetUp() override {
        SettingsFolder::SetUp();
        resetMessages();
        for (RangeControlParameter* s :
             {&MAX_PARK_SEL, &MAX_LIVE_SEL, &parking_percentage, static_cast<RangeControlParameter*>(&MAX_FIT_FL)}) {
            parking.push_back(bound.combo(*s));
        }
        parking.push_back(bound.checkBox(WEEK));
        parking.push_back(bound.checkBox(PARK_SOFT));
        parking.push_back(bound.button(FLUSH_STATIC_BUTTON));
        parking.push_back(bound.button(REREAD_BUTTON));
        now = bound.button(NOW_BUTTON);
    }
    void TearDown() override {
        resetMessages();
        SettingsFolder::TearDown();
    }
    bool allEnabled(bool enabled) {
        return std::all_of(parking.begin(), parking.end(),
                           [&](ui::ControlHandle h) { return bound.controls().isEnabled(h) == enabled; });
    }

    test::BoundControls bound;
    std::vector<ui::ControlHandle> parking;
    ui::ControlHandle now = ui::kNoControl;
    CommandFlags flags;
    int controlRepaints = 0;
    MainWindowState window{{.takeSourceValues = [](MainWindowState& /*state*/) {}}};
    ParkingUpdate update;
    WindowStatus status{window, flags, update, bound.controls(), [this](WindowRegion region) {
                            if (region == WindowRegion::controlsArea) ++controlRepaints;
                        }};
};

TEST_F(ParkingControls, DisableAndEnableSwitchEveryParkingControlAndNow) {
    gf_disableParkingControls(status);
    EXPECT_FALSE(update.running) << "the engine's own state";
    EXPECT_TRUE(flags.nowAllowed);
    EXPECT_TRUE(allEnabled(false));
    EXPECT_FALSE(bound.controls().isEnabled(now));
    window.staticParkingCountdown = 3;
    update.running = true;
    gf_enableParkingControls(status);
    EXPECT_TRUE(update.running) << "the engine's own state";
    EXPECT_TRUE(allEnabled(true));
    EXPECT_TRUE(bound.controls().isEnabled(now));
    EXPECT_EQ(window.staticParkingCountdown.load(), 20);
    EXPECT_EQ(controlRepaints, 2);
}

TEST_F(ParkingControls, InitialLoadOnlyKeepsNowDisabled) {
    INITIAL_LOAD_ONLY.set(true);
    bound.controls().setEnabled(now, false);
    gf_enableParkingControls(status);
    EXPECT_TRUE(allEnabled(true));
    EXPECT_FALSE(bound.controls().isEnabled(now));
}

TEST_F(ParkingControls, AnnouncementWaitsForTheNextFifteenSecondCycle) {
    lf_announceStaticParkingUpdate(status, 29);
    EXPECT_TRUE(update.pending);
    EXPECT_FALSE(update.running) << "the window only asks: the engine starts the update";
    EXPECT_TRUE(update.busy());
    EXPECT_EQ(messageLines().message, "Quorvelant will update static parking in 1 second ...");
    lf_announceStaticParkingUpdate(status, 30);
    EXPECT_EQ(messageLines().message, "Quorvelant will update static parking in 15 seconds ...");
    EXPECT_FALSE(logged("will update static parking"));
}

TEST_F(ParkingControls, CountdownAnnouncesOnlyWhenStaticParkingWaitsForIt) {
    flags.staticParkingCountdown = 2;
    stepStaticParkingCountdown(status, {.secondsCounter = 100, .staticParkingActive = true});
    EXPECT_EQ(window.staticParkingCountdown.load(), 1);
    EXPECT_FALSE(update.pending);
    update.running = true;  // an update already runs: no announcement
    stepStaticParkingCountdown(status, {.secondsCounter = 160, .staticParkingActive = true});
    EXPECT_EQ(flags.staticParkingCountdown.load(), 20);
    EXPECT_FALSE(update.pending);
    update.running = false;
    flags.staticParkingCountdown = 1;
    stepStaticParkingCountdown(status, {.secondsCounter = 220, .staticParkingActive = true});
    EXPECT_TRUE(update.pending);
    EXPECT_EQ(window.staticParkingCountdown.load(), 20);
}

}  // namespace
}  // namespace qvl
