// The main window's fixed layout: its size, the regions that are repainted
// on their own, the colours, the grid of the controls area and the place of
// every child control.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/settings.h"
#include "platform/ui/canvas.h"

namespace qvl {

// The window's inside is what is drawn, down to the message area's bottom
// edge. (The 516 pixels of the Windows original are its outer height, its
// caption and frame included, which leave the same 477 inside.)
inline constexpr int kMainWindowWidth = 880;
inline constexpr int kMainWindowHeight = 477;

// A rectangle in client pixels; right and bottom are outside it.
using WindowRect = ui::Rect;
using WindowPoint = ui::Point;

// The parts of the window that writers ask to have repainted.
enum class WindowRegion : std::uint8_t { statusPanel, controlsArea, parkingStats, messageArea, whole };

WindowRect regionRect(WindowRegion region) noexcept;

// Colours as 0xRRGGBB.
namespace colour {
inline constexpr std::uint32_t red = 0xFF0000;
inline constexpr std::uint32_t lightBlue = 0x99CCFF;  // the controls area and its edits
inline constexpr std::uint32_t black = 0x000000;
inline constexpr std::uint32_t limeGreen = 0x32CD32;
inline constexpr std::uint32_t yellow = 0xFFFF00;
inline constexpr std::uint32_t white = 0xFFFFFF;
inline constexpr std::uint32_t grey = 0xA0A0A0;
}  // namespace colour

struct GridSegment {
    WindowPoint from;
    WindowPoint to;
};

// The black lines between the rows of the controls area.
inline constexpr std::array<GridSegment, 7> kControlGrid{{
    {{0, 140}, {880, 140}},
    {{0, 168}, {642, 168}},
    {{0, 196}, {642, 196}},
    {{0, 224}, {642, 224}},
    {{0, 252}, {642, 252}},
    {{0, 280}, {642, 280}},
    {{0, 308}, {880, 308}},
}};

enum class ChildKind : std::uint8_t { comboBox, edit, checkBox, button };

// One child control of the main window: the setting or button it shows, its
// kind, left edge, width and, for a drop-down, the height of its open list.
// The control id and the row come from the binding.
struct ChildControl {
    ControlBinding* binding = nullptr;
    ChildKind kind = ChildKind::edit;
    int x = 0;
    int width = 0;
    int listHeight = 0;
};

// Every child control, in the order they are created.
std::span<const ChildControl> mainWindowControls();

// Heights of the kinds that have a fixed one.
inline constexpr int kEditHeight = 16;
inline constexpr int kButtonHeight = 20;
inline constexpr int kCheckBoxSize = 12;

// Where a child control sits: a drop-down 5 pixels above its row with its
// open list's height, an edit and a button on the row, a check box 2 below.
WindowRect childRect(const ChildControl& control);

}  // namespace qvl
