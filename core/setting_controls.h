// The settings' controls: the one place below run control that touches a
// control. Only run control calls it (the program's status,
// run/window/window_status.*, when a lower folder has reported a changed
// setting or a control that can or cannot be used now); the rest of core
// reports through the status (core/status.h) and never sets a control
// itself. Each call is given the window's controls by its caller, which got
// them when it was built. A control that does not exist (yet) is left alone.
#pragma once

#include "core/settings.h"
#include "platform/ui/controls.h"

namespace qvl {

// A setting's value shown in its control: a check box ticked, a drop-down's
// or an edit box's text refreshed.
void showBoolParameter(ui::Controls& controls, const BoolControlParameter& setting);
void gf_showIntParameter(ui::Controls& controls, const RangeControlParameter& setting);
void gf_showStringParameter(ui::Controls& controls, const StringControlParameter& setting);

// Every shown setting in its control, as after reading parameters.xml.
void showAllSettings(ui::Controls& controls);

// The drop-down selects the setting's current value when it is one of its
// values; otherwise its selection stays as it was.
void selectRangeValue(ui::Controls& controls, const RangeControlParameter& setting);

void setControlEnabled(ui::Controls& controls, const ControlBinding& binding, bool enabled);

// Fill a drop-down from its setting: the list, then the current value
// selected.
void gf_fillRangeComboBox(ui::Controls& controls, const RangeControlParameter& setting);
void gf_fillChoiceComboBox(ui::Controls& controls, const ChoiceParameter& setting);
// The same for CALLSIGN_2_OBJECTID over its current list.
void gf_fillCallsignComboBox(ui::Controls& controls);

}  // namespace qvl
