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
#include <string>
#include <string_view>
#include <vector>

#include "core/half_hour_slots.h"
#include "core/run_state.h"
#include "engine/engine_state.h"
#include "engine/live_ac.h"
#include "engine/stands/park_airport_state.h"
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
    virtual bool matchStaticAcLiveryOnStand(FlightRec& flight, std::string_view /*standId*/, bool cargoStand) {
        return matchStaticAcLivery(flight, cargoStand);
    }
    // The livery title the registration codes fix for a registration; empty
    // when they fix none.
    virtual std::string_view registrationTitle(std::string_view /*registration*/) { return {}; }
};

// One stand of the park airport as the engine reads it.
struct StandInfo {
    std::uint32_t number = 0;  // from 1; the list is sorted by it
    std::string id;            // its name in messages
    double latitude = 0.0;     // degrees
    double longitude = 0.0;    // degrees
    double heading = 0.0;      // radians
    double radius = 0.0;       // nm
    bool helipad = false;
    bool cargo = false;
    bool occupied = false;
    std::vector<std::uint32_t> neighbours;  // numbers of overlapping stands
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
// ignored by every call that takes one. The defaults describe an airport
// without stands.
class StandService {
public:
    virtual ~StandService() = default;
    // The stand's id text for messages; "sid==0?" for 0, "sid==?" for an
    // unknown number.
    virtual std::string standIdText(std::uint32_t standNumber) = 0;
    // The mark that a live aircraft occupies (or no longer occupies) the stand.
    virtual void setStandOccupied(std::uint32_t standNumber, bool occupied) = 0;

    // The stand list in its order (ascending numbers).
    [[nodiscard]] virtual std::size_t standCount() { return 0; }
    [[nodiscard]] virtual std::optional<StandInfo> standAt(std::size_t /*index*/) { return std::nullopt; }
    [[nodiscard]] virtual std::optional<StandInfo> findStand(std::uint32_t /*standNumber*/) { return std::nullopt; }
    [[nodiscard]] virtual std::vector<StandOption> standOptions(std::uint32_t /*standNumber*/) { return {}; }
    // The stand takes the radius learned from an aircraft that stood on it:
    // its learned-size and radius-changed flags are set (so the learned file
    // keeps it) and one stand change is counted.
    virtual void learnStandSize(std::uint32_t /*standNumber*/, double /*radiusNm*/) {}
    // Clears the stand's cargo flag, sets its cargo-changed flag and counts
    // one stand change.
    virtual void clearCargoFlag(std::uint32_t /*standNumber*/) {}
    // Finds or appends the learned flight of this key text for the week
    // time's day and slot; a new one is counted as a stand change.
    virtual StandOptionAdded addStandOption(std::uint32_t /*standNumber*/, LiveryKey /*ids*/, WeekTime /*time*/,
                                            const std::string& /*callsign*/, const std::string& /*keyText*/,
                                            std::uint8_t /*flag*/) {
        return {};
    }
    virtual void setOptionCallsign(std::uint32_t /*standNumber*/, std::uint32_t /*optionIndex*/,
                                   const std::string& /*callsign*/) {}
    // Sets the hour bits of the slots; false for a slot of 48 or more.
    virtual bool updateOptions(std::uint32_t /*standNumber*/, const std::vector<std::uint32_t>& /*slots*/,
                               std::uint32_t /*optionIndex*/) {
        return false;
    }
    // As updateOptions for slots that wrap past 47: the slots after the wrap
    // go to the next day's option.
    virtual bool updateOptionsWrapped(std::uint32_t /*standNumber*/, const std::vector<std::uint32_t>& /*slots*/,
                                      std::uint32_t /*optionIndex*/, std::uint32_t /*nextDayIndex*/) {
        return false;
    }
    virtual void markSeenWhileParked(std::uint32_t /*standNumber*/, std::uint32_t /*optionIndex*/) {}
    // One more stand change for the learned file and the main window.
    virtual void countStandChange() {}
};

// The flight-plan files of live aircraft, "<object id>.pln" in the plan folder.
class FlightPlanService {
public:
    virtual ~FlightPlanService() = default;
    // Writes the plan of the flight; false when it could not be written.
    virtual bool write(std::uint32_t objectId, const FlightRec& flight) = 0;
    virtual std::filesystem::path path(std::uint32_t objectId) = 0;
    // Deletes the plan; false with the system's error text when that failed.
    virtual bool remove(std::uint32_t objectId, std::string& error) = 0;
};

// What the engine reads of time and of the user aircraft, replaceable so that
// tests run without wall time.
struct EngineClocks {
    std::function<std::chrono::steady_clock::time_point()> steadyNow = [] { return std::chrono::steady_clock::now(); };
    // The traffic clock's week time, packed as gf_trafficDaySlot packs it.
    std::function<std::uint64_t()> weekTime;
    // The user aircraft's latest snapshot from the simulator link.
    std::function<UserAircraftBlock()> userAircraft = [] { return UserAircraftBlock{}; };
};

// What the engine shows in the main window, installed by the window.
struct EngineWindowHooks {
    // The text of the aircraft followed through CALLSIGN_2_OBJECTID.
    std::function<void(const std::string&)> setSelectedText;
    std::function<void()> repaint;
};

struct Engine {
    EngineState& state;
    FeedState& feed;
    TrafficQueue& traffic;
    SimLinkState& link;
    RunState& run;
    ParkAirportState& parkAirport;
    LiveryService& liveries;
    StandService& stands;
    FlightPlanService& flightPlans;
    EngineClocks clocks;
    // The user's state to the traffic client (every 100 ticks).
    std::function<void(const UserState&)> sendUserState;
    EngineWindowHooks window;

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
    ParkAirportState& parkAirport;
    LiveryService& liveries;
    StandService& stands;
    FlightPlanService& flightPlans;
};

// The one construction of the engine: over its parts, on the steady clock
// and the traffic clock's week time, with no user aircraft and nothing sent
// to the traffic client until connectUserAircraft.
Engine makeEngine(const EngineParts& parts);

// As a traffic run wires it: the user aircraft is read from the link's
// snapshot, and every 100 ticks the user's state goes to the traffic client
// and the next user block is asked for (the simulator sends one only when
// asked; without it the user's state and the simulator's time would stay as
// at start-up).
void connectUserAircraft(Engine& engine, UserAircraftState& user, RealTrafficLink& realTraffic);

}  // namespace qvl
