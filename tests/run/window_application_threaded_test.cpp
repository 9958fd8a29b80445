#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <memory>
#include <mutex>
#include <thread>

#include "core/settings.h"
#include "core/support/settings_fixture.h"
#include "platform/ui/image.h"
#include "platform/ui/window.h"
#include "run/window/window_application.h"

namespace qvl {
namespace {

class WindowApplicationTest : public test::SettingsFolder {
protected:
    void SetUp() override {
        SettingsFolder::SetUp();
        window = ui::makeWindow(ui::BackEnd::Headless);
        app = std::make_unique<WindowApplication>(window);
        ASSERT_TRUE(app->create("Quorvelant", state, flags));
    }
    void TearDown() override {
        app.reset();
        SettingsFolder::TearDown();
    }

    std::shared_ptr<ui::Window> window;
    MainWindowState state;
    CommandFlags flags;
    std::unique_ptr<WindowApplication> app;
};

TEST_F(WindowApplicationTest, LoopRunsPostedTasksInOrderUntilQuit) {
    EXPECT_NE(window->find(SIM_CHOICE.controlId()), ui::kNoControl);
    std::string order;
    app->post([&] { order += "a"; });
    app->post([&] {
        order += "b";
        app->quit(3);
    });
    EXPECT_EQ(app->run(), 3);
    EXPECT_EQ(order, "ab");
}

TEST_F(WindowApplicationTest, CloseButtonAndSigtermGoToTheCloseHandler) {
    int closes = 0;
    app->setCloseHandler([&] {
        if (++closes == 2) app->quit(0);
    });
    app->post([&] { window->requestClose(); });
    app->post([] { std::raise(SIGTERM); });
    EXPECT_EQ(app->run(), 0);
    EXPECT_EQ(closes, 2);
}

TEST_F(WindowApplicationTest, WithoutACloseHandlerCloseEndsTheLoop) {
    app->post([&] { window->requestClose(); });
    EXPECT_EQ(app->run(), 0);
}

TEST_F(WindowApplicationTest, PictureIsWrittenOnceTheDelayHasPassed) {
    const auto png = dir / "window.png";
    app->schedulePicture(png, std::chrono::milliseconds(50), [&](bool written) { app->quit(written ? 0 : 1); });
    // Should the picture never come, the loop still ends.
    std::jthread watchdog([&](const std::stop_token& stop) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        if (!wake.wait_for(lock, stop, std::chrono::seconds(10), [] { return false; }) && !stop.stop_requested()) {
            app->quit(9);
        }
    });
    EXPECT_EQ(app->run(), 0);
    watchdog.request_stop();
    const auto image = ui::readPng(png);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width(), 880);
}

}  // namespace
}  // namespace qvl
