// The commands for the simulator and the frame sender that sends them.
//
// The AI traffic engine decides on the run thread what the simulator must
// do; only the SimClient thread talks to the simulator. Between them stand a
// double-buffered batch of positions, the client events, the creations and
// the removals, all under one mutex (simQueueMutex_). At every simulator frame the
// frame sender (lf_onFrame) sends them in a fixed order. Neither side waits
// for the other: the frame sender and the exchange of the position batches
// only try the mutex and skip their turn when it is busy.
//
// Lock order: the engine's event mutex, then simQueueMutex_, then the
// creation lists' mutex. Nothing else is locked while simQueueMutex_ is
// held except the log's, the message lines', the status panel's and the
// hooks' own leaf locks.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/sim_api.h"

namespace qvl {

struct SimLinkState;
struct RunState;

// One AI aircraft's position for one frame. The first 64 bytes are the data
// block of definition 402, in this order.
struct PositionCommand {
    double latitude = 0.0;       // degrees
    double longitude = 0.0;      // degrees
    double pitch = 0.0;          // radians, negative is nose up
    double bank = 0.0;           // radians
    double heading = 0.0;        // radians true
    double altitude = 0.0;       // feet
    double verticalSpeed = 0.0;  // feet per second
    double trueAirspeed = 0.0;   // knots
    std::uint32_t objectId = 0;  // 0 until the simulator reported the object
};
static_assert(sizeof(PositionCommand) == 72);
static_assert(offsetof(PositionCommand, objectId) == 64);

struct EventCommand {
    std::uint32_t objectId = 0;
    std::uint32_t eventId = 0;  // a SimEventId from 206 to 222
    std::uint32_t data = 0;
};

// The seven lights that gf_queueLights sets at once; off unless named.
struct Lights {
    bool nav = false;
    bool beacon = false;
    bool landing = false;
    bool taxi = false;
    bool strobes = false;
    bool logo = false;
    bool cabin = false;
};

struct CreateAircraftCommand {
    sim::InitPosition position{};
    std::string callsign;     // the tail number the simulator shows
    std::string liveryTitle;  // owned: the catalogue may change before the frame
    std::uint32_t hexId = 0;  // the engine's number for the aircraft
};

// A creation asked of the simulator and not yet tied to an object.
struct PendingCreation {
    std::uint32_t packetId = 0;
    std::uint32_t hexId = 0;
    std::string callsign;
    std::chrono::steady_clock::time_point askedAt{};
};

// A creation the simulator has not reported in this time never will be.
inline constexpr std::chrono::minutes kPendingCreationLifetime{5};

// What the frame sender finds queued, seen under the queue mutex.
struct QueuedCommands {
    std::span<const PositionCommand> positions;
    std::span<const EventCommand> events;
    std::span<const CreateAircraftCommand> creations;
    std::span<const std::uint32_t> removals;
};

// Sizes of the queues, under the mutex. The write batch belongs to the run
// thread and is not counted.
struct SimQueueSizes {
    std::size_t sendPositions = 0;
    std::size_t events = 0;
    std::size_t creations = 0;
    std::size_t removals = 0;
};

class SimQueues {
public:
    // Room for 256 entries in every queue and list, so that steady operation
    // allocates nothing.
    void reserve();
    // Empties every queue and list; the batches take their first roles again.
    void clear();

    // --- Producers (a blocking lock per call) ---
    void pushCreation(const CreateAircraftCommand& command);
    // In the given order, under one lock.
    void pushEvents(std::span<const EventCommand> events);
    void pushRemoval(std::uint32_t objectId);

    // --- The run thread's position batch ---
    // Appends to the write batch. Run thread only; no lock.
    void appendPosition(const PositionCommand& position);
    // Once per tick: when the mutex is free the batches change roles (the new
    // write batch is emptied); when it is busy the write batch's positions
    // are dropped. True when the batches changed roles.
    bool exchangePositionBatches();

    // --- The frame sender ---
    // When the mutex is free: `send` sees the queued commands while the mutex
    // is held, and they are emptied afterwards when it returns true. False
    // (and nothing touched) when the mutex is busy.
    template <class Send>
    bool trySend(Send&& send) {
        std::unique_lock lock(simQueueMutex_, std::try_to_lock);
        if (!lock.owns_lock()) return false;
        if (send(QueuedCommands{sendBatch(), events_, creations_, removals_})) discardQueuedLocked();
        return true;
    }
    // The mutex for a simulator request made from another thread, so that it
    // never overlaps with the frame sender's calls.
    [[nodiscard]] std::unique_lock<std::mutex> lock() { return std::unique_lock(simQueueMutex_); }
    [[nodiscard]] SimQueueSizes sizes() const;

    // --- Creations asked of the simulator, and objects it reported ---
    // Used on the SimClient thread; a leaf lock of their own keeps them safe
    // for readers on other threads.
    // Creations asked more than kPendingCreationLifetime before this one are
    // dropped: left, a later object with the same callsign would be tied to them.
    void rememberCreation(PendingCreation creation);
    // Removes and returns the first creation with that packet id (the last
    // entry takes its place).
    std::optional<PendingCreation> takeCreationByPacket(std::uint32_t packetId);
    // The same, by callsign.
    std::optional<PendingCreation> takeCreationByCallsign(std::string_view callsign);
    void noteNewObjectId(std::uint32_t objectId);
    // True when the id was waiting; it is removed (the last entry takes its place).
    bool takeNewObjectId(std::uint32_t objectId);
    [[nodiscard]] std::vector<PendingCreation> pendingCreations() const;
    [[nodiscard]] std::vector<std::uint32_t> newObjectIds() const;

private:
    std::vector<PositionCommand>& writeBatch() { return positionBatches_[writeIndex_]; }
    std::vector<PositionCommand>& sendBatch() { return positionBatches_[1 - writeIndex_]; }
    void discardQueuedLocked();

    mutable std::mutex simQueueMutex_;  // guards everything below down to the lists
    std::array<std::vector<PositionCommand>, 2> positionBatches_;
    // Which batch the run thread writes; changed only under the mutex, on the run thread.
    std::size_t writeIndex_ = 0;
    std::vector<EventCommand> events_;
    std::vector<CreateAircraftCommand> creations_;
    std::vector<std::uint32_t> removals_;

    mutable std::mutex listMutex_;  // a leaf lock: guards the two lists
    std::vector<PendingCreation> pending_;
    std::vector<std::uint32_t> newObjects_;
};

// Prepares the queues for a run (room for 256 entries each) and clears the
// pause flag. Called before the SimClient thread starts.
void gf_initSimQueues(SimLinkState& link);

// --- Producers ---
void gf_queueCreateAircraft(SimQueues& queues, const CreateAircraftCommand& command);
void gf_queueEngineShutdown(SimQueues& queues, std::uint32_t objectId);
void gf_queueEngineStart(SimQueues& queues, std::uint32_t objectId);
// Seven events under one lock: nav, beacon, landing, taxi, strobes, logo, cabin.
void gf_queueLights(SimQueues& queues, std::uint32_t objectId, const Lights& lights);
void gf_queueNavLights(SimQueues& queues, std::uint32_t objectId, bool on);
void gf_queueCabinLights(SimQueues& queues, std::uint32_t objectId, bool on);

// --- The consumer (SimClient thread) ---
void lf_onFrame(SimLinkState& link, RunState& run);
void gf_createAiAircraft(SimLinkState& link, RunState& run, const CreateAircraftCommand& command);
void gf_removeAiAircraft(SimLinkState& link, RunState& run, std::uint32_t objectId);
// The one reaction to any failed request: message, paused queues, the run
// ends with SIMCONNECT ERROR and restarts after 9 seconds. Returns the
// previous pause flag.
bool gf_onSimConnectRequestError(SimLinkState& link, RunState& run);

}  // namespace qvl
