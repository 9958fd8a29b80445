// The main window's side of the status (core/status.h): what the lower
// folders report becomes the window's state, its controls and their repaint
// requests. The program owns one, over its window state and command flags.
#pragma once

#include <string>

#include "core/status.h"
#include "run/window/command_flags.h"
#include "run/window/main_window_state.h"

namespace qvl {

class WindowStatus final : public Status {
public:
    WindowStatus(MainWindowState& window, CommandFlags& flags) : window_(window), flags_(flags) {}

    void settingChanged(const BoolControlParameter& setting) override;
    void settingChanged(const RangeControlParameter& setting) override;
    void controlUsable(const ControlBinding& control, bool usable) override;
    void showCount(StatusCount which, std::uint64_t count) override;
    void statusChanged() override;
    void showFollowedAircraft(const std::string& text) override;
    void callsignChoicesChanged(bool any) override;
    void showParking(const ParkingDisplay& display) override;
    void parkingUpdateStarts() override;
    void parkingUpdateEnds() override;
    [[nodiscard]] bool parkingUpdateRunning() const override;
    [[nodiscard]] bool parkingUpdatePending() const override;
    void restartParkingCountdown() override;
    void parkAirportLeft() override;

private:
    MainWindowState& window_;
    CommandFlags& flags_;
};

}  // namespace qvl
