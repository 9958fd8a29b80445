// The parts the main window's commands act on, fresh for each test, with
// answers a test sets: the simulator of the run, whether static parking is
// active, and a tblo.zip opener that counts.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "core/messages.h"
#include "core/range_control.h"
#include "core/run_state.h"
#include "engine/base/parking_update.h"
#include "feed/feed_state.h"
#include "liveries/livery_tables.h"
#include "platform/ui/window.h"
#include "run/window/command_flags.h"
#include "run/window/commands.h"
#include "run/window/edit_fields.h"
#include "run/window/main_window_state.h"
#include "run/window/window_layout.h"
#include "run/window/window_status.h"
#include "simlink/sim_version.h"

namespace qvl::test {

struct CommandParts {
    // The window whose controls the parts set and which they ask for
    // repaints, as the program's wiring does. It outlives the parts.
    explicit CommandParts(const std::shared_ptr<ui::Window>& window) : repaintTarget(window), controls(*window) {}
    CommandParts(const CommandParts&) = delete;
    CommandParts& operator=(const CommandParts&) = delete;

    CommandFlags flags;
    ParkingUpdate parkingUpdate;
    std::weak_ptr<ui::Window> repaintTarget;
    ui::Controls& controls;
    MainWindowState state{{.takeSourceValues = [](MainWindowState& /*state*/) {}}};
    WindowStatus status{state, flags, parkingUpdate, controls, [this](WindowRegion region) {
                            if (const auto shown = repaintTarget.lock()) shown->invalidate(regionRect(region));
                        }};
    MessageRepaint messageRepaint{status};
    RunState run;
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};
    FeedState feed{status, {.realTrafficGone = [] {}}};
    LiveryTables tables;
    std::atomic<SimVersion> sim{SimVersion::msfs2020};
    bool parkingActive = false;
    int tbloOpens = 0;
    // Destinations the edit field handed over, in order.
    std::vector<FixedCode4> destinations;
    EditFields editFields{
        {.run = run,
         .flags = flags,
         .controls = controls,
         .simVersion = [this] { return sim.load(); },
         .airportPosition = [](const FixedCode4& /*code*/) { return std::optional<GeoPosition>{}; },
         .pushParkAirport = [this](const FixedCode4& code,
                                   const GeoPosition& /*position*/) { destinations.push_back(code); }}};

    WindowCommandOwners owners() {
        return {.flags = flags,
                .window = state,
                .status = status,
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
                    },
                .editFields = editFields};
    }
};

}  // namespace qvl::test
