// The commands for the simulator and the frame sender that sends them.
//
// The AI traffic engine decides on the run thread what the simulator must
// do; only the SimClient thread talks to the simulator. Between them stand a
// double-buffered batch of positions, the client events, the creations and
// the removals, all under simQueueMutex. At every simulator frame the frame
// sender (lf_onFrame) sends them in a fixed order. Neither side waits for the
// other: the frame sender and the exchange of the position batches only try
// the mutex and skip their turn when it is busy.
//
// Lock order: the engine's event mutex before simQueueMutex. Nothing is
// locked while simQueueMutex is held except the log's and the message
// lines' own leaf locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/sim/sim_api.h"

namespace qvl {

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
};

// Guards the position batches, the events, the creations and the removals.
// Run-thread requests to the simulator are also made while holding it.
std::mutex& simQueueMutex();

// Prepares the queues for a run (room for 256 entries each) and clears the
// pause flag. Called before the SimClient thread starts.
void gf_initSimQueues();
// Empties every queue and list (the reset between runs).
void clearSimQueues();

// --- Producers (a blocking lock per call) ---
void gf_queueCreateAircraft(const CreateAircraftCommand& command);
void gf_queueEngineShutdown(std::uint32_t objectId);
void gf_queueEngineStart(std::uint32_t objectId);
// Seven events under one lock: nav, beacon, landing, taxi, strobes, logo, cabin.
void gf_queueLights(std::uint32_t objectId, const Lights& lights);
void gf_queueNavLights(std::uint32_t objectId, bool on);
void gf_queueCabinLights(std::uint32_t objectId, bool on);
// Gear, flaps, spoilers, throttle, the all-lights toggle, the freezes: in
// the given order under one lock.
void queueClientEvents(std::span<const EventCommand> events);
void queueRemoval(std::uint32_t objectId);

// --- The run thread's position batch ---
// Appends to the write batch. Run thread only; no lock.
void appendPosition(const PositionCommand& position);
// Once per tick: when the mutex is free the batches change roles (the new
// write batch is emptied); when it is busy the write batch's positions are
// dropped. True when the batches changed roles.
bool exchangePositionBatches();

// --- The consumer (SimClient thread) ---
void lf_onFrame();
void gf_createAiAircraft(const CreateAircraftCommand& command);
void gf_removeAiAircraft(std::uint32_t objectId);
// The one reaction to any failed request: message, paused queues, the run
// ends with SIMCONNECT ERROR and restarts after 9 seconds. Returns the
// previous pause flag.
bool gf_onSimConnectRequestError();

// Touched only on the SimClient thread, outside the mutex.
std::vector<PendingCreation>& pendingCreations();
std::vector<std::uint32_t>& newObjectIds();

// Sizes of the queues, under the mutex. The write batch belongs to the run
// thread and is not counted.
struct SimQueueSizes {
    std::size_t sendPositions = 0;
    std::size_t events = 0;
    std::size_t creations = 0;
    std::size_t removals = 0;
};
SimQueueSizes simQueueSizes();

}  // namespace qvl
