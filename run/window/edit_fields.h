// The window's edit fields: Enter in one of them, and the destination that
// the start of a run sets from the stored setting.
#pragma once

#include <cstdint>
#include <string>

#include "core/geodesy.h"

namespace qvl {

void lf_editSubclassProc(std::uint16_t controlId);
void lf_setDestination(const std::string& text, const GeoPosition& position);

}  // namespace qvl
