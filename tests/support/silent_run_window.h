// A window of the run that shows nothing: every request of the run is taken
// and dropped. Tests and benchmarks that start the program without a window
// use it as it is, or override what they watch (the posts of a run's start
// and end, say).
#pragma once

#include <cstdint>
#include <string>

#include "run/run_window.h"

namespace qvl::test {

class SilentRunWindow : public RunWindow {
public:
    void postStartRun() override {}
    void postExit(std::int32_t /*exitCode*/) override {}
    void repaint(WindowRegion /*region*/) override {}
    void repaintStatus() override {}
    void repaintControls() override {}
    void setAlwaysOnTop(bool /*onTop*/) override {}
    void stepStaticParkingCountdown(std::int32_t /*secondsCounter*/, bool /*staticParkingActive*/) override {}
    void setFollowText(const std::string& /*text*/) override {}
    void setStartingUp(bool /*startingUp*/) override {}
    void resetRunTexts() override {}
    void closeTakenForRestart() override {}
};

}  // namespace qvl::test
