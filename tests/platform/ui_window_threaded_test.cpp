#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <future>
#include <thread>
#include <vector>

#include "platform/ui/close_signals.h"
#include "platform/ui/headless_window.h"
#include "support/temp_dir.h"

namespace qvl::ui {
namespace {

using namespace std::chrono_literals;

constexpr std::uint16_t kEditId = 32788;

// Counts on the UI thread what reached it; the test reads after the loop ends.
class Events : public WindowEvents {
public:
    std::thread::id uiThread;
    bool allOnUiThread = true;
    int messages = 0;
    int closes = 0;
    std::vector<std::uint64_t> order;

    void onCreate(Window& window) override {
        uiThread = std::this_thread::get_id();
        window.createControl(
            {.kind = ControlKind::Edit, .id = kEditId, .x = 111, .y = 119, .width = 200, .height = 16});
    }
    void onMessage(const ProgramMessage& message) override {
        note();
        ++messages;
        order.push_back(message.value);
    }
    void onClose() override {
        note();
        ++closes;
    }
    void onPaint(Canvas& /*canvas*/) override {}
    void onCallbackException(const std::exception_ptr& /*error*/) noexcept override {
        ADD_FAILURE() << "a callback threw";
    }

private:
    void note() { allOnUiThread = allOnUiThread && std::this_thread::get_id() == uiThread; }
};

WindowSpec mainWindow() { return {.title = "Quorvelant", .position = {400, 20}, .width = 880, .height = 516}; }

TEST(WindowThreads, PostsFromOtherThreadsArriveOnTheUiThreadInEachPostersOrder) {
    HeadlessWindow window;
    Events events;
    ASSERT_TRUE(window.open(mainWindow(), events));
    constexpr int kPosters = 4;
    constexpr std::uint64_t kEach = 500;
    std::vector<std::jthread> posters;
    posters.reserve(kPosters);
    for (int p = 0; p < kPosters; ++p) {
        posters.emplace_back([&window, p] {
            for (std::uint64_t i = 0; i < kEach; ++i) {
                window.postMessage({.id = 0x8060, .value = static_cast<std::uint64_t>(p) * kEach + i});
            }
        });
    }
    std::jthread quitter([&window, &posters] {
        for (auto& poster : posters) poster.join();
        window.postTask([&window] { window.quit(0); });
    });
    EXPECT_EQ(window.runMessageLoop(), 0);
    quitter.join();
    EXPECT_TRUE(events.allOnUiThread);
    ASSERT_EQ(events.messages, kPosters * static_cast<int>(kEach));
    std::vector<std::uint64_t> last(kPosters, 0);
    std::vector<bool> seen(kPosters, false);
    for (const std::uint64_t value : events.order) {
        const std::size_t poster = value / kEach;
        EXPECT_TRUE(!seen[poster] || value > last[poster]);
        seen[poster] = true;
        last[poster] = value;
    }
}

TEST(WindowThreads, AReadFromAnotherThreadDoesNotWaitForABusyUiThread) {
    HeadlessWindow window;
    Events events;
    ASSERT_TRUE(window.open(mainWindow(), events));
    const ControlHandle edit = window.find(kEditId);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> busy{false};
    // The UI thread is stuck in a callback until the other thread has read
    // and written: with a read that waited for the UI thread, this would hang.
    window.postTask([&busy, released] {
        busy.store(true);
        released.wait();
    });
    std::jthread other([&] {
        while (!busy.load()) std::this_thread::yield();
        window.setText(edit, "C:\\MSFS");
        const std::string seen = window.text(edit);
        release.set_value();
        window.quit(seen == "C:\\MSFS" ? 0 : 1);
    });
    EXPECT_EQ(window.runMessageLoop(), 0);
}

TEST(WindowThreads, QuitFromAnotherThreadEndsAnIdleLoop) {
    HeadlessWindow window;
    Events events;
    ASSERT_TRUE(window.open(mainWindow(), events));
    std::jthread other([&window] {
        std::this_thread::sleep_for(20ms);
        window.quit(7);
    });
    EXPECT_EQ(window.runMessageLoop(), 7);
}

TEST(WindowThreads, ScreenshotAskedFromAnotherThreadIsWrittenOnTheUiThread) {
    test::TempDir dir;
    HeadlessWindow window;
    Events events;
    ASSERT_TRUE(window.open(mainWindow(), events));
    std::atomic<bool> onUiThread{false};
    std::jthread other([&] {
        window.savePng(dir / "shot.png", [&](bool written) {
            onUiThread.store(written && window.isUiThread());
            window.quit(0);
        });
    });
    EXPECT_EQ(window.runMessageLoop(), 0);
    EXPECT_TRUE(onUiThread.load());
    EXPECT_TRUE(readPng(dir / "shot.png").has_value());
}

TEST(CloseSignals, SigtermAndSigintActAsTheCloseButton) {
    HeadlessWindow window;
    Events events;
    ASSERT_TRUE(window.open(mainWindow(), events));
    {
        CloseOnSignals signals(window, [] {});
        ASSERT_TRUE(signals.installed());
        CloseOnSignals second(window, [] {});  // one at a time
        EXPECT_FALSE(second.installed());

        window.postTask([] { std::raise(SIGTERM); });
        std::jthread other([&window, &events] {
            // Counted on the UI thread; read there too.
            std::atomic<bool> done{false};
            const auto deadline = std::chrono::steady_clock::now() + 5s;
            while (!done.load()) {
                if (std::chrono::steady_clock::now() > deadline) {
                    window.quit(1);  // the signals never arrived
                    return;
                }
                std::this_thread::sleep_for(5ms);
                window.postTask([&] {
                    if (events.closes == 1) std::raise(SIGINT);
                    if (events.closes == 2) {
                        done.store(true);
                        window.quit(0);
                    }
                });
            }
        });
        EXPECT_EQ(window.runMessageLoop(), 0);
    }
    EXPECT_EQ(events.closes, 2);
    EXPECT_TRUE(events.allOnUiThread);
}

// A UI thread busy elsewhere never comes to the close: the signal reaches the
// hook all the same, on the watcher's thread, so the program can bound its end.
TEST(CloseSignals, EachSignalReachesTheHookWithoutTheUiThread) {
    HeadlessWindow window;
    Events events;
    ASSERT_TRUE(window.open(mainWindow(), events));
    std::atomic<int> signals{0};
    std::atomic<bool> onThisThread{false};
    const auto self = std::this_thread::get_id();
    {
        const CloseOnSignals watch(window, [&] {
            onThisThread.store(onThisThread.load() || std::this_thread::get_id() == self);
            signals.fetch_add(1);
        });
        ASSERT_TRUE(watch.installed());
        std::raise(SIGINT);  // no message loop runs
        for (int i = 0; i < 500 && signals.load() < 1; ++i) std::this_thread::sleep_for(10ms);
        std::raise(SIGTERM);
        for (int i = 0; i < 500 && signals.load() < 2; ++i) std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(signals.load(), 2);
    EXPECT_FALSE(onThisThread.load());
    EXPECT_EQ(events.closes, 0);
}

}  // namespace
}  // namespace qvl::ui
