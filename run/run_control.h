// The state that run control owns: what lives for the whole process and what
// lives for one run's main loop. RunControl bundles them with the run state,
// the window's request flags, the clock, the window and the other parts'
// steps of each phase, and is what every function of the run takes.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "core/run_state.h"
#include "core/status.h"
#include "engine/base/parking_update.h"
#include "platform/ui/controls.h"
#include "run/closing_down_steps.h"
#include "run/main_loop_steps.h"
#include "run/run_clock.h"
#include "run/run_window.h"
#include "run/start_up_steps.h"
#include "run/traffic_run_steps.h"
#include "run/window/command_flags.h"

namespace qvl {

// Kept across restarts; the reset of a run leaves it.
struct ProcessState {
    // The run stops after the data preparation (set from the command line).
    std::atomic<bool> productionMode{false};
    // The run ends with a restart; the next run skips the version check.
    std::atomic<bool> restarting{false};
    // The reference database has been read in this process.
    std::atomic<bool> dataFilesRead{false};
    std::atomic<std::int32_t> exitCode{0};
    std::atomic<bool> simIs2020{true};
    // 1 for the 2020 simulator, 2 for 2024; written into generated files.
    std::atomic<std::int32_t> simNumber{1};
    // Day of week and half-hour slot of the traffic clock.
    std::atomic<std::uint64_t> trafficDaySlot{0};
    // The RealTraffic client is installed on this PC.
    std::atomic<bool> rtLocal{false};
    // The window's close (its button or a close signal) came. Only this ends
    // a restart countdown: the start-up's own user-close exit also raises
    // closeRequested, and a run that a reader error ended must still restart.
    std::atomic<bool> closePressed{false};
};

// The main loop's own counters; the run thread alone reads and writes them.
struct LoopState {
    static constexpr std::int32_t kNotRunningPeriodTicks = 100;
    static constexpr std::int32_t kSecondsPerDay = 86400;

    std::int32_t secondsCounter = 0;
    bool notRunning = false;
    std::int32_t notRunningTicks = kNotRunningPeriodTicks;
    // The first 15-second step of an announced parking update is done.
    bool parkingUpdateStarted = false;
    // The window's re-read of the park airports is reading their files: it
    // is looked after every second until its answer comes.
    bool parkAirportsRereading = false;
    std::uint32_t followedObjectId = 0;

    void reset() noexcept { *this = LoopState{}; }
};

struct RunControl {
    RunState& run;
    ProcessState& process;
    LoopState& loop;
    CommandFlags& flags;
    // The engine's state of the static-parking update: announced by the
    // window, served by the loop.
    ParkingUpdate& parkingUpdate;
    // The other parts' steps, one interface per phase.
    StartUpSteps& startUp;
    TrafficRunSteps& trafficRun;
    MainLoopSteps& mainLoop;
    ParkingSteps& parking;
    CallsignSteps& callsigns;
    ClosingDownSteps& closingDown;
    RunWindow& window;
    // The main window's controls, which the start of a run fills and switches.
    ui::Controls& controls;
    // What the run reports to the window: counts and control states.
    Status& status;
    RunClock& clock;
};

// The main loop's grid and the bounds of the run's waits.
inline constexpr std::chrono::milliseconds kTickPeriod{10};
inline constexpr std::chrono::milliseconds kLateLimit{100};
inline constexpr std::chrono::milliseconds kThreadJoinBound{5000};

}  // namespace qvl
