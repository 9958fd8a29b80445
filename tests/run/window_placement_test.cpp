#include <gtest/gtest.h>

#include <fmt/format.h>

#include "core/paths.h"
#include "core/settings.h"
#include "core/support/settings_fixture.h"
#include "run/window/window_placement.h"

namespace qvl {
namespace {

// One 1920 x 1040 monitor with its task bar below.
WindowRect oneMonitor(WindowPoint /*near*/) { return {0, 0, 1920, 1040}; }

class WindowPlacement : public test::SettingsFolder {
protected:
    void storePosition(int x, int y) {
        writeParameters(fmt::format(R"(<?xml version="1.0"?>
<root><parameters><parameter name="MAIN_WINDOW_X" value="{}"/><parameter name="MAIN_WINDOW_Y" value="{}"/></parameters></root>
)",
                                    x, y));
    }
    bool fileHolds(std::string_view key, int value) {
        return file().find(fmt::format(R"(name="{}" value="{}")", key, value)) != std::string::npos;
    }
};

TEST_F(WindowPlacement, PositionAtASettingLimitFallsBackToTheDefaultAndIsSaved) {
    storePosition(30000, 300);
    WindowPoint at = loadWindowPosition(oneMonitor);
    EXPECT_EQ(at.x, 400);
    EXPECT_EQ(at.y, 300);
    EXPECT_TRUE(fileHolds("MAIN_WINDOW_X", 400));
    storePosition(600, -30000);
    at = loadWindowPosition(oneMonitor);
    EXPECT_EQ(at.y, 48);  // the default 20 is then kept 48 pixels below the top
    EXPECT_TRUE(fileHolds("MAIN_WINDOW_Y", 48));
}

TEST_F(WindowPlacement, PositionOffTheMonitorMovesInsideItsEdges) {
    storePosition(5000, 1030);
    const WindowPoint at = loadWindowPosition(oneMonitor);
    EXPECT_EQ(at.x, 1920 - 48);
    EXPECT_EQ(at.y, 1040 - 48);
    EXPECT_TRUE(fileHolds("MAIN_WINDOW_X", 1872));
    EXPECT_TRUE(fileHolds("MAIN_WINDOW_Y", 992));
}

TEST_F(WindowPlacement, PositionInsideLeavesTheFileAsItWas) {
    storePosition(600, 300);
    const std::string before = file();
    const WindowPoint at = loadWindowPosition(oneMonitor);
    EXPECT_EQ(at.x, 600);
    EXPECT_EQ(at.y, 300);
    EXPECT_EQ(file(), before);
}

TEST_F(WindowPlacement, WithoutParametersTheWindowOpensAtTheDefaults) {
    bool asked = false;
    const WindowPoint at = loadWindowPosition([&](WindowPoint p) {
        asked = true;
        return oneMonitor(p);
    });
    EXPECT_EQ(at.x, 400);
    EXPECT_EQ(at.y, 20);
    EXPECT_FALSE(asked);  // no placement check runs
    EXPECT_FALSE(std::filesystem::exists(parametersFile()));
}

TEST_F(WindowPlacement, UnusableFileIsLeftForTheSettingsReadAndTheDefaultsAreUsed) {
    for (const char* damaged : {"<root><parameters>", "<root><other/></root>"}) {
        writeParameters(damaged);
        const WindowPoint at = loadWindowPosition(oneMonitor);
        EXPECT_EQ(at.x, 400);
        EXPECT_EQ(at.y, 20) << "not moved and saved into the file";
        EXPECT_EQ(file(), damaged);
        EXPECT_FALSE(std::filesystem::exists(productFolder() / "parameters0.xml"));
    }
}

}  // namespace
}  // namespace qvl
