// The UI loop without a display: posted tasks run on the thread that runs
// the loop, in order. An interrupt check (SIGINT, SIGTERM) is looked at
// between tasks and at least every 100 ms; when it reports an interrupt the
// close handler runs, as the window's close button would.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "run/application.h"

namespace qvl {

class HeadlessUiLoop final : public UiLoop {
public:
    void post(std::function<void()> task) override;
    std::int32_t run() override;
    void quit(std::int32_t exitCode) override;

    // True once per interrupt (the check resets what it reports).
    void setInterruptCheck(std::function<bool()> check);
    void setCloseHandler(std::function<void()> handler);

private:
    std::mutex mutex_;  // a leaf lock: guards everything below
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    std::function<bool()> interrupted_;
    std::function<void()> closeHandler_;
    bool quit_ = false;
    std::int32_t exitCode_ = 0;
};

// The main window without a display: the controls in memory.
class HeadlessWindow final : public ApplicationWindow {
public:
    explicit HeadlessWindow(HeadlessUiLoop& loop) : loop_(loop) {}
    bool create(const std::string& title, MainWindowState& state, CommandFlags& flags) override;
    void setCloseHandler(std::function<void()> handler) override { loop_.setCloseHandler(std::move(handler)); }
    void savePosition() override {}
    void setAlwaysOnTop(bool /*onTop*/) override {}
    void repaintStatus() override {}
    void repaintControls() override {}

private:
    HeadlessUiLoop& loop_;
};

}  // namespace qvl
