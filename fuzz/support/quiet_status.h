// The window's status as the fuzz targets need it: the reports go nowhere
// (there is no window) and nothing is kept, so a long run does not grow.
#pragma once

#include <cstdint>
#include <string>

#include "core/status.h"

namespace qvl::fuzz {

class QuietStatus final : public Status {
public:
    void settingChanged(const BoolControlParameter& /*setting*/) override {}
    void settingChanged(const RangeControlParameter& /*setting*/) override {}
    void controlUsable(const ControlBinding& /*control*/, bool /*usable*/) override {}
    void settingsRead() override {}
    void showCount(StatusCount /*which*/, std::uint64_t /*count*/) override {}
    void statusChanged() override {}
    void messageLinesChanged() override {}
    void parkingStatsChanged() override {}
    void showFollowedAircraft(const std::string& /*text*/) override {}
    void callsignChoicesChanged(bool /*any*/) override {}
    void showParking(const ParkingDisplay& /*display*/) override {}
    void parkingUpdateStarts() override {}
    void parkingUpdateEnds() override {}
    void restartParkingCountdown() override {}
    void parkAirportLeft() override {}
};

}  // namespace qvl::fuzz
