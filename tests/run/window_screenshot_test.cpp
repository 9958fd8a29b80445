// The real main window on a display (CI runs it under xvfb-run): the window
// writes a PNG of its own pixels, and the picture shows the message area in
// its colour and the child controls over the controls area. Without a display
// the test is skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "core/messages.h"
#include "core/settings.h"
#include "core/support/settings_fixture.h"
#include "platform/ui/image.h"
#include "platform/ui/window.h"
#include "run/window/main_window.h"
#include "run/window/message_area.h"
#include "run/window/window_layout.h"
#include "support/command_parts.h"

namespace qvl {
namespace {

// Where the picture goes: QVL_WINDOW_PNG when set (the build folder in CI),
// else the test's own folder.
std::filesystem::path picturePath(const std::filesystem::path& fallback) {
    const char* path = std::getenv("QVL_WINDOW_PNG");
    return path != nullptr && *path != '\0' ? std::filesystem::path(path) : fallback;
}

// A point that shows a control as the window placed it: its centre, or for
// an edit, whose face has the controls area's colour, its left border.
ui::Point probeOf(const ui::Window& window, const ControlBinding& binding) {
    const ui::ControlSpec spec = window.controlSpec(binding.controlHandle());
    const int height = spec.kind == ui::ControlKind::ComboBox ? ui::kComboBoxHeight : spec.height;
    const int x = spec.kind == ui::ControlKind::Edit ? spec.x : spec.x + spec.width / 2;
    return {x, spec.y + height / 2};
}

class WindowScreenshot : public test::SettingsFolder {
protected:
    void SetUp() override {
        SettingsFolder::SetUp();
        resetMessages();
    }
    void TearDown() override {
        resetMessages();
        SettingsFolder::TearDown();
    }

    // Opens the main window on the back end, lets it paint, writes its
    // picture and probes the pixels.
    void pictureShowsMessageAreaAndControls(const std::shared_ptr<ui::Window>& window,
                                            const std::filesystem::path& png) {
        test::CommandParts parts{window};
        MainWindow main(window, parts.owners(),
                        {.onClose = [&window] { window->quit(0); }, .onMessage = [](const ui::ProgramMessage&) {}});
        ASSERT_TRUE(main.initInstance("Quorvelant"));
        gf_showMessage("Quorvelant", MessageLogging::notLogged);

        // Let the display map and paint the window before the picture is taken.
        const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
        while (std::chrono::steady_clock::now() < settle) {
            window->processPendingEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        int result = -1;
        window->savePng(png, [&result](bool written) { result = written ? 1 : 0; });
        for (int i = 0; i < 100 && result < 0; ++i) {
            window->processPendingEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_EQ(result, 1);

        const auto image = ui::readPng(png);
        ASSERT_TRUE(image.has_value());
        ASSERT_GE(image->width(), kMainWindowWidth);
        ASSERT_GE(image->height(), 477);
        // The right end of the message line holds no text.
        EXPECT_EQ(image->pixel(860, 470), canvasColour(colour::limeGreen));
        // The window ends where the drawing ends: its last row is the message area's.
        EXPECT_EQ(image->height(), kMainWindowHeight);
        EXPECT_EQ(image->pixel(860, image->height() - 1), canvasColour(colour::limeGreen));
        const ui::Colour background = canvasColour(colour::lightBlue);
        EXPECT_EQ(image->pixel(700, 240), background);  // a free place of the controls area
        for (const ControlBinding* binding : std::initializer_list<const ControlBinding*>{
                 &SCAN_LIVERIES, &BLOCK_CALLSIGN, &RANGE, &REREAD_BUTTON, &INITIAL_LOAD_ONLY}) {
            const ui::Point at = probeOf(*window, *binding);
            EXPECT_NE(image->pixel(at.x, at.y), background) << "control " << binding->controlId();
        }
    }
};

TEST_F(WindowScreenshot, HeadlessPictureShowsTheMessageAreaAndTheControls) {
    pictureShowsMessageAreaAndControls(ui::makeWindow(ui::BackEnd::Headless), dir / "headless.png");
}

// QVL_REQUIRE_DISPLAY makes a missing display a failure (the run under xvfb-run).
TEST_F(WindowScreenshot, RealWindowPictureShowsTheMessageAreaAndTheControls) {
    if (!ui::displayAvailable()) {
        const char* required = std::getenv("QVL_REQUIRE_DISPLAY");
        ASSERT_FALSE(required != nullptr && *required == '1') << "no display";
        GTEST_SKIP() << "no display";
    }
    std::shared_ptr<ui::Window> window = ui::makeWindow(ui::BackEnd::Fltk);
    ASSERT_NE(window, nullptr);
    pictureShowsMessageAreaAndControls(window, picturePath(dir / "main_window.png"));
}

}  // namespace
}  // namespace qvl
