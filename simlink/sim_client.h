// The SimClient thread: it owns the live connection with the simulator. It
// waits until the simulator accepts the connection, registers the program's
// identifiers, and then dispatches every millisecond until it is told to
// stop. The dispatch procedure turns each reply into link state: the running
// flag, the frame sender, the user-aircraft data, the object events for the
// AI traffic engine, the reaction to a new flight, the simulator's
// exceptions.
//
// Exceptions raised while a reply is handled never pass through the
// simulator's library: the dispatch procedure keeps the first one and
// dispatchOnce rethrows it once the library has returned.
#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <stop_token>
#include <string_view>
#include <thread>

#include "core/user_error.h"
#include "platform/sim/sim_api.h"

namespace qvl {

struct RunState;
struct SimLinkState;
class SimLinkHookSlot;

inline constexpr std::string_view kSimClientThreadName = "SimClient";

// Codes of the user errors the link raises.
inline constexpr int kUnknownSimulatorCode = 77;
inline constexpr int kSimConnectVersionMismatchCode = 95;
inline constexpr int kWrongSimulatorCode = 2024;

// The simulator that answered is the other one than SIM_CHOICE names: the
// choice is switched and the run restarts.
class WrongSimulatorError final : public UserErrorException {
public:
    WrongSimulatorError() : UserErrorException(kWrongSimulatorCode, "") {}
};

// The waits of the thread; tests replace the sleep.
struct SimClientTiming {
    std::function<void(std::chrono::milliseconds)> sleep;
};

// The thread body. Returns when stopped, when a closing flag is set before a
// connection exists, when the connection is lost, or after an exception
// (which it handles itself).
void lf_simClientThread(const std::stop_token& stop, SimLinkState& link, RunState& run, sim::SimLibrary& library,
                        SimClientTiming timing = {});

// The SimClient thread, started; stopping and joining it (its destructor
// does both) ends the connection.
[[nodiscard]] std::jthread startSimClientThread(SimLinkState& link, RunState& run, sim::SimLibrary& library,
                                                SimClientTiming timing = {});

// What one dispatch call carries through the library.
struct DispatchContext {
    SimLinkState& link;
    RunState& run;
    std::exception_ptr kept;  // the first exception of the replies
};

// The dispatch procedure; `context` is a DispatchContext. Without one a
// reply cannot be handled and is only logged.
void lf_dispatchProc(const sim::RecvHeader* message, std::uint32_t size, void* context);

// One dispatch call: rethrows what the replies raised; false when the call
// failed (the connection is gone).
bool dispatchOnce(SimLinkState& link, RunState& run, sim::SimConnection& connection);

// Closes the handle when there is one and sets it to nullptr.
void gf_closeSimConnect(sim::SimConnection*& handle);

// After a new flight: the user's stand becomes the park airport's reserved
// stand when the user stands still on the ground.
void lf_onFlightReloaded(const SimLinkHookSlot& hooks);

}  // namespace qvl
