// The settings' controls: the one place below run control that touches a
// control. Only the program's status (run/window/window_status.*) calls it,
// when a lower folder has reported a changed setting or a control that can
// or cannot be used now; the rest of core reports through the status
// (core/status.h) and never sets a control itself. Every call does nothing
// while there is no window or the control does not exist yet.
#pragma once

#include "core/settings.h"

namespace qvl {

// A setting's value shown in its control: a check box ticked, a drop-down's
// or an edit box's text refreshed.
void showBoolParameter(const BoolControlParameter& setting);
void gf_showIntParameter(const RangeControlParameter& setting);
void gf_showStringParameter(const StringControlParameter& setting);

// Every shown setting in its control, as after reading parameters.xml.
void showAllSettings();

// The drop-down selects the setting's current value when it is one of its
// values; otherwise its selection stays as it was.
void selectRangeValue(const RangeControlParameter& setting);

void setControlEnabled(const ControlBinding& binding, bool enabled);

// Fill a drop-down from its setting: the list, then the current value
// selected.
void gf_fillRangeComboBox(const RangeControlParameter& setting);
void gf_fillChoiceComboBox(const ChoiceParameter& setting);
// The same for CALLSIGN_2_OBJECTID over its current list.
void gf_fillCallsignComboBox();

}  // namespace qvl
