// The parts the main window's commands act on, fresh for each test, with
// answers a test sets: the simulator of the run, whether static parking is
// active, and a tblo.zip opener that counts.
#pragma once

#include <atomic>
#include <memory>

#include "core/messages.h"
#include "core/range_control.h"
#include "core/run_state.h"
#include "feed/feed_state.h"
#include "liveries/livery_tables.h"
#include "platform/ui/window.h"
#include "run/window/command_flags.h"
#include "run/window/commands.h"
#include "run/window/main_window_state.h"
#include "run/window/window_layout.h"
#include "simlink/sim_version.h"

namespace qvl::test {

struct CommandParts {
    CommandFlags flags;
    // The window that the state and the message lines ask for repaints, as
    // the program's wiring does; none until a test shows one.
    std::weak_ptr<ui::Window> repaintTarget;
    MainWindowState state{{.repaint =
                               [this](WindowRegion region) {
                                   if (const auto shown = repaintTarget.lock()) shown->invalidate(regionRect(region));
                               },
                           .takeSourceValues = [](MainWindowState& /*state*/) {}}};
    MessageRepaint messageRepaint{[this] { state.requestRepaint(WindowRegion::messageArea); }};
    RunState run;
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};
    FeedState feed{{.repaint = [] {}, .realTrafficGone = [] {}}};
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
