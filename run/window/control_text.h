// Text between the main window's child controls and the program: the text a
// control holds, read by its control id.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/controls.h"

namespace qvl {

// The UTF-8 text of the window's child control with that id. Empty (and
// logged) when there is no such control or its text is not valid UTF-8;
// empty without a log line when the control holds no text.
std::string lf_getTextFromId(const ui::Controls& controls, std::uint16_t controlId);

}  // namespace qvl
