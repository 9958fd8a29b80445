// The one route from the lower folders to the main window: what changed,
// told in typed calls. Run control implements it once over the window's
// state and its controls; tests fake it once. Lower folders never set a
// control themselves: they report a changed setting, a control that can or
// cannot be used now, a count, the parking as it stands, and the steps of a
// static-parking update, and the window decides how that looks.
//
// The message and error lines are written with gf_showMessage,
// gf_clearMessage and gf_reportError (core/messages.h); the program's
// MessageRepaint tells the status that they changed.
//
// Calls may come from any thread; an implementation never blocks on the UI
// thread.
#pragma once

#include <cstdint>
#include <string>

#include "core/settings.h"

namespace qvl {

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

// The counters of the status panel that lower folders know.
enum class StatusCount : std::uint8_t {
    scannedLiveries,       // liveries read from the scanned-liveries file
    simaddonAirports,      // the user's stand files of the simulator's add-on family
    thirdpartyAirports,    // the user's stand files of other publishers
    waitingStatic,         // static aircraft the running parking update still has to place
    unrecognisedAirports,  // airport files packed into tblo.zip for the user to mail; 0 = none
    parkTrafficWeek,       // the traffic week the park airport's file was learned in
};

class Status {
public:
    virtual ~Status() = default;

    // --- Settings and controls ---
    // The program (not the user) changed the setting: its control shows it.
    virtual void settingChanged(const BoolControlParameter& setting) = 0;
    virtual void settingChanged(const RangeControlParameter& setting) = 0;
    // Whether the control can be used from now on.
    virtual void controlUsable(const ControlBinding& control, bool usable) = 0;
    // Every setting was read or reset at once (parameters.xml): each control
    // shows its setting.
    virtual void settingsRead() = 0;

    // --- Counts and texts ---
    virtual void showCount(StatusCount which, std::uint64_t count) = 0;
    // Something the status panel paints from the run's own state changed.
    virtual void statusChanged() = 0;
    // The message or the error line changed (core/messages.h).
    virtual void messageLinesChanged() = 0;
    // Something the parking statistics paint from the park airport's loaded
    // state changed.
    virtual void parkingStatsChanged() = 0;
    // "= <object id>", "has left" or empty, beside CALLSIGN_2_OBJECTID.
    virtual void showFollowedAircraft(const std::string& text) = 0;
    // The callsigns of CALLSIGN_2_OBJECTID were filled anew; `any`: there is
    // at least one aircraft to follow or block.
    virtual void callsignChoicesChanged(bool any) = 0;

    // --- Static parking ---
    virtual void showParking(const ParkingDisplay& display) = 0;
    // An update starts: the parking controls are off until
    // parkingUpdateEnds. Whether one runs is the engine's own parking state,
    // never asked of the window.
    virtual void parkingUpdateStarts() = 0;
    virtual void parkingUpdateEnds() = 0;
    // The minutes to the next update start again from a full period.
    virtual void restartParkingCountdown() = 0;
    // The park airport was left: nothing is left to update now or to flush.
    virtual void parkAirportLeft() = 0;
};

}  // namespace qvl
