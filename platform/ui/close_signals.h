// SIGINT and SIGTERM ask the window to close, as its close button does, so a
// terminal's Ctrl+C or a service manager's stop end the program the orderly
// way. Installed for the life of the object; the previous handlers come back
// at its end. One at a time per process; it must end before the window.
#pragma once

#include <memory>

namespace qvl::ui {

class Window;

class CloseOnSignals {
public:
    explicit CloseOnSignals(Window& window);
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
