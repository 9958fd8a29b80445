// The stand-in simulator: an in-process world behind the client interface of
// sim_api.h, so that the simulator link runs and is tested without the real
// simulator.
//
// The world: a running flag, the simulator's name and version, a zulu clock,
// the user's aircraft (parked, or moving on a straight line), AI objects made
// from a set of installed titles, client events and set data counted per
// object, data requests (once, every second, by type within a radius), frame
// events at a frame rate, the system events "Sim", "ObjectAdded",
// "ObjectRemoved", "Frame" and "FlightLoaded", and facility data per airport.
//
// Time: the world moves to the clock's present, one frame at a time,
// whenever a connection is called. A `ManualSimClock` makes tests step it
// exactly.
//
// Its own thread (`runOnOwnThread`, which runs use): as the simulator does in
// a process of its own, the stand-in then steps its frames, answers the calls
// and writes its trace on a thread of its own, so that what a run measures of
// its own threads is the program's work. A call only sends and wakes nobody:
// the thread answers it at its next frame, and the answers (or the exception)
// come with a later dispatch. `settle` waits until the thread
// has answered everything sent before and caught up with the clock, so that
// tests stay exact with a manual clock.
//
// Threads: every call is safe from any thread. One mutex guards the world;
// the dispatch callback, the log hook and nothing else of the caller ever runs
// while it is held. Lock order: the trace file's lock, then the world's.
//
// Faults: opens that fail, calls that fail, injected exceptions, quitting,
// refused creations (by title or for the next few), an object limit, foreign
// objects, teleports of the user's aircraft, texts that fill their fields
// without a zero byte, facility data without its end item.
//
// Trace: one line per call and per change of an object, kept in memory on
// request and written to a file on request; see `traceLines`. The file is
// written in blocks, a few times a second by the stand-in's clock, when a
// connection closes and when the stand-in ends, so that a run with hundreds of
// aircraft does not pay one write per line.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/sim/sim_api.h"
#include "platform/sim/sim_clock.h"

namespace qvl::sim {

struct UserAircraftScript {
    ObjectId objectId = 1;
    std::string title = "Stand-in Airliner";
    std::string atcModel = "A320";
    std::string atcId = "D-STIN";
    double latitude = 0.0;   // degrees
    double longitude = 0.0;  // degrees
    double altitudeFt = 0.0;
    double headingDeg = 0.0;
    // 0 keeps the aircraft parked; otherwise it moves along its heading while
    // the simulation runs.
    double groundSpeedKt = 0.0;
    bool onGround = true;
    std::uint64_t lights = 0;
};

// An AI object that some other program put into the world.
struct ForeignObject {
    std::string title = "Foreign Traffic";
    std::string atcId;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitudeFt = 0.0;
    bool onGround = true;
};

struct FacilityParking {
    std::int32_t type = 0;
    std::int32_t taxiPointType = 0;
    std::int32_t name = 0;
    std::int32_t suffix = 0;
    std::uint32_t number = 0;
    std::int32_t orientation = 0;
    float heading = 0.0f;  // degrees
    float radius = 0.0f;   // metres
    float biasX = 0.0f;    // metres east of the airport's reference point
    float biasZ = 0.0f;    // metres north
};

struct FacilityHelipad {
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;  // metres
    float heading = 0.0f;   // degrees
    float length = 0.0f;    // metres
    float width = 0.0f;     // metres
    std::int32_t surface = 0;
    std::int32_t type = 0;
};

struct FacilityAirport {
    std::string icao;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitudeMetres = 0.0;
    std::string name;
    std::vector<FacilityParking> parkings;
    std::vector<FacilityHelipad> helipads;
};

struct StandInConfig {
    std::string simulatorName = "KittyHawk";  // "SunRise" for the newer simulator
    std::array<std::uint32_t, 4> version{11, 0, 282174, 999};
    bool running = true;
    double frameRate = 30.0;
    std::int64_t zuluYear = 2024;
    std::int64_t zuluDayOfYear = 153;
    double zuluSeconds = 43200.0;
    double groundElevationFt = 0.0;
    ObjectId firstAiObjectId = 100;
    std::size_t objectLimit = 1000;  // AI objects alive at once
    int creationFrames = 3;          // frames from a creation call to its object
    double staticCgToGroundFt = 6.0;
    double staticPitchRad = -0.02;
    // When set, an AI object whose position data brings it within its static
    // CG height (and a foot) of the ground is on the ground, and airborne
    // above, as the simulator's own contact test makes it; otherwise only
    // data that sets "SIM ON GROUND" changes the flag.
    bool aiGroundContact = false;
    // Off: the trace leaves out set data that moves an object (the call and
    // its "object <id> data" line), which a run sends for every aircraft in
    // every frame; everything else is still traced.
    bool tracePositions = true;
    std::set<std::string> installedTitles;
    UserAircraftScript user;
    std::vector<ForeignObject> foreignObjects;
    std::vector<FacilityAirport> airports;
    // Problems of the stand-in itself (a trace file that cannot be opened,
    // for example). Without one they go to standard error, never nowhere.
    std::function<void(std::string_view)> logHook;
    // Faults.
    int openFailures = 0;
    bool unterminatedStrings = false;
    bool facilityNeverEnds = false;
    std::set<std::string> refusedTitles;
};

// What an object kept of one client event: how often it came and its last
// data. No history: an object lives as long as a run may last.
struct EventTally {
    std::uint64_t count = 0;
    std::uint32_t lastData = 0;
};

// A copy of one object's state.
struct ObjectSnapshot {
    ObjectId id = 0;
    bool user = false;
    bool foreign = false;
    std::string title;
    std::string atcId;
    std::string atcModel;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitudeFt = 0.0;
    double pitchRad = 0.0;
    double bankRad = 0.0;
    double headingRad = 0.0;
    double verticalSpeedFps = 0.0;
    double airspeedKt = 0.0;
    double groundSpeedKt = 0.0;
    bool onGround = false;
    std::uint64_t lights = 0;
    bool released = false;
    std::filesystem::path flightPlan;
    std::map<std::string, EventTally, std::less<>> events;  // by the simulator's event name
    std::size_t setDataCount = 0;
    std::map<std::string, double> values;  // other members set by data, upper-case names
};

// Lights bits of "LIGHT STATES" and of the *_LIGHTS_SET events.
enum LightBits : std::uint64_t {
    lightNav = 0x1,
    lightBeacon = 0x2,
    lightLanding = 0x4,
    lightTaxi = 0x8,
    lightStrobe = 0x10,
    lightLogo = 0x100,
    lightCabin = 0x200,
    lightAll = 0x3FF,
};

class StandInSimulator final : public SimLibrary {
public:
    explicit StandInSimulator(StandInConfig config = {},
                              std::shared_ptr<const SimClock> clock = std::make_shared<SteadySimClock>());
    ~StandInSimulator() override;
    StandInSimulator(const StandInSimulator&) = delete;
    StandInSimulator& operator=(const StandInSimulator&) = delete;

    HResult open(SimConnection** connection, std::string_view applicationName, std::uint32_t configIndex) override;

    // Reads a scenario file into `config`; each bad line is reported in
    // `problems` ("<file>:<line>: <why>") and skipped. False when the file
    // cannot be read.
    static bool readScenario(const std::filesystem::path& file, StandInConfig& config,
                             std::vector<std::string>& problems);

    // One frame of the clock, rounded up so that n intervals make n frames.
    std::chrono::nanoseconds frameInterval() const;
    std::uint64_t frameCount() const;

    // --- The world, from outside ---
    void setRunning(bool running);
    // The user loads a flight: "FlightLoaded" to the subscribers.
    void loadFlight(std::string_view fileName);
    // The simulator ends: QUIT to every open connection; opens fail and the
    // connections die after their QUIT until `restart`.
    void quit();
    void restart();
    void setSimulatorName(std::string name);
    void teleportUser(double latitude, double longitude);
    ObjectId addForeignObject(const ForeignObject& object);
    void installTitle(std::string title);

    // --- Faults ---
    void failOpens(int count);
    // The next `count` calls of that name fail without effect. Names as in
    // the trace: "CallDispatch", "TransmitClientEvent", "AICreateNonATCAircraft",
    // "AIRemoveObject", "RequestDataOnSimObject", "GetLastSentPacketID", ...
    void failCalls(std::string_view callName, int count);
    // An exception reply on the open connections of that application (all
    // open connections when the name is empty).
    void injectException(std::uint32_t code, std::uint32_t sendId, std::uint32_t index,
                         std::string_view applicationName = {});
    void refuseTitle(std::string title);
    void refuseNextCreations(int count);
    void setObjectLimit(std::size_t limit);
    void setUnterminatedStrings(bool on);
    void setFacilityNeverEnds(bool on);

    // --- Its own thread ---
    // From now on frames, answers and the trace file are the work of the
    // stand-in's own thread; it ends with the stand-in, after answering what
    // was sent before.
    void runOnOwnThread();
    // Waits until the thread has answered every call sent before and stepped
    // the world to the clock's present. Returns at once without the thread.
    void settle();
    // Ends the thread once it has answered and traced what was sent before.
    // False when it has not ended within the bound (blocked writing a trace
    // that nobody reads, say): the caller then ends the process, as the
    // stand-in's end would wait for that thread.
    [[nodiscard]] bool stopWithin(std::chrono::milliseconds bound);

    // --- Trace and log ---
    void keepTraceInMemory(bool on);
    // Lines go to the file from now on, "<frame> <text>" each, in blocks (see
    // above); what was waiting for the previous file goes there first. False
    // when the file cannot be opened.
    bool setTraceFile(const std::filesystem::path& file);
    std::vector<std::string> traceLines() const;
    void clearTrace();

    // --- Inspection ---
    std::optional<ObjectSnapshot> object(ObjectId id) const;
    // AI objects alive (created or foreign), ascending.
    std::vector<ObjectId> aiObjectIds() const;
    std::size_t openConnectionCount() const;

    struct World;  // the implementation's state

private:
    friend class StandInConnection;
    void serve(const std::stop_token& stop);
    void answerInbox(std::unique_lock<std::mutex>& lock);
    void writeTraceOffLock(std::unique_lock<std::mutex>& lock);

    std::unique_ptr<World> world_;
    std::mutex fileMutex_;              // the trace file while the thread runs; taken before mutex_
    mutable std::mutex mutex_;          // guards *world_
    std::condition_variable_any wake_;  // calls sent, a settle asked, the stop
    std::condition_variable settled_;   // a round of the thread done
    std::jthread thread_;               // last: stopped before the rest goes
};

// The stand-in for a run of the program: steady clock, the scenario of
// $QVL_SIM_SCENARIO when set, a trace file at $QVL_SIM_TRACE when set.
// Problems go to the log hook.
std::unique_ptr<StandInSimulator> makeStandInForRun(std::function<void(std::string_view)> log);

}  // namespace qvl::sim
