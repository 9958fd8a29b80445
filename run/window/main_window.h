// The main window seen from the program: it opens the window where it was
// last closed, creates every child control bound to its setting or button,
// paints what it owns, and hands each window event to the part that deals
// with it. The run side (program entry, run thread) plugs in through
// MainWindowHooks: the close button and the program's own messages are its,
// and both must be wired.
//
// Every event handler runs on the UI thread and lets no exception out: a
// failed command is logged and the window stays usable.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string_view>

#include "engine/base/parking_update.h"
#include "platform/ui/window.h"
#include "run/window/commands.h"
#include "run/window/main_window_state.h"

namespace qvl {

struct MainWindowHooks {
    // The close button, SIGINT or SIGTERM.
    std::function<void()> onClose{};
    // The program's own messages posted to the UI thread (start a run, quit).
    std::function<void(const ui::ProgramMessage&)> onMessage{};
};

class MainWindow final : public ui::WindowEvents {
public:
    // Installs the window as the program's controls; the destructor
    // uninstalls them. Every repaint request reaches the window through the
    // program's status (WindowStatus), given its repaint when it is built.
    // The state may end before this object (after the loop has ended): the
    // destructor does not touch it.
    // Throws std::logic_error, naming them, when hooks are missing.
    // The commands act on their owners; the window state is theirs too.
    // Throws std::logic_error, naming them, when owners' functions are missing.
    MainWindow(std::shared_ptr<ui::Window> window, WindowCommandOwners commands, MainWindowHooks hooks);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates and shows the window at the stored position, with the title.
    // False when the state is not ready within a second or the window
    // cannot be made. Called on the thread that becomes the UI thread.
    bool initInstance(std::string_view title);

    // Stores the window's current position in MAIN_WINDOW_X/Y (clamped to
    // their limits), saves it and keeps it on a monitor (at program end).
    void saveWindowPosition();

    void setAlwaysOnTop(bool onTop) { window_->setAlwaysOnTop(onTop); }
    ui::Window& window() noexcept { return *window_; }

    // --- Events, on the UI thread ---
    void onCreate(ui::Window& window) override;
    void onClose() override;
    void onPaint(ui::Canvas& canvas) override;
    void onCommand(const ui::Command& command) override;
    void onEditEnter(std::uint16_t controlId) override;
    void onMessage(const ui::ProgramMessage& message) override;
    void onCallbackException(const std::exception_ptr& error) noexcept override;

private:
    std::shared_ptr<ui::Window> window_;
    MainWindowState& state_;
    const ParkingUpdate& parkingUpdate_;
    WindowCommands commands_;
    MainWindowHooks hooks_;
};

// Creates every child control of the main window, in the table's order, and
// stores each control's handle in its binding. Check boxes show their
// setting and can be used; edits and buttons start disabled until the run
// has applied the settings.
void lf_createControls(ui::Window& window);

}  // namespace qvl
