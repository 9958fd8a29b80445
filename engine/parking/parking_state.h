// What static parking keeps between its steps: the user's park airports,
// the candidates waiting to be placed, the lists of one adjustment, the
// reserved stand and what the main window shows of the parking.
//
// One ParkingState lives in the EngineState; it belongs to the run thread.
// The window is told through the engine's ParkingHooks (engine.h), which
// the program installs; without them nothing is shown.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "engine/conflicts/static_conflicts.h"
#include "engine/live_ac.h"

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

// What the main window shows of the static parking.
struct ParkingDisplay {
    std::string parkAirportLabel{};  // gf_airportLabel of the park airport; empty when none
    std::string airportName{};       // as its stand file names it
    std::string reservedStand{};     // shown as "reserved stand: {}"
    bool reservedStandValid = false;
    // Hours the last real and soft passes had to look back; -1 = none.
    float realPassFitHours = -1.0F;
    float softPassFitHours = -1.0F;
    bool softFlightsUsed = false;
    bool weekFlightsUsed = false;
    // "max park: {:3} (={} %)"
    std::int32_t maxPark = 0;
    std::int32_t maxParkPercent = 0;
    // Mean hours the parked live and static aircraft have stood, as shown
    // when an update is over.
    float liveParkMeanHours = 0.0F;
    float staticParkMeanHours = 0.0F;

    friend bool operator==(const ParkingDisplay&, const ParkingDisplay&) = default;
};

// What static parking needs of the main window and the traffic reader,
// installed by the program; each does nothing until installed.
struct ParkingHooks {
    // The parking controls: disabled while an update runs (this also marks
    // the update as running), enabled when it is over.
    std::function<void()> disableControls = [] {};
    std::function<void()> enableControls = [] {};
    // An update runs (the controls are disabled) / one is announced.
    std::function<bool()> updateRunning = [] { return false; };
    std::function<bool()> updatePending = [] { return false; };
    // The minutes to the next update start again from 20.
    std::function<void()> restartCountdown = [] {};
    // The DESTINATION edit field.
    std::function<void(bool enabled)> enableDestination = [](bool) {};
    // Leaving the park airport: "Now" (unless INITIAL_LOAD_ONLY keeps it
    // off already) and "Flush static" are disabled.
    std::function<void()> disableParkAirportButtons = [] {};
    // The traffic reader's collection of the callsigns it sees.
    std::function<void()> startCallsignCollection = [] {};
    std::function<std::set<std::string>()> takeCollectedCallsigns = [] { return std::set<std::string>{}; };
    // The window shows the parking as given.
    std::function<void(const ParkingDisplay&)> show = [](const ParkingDisplay&) {};
};

struct ParkingState {
    // The user's park airports, nearest (or the destination) first.
    std::list<ParkAirport> parkAirports;
    // The user position the distances were last computed for.
    GeoPosition distancesAt{};
    bool distancesComputed = false;

    // A park airport was chosen; its stands are loaded by the next update.
    bool loadPending = false;

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

    // Static hex ids run 1..9999; the counter is the last one given and
    // keeps running across runs.
    std::uint32_t staticHexIdCounter = 0;

    // Empties everything of a run; the static hex id counter stays.
    void reset();
};

}  // namespace qvl
