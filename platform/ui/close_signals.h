// SIGINT and SIGTERM ask the window to close, as its close button does, so a
// terminal's Ctrl+C or a service manager's stop end the program the orderly
// way. Installed for the life of the object; the previous handlers come back
// at its end. One at a time per process; it must end before the window.
//
// Each signal is first told to `onSignal` on the watcher's own thread, so
// that the program can start the bound of its end there even when its UI
// thread never comes to the close.
#pragma once

#include <functional>
#include <memory>

namespace qvl::ui {

class Window;

class CloseOnSignals {
public:
    // Throws std::invalid_argument without `onSignal`.
    CloseOnSignals(Window& window, std::function<void()> onSignal);
    ~CloseOnSignals();
    CloseOnSignals(const CloseOnSignals&) = delete;
    CloseOnSignals& operator=(const CloseOnSignals&) = delete;

    // False when the handlers could not be installed (another object holds them).
    bool installed() const noexcept;

private:
    struct Watch;
    std::unique_ptr<Watch> watch_;
};

}  // namespace qvl::ui
