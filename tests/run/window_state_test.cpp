#include <gtest/gtest.h>

#include "run/window/main_window_state.h"

namespace qvl {
namespace {

TEST(MainWindowState, StartsReadyAndResetRestoresStartValues) {
    MainWindowState state;
    EXPECT_TRUE(state.isReady());
    EXPECT_EQ(state.trafficLamp.load(), LampState::notRunning);
    EXPECT_EQ(state.meanLiveParkedHours.load(), kNoMeanParkedTime);
    EXPECT_TRUE(state.realTrafficNotStarted);
    EXPECT_TRUE(state.userModelKnown);

    int repaints = 0;
    state.setRepaintHook([&](WindowRegion) { ++repaints; });
    state.setText(WindowText::followedAircraft, "DLH4AB");
    state.scannedLiveries = 12;
    state.simConnected = true;
    state.weatherLamp = LampState::receiving;
    state.reset();
    EXPECT_EQ(state.text(WindowText::followedAircraft), "");
    EXPECT_EQ(state.scannedLiveries.load(), 0u);
    EXPECT_FALSE(state.simConnected);
    EXPECT_EQ(state.weatherLamp.load(), LampState::notRunning);
    EXPECT_EQ(state.parkingStatsTop.load(), kParkingStatsTop);
    state.requestRepaint(WindowRegion::statusPanel);
    EXPECT_EQ(repaints, 1);  // the hook survives the reset
}

}  // namespace
}  // namespace qvl
