// The main window's side of the status (core/status.h): what the lower
// folders report becomes the window's state, its controls and their repaint
// requests. The program owns one, over its window state, its command flags,
// the engine's parking update (which the window announces and shows), the
// window's controls and the window's repaint: the one route by which anything
// asks the window to paint again.
#pragma once

#include <functional>
#include <string>

#include "core/status.h"
#include "engine/base/parking_update.h"
#include "platform/ui/controls.h"
#include "run/window/command_flags.h"
#include "run/window/main_window_state.h"
#include "run/window/window_layout.h"

namespace qvl {

class WindowStatus final : public Status {
public:
    // `repaint` asks the window's UI thread to repaint a region and must not
    // block. Throws std::invalid_argument when it is empty: a status that
    // never repaints would leave the window silently stale.
    // `controls` are the main window's; they outlive the status.
    WindowStatus(MainWindowState& window, CommandFlags& flags, ParkingUpdate& parkingUpdate, ui::Controls& controls,
                 std::function<void(WindowRegion)> repaint);

    // What the status shows lives here.
    [[nodiscard]] MainWindowState& window() const noexcept { return window_; }
    [[nodiscard]] CommandFlags& flags() const noexcept { return flags_; }
    // The main window's controls, for the window's own parts that set them.
    [[nodiscard]] ui::Controls& controls() const noexcept { return controls_; }
    // The engine's state of the parking update, which the window reads and
    // only asks for an update (`ParkingUpdate::ask`); it never sets it.
    [[nodiscard]] ParkingUpdate& parkingUpdate() const noexcept { return parkingUpdate_; }
    // The window's parts in that region are painted again on the UI thread.
    void repaint(WindowRegion region) const { repaint_(region); }

    void settingChanged(const BoolControlParameter& setting) override;
    void settingChanged(const RangeControlParameter& setting) override;
    void controlUsable(const ControlBinding& control, bool usable) override;
    void settingsRead() override;
    void showCount(StatusCount which, std::uint64_t count) override;
    void statusChanged() override;
    void messageLinesChanged() override;
    void parkingStatsChanged() override;
    void showFollowedAircraft(const std::string& text) override;
    void callsignChoicesChanged(bool any) override;
    void showParking(const ParkingDisplay& display) override;
    void parkingUpdateStarts() override;
    void parkingUpdateEnds() override;
    void restartParkingCountdown() override;
    void parkAirportLeft() override;

private:
    MainWindowState& window_;
    CommandFlags& flags_;
    ParkingUpdate& parkingUpdate_;
    ui::Controls& controls_;
    const std::function<void(WindowRegion)> repaint_;  // set once, before any thread can call it
};

}  // namespace qvl
