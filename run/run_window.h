// What the run asks of the main window. The run thread calls these; an
// implementation queues each call to the UI thread and never blocks, and the
// UI thread does no engine or catalogue work on the run's behalf.
#pragma once

#include <cstdint>
#include <string>

#include "run/window/window_layout.h"

namespace qvl {

class RunWindow {
public:
    virtual ~RunWindow() = default;

    // A new run thread is to start (the first run, or a restart).
    virtual void postStartRun() = 0;
    // The program ends: the window saves its position and the UI loop ends
    // with the code.
    virtual void postExit(std::int32_t exitCode) = 0;

    // Asks the UI thread to repaint a region of the window.
    virtual void repaint(WindowRegion region) = 0;
    virtual void repaintStatus() = 0;
    virtual void repaintControls() = 0;
    virtual void setAlwaysOnTop(bool onTop) = 0;

    // Once a minute the countdown to the next static-parking update, which
    // announces it when it runs out.
    virtual void stepStaticParkingCountdown(std::int32_t secondsCounter, bool staticParkingActive) = 0;
    // "= <object id>", "has left" or empty, beside CALLSIGN_2_OBJECTID.
    virtual void setFollowText(const std::string& text) = 0;
    // The start-up indicator of the status panel.
    virtual void setStartingUp(bool startingUp) = 0;
    // Every status text and lamp back to a fresh run's.
    virtual void resetRunTexts() = 0;
    // The close that the window passed on (its button or a close signal) was
    // taken up as a restart: the program goes on, and only a later close
    // bounds its end.
    virtual void closeTakenForRestart() = 0;
};

}  // namespace qvl
