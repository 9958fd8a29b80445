// A headless main window whose controls are bound to the settings a test
// names; a test hands `controls()` to whatever sets them. Unbinds at its
// end, so no test leaves a setting bound to a control that is gone.
#pragma once

#include <string>
#include <vector>

#include "core/setting_controls.h"
#include "core/settings.h"
#include "platform/ui/headless_controls.h"

namespace qvl::test {

class BoundControls {
public:
    BoundControls() = default;
    ~BoundControls() {
        for (ControlBinding* binding : bound_) binding->setControlHandle(ui::kNoControl);
    }
    BoundControls(const BoundControls&) = delete;
    BoundControls& operator=(const BoundControls&) = delete;

    // A drop-down filled from its setting.
    ui::ControlHandle combo(RangeControlParameter& setting) {
        const ui::ControlHandle handle = bind(setting, ui::ControlKind::ComboBox);
        gf_fillRangeComboBox(controls_, setting);
        return handle;
    }
    ui::ControlHandle checkBox(BoolControlParameter& setting) { return bind(setting, ui::ControlKind::CheckBox); }
    ui::ControlHandle button(CommandButton& button) { return bind(button, ui::ControlKind::Button); }
    // A control of any kind, left empty.
    ui::ControlHandle bind(ControlBinding& binding, ui::ControlKind kind) {
        const ui::ControlHandle handle = controls_.create(kind, binding.controlId());
        binding.setControlHandle(handle);
        bound_.push_back(&binding);
        return handle;
    }

    ui::HeadlessControls& controls() { return controls_; }
    // The text of the drop-down's selected entry; empty without a selection.
    std::string selected(ui::ControlHandle combo) const {
        const int index = controls_.currentSelection(combo);
        if (index < 0) return {};
        return controls_.items(combo).at(static_cast<std::size_t>(index));
    }

private:
    ui::HeadlessControls controls_;
    std::vector<ControlBinding*> bound_;
};

}  // namespace qvl::test
