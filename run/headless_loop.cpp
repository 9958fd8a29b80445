#include "run/headless_loop.h"

#include <chrono>
#include <memory>

#include "platform/ui/controls.h"
#include "platform/ui/headless_controls.h"

namespace qvl {

void HeadlessUiLoop::post(std::function<void()> task) {
    {
        const std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

std::int32_t HeadlessUiLoop::run() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return quit_ || !tasks_.empty(); });
        const bool interrupted = interrupted_ && interrupted_();
        if (interrupted && closeHandler_) {
            const auto handler = closeHandler_;
            lock.unlock();
            handler();
            lock.lock();
        }
        while (!tasks_.empty() && !quit_) {
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }
    return exitCode_;
}

void HeadlessUiLoop::quit(std::int32_t exitCode) {
    {
        const std::lock_guard lock(mutex_);
        if (!quit_) exitCode_ = exitCode;
        quit_ = true;
    }
    wake_.notify_one();
}

void HeadlessUiLoop::setInterruptCheck(std::function<bool()> check) {
    const std::lock_guard lock(mutex_);
    interrupted_ = std::move(check);
}

void HeadlessUiLoop::setCloseHandler(std::function<void()> handler) {
    const std::lock_guard lock(mutex_);
    closeHandler_ = std::move(handler);
}

bool HeadlessWindow::create(const std::string& /*title*/, MainWindowState& /*state*/, CommandFlags& /*flags*/) {
    ui::installControls(std::make_shared<ui::HeadlessControls>());
    return true;
}

}  // namespace qvl
