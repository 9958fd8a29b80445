// Settings are process-wide, so a test that changes them holds a
// SettingsScope: it notes every setting (the registries, the settings outside
// them and the traffic radius) when it is made and puts each back when it
// ends, whatever the test changed on the way and however the test ended.
// Make it before the test touches a setting (a fixture member); a test that
// wants the defaults still calls resetAllSettings() first.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "core/settings.h"

namespace qvl::test {

class SettingsScope {
public:
    SettingsScope() {
        for (BoolParameter* setting : boolParameters) keep(*setting);
        for (BoolControlParameter* setting : boolControlParameters) keep(*setting);
        for (RangeParameter* setting : rangeParameters) keep(*setting);
        for (RangeControlParameter* setting : rangeControlParameters) keep(*setting);
        for (StringParameter* setting : stringParameters) keep(*setting);
        for (StringControlParameter* setting : shownStringParameters) keep(*setting);
        // The settings outside the registries.
        keep(parking_percentage);
        keep(MAX_FIT_FL);
        keep(ALL_INSTALL_PATH);
        keep(CALLSIGN_2_OBJECTID);
        callsigns_ = CALLSIGN_2_OBJECTID.values();
        rangeNm_ = rangeNm.load();
    }
    ~SettingsScope() {
        for (const auto& [setting, value] : bools_) setting->set(value);
        for (const auto& [setting, value] : ranges_) setting->set(value);
        for (const auto& [setting, value] : strings_) {
            setting->setDefault(value.defaultValue);
            setting->set(value.current);
        }
        CALLSIGN_2_OBJECTID.setValues(callsigns_);
        rangeNm.store(rangeNm_);
    }
    SettingsScope(const SettingsScope&) = delete;
    SettingsScope& operator=(const SettingsScope&) = delete;

private:
    struct StringValues {
        std::string current;
        std::string defaultValue;  // PROGRAM_VERSION's changes with the file it was read from
    };

    void keep(BoolParameter& setting) { bools_.emplace_back(&setting, setting.value()); }
    void keep(RangeParameter& setting) { ranges_.emplace_back(&setting, setting.value()); }
    void keep(StringParameter& setting) {
        strings_.emplace_back(&setting,
                              StringValues{.current = setting.value(), .defaultValue = setting.defaultValue()});
    }

    std::vector<std::pair<BoolParameter*, bool>> bools_;
    std::vector<std::pair<RangeParameter*, std::int32_t>> ranges_;
    std::vector<std::pair<StringParameter*, StringValues>> strings_;
    std::vector<std::string> callsigns_;
    double rangeNm_ = 0.0;
};

}  // namespace qvl::test
