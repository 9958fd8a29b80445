// The status (core/status.h) as tests see it: every report is recorded, and
// the control states reach the controls as the program's own status puts
// them there (through the settings' control module), so a test that gives it
// a headless window's controls still sees them change. Without any it keeps
// controls of its own that no test looks at.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/setting_controls.h"
#include "core/status.h"
#include "platform/ui/headless_controls.h"

namespace qvl::test {

class FakeStatus final : public Status {
public:
    FakeStatus() = default;
    explicit FakeStatus(ui::Controls& controls) : controls_(&controls) {}
    FakeStatus(const FakeStatus&) = delete;
    FakeStatus& operator=(const FakeStatus&) = delete;

    [[nodiscard]] ui::Controls& controls() const noexcept { return *controls_; }

    std::vector<const ControlBinding*> settingsShown;
    std::vector<std::pair<const ControlBinding*, bool>> usable;
    std::map<StatusCount, std::uint64_t> counts;
    std::vector<std::string> followed;
    std::vector<bool> callsignChoices;
    std::vector<ParkingDisplay> shown;
    // Told from the readers' and the link's threads as well: atomics.
    std::atomic<int> statusChanges{0};
    std::atomic<int> parkingStatsChanges{0};
    std::atomic<int> messageLinesChanges{0};
    int settingsReads = 0;
    int updateStarts = 0;
    int updateEnds = 0;
    int countdownRestarts = 0;
    int parkAirportLeaves = 0;

    // The last state reported for the control; none when never reported.
    [[nodiscard]] std::vector<bool> usableStates(const ControlBinding& control) const {
        std::vector<bool> states;
        for (const auto& [binding, state] : usable) {
            if (binding == &control) states.push_back(state);
        }
        return states;
    }

    void settingChanged(const BoolControlParameter& setting) override {
        settingsShown.push_back(&setting);
        showBoolParameter(*controls_, setting);
    }
    void settingChanged(const RangeControlParameter& setting) override {
        settingsShown.push_back(&setting);
        selectRangeValue(*controls_, setting);
    }
    void controlUsable(const ControlBinding& control, bool state) override {
        usable.emplace_back(&control, state);
        setControlEnabled(*controls_, control, state);
    }
    void settingsRead() override {
        ++settingsReads;
        showAllSettings(*controls_);
    }
    void showCount(StatusCount which, std::uint64_t count) override { counts[which] = count; }
    void statusChanged() override { ++statusChanges; }
    void messageLinesChanged() override { ++messageLinesChanges; }
    void parkingStatsChanged() override { ++parkingStatsChanges; }
    void showFollowedAircraft(const std::string& text) override { followed.push_back(text); }
    void callsignChoicesChanged(bool any) override {
        callsignChoices.push_back(any);
        gf_fillCallsignComboBox(*controls_);
    }
    void showParking(const ParkingDisplay& display) override { shown.push_back(display); }
    void parkingUpdateStarts() override { ++updateStarts; }
    void parkingUpdateEnds() override { ++updateEnds; }
    void restartParkingCountdown() override { ++countdownRestarts; }
    void parkAirportLeft() override { ++parkAirportLeaves; }

private:
    ui::HeadlessControls ownControls_;
    ui::Controls* controls_ = &ownControls_;
};

}  // namespace qvl::test
