#include "core/setting_controls.h"

#include <fmt/format.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "platform/ui/controls.h"

namespace qvl {
namespace {

// The window system's "select string" picks the first entry that merely
// begins with the text, so a value such as "AIG, FSLTL" would show as
// "AIG, FSLTL, JF, MTL". The exact entry goes first; the prefix rule stays
// for values that differ from every entry (in case, for example).
void fillTextCombo(ui::Controls& controls, ui::ControlHandle combo, const std::vector<std::string>& values,
                   const std::string& current) {
    controls.resetContent(combo);
    for (const std::string& value : values) {
        controls.addString(combo, value);
    }
    if (const auto index = exactIndex(values, current)) {
        controls.setCurrentSelection(combo, static_cast<int>(*index));
    } else {
        controls.selectString(combo, current);
    }
}

// The drop-down of the binding when it exists, else kNoControl.
ui::ControlHandle liveCombo(const ui::Controls& controls, const ControlBinding& binding) {
    const ui::ControlHandle handle = binding.controlHandle();
    return handle != ui::kNoControl && controls.exists(handle) ? handle : ui::kNoControl;
}

void showText(ui::Controls& controls, const ControlBinding& binding, const std::string& text) {
    if (!controls.exists(binding.controlHandle())) {
        gf_log(fmt::format("GetDlgItem failed for ID {}", binding.controlId()));
        return;
    }
    controls.setText(binding.controlHandle(), text);
}

}  // namespace

void showBoolParameter(ui::Controls& controls, const BoolControlParameter& setting) {
    controls.setChecked(setting.controlHandle(), setting.value());
}

void gf_showIntParameter(ui::Controls& controls, const RangeControlParameter& setting) {
    showText(controls, setting, std::to_string(setting.value()));
}

void gf_showStringParameter(ui::Controls& controls, const StringControlParameter& setting) {
    showText(controls, setting, setting.value());
}

void showAllSettings(ui::Controls& controls) {
    for (const BoolControlParameter* setting : boolControlParameters) showBoolParameter(controls, *setting);
    for (const RangeControlParameter* setting : rangeControlParameters) gf_showIntParameter(controls, *setting);
    for (const StringControlParameter* setting : shownStringParameters) gf_showStringParameter(controls, *setting);
}

void selectRangeValue(ui::Controls& controls, const RangeControlParameter& setting) {
    const auto index = setting.valueIndex(setting.value());
    if (!index) return;
    controls.setCurrentSelection(setting.controlHandle(), static_cast<int>(*index));
}

void setControlEnabled(ui::Controls& controls, const ControlBinding& binding, bool enabled) {
    controls.setEnabled(binding.controlHandle(), enabled);
}

void gf_fillRangeComboBox(ui::Controls& controls, const RangeControlParameter& setting) {
    const ui::ControlHandle combo = liveCombo(controls, setting);
    if (combo == ui::kNoControl) return;
    controls.resetContent(combo);
    for (const std::int32_t value : setting.values()) {
        controls.addString(combo, std::to_string(value));
    }
    if (const auto index = setting.valueIndex(setting.value())) {
        controls.setCurrentSelection(combo, static_cast<int>(*index));
    }
}

void gf_fillChoiceComboBox(ui::Controls& controls, const ChoiceParameter& setting) {
    const ui::ControlHandle combo = liveCombo(controls, setting);
    if (combo != ui::kNoControl) fillTextCombo(controls, combo, setting.values(), setting.value());
}

void gf_fillCallsignComboBox(ui::Controls& controls) {
    const ui::ControlHandle combo = liveCombo(controls, CALLSIGN_2_OBJECTID);
    if (combo != ui::kNoControl) {
        fillTextCombo(controls, combo, CALLSIGN_2_OBJECTID.values(), CALLSIGN_2_OBJECTID.value());
    }
}

}  // namespace qvl
