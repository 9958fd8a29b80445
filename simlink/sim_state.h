// The simulator link's state: one SimLinkState, owned by the program and
// passed by reference to the SimClient thread, the dispatch procedure, the
// frame sender and the queues' producers; tests make a fresh one.
//
// simHandle is written by the SimClient thread only. Code on other threads
// that calls the simulator goes through withConnection, which holds the
// queue mutex; the SimClient thread clears the handle under that mutex
// before it closes the connection, so no such call can use a handle being
// closed.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/sim/sim_api.h"
#include "simlink/sim_hooks.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_version.h"

namespace qvl {

// The user's object id until the first user block names it: objects 1 and 2
// are never taken for AI objects.
inline constexpr std::uint32_t kUserObjectIdAtStart = 2;

// What the status panel shows of the link, read as one.
struct SimLinkStatus {
    bool connected = false;      // the connected lamp
    bool running = false;        // the running lamp
    std::string connectionText;  // "MSFS 2020 (11.0.282174.999)"; empty before the first connection
};

// Written on the SimClient thread, read by the UI thread when it paints.
class SimStatusBoard {
public:
    [[nodiscard]] SimLinkStatus snapshot() const;
    void setConnected(bool connected);
    void setRunning(bool running);
    void setConnectionText(std::string text);
    // Lamps dark; the text stays (it names the last connection).
    void darken();
    void reset();

private:
    mutable std::mutex mutex_;  // a leaf lock: guards `status_`
    SimLinkStatus status_;
};

struct SimLinkState {
    // The simulator chosen for the run: from SIM_CHOICE when the run starts
    // and when the choice is switched.
    std::atomic<SimVersion> simVersion{SimVersion::msfs2020};
    // The live connection; nullptr while there is none.
    std::atomic<sim::SimConnection*> simHandle{nullptr};
    // True while the simulator reports that the simulation runs.
    std::atomic<bool> simRunning{false};
    // While true nothing is sent to the simulator and the user aircraft is not asked for.
    std::atomic<bool> simQueuesPaused{false};
    // The user's aircraft; an object counts as AI only when its id is greater.
    std::atomic<std::uint32_t> userObjectId{kUserObjectIdAtStart};

    SimQueues queues;
    SimStatusBoard status;
    SimLinkHookSlot hooks;

    // Back to the state before any connection: lamps dark, no text, no
    // handle, not running, not paused, queues empty, the user's id at its
    // start value. The chosen simulator (a setting's) and the installed hooks
    // (the parts' wiring) stay.
    void reset();

    // No connection lives: lamps dark, not running, no handle. The handle is
    // cleared under the queue mutex.
    void markDisconnected();

    // Calls `call` with the live connection while holding the queue mutex;
    // false when there is no connection.
    template <class Call>
    bool withConnection(Call&& call) {
        const auto lock = queues.lock();
        sim::SimConnection* handle = simHandle.load();
        if (handle == nullptr) return false;
        call(*handle);
        return true;
    }
};

}  // namespace qvl
