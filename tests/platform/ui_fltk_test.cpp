// The FLTK back end on a real display (CI runs this suite under xvfb-run);
// without a display every test here is skipped.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/window.h"
#include "support/temp_dir.h"

namespace qvl::ui {
namespace {

constexpr Colour kLime = Colour::fromBgr(0x32CD32);
constexpr Colour kLightBlue = Colour::fromBgr(0xFFCC99);
constexpr Colour kBlack{};

class Events : public WindowEvents {
public:
    std::vector<std::string> log;

    void onCreate(Window& window) override {
        window.createControl({.kind = ControlKind::Edit, .id = 32839, .x = 217, .y = 343, .width = 50, .height = 16});
        window.createControl({.kind = ControlKind::CheckBox, .id = 32851, .x = 5, .y = 373, .width = 12, .height = 12});
        const ControlHandle combo = window.createControl(
            {.kind = ControlKind::ComboBox, .id = 32840, .x = 353, .y = 338, .width = 45, .height = 144});
        window.addString(combo, "a/b & @c");  // FLTK menu syntax, shown as it stands
        window.addString(combo, "10");
        window.createControl({.kind = ControlKind::Button,
                              .id = 32838,
                              .x = 758,
                              .y = 341,
                              .width = 90,
                              .height = 20,
                              .text = "Re-read"});
    }
    void onClose() override { log.push_back("close"); }
    void onPaint(Canvas& canvas) override {
        canvas.fill({.left = 0, .top = 0, .right = 880, .bottom = 112}, kBlack);
        canvas.fill({.left = 0, .top = 112, .right = 880, .bottom = 392}, kLightBlue);
        canvas.fill({.left = 0, .top = 448, .right = 880, .bottom = 476}, kLime);
        canvas.line({0, 392}, {880, 392}, Colour::rgb(255, 255, 255));
        canvas.text({3, 455}, "Close window button clicked", Colour::fromBgr(0x00FFFF));
    }
    void onCommand(const Command& command) override {
        log.push_back((command.kind == CommandKind::Clicked ? "click " : "select ") +
                      std::to_string(command.controlId));
    }
    void onEditEnter(std::uint16_t controlId) override { log.push_back("enter " + std::to_string(controlId)); }
    void onCallbackException(const std::exception_ptr& /*error*/) noexcept override {
        ADD_FAILURE() << "a callback threw";
    }
};

class FltkWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<Window> window;
    Events events;

    void SetUp() override {
        if (!displayAvailable()) {
            // A run that was given a virtual display must not pass by skipping.
            if (std::getenv("QVL_REQUIRE_DISPLAY") != nullptr) FAIL() << "no display";
            GTEST_SKIP() << "no display";
        }
        window = makeWindow(BackEnd::Fltk);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(window->backEnd(), BackEnd::Fltk);
        ASSERT_TRUE(window->open({.title = "Quorvelant", .position = {60, 40}, .width = 880, .height = 516}, events));
    }
    // Lets the window settle: queued work, paints and the display's events.
    void settle() {
        for (int i = 0; i < 20; ++i) window->processPendingEvents();
    }
};

TEST_F(FltkWindowTest, ScreenshotShowsThePaintingAndTheControls) {
    test::TempDir dir;
    settle();
    bool written = false;
    window->savePng(dir / "window.png", [&written](bool ok) { written = ok; });
    ASSERT_TRUE(written);
    const std::optional<Image> shot = readPng(dir / "window.png");
    ASSERT_TRUE(shot.has_value());
    ASSERT_EQ(shot->width(), 880);
    ASSERT_EQ(shot->height(), 516);
    EXPECT_EQ(shot->pixel(600, 470), kLime);
    EXPECT_EQ(shot->pixel(700, 300), kLightBlue);
    EXPECT_EQ(shot->pixel(400, 392), Colour::rgb(255, 255, 255));
    EXPECT_EQ(shot->pixel(400, 391), kLightBlue);  // a line is one pixel high
    EXPECT_EQ(shot->pixel(400, 393), kBlack);
    EXPECT_NE(shot->pixel(240, 350), kLightBlue);  // the edit
    EXPECT_NE(shot->pixel(370, 348), kLightBlue);  // the drop-down
    EXPECT_NE(shot->pixel(800, 350), kLightBlue);  // the button
    EXPECT_NE(shot->pixel(10, 378), kLightBlue);   // the check box
    EXPECT_EQ(shot->pixel(500, 500), kBlack);      // below the painting: the window's black
    EXPECT_FALSE(textsOf(window->lastPaint()).empty());
}

TEST_F(FltkWindowTest, AnEditIsPaintedInItsBackgroundColour) {
    constexpr Colour kRose = Colour::rgb(250, 200, 210);
    window->createControl(
        {.kind = ControlKind::Edit, .id = 77, .x = 300, .y = 420, .width = 60, .height = 16, .background = kRose});
    settle();
    test::TempDir dir;
    bool written = false;
    window->savePng(dir / "window.png", [&written](bool ok) { written = ok; });
    ASSERT_TRUE(written);
    const std::optional<Image> shot = readPng(dir / "window.png");
    ASSERT_TRUE(shot.has_value());
    EXPECT_EQ(shot->pixel(340, 428), kRose);
}

TEST_F(FltkWindowTest, UserActionsComeAsTheHeadlessOnesDo) {
    window->simulateClick(32851);
    window->simulateSelect(32840, 0);
    window->simulateTyping(32839, "EDDF");
    window->simulateEnter(32839);
    window->simulateClick(32838);
    window->requestClose();
    settle();
    EXPECT_EQ(events.log,
              (std::vector<std::string>{"click 32851", "select 32840", "enter 32839", "click 32838", "close"}));
    EXPECT_FALSE(window->isChecked(window->find(32851)));
    EXPECT_EQ(window->text(window->find(32839)), "EDDF");
    EXPECT_EQ(window->currentSelection(window->find(32840)), 0);
}

TEST_F(FltkWindowTest, ControlWritesFromAnotherThreadReachTheWidgets) {
    const ControlHandle box = window->find(32851);
    const ControlHandle button = window->find(32838);
    std::jthread other([&] {
        window->setChecked(box, true);
        window->setEnabled(button, false);
        window->quit(4);
    });
    EXPECT_EQ(window->runMessageLoop(), 4);
    other.join();
    EXPECT_TRUE(window->isChecked(box));
    window->simulateClick(32838);  // disabled now
    EXPECT_TRUE(events.log.empty());
}

// The user's own input, sent through FLTK's event handling as the display
// would deliver it.
class FltkInputTest : public FltkWindowTest {
protected:
    Fl_Window& main() { return *Fl::first_window(); }
    Fl_Widget& widgetAt(int x, int y) {
        for (int i = 0; i < main().children(); ++i) {
            Fl_Widget& child = *main().child(i);
            if (child.x() == x && child.y() == y) return child;
        }
        throw std::runtime_error("no widget there");
    }
    void press(int x, int y) {
        Fl::e_x = x;
        Fl::e_y = y;
        Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
        Fl::handle(FL_PUSH, &main());
        Fl::handle(FL_RELEASE, &main());
    }
    void key(int keysym, const char* text) {
        Fl::e_keysym = keysym;
        Fl::e_text = const_cast<char*>(text);
        Fl::e_length = static_cast<int>(std::strlen(text));
        Fl::handle(FL_KEYBOARD, &main());
    }
};

TEST_F(FltkInputTest, AClickOnTheCheckBoxReportsAndLeavesTheMark) {
    settle();
    press(10, 378);
    settle();
    EXPECT_EQ(events.log, std::vector<std::string>{"click 32851"});
    EXPECT_FALSE(window->isChecked(window->find(32851)));
}

TEST_F(FltkInputTest, TypingReachesTheModelAndEnterIsReported) {
    settle();
    Fl::focus(&widgetAt(217, 343));
    key('e', "e");
    key('d', "d");
    key(FL_Enter, "\r");
    settle();
    EXPECT_EQ(window->text(window->find(32839)), "ed");
    EXPECT_EQ(events.log, std::vector<std::string>{"enter 32839"});
}

TEST_F(FltkInputTest, TheCloseButtonAsksAndEscapeDoesNot) {
    settle();
    key(FL_Escape, "\x1b");
    Fl::handle(FL_CLOSE, &main());  // what the window manager's close button sends
    settle();
    EXPECT_EQ(events.log, std::vector<std::string>{"close"});
    EXPECT_TRUE(main().shown());
}

TEST_F(FltkWindowTest, TheDisplayHasAWorkArea) {
    const Rect area = window->workAreaNear({0, 0});
    EXPECT_FALSE(area.empty());
    window->setAlwaysOnTop(true);
    settle();
    EXPECT_TRUE(window->isAlwaysOnTop());
}

}  // namespace
}  // namespace qvl::ui
