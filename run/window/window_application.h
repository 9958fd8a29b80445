// The program's UI loop and main window on a window of the platform layer
// (FLTK on a display, else headless): what the application drives, over the
// main window's own logic. SIGINT and SIGTERM act as the close button while
// the loop runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/ui/window.h"
#include "run/application.h"
#include "run/window/main_window.h"

namespace qvl {

class WindowApplication final : public UiLoop, public ApplicationWindow {
public:
    explicit WindowApplication(std::shared_ptr<ui::Window> window);
    ~WindowApplication() override;
    WindowApplication(const WindowApplication&) = delete;
    WindowApplication& operator=(const WindowApplication&) = delete;

    // --- UiLoop ---
    void post(std::function<void()> task) override;
    std::int32_t run() override;
    void quit(std::int32_t exitCode) override;

    // --- ApplicationWindow (UI thread) ---
    bool create(const std::string& title, MainWindowState& state, CommandFlags& flags) override;
    void setCloseHandler(std::function<void()> handler) override;
    void savePosition() override;
    void setAlwaysOnTop(bool onTop) override;
    void repaintStatus() override;
    void repaintControls() override;

    // Writes a PNG of the window's own pixels once `delay` has passed after
    // the loop started (for a picture of the running program). `done` runs
    // on the UI thread with whether the file was written.
    void schedulePicture(std::filesystem::path png, std::chrono::milliseconds delay, ui::PngDone done = {});

    ui::Window& window() noexcept { return *window_; }

private:
    void onClose();

    std::shared_ptr<ui::Window> window_;
    std::unique_ptr<MainWindow> main_;
    std::function<void()> closeHandler_;  // UI thread only
    std::filesystem::path picture_;
    std::chrono::milliseconds pictureDelay_{0};
    ui::PngDone pictureDone_;
    std::jthread pictureTimer_;  // joined before the window goes
};

}  // namespace qvl
