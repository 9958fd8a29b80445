// The program from its entry to its exit code: one instance, Log.txt, the
// command-line switches, the product folder, the main window, the UI loop,
// the run threads, and the window position saved at the end.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim_api.h"
#include "run/window/command_flags.h"
#include "run/window/main_window_state.h"

namespace qvl {

// The UI thread's loop as the program needs it. post() may be called from
// any thread and never blocks; run() and quit() belong to the UI thread.
class UiLoop {
public:
    virtual ~UiLoop() = default;
    virtual void post(std::function<void()> task) = 0;
    // Runs posted tasks (and the window's events) until quit; its code.
    virtual std::int32_t run() = 0;
    virtual void quit(std::int32_t exitCode) = 0;
};

// The window side the application drives, besides the loop.
class ApplicationWindow {
public:
    virtual ~ApplicationWindow() = default;
    // Creates the main window and its controls over the state it paints and
    // the flags its commands raise; false when it cannot.
    virtual bool create(const std::string& title, MainWindowState& state, CommandFlags& flags) = 0;
    // The close button, SIGINT and SIGTERM call this on the UI thread.
    virtual void setCloseHandler(std::function<void()> handler) = 0;
    // Saves the window's position into MAIN_WINDOW_X and MAIN_WINDOW_Y.
    virtual void savePosition() = 0;
    virtual void setAlwaysOnTop(bool onTop) = 0;
    virtual void repaintStatus() = 0;
    virtual void repaintControls() = 0;
};

// The production switches: "--production", "/production" on,
// "--no-production", "/no-production" off, any case, the last one wins;
// empty when none is given.
std::optional<bool> productionSwitch(const std::vector<std::string>& arguments);

// The single-instance lock's name.
inline constexpr const char* kInstanceName = "Local\\$QVLT$";

struct ApplicationParts {
    UiLoop& loop;
    ApplicationWindow& window;
    sim::SimLibrary& simulator;
};

// Everything after the single-instance check and the log: returns the exit
// code (1 when the start fails before the loop).
std::int32_t gf_runApplication(const ApplicationParts& parts, const std::vector<std::string>& arguments);

// The whole program: -1 for a second instance (nothing written, no window);
// 1 when Log.txt cannot be opened. `application` runs only once the instance
// is ours and the log is open.
std::int32_t runProgram(const std::vector<std::string>& arguments,
                        const std::function<std::int32_t(const std::vector<std::string>&)>& application);

}  // namespace qvl
