#include "core/setting_controls.h"

#include <fmt/format.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "platform/ui/controls.h"

namespace qvl {
namespace {

// The controls and the handle of a drop-down that exists, or nothing.
struct LiveCombo {
    std::shared_ptr<ui::Controls> controls;
    ui::ControlHandle handle = ui::kNoControl;
};

std::optional<LiveCombo> liveCombo(const ControlBinding& binding) {
    const ui::ControlHandle handle = binding.controlHandle();
    if (handle == ui::kNoControl) {
        return std::nullopt;
    }
    std::shared_ptr<ui::Controls> controls = ui::installedControls();
    if (!controls || !controls->exists(handle)) {
        return std::nullopt;
    }
    return LiveCombo{std::move(controls), handle};
}

// The window system's "select string" picks the first entry that merely
// begins with the text, so a value such as "AIG, FSLTL" would show as
// "AIG, FSLTL, JF, MTL". The exact entry goes first; the prefix rule stays
// for values that differ from every entry (in case, for example).
void fillTextCombo(const LiveCombo& combo, const std::vector<std::string>& values, const std::string& current) {
    combo.controls->resetContent(combo.handle);
    for (const std::string& value : values) {
        combo.controls->addString(combo.handle, value);
    }
    if (const auto index = exactIndex(values, current)) {
        combo.controls->setCurrentSelection(combo.handle, static_cast<int>(*index));
    } else {
        combo.controls->selectString(combo.handle, current);
    }
}

void showText(const ControlBinding& binding, const std::string& text) {
    const std::shared_ptr<ui::Controls> controls = ui::installedControls();
    if (!controls) return;
    if (!controls->exists(binding.controlHandle())) {
        gf_log(fmt::format("GetDlgItem failed for ID {}", binding.controlId()));
        return;
    }
    controls->setText(binding.controlHandle(), text);
}

}  // namespace

void showBoolParameter(const BoolControlParameter& setting) {
    const std::shared_ptr<ui::Controls> controls = ui::installedControls();
    if (!controls) return;
    controls->setChecked(setting.controlHandle(), setting.value());
}

void gf_showIntParameter(const RangeControlParameter& setting) { showText(setting, std::to_string(setting.value())); }

void gf_showStringParameter(const StringControlParameter& setting) { showText(setting, setting.value()); }

void showAllSettings() {
    for (const BoolControlParameter* setting : boolControlParameters) showBoolParameter(*setting);
    for (const RangeControlParameter* setting : rangeControlParameters) gf_showIntParameter(*setting);
    for (const StringControlParameter* setting : shownStringParameters) gf_showStringParameter(*setting);
}

void selectRangeValue(const RangeControlParameter& setting) {
    const auto index = setting.valueIndex(setting.value());
    if (!index) return;
    const std::shared_ptr<ui::Controls> controls = ui::installedControls();
    if (!controls) return;
    controls->setCurrentSelection(setting.controlHandle(), static_cast<int>(*index));
}

void setControlEnabled(const ControlBinding& binding, bool enabled) {
    const std::shared_ptr<ui::Controls> controls = ui::installedControls();
    if (!controls) return;
    controls->setEnabled(binding.controlHandle(), enabled);
}

void gf_fillRangeComboBox(const RangeControlParameter& setting) {
    const auto combo = liveCombo(setting);
    if (!combo) {
        return;
    }
    combo->controls->resetContent(combo->handle);
    for (const std::int32_t value : setting.values()) {
        combo->controls->addString(combo->handle, std::to_string(value));
    }
    if (const auto index = setting.valueIndex(setting.value())) {
        combo->controls->setCurrentSelection(combo->handle, static_cast<int>(*index));
    }
}

void gf_fillChoiceComboBox(const ChoiceParameter& setting) {
    if (const auto combo = liveCombo(setting)) {
        fillTextCombo(*combo, setting.values(), setting.value());
    }
}

void gf_fillCallsignComboBox() {
    if (const auto combo = liveCombo(CALLSIGN_2_OBJECTID)) {
        fillTextCombo(*combo, CALLSIGN_2_OBJECTID.values(), CALLSIGN_2_OBJECTID.value());
    }
}

}  // namespace qvl
