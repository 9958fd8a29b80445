#include "run/window/window_status.h"

#include <stdexcept>
#include <utility>

#include "core/setting_controls.h"
#include "core/settings.h"
#include "platform/ui/controls.h"
#include "run/window/parking_controls.h"

namespace qvl {
namespace {

std::function<void(WindowRegion)> required(std::function<void(WindowRegion)> repaint) {
    if (!repaint) throw std::invalid_argument("the window's status needs its repaint");
    return repaint;
}

}  // namespace

WindowStatus::WindowStatus(MainWindowState& window, CommandFlags& flags, ParkingUpdate& parkingUpdate,
                           ui::Controls& controls, std::function<void(WindowRegion)> repaint)
    : window_(window),
      flags_(flags),
      parkingUpdate_(parkingUpdate),
      controls_(controls),
      repaint_(required(std::move(repaint))) {}

void WindowStatus::settingChanged(const BoolControlParameter& setting) { showBoolParameter(controls_, setting); }

void WindowStatus::settingChanged(const RangeControlParameter& setting) { selectRangeValue(controls_, setting); }

void WindowStatus::controlUsable(const ControlBinding& control, bool usable) {
    setControlEnabled(controls_, control, usable);
}

void WindowStatus::settingsRead() { showAllSettings(controls_); }

void WindowStatus::showCount(StatusCount which, std::uint64_t count) {
    switch (which) {
        case StatusCount::scannedLiveries: window_.scannedLiveries.store(count); break;
        case StatusCount::simaddonAirports: window_.simaddonAirports.store(count); break;
        case StatusCount::thirdpartyAirports: window_.thirdpartyAirports.store(count); break;
        case StatusCount::waitingStatic:
            window_.candidateCount.store(count);
            repaint(WindowRegion::parkingStats);
            return;
        case StatusCount::parkTrafficWeek:
            window_.parkTrafficWeek.store(count);
            repaint(WindowRegion::parkingStats);
            return;
        case StatusCount::unrecognisedAirports:
            // The mail hint stands beside the "tblo.zip" button.
            window_.unrecognisedAirports.store(count);
            repaint(WindowRegion::controlsArea);
            return;
    }
    repaint(WindowRegion::statusPanel);
}

void WindowStatus::statusChanged() { repaint(WindowRegion::statusPanel); }

void WindowStatus::messageLinesChanged() { repaint(WindowRegion::messageArea); }

void WindowStatus::parkingStatsChanged() { repaint(WindowRegion::parkingStats); }

void WindowStatus::showFollowedAircraft(const std::string& text) {
    window_.setText(WindowText::followedAircraft, text);
    repaint(WindowRegion::controlsArea);
}

// The drop-down lists CALLSIGN_2_OBJECTID's values as they are now. "Block"
// stays off while "Unblock" is usable: one callsign is blocked at a time.
void WindowStatus::callsignChoicesChanged(bool any) {
    gf_fillCallsignComboBox(controls_);
    setControlEnabled(controls_, CALLSIGN_2_OBJECTID, any);
    setControlEnabled(controls_, BLOCK_BUTTON, any && !controls_.isEnabled(UNBLOCK_BUTTON.controlHandle()));
}

void WindowStatus::showParking(const ParkingDisplay& display) {
    window_.setText(WindowText::parkAirportLine, display.parkAirportLabel);
    window_.setText(WindowText::parkAirport, display.airportName);
    window_.setText(WindowText::reservedStand, display.reservedStand);
    window_.reservedStandValid = display.reservedStandValid;
    window_.softFit = display.softFlightsUsed;
    window_.weekFit = display.weekFlightsUsed;
    window_.maxParked = display.maxPark;
    window_.maxParkSharePercent = display.maxParkPercent;
    window_.meanStaticParkedHours = display.staticParkMeanHours;
    window_.meanLiveParkedHours = display.liveParkMeanHours;
    repaint(WindowRegion::parkingStats);
}

void WindowStatus::parkingUpdateStarts() { gf_disableParkingControls(*this); }

void WindowStatus::parkingUpdateEnds() { gf_enableParkingControls(*this); }

void WindowStatus::restartParkingCountdown() {
    flags_.staticParkingCountdown = kStaticParkingMinutes;
    window_.staticParkingCountdown = kStaticParkingMinutes;
    repaint(WindowRegion::controlsArea);
}

void WindowStatus::parkAirportLeft() {
    if (!INITIAL_LOAD_ONLY.value()) setControlEnabled(controls_, NOW_BUTTON, false);
    setControlEnabled(controls_, FLUSH_STATIC_BUTTON, false);
}

}  // namespace qvl
