// The picture the running program wrote of its own window
// (program_window.sh): the message area in its colour, the controls area's
// background, and child controls drawn over it. Skipped without a picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>

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

TEST(ProgramWindowPicture, ShowsTheMessageAreaAndTheControls) {
    const char* path = std::getenv("QVL_PROGRAM_WINDOW_PNG");
    if (path == nullptr || *path == '\0') GTEST_SKIP() << "no picture of the program's window";
    const auto image = ui::readPng(path);
    ASSERT_TRUE(image.has_value()) << path;
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

}  // namespace
}  // namespace qvl
