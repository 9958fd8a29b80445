// The window's one painter: the bands and grid, the version strip, the
// status panel with its lamps and counters, the labels of the controls, the
// parking statistics and the message area. It paints what MainWindowState
// holds; the program refreshes the values that other parts own right before
// each paint (takePanelValues), and the run thread refreshes the live count
// once a second.
#pragma once

#include "airports/loaded_park_airport.h"
#include "core/current_park_airport.h"
#include "engine/base/engine.h"
#include "engine/base/parking_update.h"
#include "feed/feed_state.h"
#include "platform/ui/canvas.h"
#include "platform/ui/controls.h"
#include "run/window/command_flags.h"
#include "run/window/main_window_state.h"
#include "run/window/window_status.h"
#include "simlink/sim_state.h"
#include "simlink/user_aircraft.h"

namespace qvl {

// The whole client area, in the order a reader's eye expects the layers:
// background, lines, title strip, grid, status panel, QNH and live count,
// labels, parking statistics, message line. Labels of controls that cannot
// be used are greyed, as `controls` (the window's) say.
void lf_paintWindow(ui::Canvas& canvas, const MainWindowState& state, const ParkingUpdate& update,
                    const ui::Controls& controls);

// The parts that own what the status panel shows besides the window's own
// state: the simulator link's lamps and text, the user aircraft, the
// traffic client's lamps, QNH and edition, the park airport's statistics.
struct PanelSources {
    const SimLinkState& link;
    const UserAircraftState& user;
    const FeedState& feed;
    const CurrentParkAirportState& parkAirport;
    const LoadedParkAirport& loadedPark;
};

// Copies the current values of the sources into the window's state. Each
// source is read through its own lock or atomics, so any thread may call it.
void takePanelValues(const PanelSources& sources, MainWindowState& window);

// The run thread's once-a-second look at the live count. Given its owners
// once: the engine whose aircraft it counts, the window state it shows them
// in and the flags that tell whether a parking update is announced.
class LiveCountRefresh {
public:
    LiveCountRefresh(Engine& engine, const WindowStatus& status)
        : engine_(engine), status_(status), window_(status.window()) {}

    // Stores the counts and mean parked times; repaints only a region whose
    // numbers changed, so a quiet second costs no paint.
    void lf_refreshLiveCount();

private:
    Engine& engine_;
    const WindowStatus& status_;
    MainWindowState& window_;
};

}  // namespace qvl
