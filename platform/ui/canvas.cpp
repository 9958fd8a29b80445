#include "platform/ui/canvas.h"

namespace qvl::ui {

void RecordingCanvas::fill(const Rect& area, Colour colour) {
    ops_.push_back(DrawOp{.kind = DrawKind::Fill, .area = area, .colour = colour});
}

void RecordingCanvas::line(Point from, Point to, Colour colour) {
    ops_.push_back(DrawOp{.kind = DrawKind::Line, .from = from, .to = to, .colour = colour});
}

void RecordingCanvas::text(Point topLeft, std::string_view utf8, Colour colour) {
    ops_.push_back(DrawOp{.kind = DrawKind::Text, .from = topLeft, .text = std::string(utf8), .colour = colour});
}

void TeeCanvas::fill(const Rect& area, Colour colour) {
    first_.fill(area, colour);
    second_.fill(area, colour);
}

void TeeCanvas::line(Point from, Point to, Colour colour) {
    first_.line(from, to, colour);
    second_.line(from, to, colour);
}

void TeeCanvas::text(Point topLeft, std::string_view utf8, Colour colour) {
    first_.text(topLeft, utf8, colour);
    second_.text(topLeft, utf8, colour);
}

std::vector<std::string> textsOf(const std::vector<DrawOp>& ops) {
    std::vector<std::string> texts;
    for (const DrawOp& op : ops) {
        if (op.kind == DrawKind::Text) texts.push_back(op.text);
    }
    return texts;
}

}  // namespace qvl::ui
