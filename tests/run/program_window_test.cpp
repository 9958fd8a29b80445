// The picture the running program wrote of its own window once traffic
// showed (program_window.sh): the message area in its colour, the controls
// area's background, child controls drawn over it, and the status panel with
// the simulator and the traffic client connected and aircraft live. Skipped
// without a picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <optional>

#include "core/settings.h"
#include "platform/ui/image.h"
#include "run/window/message_area.h"
#include "run/window/window_layout.h"

namespace qvl {
namespace {

const ChildControl* childOf(const ControlBinding& binding) {
    for (const ChildControl& child : mainWindowControls()) {
        if (child.binding == &binding) return &child;
    }
    return nullptr;
}

std::optional<ui::Image> programPicture() {
    const char* path = std::getenv("QVL_PROGRAM_WINDOW_PNG");
    if (path == nullptr || *path == '\0') return std::nullopt;
    auto image = ui::readPng(path);
    EXPECT_TRUE(image.has_value()) << path;
    return image;
}

// The pixels of the area in exactly that colour.
int pixelsOf(const ui::Image& image, const WindowRect& area, ui::Colour colour) {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) count += image.pixel(x, y) == colour ? 1 : 0;
    }
    return count;
}

TEST(ProgramWindowPicture, ShowsTheMessageAreaAndTheControls) {
    const auto image = programPicture();
    if (!image) GTEST_SKIP() << "no picture of the program's window";
    ASSERT_GE(image->width(), kMainWindowWidth);
    ASSERT_GE(image->height(), 477);
    // The right end of the message line holds no text.
    EXPECT_EQ(image->pixel(860, 470), canvasColour(colour::limeGreen));
    const ui::Colour background = canvasColour(colour::lightBlue);
    EXPECT_EQ(image->pixel(700, 240), background);
    for (const ControlBinding* binding :
         std::initializer_list<const ControlBinding*>{&SCAN_LIVERIES, &BLOCK_CALLSIGN, &RANGE, &INITIAL_LOAD_ONLY}) {
        const ChildControl* child = childOf(*binding);
        ASSERT_NE(child, nullptr);
        const WindowRect at = childRect(*child);
        // An edit's face has the controls area's colour: its left border shows it.
        const int x = child->kind == ChildKind::edit ? at.left : at.left + at.width() / 2;
        const int y = at.top + std::min(at.height(), kEditHeight) / 2;
        EXPECT_NE(image->pixel(x, y), background) << "control " << binding->controlId();
    }
}

// The simulator and the traffic client connected, the first live aircraft
// on its way: both lamps lit, and the live count in lime green on black.
TEST(ProgramWindowPicture, ShowsTheStatusPanelWithTrafficLive) {
    const auto image = programPicture();
    if (!image) GTEST_SKIP() << "no picture of the program's window";
    const ui::Colour lime = canvasColour(colour::limeGreen);
    const ui::Colour yellow = canvasColour(colour::yellow);
    // Inside each lamp, above and below its label.
    for (const int y : {33, 45, 100, 110}) {
        EXPECT_EQ(image->pixel(411, y), lime) << "Sim lamp at y " << y;
        const ui::Colour rt = image->pixel(440, y);
        EXPECT_TRUE(rt == lime || rt == yellow) << "traffic-client lamp at y " << y;
    }
    // "live: {:3}" at (642,91): some lime pixels in its cell, the rest of the
    // panel's black around them.
    const WindowRect liveCell{.left = 642, .top = 88, .right = 720, .bottom = 112};
    EXPECT_GT(pixelsOf(*image, liveCell, lime), 0) << "no live count drawn";
    EXPECT_GT(pixelsOf(*image, liveCell, canvasColour(colour::black)), liveCell.width() * liveCell.height() / 2)
        << "the live count is not drawn on black";
}

}  // namespace
}  // namespace qvl
