#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "run/window/main_window_state.h"

namespace qvl {
namespace {

TEST(MainWindowStateThreaded, PainterSnapshotNeverSeesHalfAnUpdate) {
    MainWindowState state{{.takeSourceValues = [](MainWindowState& /*state*/) {}}};
    std::atomic<bool> stop{false};
    std::jthread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            const std::string text(static_cast<std::size_t>(i % 50 + 1), static_cast<char>('a' + i % 26));
            state.setText(WindowText::simulator, text);
            state.activeLiveCount.fetch_add(1);
        }
        stop = true;
    });
    while (!stop) {
        const std::string seen = state.texts().simulator;
        if (seen.empty()) continue;
        // One writer stores one repeated letter at a time.
        ASSERT_EQ(seen.find_first_not_of(seen.front()), std::string::npos) << seen;
    }
    writer.join();
    EXPECT_EQ(state.activeLiveCount.load(), 20000u);
}

}  // namespace
}  // namespace qvl
