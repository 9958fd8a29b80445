// What static parking keeps between its steps: the user's park airports,
// the candidates waiting to be placed, the lists of one adjustment, the
// reserved stand and what the main window shows of the parking.
//
// One ParkingState lives in the EngineState; it belongs to the run thread.
// The window is told through the engine's status (core/status.h).
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <unordered_set>
#include <vector>

#include "airports/closest_stand.h"
#include "airports/park_airport.h"
#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "core/status.h"
#include "engine/base/live_ac.h"
#include "engine/base/parking_update.h"

namespace qvl {

// One candidate of the stand and flight selection: a learned flight chosen
// for a stand, waiting to be placed as a static parked aircraft.
struct ParkPosition {
    std::uint32_t standNumber = 0;
    // Half hours back from now that the flight's hours had to be looked at;
    // 0 = the flight is at the stand now.
    std::uint32_t fit = 0;
    // Airline, second airline, type and cargo flag of the learned flight.
    LiveryKey key{};
    std::string callsign1{};  // the arriving flight
    std::string callsign2{};  // the departing flight; may be empty
    std::string registration{};
    // The flight is still at the stand in the next half hour: it shows its
    // arriving callsign (part 1); otherwise the departing one (part 2).
    bool stays = false;
};

// One candidate park airport of my_park_airports.txt.
struct ParkAirport {
    std::string reservedStand{};
    GeoPosition position{};
    double distance = 0.0;  // nm from the user aircraft
    FixedCode4 icao{};
};

// A static aircraft that an adjustment takes away.
struct RemovalEntry {
    std::string callsign{};
    std::uint32_t standNumber = 0;
};

// A static aircraft that an adjustment keeps.
struct StaticKeepEntry {
    std::string callsign{};
    std::string callsign1{};  // its flight record's second text
    std::string callsign2{};  // its flight record's third text
    std::string registration{};
    LiveryKey key{};
    WeekTime parkedSince{};
    std::uint32_t standNumber = 0;
    // Its flight departs before the next half hour: it is replaced.
    bool departs = false;
};

// A live aircraft parked at the park airport, as the adjustment lists it.
struct ParkedLive {
    std::string callsign;
    std::uint32_t standNumber = 0;
    std::int64_t minutes = 0;  // 0 while its samples still show it at the stand
};

struct ParkingState {
    // The user's park airports, nearest (or the destination) first.
    std::list<ParkAirport> parkAirports;
    // The user position the distances were last computed for.
    GeoPosition distancesAt{};
    bool distancesComputed = false;

    // A park airport was chosen; its stands are loaded by the first update
    // after its files were read (off the main loop).
    bool loadPending = false;
    ApfFilesRead parkFilesRead;
    // On the ground without a park airport: which airport the user stands
    // at, asked off the main loop and taken up by a later step; and whether
    // the step that asked was the run's first.
    ClosestAirportSearch groundQuestion;
    bool groundQuestionFirst = false;

    // The selection's candidates; lf_detcs places them from the back.
    std::vector<ParkPosition> candidates;
    // The lists of one adjustment.
    std::vector<RemovalEntry> removals;
    std::vector<StaticKeepEntry> kept;
    std::vector<ParkedLive> parkedLive;
    // Callsigns the traffic reader saw in the 15 seconds before the update.
    std::unordered_set<std::string> liveCallsigns;

    // Fits of the last passes in half hours: real (0 at the start of a
    // selection) and soft (-1 when the last pass was real).
    std::int32_t realPassFit = 0;
    std::int32_t softPassFit = -1;

    ParkingDisplay display;
    // Whether an update runs or is announced; the window sets and reads it too.
    ParkingUpdate update;

    // Static hex ids run 1..9999; the counter is the last one given and
    // keeps running across runs.
    std::uint32_t staticHexIdCounter = 0;

    // Empties everything of a run; the static hex id counter stays.
    void reset();
};

}  // namespace qvl
