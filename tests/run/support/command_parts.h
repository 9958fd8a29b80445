// The parts the main window's commands act on, fresh for each test, with
// answers a test sets: the simulator of the run, whether static parking is
// active, and a tblo.zip opener that counts.
#pragma once

#include <atomic>

#include "core/range_control.h"
#include "core/run_state.h"
#include "feed/feed_state.h"
#include "liveries/livery_tables.h"
#include "run/window/command_flags.h"
#include "run/window/commands.h"
#include "run/window/main_window_state.h"
#include "simlink/sim_version.h"

namespace qvl::test {

struct CommandParts {
    CommandFlags flags;
    MainWindowState state;
    RunState run;
    RangeControl range;
    FeedState feed;
    LiveryTables tables;
    std::atomic<SimVersion> sim{SimVersion::msfs2020};
    bool parkingActive = false;
    int tbloOpens = 0;

    WindowCommandOwners owners() {
        return {.flags = flags,
                .window = state,
                .run = run,
                .range = range,
                .feed = feed,
                .liveryTables = tables,
                .simVersion = sim,
                .staticParkingActive = [this] { return parkingActive; },
                .openTbloFolder =
                    [this] {
                        ++tbloOpens;
                        return true;
                    }};
    }
};

}  // namespace qvl::test
