#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/headless_window.h"
#include "platform/ui/window.h"

namespace qvl::ui {
namespace {

constexpr std::uint16_t kEditId = 32828;
constexpr std::uint16_t kCheckId = 32771;
constexpr std::uint16_t kComboId = 32818;
constexpr std::uint16_t kButtonId = 32829;
constexpr Colour kLimeTest = Colour::fromBgr(0x32CD32);
constexpr Colour kLightBlueTest = Colour::fromBgr(0xFFCC99);

// The program's side, as a log of what reached it.
class WindowTestEvents : public WindowEvents {
public:
    std::vector<std::string> log;
    bool throwOnCommand = false;

    void onCreate(Window& window) override {
        log.push_back("create");
        window.createControl(
            {.kind = ControlKind::Edit, .id = kEditId, .x = 107, .y = 259, .width = 100, .height = 16});
        window.createControl(
            {.kind = ControlKind::CheckBox, .id = kCheckId, .x = 748, .y = 149, .width = 12, .height = 12});
        const ControlHandle combo = window.createControl(
            {.kind = ControlKind::ComboBox, .id = kComboId, .x = 217, .y = 226, .width = 50, .height = 200});
        window.addString(combo, "40");
        window.addString(combo, "80");
        window.createControl({.kind = ControlKind::Button,
                              .id = kButtonId,
                              .x = 223,
                              .y = 257,
                              .width = 60,
                              .height = 20,
                              .text = "Unblock",
                              .enabled = false});
    }
    void onClose() override { log.push_back("close"); }
    void onPaint(Canvas& canvas) override {
        canvas.fill({.left = 0, .top = 112, .right = 880, .bottom = 392}, kLightBlueTest);
        canvas.fill({.left = 0, .top = 448, .right = 880, .bottom = 476}, kLimeTest);
        canvas.text({3, 455}, "ready", Colour::fromBgr(0x00FFFF));
    }
    void onCommand(const Command& command) override {
        if (throwOnCommand) throw std::runtime_error("handler failed");
        log.push_back((command.kind == CommandKind::Clicked ? "click " : "select ") +
                      std::to_string(command.controlId));
    }
    void onEditEnter(std::uint16_t controlId) override { log.push_back("enter " + std::to_string(controlId)); }
    void onMessage(const ProgramMessage& message) override {
        log.push_back("message " + std::to_string(message.id) + ":" + std::to_string(message.value));
    }
    void onCallbackException(const std::exception_ptr& error) noexcept override {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            log.push_back(std::string("exception ") + e.what());
        }
    }
};

class HeadlessWindowTest : public ::testing::Test {
protected:
    HeadlessWindow window;
    WindowTestEvents events;

    void SetUp() override {
        ASSERT_TRUE(window.open({.title = "Quorvelant", .position = {400, 20}, .width = 880, .height = 516}, events));
    }
    ControlHandle handle(std::uint16_t id) const { return window.find(id); }
};

TEST_F(HeadlessWindowTest, OpenCreatesTheControlsAndPaintsOnce) {
    EXPECT_EQ(events.log, std::vector<std::string>{"create"});
    EXPECT_NE(handle(kEditId), kNoControl);
    EXPECT_EQ(window.controlSpec(handle(kButtonId)).text, "Unblock");
    EXPECT_FALSE(window.isEnabled(handle(kButtonId)));
    EXPECT_EQ(window.items(handle(kComboId)), (std::vector<std::string>{"40", "80"}));
    EXPECT_EQ(window.position(), (Point{400, 20}));

    EXPECT_EQ(window.paintCount(), 0);
    EXPECT_TRUE(window.processPendingEvents());
    EXPECT_EQ(window.paintCount(), 1);
    EXPECT_EQ(textsOf(window.lastPaint()), std::vector<std::string>{"ready"});
}

TEST_F(HeadlessWindowTest, SeveralInvalidationsBeforeAPaintMakeOne) {
    window.processPendingEvents();
    window.invalidate({.left = 0, .top = 448, .right = 881, .bottom = 477});
    window.invalidateAll();
    window.invalidate({.left = 0, .top = 28, .right = 880, .bottom = 112});
    window.invalidate({});  // an empty area asks for nothing
    window.processPendingEvents();
    EXPECT_EQ(window.paintCount(), 2);
    window.invalidate({});
    window.processPendingEvents();
    EXPECT_EQ(window.paintCount(), 2);
}

TEST_F(HeadlessWindowTest, PostedMessagesAndTasksRunInOrderAndTheFirstQuitCounts) {
    window.postMessage({.id = 0x8001});
    window.postTask([this] { events.log.push_back("task"); });
    window.postMessage({.id = 0x8060, .value = 7});
    window.postTask([this] {
        window.quit(3);
        window.quit(5);
    });
    window.postMessage({.id = 0x8002});  // queued before the quit: dropped with it
    EXPECT_EQ(window.runMessageLoop(), 3);
    EXPECT_EQ(events.log, (std::vector<std::string>{"create", "message 32769:0", "task", "message 32864:7"}));
    window.postTask([this] { events.log.push_back("late"); });
    EXPECT_FALSE(window.processPendingEvents());
    EXPECT_EQ(events.log.back(), "message 32864:7");
}

TEST_F(HeadlessWindowTest, CloseRequestReachesTheProgramAndTheWindowStays) {
    window.requestClose();
    window.requestClose();
    EXPECT_TRUE(window.processPendingEvents());
    EXPECT_EQ(events.log, (std::vector<std::string>{"create", "close", "close"}));
    EXPECT_FALSE(window.quitRequested());
    EXPECT_TRUE(window.exists(handle(kEditId)));
}

TEST_F(HeadlessWindowTest, ClickOnACheckBoxLeavesItsMarkToTheProgram) {
    window.simulateClick(kCheckId);
    window.processPendingEvents();
    EXPECT_EQ(events.log.back(), "click 32771");
    EXPECT_FALSE(window.isChecked(handle(kCheckId)));
}

TEST_F(HeadlessWindowTest, DisabledControlsIgnoreTheUser) {
    window.simulateClick(kButtonId);
    window.setEnabled(handle(kEditId), false);
    window.simulateTyping(kEditId, "DLH4");
    window.simulateEnter(kEditId);
    window.simulateClick(1);  // no such control
    window.processPendingEvents();
    EXPECT_EQ(events.log, std::vector<std::string>{"create"});
    EXPECT_EQ(window.text(handle(kEditId)), "");

    window.setEnabled(handle(kButtonId), true);
    window.simulateClick(kButtonId);
    window.processPendingEvents();
    EXPECT_EQ(events.log.back(), "click 32829");
}

TEST_F(HeadlessWindowTest, EnterInAnEditComesWithTheTypedTextInTheModel) {
    window.simulateTyping(kEditId, "DLH4");
    window.simulateEnter(kEditId);
    window.processPendingEvents();
    EXPECT_EQ(events.log.back(), "enter 32828");
    EXPECT_EQ(window.text(handle(kEditId)), "DLH4");
}

TEST_F(HeadlessWindowTest, PickingAnEntrySelectsItBeforeTheCommand) {
    window.simulateSelect(kComboId, 1);
    window.simulateSelect(kComboId, 2);  // outside the list: nothing happens
    window.processPendingEvents();
    EXPECT_EQ(events.log, (std::vector<std::string>{"create", "select 32818"}));
    EXPECT_EQ(window.currentSelection(handle(kComboId)), 1);
}

TEST_F(HeadlessWindowTest, AnExceptionInACallbackIsHandedBackAndTheLoopGoesOn) {
    events.throwOnCommand = true;
    window.simulateClick(kCheckId);
    window.postTask([] { throw std::runtime_error("task failed"); });
    window.postMessage({.id = 1});
    EXPECT_TRUE(window.processPendingEvents());
    EXPECT_EQ(events.log,
              (std::vector<std::string>{"create", "exception handler failed", "exception task failed", "message 1:0"}));
}

TEST_F(HeadlessWindowTest, StaleControlsGetNoWidgetAndAreNotFound) {
    const ControlHandle edit = handle(kEditId);
    window.destroyControl(edit);
    EXPECT_FALSE(window.exists(edit));
    EXPECT_EQ(window.find(kEditId), kNoControl);
    window.setText(edit, "x");
    EXPECT_EQ(window.text(edit), "");
    EXPECT_EQ(window.controlSpec(edit).id, 0);
}

TEST_F(HeadlessWindowTest, PictureShowsThePaintAndTheControls) {
    const Image image = window.render();
    ASSERT_EQ(image.width(), 880);
    ASSERT_EQ(image.height(), 516);
    EXPECT_EQ(image.pixel(600, 460), kLimeTest);                // message area
    EXPECT_EQ(image.pixel(5, 300), kLightBlueTest);             // controls area, no control there
    EXPECT_NE(image.pixel(150, 266), kLightBlueTest);           // inside the edit
    EXPECT_NE(image.pixel(240, 230), kLightBlueTest);           // inside the closed drop-down
    EXPECT_EQ(image.pixel(240, 250), kLightBlueTest);           // below it: the open list is not drawn
    EXPECT_EQ(image.pixel(5, 458), Colour::fromBgr(0x00FFFF));  // the block of the text's first letter
}

TEST_F(HeadlessWindowTest, AControlKeepsItsBackgroundAndAnEnabledEditShowsIt) {
    constexpr Colour kRose = Colour::rgb(250, 200, 210);
    const ControlHandle edit = window.createControl(
        {.kind = ControlKind::Edit, .id = 77, .x = 300, .y = 420, .width = 60, .height = 16, .background = kRose});
    EXPECT_EQ(window.controlSpec(edit).background, kRose);
    EXPECT_EQ(window.controlSpec(handle(kEditId)).background, std::nullopt);
    EXPECT_EQ(window.render().pixel(330, 428), kRose);
    window.setEnabled(edit, false);
    EXPECT_NE(window.render().pixel(330, 428), kRose) << "a disabled edit is greyed";
}

TEST(HeadlessWindowOpen, ASecondOpenOrAnEmptySizeFails) {
    WindowTestEvents events;
    HeadlessWindow window;
    EXPECT_FALSE(window.open({.title = "x", .width = 0, .height = 516}, events));
    EXPECT_FALSE(window.processPendingEvents());
    EXPECT_TRUE(window.open({.title = "x", .width = 880, .height = 516}, events));
    EXPECT_FALSE(window.open({.title = "x", .width = 880, .height = 516}, events));
    EXPECT_EQ(events.log, std::vector<std::string>{"create"});
}

TEST(WorkArea, TheScreenHoldingThePointElseTheNearest) {
    const std::vector<Rect> areas{{.left = 0, .top = 0, .right = 1920, .bottom = 1040},
                                  {.left = 1920, .top = 0, .right = 3200, .bottom = 984}};
    EXPECT_EQ(nearestWorkArea(areas, {2000, 500}), areas[1]);
    EXPECT_EQ(nearestWorkArea(areas, {1919, 1039}), areas[0]);
    EXPECT_EQ(nearestWorkArea(areas, {30000, 20}), areas[1]);
    EXPECT_EQ(nearestWorkArea(areas, {-30000, -30000}), areas[0]);
    EXPECT_EQ(nearestWorkArea(areas, {2500, 1020}), areas[1]);  // below the second: closer than the first's side
    EXPECT_EQ(nearestWorkArea({}, {0, 0}), Rect{});

    HeadlessWindow window(HeadlessScreens{.workAreas = areas});
    EXPECT_EQ(window.workAreaNear({3000, 10}), areas[1]);
}

TEST(WindowFactory, HeadlessWhenAskedOrWithoutADisplay) {
    EXPECT_EQ(makeWindow(BackEnd::Headless)->backEnd(), BackEnd::Headless);
    if (!displayAvailable()) {
        EXPECT_EQ(makeWindow(BackEnd::Automatic)->backEnd(), BackEnd::Headless);
        EXPECT_EQ(makeWindow(BackEnd::Fltk), nullptr);
        EXPECT_FALSE(showStandaloneDialog({.caption = "QVLT", .text = "x"}));
    }
}

}  // namespace
}  // namespace qvl::ui
