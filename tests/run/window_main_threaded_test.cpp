#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "core/messages.h"
#include "core/settings.h"
#include "core/support/settings_fixture.h"
#include "platform/ui/headless_window.h"
#include "run/window/main_window.h"
#include "run/window/parking_controls.h"
#include "support/command_parts.h"

namespace qvl {
namespace {

class MainWindowThreaded : public test::SettingsFolder {
protected:
    void SetUp() override {
        SettingsFolder::SetUp();
        resetMessages();
    }
    void TearDown() override {
        resetMessages();
        SettingsFolder::TearDown();
    }
};

// The painter's texts of the last paint contain the text.
bool painted(const ui::Window& window, const std::string& text) {
    for (const ui::DrawOp& op : window.lastPaint()) {
        if (op.kind == ui::DrawKind::Text && op.text == text) return true;
    }
    return false;
}

TEST_F(MainWindowThreaded, OtherThreadsReachTheWindowOnlyThroughItsUiThread) {
    auto window = std::make_shared<ui::HeadlessWindow>();
    test::CommandParts parts{window};
    MainWindowState& state = parts.state;
    std::promise<bool> opened;
    std::promise<int> exitCode;
    auto exited = exitCode.get_future();
    std::jthread uiThread([&] {
        // As the program wires it while no run is alive: the close ends the loop.
        MainWindow main(window, parts.owners(),
                        {.onClose = [&window] { window->quit(0); }, .onMessage = [](const ui::ProgramMessage&) {}});
        opened.set_value(main.initInstance("Quorvelant"));
        exitCode.set_value(window->runMessageLoop());
    });
    ASSERT_TRUE(opened.get_future().get());

    // The run thread and a reader thread write while the UI thread paints.
    std::jthread run([&] {
        for (int i = 0; i < 200; ++i) {
            gf_disableParkingControls(parts.status);
            gf_enableParkingControls(parts.status);
            state.setText(WindowText::simulator, "MSFS 2020");
        }
    });
    std::jthread reader([&] {
        for (int i = 0; i < 200; ++i) gf_showMessage(std::to_string(i), MessageLogging::notLogged);
    });
    run.join();
    reader.join();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!painted(*window, "199") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(painted(*window, "199"));
    EXPECT_TRUE(window->isEnabled(FLUSH_STATIC_BUTTON.controlHandle()));
    window->requestClose();  // no run: the close ends the loop
    ASSERT_EQ(exited.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(exited.get(), 0);
}

}  // namespace
}  // namespace qvl
