// The message area at the bottom of the main window: the error line on red
// while there is an error, else the message line on lime green, both in
// yellow text. The lines themselves live with the log (core/messages.h).
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/ui/canvas.h"

namespace qvl {

// The colour as the canvas takes it, from 0xRRGGBB.
ui::Colour canvasColour(std::uint32_t rgb) noexcept;

// UTF-8 text at (x, y) in the colour, on a transparent background. Text that
// is not UTF-8 is logged (unless the run is closing) and not drawn.
void lf_drawText(ui::Canvas& canvas, int x, int y, std::string_view text, std::uint32_t rgb);

void lf_paintMessageLine(ui::Canvas& canvas);

}  // namespace qvl
