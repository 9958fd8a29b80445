#include "run/window/message_area.h"

#include <fmt/format.h>

#include "core/log.h"
#include "core/messages.h"
#include "platform/sys/text_codec.h"
#include "run/window/window_layout.h"

namespace qvl {
namespace {

constexpr ui::Point kMessageTextAt{.x = 3, .y = 455};

}  // namespace

ui::Colour canvasColour(std::uint32_t rgb) noexcept {
    return ui::Colour::rgb(static_cast<std::uint8_t>((rgb >> 16U) & 0xFFU),
                           static_cast<std::uint8_t>((rgb >> 8U) & 0xFFU), static_cast<std::uint8_t>(rgb & 0xFFU));
}

void lf_drawText(ui::Canvas& canvas, int x, int y, std::string_view text, std::uint32_t rgb) {
    if (!sys::utf8ToUtf16(text)) {
        gf_logUnlessClosing(fmt::format("TextOut utf8  to wide failed for '{}': {}", text, "invalid UTF-8"));
        return;
    }
    canvas.text({.x = x, .y = y}, text, canvasColour(rgb));
}

void lf_paintMessageLine(ui::Canvas& canvas) {
    // One copy under the message mutex: the lines may change while we paint.
    const MessageLines lines = messageLines();
    const ui::Rect area = regionRect(WindowRegion::messageArea);
    if (!lines.error.empty()) {
        canvas.fill(area, canvasColour(colour::red));
        lf_drawText(canvas, kMessageTextAt.x, kMessageTextAt.y, lines.error, colour::yellow);
        return;
    }
    canvas.fill(area, canvasColour(colour::limeGreen));
    if (!lines.message.empty()) lf_drawText(canvas, kMessageTextAt.x, kMessageTextAt.y, lines.message, colour::yellow);
}

}  // namespace qvl
