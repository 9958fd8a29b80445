// What the window's painter draws on. The program paints the whole window in
// one go (fills, lines and texts in colours); a back end hands it a canvas
// that draws on the screen, into an image, or only records what was drawn.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvl::ui {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// The right and bottom edges lie outside the rectangle, so (0,0)-(880,28)
// covers 880 by 28 pixels.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const noexcept { return right - left; }
    int height() const noexcept { return bottom - top; }
    bool empty() const noexcept { return right <= left || bottom <= top; }
    bool contains(Point p) const noexcept { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    static constexpr Colour rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) noexcept { return {r, g, b}; }
    // A colour written the Windows way, 0x00BBGGRR, as the program's colour
    // constants are.
    static constexpr Colour fromBgr(std::uint32_t bgr) noexcept {
        return {static_cast<std::uint8_t>(bgr & 0xFFU), static_cast<std::uint8_t>((bgr >> 8U) & 0xFFU),
                static_cast<std::uint8_t>((bgr >> 16U) & 0xFFU)};
    }
    friend bool operator==(const Colour&, const Colour&) = default;
};

class Canvas {
public:
    virtual ~Canvas() = default;

    virtual void fill(const Rect& area, Colour colour) = 0;
    // One pixel wide; the end point itself is not drawn.
    virtual void line(Point from, Point to, Colour colour) = 0;
    // UTF-8 text in the window's default font on a transparent background;
    // `topLeft` is the top left corner of the text's cell.
    virtual void text(Point topLeft, std::string_view utf8, Colour colour) = 0;
};

enum class DrawKind : std::uint8_t { Fill, Line, Text };

// One drawing call as a recording canvas keeps it. A fill uses `area`, a
// line `from` and `to`, a text `from` (its top left corner) and `text`.
struct DrawOp {
    DrawKind kind = DrawKind::Fill;
    Rect area{};
    Point from{};
    Point to{};
    std::string text{};
    Colour colour{};
    friend bool operator==(const DrawOp&, const DrawOp&) = default;
};

// Keeps every call in order and draws nothing; tests read what a painter drew.
class RecordingCanvas final : public Canvas {
public:
    void fill(const Rect& area, Colour colour) override;
    void line(Point from, Point to, Colour colour) override;
    void text(Point topLeft, std::string_view utf8, Colour colour) override;

    const std::vector<DrawOp>& ops() const noexcept { return ops_; }
    std::vector<DrawOp> takeOps() noexcept { return std::move(ops_); }
    void clear() noexcept { ops_.clear(); }

private:
    std::vector<DrawOp> ops_;
};

// Passes every call to two canvases, the first one first.
class TeeCanvas final : public Canvas {
public:
    TeeCanvas(Canvas& first, Canvas& second) noexcept : first_(first), second_(second) {}
    void fill(const Rect& area, Colour colour) override;
    void line(Point from, Point to, Colour colour) override;
    void text(Point topLeft, std::string_view utf8, Colour colour) override;

private:
    Canvas& first_;
    Canvas& second_;
};

// The texts a painter drew, in order (a convenience for tests and checks).
std::vector<std::string> textsOf(const std::vector<DrawOp>& ops);

}  // namespace qvl::ui
