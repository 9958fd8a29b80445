// What a setting's control shows once the program (not the user) has changed
// the setting: a drop-down's selection and whether a control can be used.
// Check boxes follow their setting through showBoolParameter
// (core/parameters.h). Every call does nothing while there is no window or
// the control does not exist yet.
#pragma once

#include "core/settings.h"

namespace qvl {

// The drop-down selects the setting's current value when it is one of its
// values; otherwise its selection stays as it was.
void selectRangeValue(const RangeControlParameter& setting);

void setControlEnabled(const ControlBinding& binding, bool enabled);

}  // namespace qvl
