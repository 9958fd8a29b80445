// The context every engine function takes: the engine's own state and the
// parts it works with, the clocks it reads and the services of the livery
// catalogue, the stands and the flight plans. The program owns one of each
// part and builds one Engine over them; tests build theirs with a manual
// clock and fakes, and drive lf_handleAddingStack tick by tick.
//
// The engine runs on the run thread only. Of its state only the object-event
// queue is shared (with the simulator link's thread).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "airports/loaded_park_airport.h"
#include "airports/stand.h"
#include "core/current_park_airport.h"
#include "core/half_hour_slots.h"
#include "core/range_control.h"
#include "core/result.h"
#include "core/run_state.h"
#include "core/status.h"
#include "engine/base/engine_state.h"
#include "engine/base/live_ac.h"
#include "feed/feed_state.h"
#include "feed/realtraffic_link.h"
#include "feed/traffic_queue.h"
#include "simlink/sim_state.h"
#include "simlink/user_aircraft.h"
#include "simlink/user_aircraft_block.h"

namespace qvl {

// The livery catalogue's matchers.
class LiveryService {
public:
    virtual ~LiveryService() = default;
    // Sets the flight's livery title (and its FSLTL flag) when a livery
    // matches; leaves the title empty otherwise.
    virtual void matchLiveAcLivery(FlightRec& flight) = 0;
    // True with the title set when a livery matches the static aircraft.
    virtual bool matchStaticAcLivery(FlightRec& flight, bool cargoStand) = 0;
    // The same, naming the stand (its id) in the line of a failed match.
    virtual bool matchStaticAcLiveryOnStand(FlightRec& flight, std::string_view standId, bool cargoStand) = 0;
    // The livery title the registration codes fix for a registration; empty
    // when they fix none.
    virtual std::string_view registrationTitle(std::string_view registration) = 0;
};

// One flight learned at a stand.
struct StandOption {
    LiveryKey key;             // airline, second airline, type, cargo
    std::string registration;  // the key text
    std::string callsign1;
    std::string callsign2;
    HalfHourSlots hours;
    std::uint32_t index = 0;  // unique within the stand, from 1; 0 = not in use
    std::uint32_t day = 0;    // 1..7
    bool real = false;
    bool cpl = false;
    bool seenWhileParked = false;
};

struct StandOptionAdded {
    std::uint32_t index = 0;
    bool added = false;
};

// The park airport's stands. Numbers below 1 and unknown numbers are
// ignored by every call that takes one.
class StandService {
public:
    virtual ~StandService() = default;
    // The stand's id text for messages; "sid==0?" for 0, "sid==?" for an
    // unknown number.
    virtual std::string standIdText(std::uint32_t standNumber) = 0;
    // The mark that a live aircraft occupies (or no longer occupies) the stand.
    virtual void setStandOccupied(std::uint32_t standNumber, bool occupied) = 0;

    // The stand list in its order (ascending numbers). A stand handed out
    // lives in the park airport's list: it stays valid until that list is
    // loaded or cleared again, which never happens within a tick.
    [[nodiscard]] virtual std::size_t standCount() = 0;
    [[nodiscard]] virtual const Stand* standAt(std::size_t index) = 0;
    [[nodiscard]] virtual const Stand* findStand(std::uint32_t standNumber) = 0;
    [[nodiscard]] virtual std::vector<StandOption> standOptions(std::uint32_t standNumber) = 0;
    // The list itself, to read. Valid as the stands handed out above are.
    [[nodiscard]] virtual const std::vector<Stand>& standList() = 0;
    // The stands for the static parking's selection, which marks them taken,
    // blocked or next to a taken one and leaves out the flights it used. The
    // list's length and order stay the service's. Valid as above.
    [[nodiscard]] virtual std::span<Stand> selectionStands() = 0;
    // The stand takes the radius learned from an aircraft that stood on it:
    // its learned-size and radius-changed flags are set (so the learned file
    // keeps it) and one stand change is counted.
    virtual void learnStandSize(std::uint32_t standNumber, double radiusNm) = 0;
    // Clears the stand's cargo flag, sets its cargo-changed flag and counts
    // one stand change.
    virtual void clearCargoFlag(std::uint32_t standNumber) = 0;
    // Finds or appends the learned flight of this key text for the week
    // time's day and slot; a new one is counted as a stand change.
    virtual StandOptionAdded addStandOption(std::uint32_t standNumber, LiveryKey ids, WeekTime time,
                                            const std::string& callsign, const std::string& keyText,
                                            std::uint8_t flag) = 0;
    virtual void setOptionCallsign(std::uint32_t standNumber, std::uint32_t optionIndex,
                                   const std::string& callsign) = 0;
    // Sets the hour bits of the slots; false for a slot of 48 or more.
    virtual bool updateOptions(std::uint32_t standNumber, const std::vector<std::uint32_t>& slots,
                               std::uint32_t optionIndex) = 0;
    // As updateOptions for slots that wrap past 47: the slots after the wrap
    // go to the next day's option.
    virtual bool updateOptionsWrapped(std::uint32_t standNumber, const std::vector<std::uint32_t>& slots,
                                      std::uint32_t optionIndex, std::uint32_t nextDayIndex) = 0;
    virtual void markSeenWhileParked(std::uint32_t standNumber, std::uint32_t optionIndex) = 0;
    // One more stand change for the learned file and the main window.
    virtual void countStandChange() = 0;
};

// A plan handed to the writer and now on disk, or not.
struct FlightPlanWritten {
    std::uint32_t objectId = 0;
    bool written = false;
};

// The flight-plan files of live aircraft, "<object id>.pln" in the plan
// folder. The loop never waits on the disk: writes and deletions are handed
// to a writer and carried out in the order they were asked for.
class FlightPlanService {
public:
    virtual ~FlightPlanService() = default;
    // Hands the plan of the flight to the writer; its outcome comes back
    // through takeWritten(). A later write of the same object replaces it.
    virtual void write(std::uint32_t objectId, const FlightRec& flight) = 0;
    virtual std::filesystem::path path(std::uint32_t objectId) = 0;
    // Hands the deletion of the plan to the writer, after any write of it
    // asked for before; the outcome of a write still waiting is then never
    // reported. A failure is logged.
    virtual void remove(std::uint32_t objectId) = 0;
    // The plans written (or failed) since the last call, in their order.
    [[nodiscard]] virtual std::vector<FlightPlanWritten> takeWritten() = 0;
};

// What the engine reads of time and of the user aircraft, replaceable so that
// tests run without wall time. makeEngine sets the program's own.
struct EngineClocks {
    std::function<std::chrono::steady_clock::time_point()> steadyNow;
    // The traffic clock's week time, packed as gf_trafficDaySlot packs it;
    // unset: the feed's traffic clock.
    std::function<std::uint64_t()> weekTime;
    // The user aircraft's latest snapshot from the simulator link.
    std::function<UserAircraftBlock()> userAircraft;
};

// The user aircraft as the engine works with it. Both are required: without
// them the engine would fly its traffic around a user at 0,0 and the traffic
// client would never hear where the user is.
struct EngineUserAircraft {
    // The user aircraft's latest snapshot from the simulator link.
    std::function<UserAircraftBlock()> read{};
    // The user's state to the traffic client (every 100 ticks).
    std::function<void(const UserState&)> send{};
};

// The traffic reader's collection of the callsigns it sees, which a
// static-parking update takes over.
class CallsignCollection {
public:
    virtual ~CallsignCollection() = default;
    virtual void startCallsignCollection() = 0;
    [[nodiscard]] virtual std::set<std::string> takeCollectedCallsigns() = 0;
};

struct Engine {
    EngineState& state;
    FeedState& feed;
    TrafficQueue& traffic;
    SimLinkState& link;
    RunState& run;
    CurrentParkAirportState& parkAirport;
    // The park airport's stands as loaded, with what its stand file said.
    LoadedParkAirport& loadedPark;
    // The traffic radius, which a learned file's settings may change.
    RangeControl& range;
    LiveryService& liveries;
    StandService& stands;
    FlightPlanService& flightPlans;
    // What changed, for the main window.
    Status& status;
    CallsignCollection& callsigns;
    EngineClocks clocks;
    // The user's state to the traffic client (every 100 ticks).
    std::function<void(const UserState&)> sendUserState;

    // The engine's tick counter (feed's: the reader stamps due ticks with it).
    [[nodiscard]] std::int32_t now() const noexcept { return feed.tickCounter.load(std::memory_order_relaxed); }
    [[nodiscard]] WeekTime weekTime() const;
    // QNH in hPa as the QNH reader published it.
    [[nodiscard]] std::int32_t qnh() const noexcept { return feed.publishedQnh.load(std::memory_order_relaxed); }
};

// The parts an Engine works with; their owner keeps them alive while the
// engine lives.
struct EngineParts {
    EngineState& state;
    FeedState& feed;
    TrafficQueue& traffic;
    SimLinkState& link;
    RunState& run;
    CurrentParkAirportState& parkAirport;
    LoadedParkAirport& loadedPark;
    RangeControl& range;
    LiveryService& liveries;
    StandService& stands;
    FlightPlanService& flightPlans;
    Status& status;
    CallsignCollection& callsigns;
    EngineUserAircraft userAircraft;
};

// The one construction of the engine: over its parts, on the steady clock
// and the traffic clock's week time. Throws std::invalid_argument, naming
// them, when the user aircraft's functions are missing.
Engine makeEngine(const EngineParts& parts);

// As a traffic run wires it: the user aircraft is read from the link's
// snapshot, and every 100 ticks the user's state goes to the traffic client
// and the next user block is asked for (the simulator sends one only when
// asked; without it the user's state and the simulator's time would stay as
// at start-up).
EngineUserAircraft linkedUserAircraft(UserAircraftState& user, RealTrafficLink& realTraffic, SimLinkState& link,
                                      RunState& run);

}  // namespace qvl
