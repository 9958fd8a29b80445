// Everything the AI traffic engine keeps between ticks: the live and static
// aircraft, the queues that pace creations and removals, the simulator's
// object events, the remembered liveries, the lists the housekeeping reports.
//
// One EngineState is owned by the program and reached through the Engine
// context (engine.h); tests make a fresh one. Everything here belongs to the
// run thread except the object-event queue, which the simulator link's thread
// fills (under the event mutex), and the user-stand exchange, which it reads
// and hands the user's stand to (under the exchange's own mutex).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "engine/base/first_park_airport.h"
#include "engine/base/live_ac.h"
#include "engine/base/parking_state.h"
#include "engine/base/user_stand_exchange.h"
#include "liveries/dont_use_title_set.h"
#include "simlink/sim_hooks.h"
#include "simlink/sim_queues.h"
#include "simlink/user_aircraft_block.h"

namespace qvl {

// The last position asked for by name and its answer; the stand under the user
// aircraft is kept in EngineState.
struct StandNameCache {
    double latitude = 0.0;
    double longitude = 0.0;
    bool valid = false;
    std::string name;
    void reset() { *this = StandNameCache{}; }
};

// An object event waiting for its aircraft to settle: counted up to 200
// ticks, -1 once the aircraft has been made active.
struct DeferredObjectEvent {
    SimObjectEvent event{};
    std::int32_t settling = 0;
};

// The simulator link's thread appends, the run thread takes all at once.
//
// Lock order: the event mutex comes before the simulator queue mutex. The
// run thread takes the events out under the event mutex and handles them
// after releasing it, so today it is held alone.
class ObjectEventQueue {
public:
    void push(const SimObjectEvent& event);
    // The queued events in order; the queue is empty afterwards.
    std::vector<SimObjectEvent> takeAll();
    [[nodiscard]] std::size_t size() const;
    void clear();

private:
    mutable std::mutex eventMutex_;
    std::vector<SimObjectEvent> events_;
};

// Liveries the simulator refused to create. They stay refused for the rest
// of the process, across runs: the run's reset leaves them.
struct UncreatableLiveries {
    // The matchers skip every title in it; 20 of them end the run.
    DontUseTitleSet dontUseTitles;
    // "<type code> <airline code>" of each refused flight, for the summary.
    std::unordered_set<std::string> combinations;
};

struct EngineState {
    EngineState();
    EngineState(const EngineState&) = delete;
    EngineState& operator=(const EngineState&) = delete;

    // Hex ids for the once-a-second check, one a second.
    std::list<std::uint32_t> perSecondHexIds;
    // Hex ids of aircraft just put into "adding2sim", one per tick, from the back.
    std::vector<std::uint32_t> hexIdStack;
    // Creations handed towards the simulator, released one per 50 ticks;
    // live ones go before static ones.
    std::deque<CreateAircraftCommand> liveCreationQueue;
    std::deque<CreateAircraftCommand> staticCreationQueue;
    std::vector<StaticAc> staticAircraft;
    // The live aircraft, stepped in this order every tick.
    std::vector<LiveAc> liveAircraft;
    // The tick's traffic records on their way from the queue to the intake;
    // empty between ticks, kept so that the tick does not allocate.
    std::vector<TrafficRecord> intakeBuffer;
    ObjectEventQueue objectEvents;
    std::vector<DeferredObjectEvent> deferredEvents;
    // The park airports and the static parking at the current one.
    ParkingState parking;
    // Flights created so far, by id.
    std::unordered_map<std::uint32_t, std::uint64_t> createdFlights;
    // Records of a flight whose old aircraft is on its way out (flown on past
    // its data, or its removal under way) that it could not take, in arrival
    // order. They make the flight anew once the old record has gone; those
    // that fall due first go.
    std::deque<TrafficRecord> returningTraffic;
    // Simulator object ids to remove, released one per 10 ticks.
    std::deque<std::uint32_t> removalQueue;
    // The livery chosen for a hex id, so that a re-created aircraft keeps it.
    // A view into the livery tables, like every aircraft's livery title: see
    // livery_tables.h for when the tables may be emptied.
    std::unordered_map<std::uint32_t, std::string_view> rememberedLiveries;
    // gf_codeAndField texts of flights without a matching livery; never
    // created again in this run.
    std::unordered_set<std::string> noMatchList;
    // Provisional callsigns of aircraft removed as ghosts.
    std::vector<std::string> ghostList;
    // The aircraft that count against MAX_LIVE_SEL (hex-id stack, active,
    // live creation queue), counted once a tick and kept up to date by the
    // buffer step within it.
    struct LiveSelCount {
        std::int64_t tick = -1;  // the tick it was counted for; -1 = not counted
        std::size_t count = 0;
    } liveSelCount;
    // The stand under the user aircraft, which arriving aircraft leave free.
    StandNameCache userStandName;
    // The park airport's stands as the simulator link names the user's stand
    // from them, and the stand it hands back after a new flight.
    UserStandExchange userStandExchange;
    // Where the park-airport list's first entry lies, for the automatic radius.
    FirstParkAirportBoard firstParkAirport;
    // The user's position when static aircraft were last cleared from around it.
    GeoPosition lastStaticClearance{};
    // The object chosen through CALLSIGN_2_OBJECTID; 0 = none.
    std::uint32_t followedObjectId = 0;
    // The user aircraft as last taken (every 100 ticks).
    UserAircraftBlock userSnapshot;

    // Kept across runs.
    UncreatableLiveries uncreatable;

    // Room for a full run, so that steady operation allocates little.
    void reserve();
    // Empties every container of a run. The uncreatable liveries and the
    // static hex id counter stay, as does feed's tick counter.
    void reset();
};

// True while an aircraft flies a livery title or a remembered livery is kept:
// views into the livery tables, which must not be emptied meanwhile.
bool holdsLiveryTitleViews(const EngineState& state);

}  // namespace qvl
