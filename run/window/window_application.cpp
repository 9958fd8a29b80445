#include "run/window/window_application.h"

#include <condition_variable>
#include <mutex>
#include <utility>

#include "platform/ui/close_signals.h"
#include "run/window/window_layout.h"

namespace qvl {

WindowApplication::WindowApplication(std::shared_ptr<ui::Window> window) : window_(std::move(window)) {}

WindowApplication::~WindowApplication() {
    // The timer may still want the window: stop and join it first.
    if (pictureTimer_.joinable()) {
        pictureTimer_.request_stop();
        pictureTimer_.join();
    }
    main_.reset();
}

void WindowApplication::post(std::function<void()> task) { window_->postTask(std::move(task)); }

std::int32_t WindowApplication::run() {
    const ui::CloseOnSignals signals(*window_);
    if (!picture_.empty()) {
        pictureTimer_ = std::jthread([this](const std::stop_token& stop) {
            std::mutex mutex;
            std::condition_variable_any wake;
            std::unique_lock lock(mutex);
            // Nothing but a stop ends the wait early; then no picture is taken.
            wake.wait_for(lock, stop, pictureDelay_, [] { return false; });
            if (stop.stop_requested()) return;
            window_->savePng(picture_, pictureDone_);
        });
    }
    const int exitCode = window_->runMessageLoop();
    if (pictureTimer_.joinable()) {
        pictureTimer_.request_stop();
        pictureTimer_.join();
    }
    return exitCode;
}

void WindowApplication::quit(std::int32_t exitCode) { window_->quit(exitCode); }

bool WindowApplication::create(const std::string& title, MainWindowState& state, CommandFlags& flags) {
    main_ = std::make_unique<MainWindow>(window_, state, flags, MainWindowHooks{.onClose = [this] { onClose(); }});
    return main_->initInstance(title);
}

void WindowApplication::setCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }

void WindowApplication::onClose() {
    if (closeHandler_) {
        closeHandler_();
    } else {
        window_->quit(0);
    }
}

void WindowApplication::savePosition() {
    if (main_) main_->saveWindowPosition();
}

void WindowApplication::setAlwaysOnTop(bool onTop) { window_->setAlwaysOnTop(onTop); }

void WindowApplication::repaintStatus() { window_->invalidate(regionRect(WindowRegion::statusPanel)); }

void WindowApplication::repaintControls() { window_->invalidate(regionRect(WindowRegion::controlsArea)); }

void WindowApplication::schedulePicture(std::filesystem::path png, std::chrono::milliseconds delay, ui::PngDone done) {
    picture_ = std::move(png);
    pictureDelay_ = delay;
    pictureDone_ = std::move(done);
}

}  // namespace qvl
