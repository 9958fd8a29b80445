// A click on a check box of the real FLTK main window, sent through FLTK's
// own event handling as the display delivers it, changes and saves the
// setting. CI runs this under xvfb-run; without a display it is skipped.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "core/messages.h"
#include "core/parameters.h"
#include "core/settings.h"
#include "core/support/settings_fixture.h"
#include "platform/ui/window.h"
#include "run/window/main_window.h"
#include "support/command_parts.h"

namespace qvl {
namespace {

class WindowCommandsOnFltk : public test::SettingsFolder {
protected:
    void SetUp() override {
        SettingsFolder::SetUp();
        if (!ui::displayAvailable()) {
            // A run that was given a virtual display must not pass by skipping.
            if (std::getenv("QVL_REQUIRE_DISPLAY") != nullptr) FAIL() << "no display";
            GTEST_SKIP() << "no display";
        }
        resetMessages();
        gf_saveAllParameters(StoredValues::defaults);
        window = ui::makeWindow(ui::BackEnd::Fltk);
        ASSERT_NE(window, nullptr);
        parts = std::make_unique<test::CommandParts>(window);
        main = std::make_unique<MainWindow>(
            window, parts->owners(), MainWindowHooks{.onClose = [] {}, .onMessage = [](const ui::ProgramMessage&) {}});
        ASSERT_TRUE(main->initInstance("Quorvelant"));
        settle();
    }
    void TearDown() override {
        main.reset();
        parts.reset();
        window.reset();
        resetMessages();
        SettingsFolder::TearDown();
    }
    void settle() {
        for (int i = 0; i < 20; ++i) window->processPendingEvents();
    }
    // A left-button press and release at a point of the window.
    static void press(int x, int y) {
        Fl_Window& shown = *Fl::first_window();
        Fl::e_x = x;
        Fl::e_y = y;
        Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
        Fl::handle(FL_PUSH, &shown);
        Fl::handle(FL_RELEASE, &shown);
    }

    std::shared_ptr<ui::Window> window;
    std::unique_ptr<test::CommandParts> parts;
    std::unique_ptr<MainWindow> main;
};

TEST_F(WindowCommandsOnFltk, AClickOnACheckBoxTicksItAndSavesItsSetting) {
    const ui::ControlHandle box = window->find(WEEK.controlId());
    const ui::ControlSpec spec = window->controlSpec(box);
    const bool before = WEEK.value();
    ASSERT_EQ(window->isChecked(box), before);

    press(spec.x + spec.width / 2, spec.y + spec.height / 2);
    settle();
    EXPECT_EQ(WEEK.value(), !before);
    EXPECT_EQ(window->isChecked(box), !before);
    EXPECT_NE(file().find(fmt::format(R"(name="WEEK" value="{}")", before ? "false" : "true")), std::string::npos);

    press(spec.x + spec.width / 2, spec.y + spec.height / 2);
    settle();
    EXPECT_EQ(WEEK.value(), before);
    EXPECT_NE(file().find(fmt::format(R"(name="WEEK" value="{}")", before ? "true" : "false")), std::string::npos);
}

}  // namespace
}  // namespace qvl
