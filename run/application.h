// The program from its entry to its exit code: one instance, Log.txt, the
// command-line switches, the product folder, the main window and its loop,
// the run threads, and the window position saved at the end.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/file_writer.h"
#include "feed/readers.h"
#include "platform/sim/sim_api.h"
#include "platform/ui/window.h"
#include "run/close_bound.h"
#include "run/run_clock.h"

namespace qvl {

// The program's own messages to its UI thread.
enum class AppWindowMessage : std::uint32_t {
    startRun = 0x8001,     // a new run thread
    saveAndQuit = 0x8002,  // save the window position and end with the value as exit code
};

// The production switches: "--production", "/production" on,
// "--no-production", "/no-production" off, any case, the last one wins;
// empty when none is given.
std::optional<bool> productionSwitch(const std::vector<std::string>& arguments);

// The single-instance lock's name.
inline constexpr const char* kInstanceName = "Local\\$QVLT$";

// Asks the running program for a PNG of its own window at this path: once
// the window has shown, then again every couple of seconds while it runs
// (each one renamed into place whole).
inline constexpr const char* kWindowPngVariable = "QVL_WINDOW_PNG";

// The readers' UDP ports. The program keeps the defaults; these variables
// move them, so that a test's program and its stand-in traffic client run
// beside another program on one machine.
inline constexpr const char* kTrafficPortVariable = "QVL_TRAFFIC_PORT";
inline constexpr const char* kQnhPortVariable = "QVL_QNH_PORT";

struct ReaderPorts {
    std::uint16_t traffic = kTrafficPort;
    std::uint16_t qnh = kQnhPort;
};

// The ports that the two variables' texts name (null: not set). A text that
// is no port from 1 to 65535 keeps that default, with an attention line.
ReaderPorts readerPortsFrom(const char* trafficText, const char* qnhText);

// Everything after the single-instance check and the log: returns the exit
// code (1 when the start fails before the loop).
std::int32_t gf_runApplication(const std::shared_ptr<ui::Window>& window, sim::SimLibrary& simulator,
                               const std::vector<std::string>& arguments, ReaderPorts ports = {});
// The same on the clock and the file layer given (the program's are the
// steady clock and the disk): a benchmark of the whole program times the
// main loop's ticks through the clock that the loop paces itself by, and
// makes the flight plans' writer answer slowly through its file layer.
std::int32_t gf_runApplication(const std::shared_ptr<ui::Window>& window, sim::SimLibrary& simulator,
                               const std::vector<std::string>& arguments, ReaderPorts ports, RunClock& clock,
                               std::shared_ptr<FileLayer> files = std::make_shared<DiskFileLayer>());
// The same within the caller's bound on the close: the window's close and
// the close signals start it, and so does the end of the window's loop; what
// the caller still ends after the return (the simulator) has what is left.
std::int32_t gf_runApplication(const std::shared_ptr<ui::Window>& window, sim::SimLibrary& simulator,
                               const std::vector<std::string>& arguments, ReaderPorts ports, RunClock& clock,
                               CloseBound& closeBound,
                               std::shared_ptr<FileLayer> files = std::make_shared<DiskFileLayer>());

// The whole program: -1 for a second instance (nothing written, no window);
// 1 when Log.txt cannot be opened (said on stderr and, with a display, in a
// dialog). `application` runs only once the instance is ours and the log is
// open.
std::int32_t runProgram(const std::vector<std::string>& arguments,
                        const std::function<std::int32_t(const std::vector<std::string>&)>& application);

}  // namespace qvl
