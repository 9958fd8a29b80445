// The program's parts, owned once: the run's state, the feed, the simulator
// link, the engine with its services, the window's state and the run
// control over them; and the run thread, which is kept and joined, never
// detached: before a new run thread starts and before the process ends.
//
// The UI thread calls startRun (the first run and every restart), onClose
// (the close button, SIGINT, SIGTERM) and finish (the end of the process).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <stop_token>
#include <string>
#include <thread>

#include "airports/airports_scan.h"
#include "airports/loaded_park_airport.h"
#include "core/current_park_airport.h"
#include "core/file_writer.h"
#include "core/messages.h"
#include "core/range_control.h"
#include "core/run_state.h"
#include "engine/base/engine.h"
#include "engine/base/engine_state.h"
#include "engine/catalogue_liveries.h"
#include "engine/flight_plans.h"
#include "engine/stands/park_airport_stands.h"
#include "feed/feed_state.h"
#include "feed/readers.h"
#include "feed/realtraffic_link.h"
#include "feed/traffic_queue.h"
#include "liveries/livery_matching.h"
#include "liveries/livery_scan.h"
#include "liveries/livery_scan_state.h"
#include "liveries/livery_tables.h"
#include "platform/sim/sim_api.h"
#include "platform/ui/window.h"
#include "refdata/airports.h"
#include "run/program_steps.h"
#include "run/run_clock.h"
#include "run/run_control.h"
#include "run/run_window.h"
#include "run/version_check.h"
#include "run/window/command_flags.h"
#include "run/window/commands.h"
#include "run/window/edit_fields.h"
#include "run/window/folder_openers.h"
#include "run/window/main_window_state.h"
#include "run/window/status_panel.h"
#include "run/window/window_status.h"
#include "simlink/flight_plan.h"
#include "simlink/sim_client_thread.h"
#include "simlink/sim_state.h"
#include "simlink/user_aircraft.h"

namespace qvl {

// The traffic reader's callsign collection, for the parking update.
class ReaderCallsigns final : public CallsignCollection {
public:
    explicit ReaderCallsigns(Readers& readers) : readers_(readers) {}
    void startCallsignCollection() override { readers_.traffic().startCallsignCollection(); }
    std::set<std::string> takeCollectedCallsigns() override { return readers_.traffic().takeCollectedCallsigns(); }

private:
    Readers& readers_;
};

// Every part a run works with. Members are built in order and end in
// reverse: the services after the states they refer to.
struct ProgramParts {
    // Every hook of the parts is given here, as each part is built: a part
    // that lacks one refuses to be built, so a program that forgets one
    // cannot start. `window` is where the parts' repaint requests go;
    // `mainWindow` holds the controls the parts fill and switch, and shows
    // their message boxes. It outlives the parts. `files` is what the
    // writers of the loop's files write and delete through.
    ProgramParts(sim::SimLibrary& simulator, RunWindow& window, ui::Window& mainWindow,
                 std::shared_ptr<FileLayer> files = std::make_shared<DiskFileLayer>());
    ~ProgramParts();
    ProgramParts(const ProgramParts&) = delete;
    ProgramParts& operator=(const ProgramParts&) = delete;

    sim::SimLibrary& simulator;
    ui::Window& mainWindow;
    RunState run;
    ProcessState process;
    LoopState loop;
    CommandFlags flags;
    // Before the status: the window announces and shows its parking update.
    EngineState engineState;
    MainWindowState windowState;
    // The one route from the lower folders to the window, and the one by
    // which anything asks the window to repaint.
    WindowStatus status;
    // The message lines are repainted with the rest of the window for as
    // long as the parts live.
    MessageRepaint messageRepaint{status};
    FeedState feed;
    TrafficQueue traffic;
    RangeControl range;
    SimLinkState link;
    UserAircraftState user;
    FlightPlanFolder planFolder;
    CurrentParkAirportState parkAirport;
    // What the writers of the loop's files (the learned file, the flight
    // plans, the object-id list) write and delete through.
    std::shared_ptr<FileLayer> fileLayer;
    LoadedParkAirport loadedPark{status, fileLayer};
    LiveryTables liveryTables;
    LiveryMatchCounters matchCounters;
    // The window's edit fields. Enter runs on the UI thread; the park
    // airports are the engine's, so a destination goes to the run thread.
    EditFields editFields{{.run = run,
                           .flags = flags,
                           .controls = mainWindow,
                           .simVersion = [this] { return link.simVersion.load(); },
                           .airportPosition = [](const FixedCode4& code) { return airportPosition(code); },
                           .pushParkAirport =
                               [this](const FixedCode4& code, const GeoPosition& position) {
                                   flags.requestDestination({.code = code, .position = position});
                               }}};
    // What the main window's commands act on; the simulator link's switch of
    // simulators goes through the same.
    WindowCommandOwners commandOwners{.flags = flags,
                                      .window = windowState,
                                      .status = status,
                                      .run = run,
                                      .range = range,
                                      .feed = feed,
                                      .liveryTables = liveryTables,
                                      .simVersion = link.simVersion,
                                      .staticParkingActive = [this] { return parkAirport.standsLoaded(); },
                                      .openTbloFolder = [this] { return openTbloZipFolder(mainWindow); },
                                      .editFields = editFields};
    Readers readers{traffic, feed, run, parkAirport};
    RealTrafficLink realTraffic{feed, run, readers};
    FolderFlightPlans plans{planFolder, fileLayer};
    // The object-id list's writer.
    FileWriter reportFiles{fileLayer};
    ParkAirportStands stands{loadedPark};
    CatalogueLiveries liveries{liveryTables, engineState, matchCounters};
    ReaderCallsigns collectedCallsigns{readers};
    Engine engine;
    // The livery and airport scans and the version check, each over its owners.
    LiveryScanState liveryScanState;
    LiveryScan liveryScan{{.scan = liveryScanState,
                           .run = run,
                           .status = status,
                           .regcodeResults = liveryTables.regcodeResults,
                           .openManualAndSettingsFolder =
                               [this] {
                                   gf_openManual(mainWindow);
                                   gf_openParametersFolder(mainWindow);
                               },
                           .pool = {}}};
    AirportsScan airportsScan{{.simulator = simulator, .run = run, .status = status}};
    VersionCheck versionCheck{{.run = run, .status = status}};
    LiveCountRefresh liveCount{engine, status};

    // The readers' UDP ports (0: ephemeral ports, for tests).
    std::uint16_t trafficPort = kTrafficPort;
    std::uint16_t qnhPort = kQnhPort;

    // The simulator client thread of the current run.
    SimClientThread simClient;
};

// The startup-to-ready steps alone (settings, data files, catalogue) for the
// benchmark and the program's own timing line.
void readProgramData(ProgramParts& parts);

class Program {
public:
    Program(sim::SimLibrary& simulator, RunWindow& window, ui::Window& mainWindow, RunClock& clock,
            std::shared_ptr<FileLayer> files = std::make_shared<DiskFileLayer>());
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // UI thread: a new run thread; the previous one, which has posted this
    // request as its last act, is joined first.
    void startRun();
    // UI thread, the close button: the run is asked to end for the user.
    // False when no run thread is alive, so the program can end at once.
    bool onClose();
    // UI thread, at the very end: the run thread and the simulator client's
    // thread joined. When one has not ended within the bound, the process
    // ends here at once with exit code 1, after a last line in Log.txt:
    // nothing that thread uses is freed under it.
    void finish(std::chrono::milliseconds bound);
    [[nodiscard]] bool runThreadAlive() const;

    [[nodiscard]] ProgramParts& parts() noexcept { return *parts_; }
    [[nodiscard]] RunControl& control() noexcept { return control_; }

private:
    std::unique_ptr<ProgramParts> parts_;
    std::unique_ptr<ProgramSteps> steps_;
    RunControl control_;
    std::jthread runThread_;
    std::shared_ptr<std::atomic<bool>> runEnded_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace qvl
