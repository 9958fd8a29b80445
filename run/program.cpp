#include "run/program.h"

#include <fmt/format.h>

#include <algorithm>
#include <string>
#include <utility>

#include "core/log.h"
#include "core/messages.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "engine/base/user_stand_exchange.h"
#include "engine/object_events.h"
#include "engine/traffic_gone.h"
#include "refdata/airports.h"
#include "refdata/dbase.h"
#include "run/close_bound.h"
#include "run/start_up.h"
#include "simlink/sim_client.h"

namespace qvl {
namespace {

// How often the end of the process looks whether the run thread has ended.
constexpr std::chrono::milliseconds kRunThreadPoll{5};

// The simulator link's replies reach the engine and the user-aircraft
// handlers through these hooks.
void installSimLinkHooks(ProgramParts& p) {
    SimLinkHooks hooks;
    hooks.queueSimObjectEvent = [&p](const SimObjectEvent& event) { gf_queueSimObjectEvent(p.engineState, event); };
    hooks.onSimObjectData = [&p](const SimObjectDataReply& reply) { lf_onSimObjectData(p.link, p.run, p.user, reply); };
    hooks.onSimObjectDataByType = [&p](const SimObjectDataReply& reply) {
        lf_onSimObjectDataByType(p.link, p.user, reply);
    };
    hooks.userPosition = [&p] {
        const UserAircraftBlock block = p.user.block();
        return GeoPosition{.latitude = block.latitude, .longitude = block.longitude};
    };
    hooks.userAircraft = [&p] { return p.user.block(); };
    // The simulator client's thread names the stand from the stands the
    // engine published, never from the engine's own list.
    hooks.standNameAtPosition = [&p](const GeoPosition& position) {
        if (!p.user.onGround().has_value()) return std::string{};
        return p.engineState.userStandExchange.standNameAt(position);
    };
    // Taken over by the run thread on its next reserved-stand check, or when
    // it leaves the park airport at the end of the run.
    hooks.reserveUserStand = [&p](const std::string& stand) {
        p.engineState.userStandExchange.handOverUserStand(stand);
    };
    hooks.repaintWindow = [&p] { p.status.statusChanged(); };
    hooks.setStringParameter = [](StringParameter& setting, const std::string& value) {
        gf_setStringParameter(setting, value);
    };
    hooks.switchSimulator = [&p](SimVersion to) { switchSimulatorTo(p.commandOwners, simChoiceName(to)); };
    p.link.hooks.publish(std::move(hooks));
}

// What the automatic radius is chosen from, read only from what other
// threads publish: the user aircraft as the simulator link keeps it and the
// park-airport list's head as the run thread publishes it. Nothing before the
// user aircraft's on-ground state and position have arrived.
std::optional<AutoRangeInputs> autoRangeInputs(const UserAircraftBlock& user,
                                               const std::optional<GeoPosition>& firstParkAirport) {
    if (!user.onGround.has_value() || user.zeroPosition()) return std::nullopt;
    return AutoRangeInputs{
        .onGround = *user.onGround,
        .heightAboveGroundFeet = user.aboveGround,
        .parkAirportDistanceNm = firstParkAirport.has_value()
                                     ? std::optional(gf_distanceNm(user.position(), *firstParkAirport))
                                     : std::nullopt};
}

}  // namespace

ProgramParts::ProgramParts(sim::SimLibrary& simulatorLibrary, RunWindow& window, ui::Window& programWindow,
                           std::shared_ptr<FileLayer> files)
    : simulator(simulatorLibrary),
      mainWindow(programWindow),
      windowState(
          {.takeSourceValues =
               [this](MainWindowState& state) {
                   takePanelValues(
                       {.link = link, .user = user, .feed = feed, .parkAirport = parkAirport, .loadedPark = loadedPark},
                       state);
               }}),
      status(windowState, flags, engineState.parking.update, mainWindow,
             [target = &window](WindowRegion region) { target->repaint(region); }),
      feed(status, {.realTrafficGone = [this] { takeLiveAircraftAway(engine); }}),
      range([this] { return autoRangeInputs(user.block(), engineState.firstParkAirport.position()); }),
      fileLayer(std::move(files)),
      engine{makeEngine({.state = engineState,
                         .feed = feed,
                         .traffic = traffic,
                         .link = link,
                         .run = run,
                         .parkAirport = parkAirport,
                         .loadedPark = loadedPark,
                         .range = range,
                         .liveries = liveries,
                         .stands = stands,
                         .flightPlans = plans,
                         .status = status,
                         .callsigns = collectedCallsigns,
                         .userAircraft = linkedUserAircraft(user, realTraffic, link, run)})} {
    installSimLinkHooks(*this);
    attachRunState(&run);
}

ProgramParts::~ProgramParts() {
    // The window's state reads parts that end before it does when it is
    // painted: the window that paints it has gone before the parts go.
    attachRunState(nullptr);
    simClient.requestStop();
}

void readProgramData(ProgramParts& parts) {
    gf_initParameters();
    parts.status.settingsRead();
    if (!gf_readDbase()) throw std::runtime_error("reading data files failed!");
    if (!gf_readAirports()) throw std::runtime_error(fmt::format("reading '{}' failed!", gf_pathToUtf8(kAirportsEnc)));
    processScannedLiveries(parts);
}

Program::Program(sim::SimLibrary& simulator, RunWindow& window, ui::Window& mainWindow, RunClock& clock,
                 std::shared_ptr<FileLayer> files)
    : parts_(std::make_unique<ProgramParts>(simulator, window, mainWindow, std::move(files))),
      steps_(std::make_unique<ProgramSteps>(*parts_, clock)),
      control_{.run = parts_->run,
               .process = parts_->process,
               .loop = parts_->loop,
               .flags = parts_->flags,
               .parkingUpdate = parts_->engineState.parking.update,
               .startUp = steps_->startUp,
               .trafficRun = steps_->trafficRun,
               .mainLoop = steps_->mainLoop,
               .parking = steps_->parking,
               .callsigns = steps_->callsigns,
               .closingDown = steps_->closingDown,
               .window = window,
               .controls = mainWindow,
               .status = parts_->status,
               .clock = clock} {
    // The message lines are a process-wide service: the check that the
    // window repaints them is made here, where the program is put together.
    requireMessageRepaint();
}

Program::~Program() { finish(kThreadJoinBound); }

void Program::startRun() {
    if (runThread_.joinable()) runThread_.join();
    auto ended = std::make_shared<std::atomic<bool>>(false);
    runEnded_ = ended;
    runThread_ = std::jthread([this, ended] {
        lf_startUpQVLT(control_);
        ended->store(true);
    });
}

bool Program::runThreadAlive() const { return runThread_.joinable() && !runEnded_->load(); }

bool Program::onClose() {
    if (!runThreadAlive()) return false;
    RunState& run = parts_->run;
    gf_showMessage(fmt::format("Close window button clicked, closing {} ...", kProductName), MessageLogging::notLogged);
    parts_->process.closePressed.store(true);
    // The reason before the flags: the run thread logs it once it sees them.
    run.recordUserClose();
    // Closing the link wakes a run thread that waits for the traffic client.
    parts_->realTraffic.close();
    run.closingFlag.store(true);
    return true;
}

void Program::finish(std::chrono::milliseconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    if (runThread_.joinable()) {
        while (!runEnded_->load() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(kRunThreadPoll);
        }
        if (!runEnded_->load()) endWhileAThreadRuns("run", bound);
        runThread_.join();
    }
    // The end of a run joins the simulator client's thread; one that it
    // left running would block the parts' destructor for ever.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (!parts_->simClient.joinWithin(std::max(left, std::chrono::milliseconds(0)))) {
        endWhileAThreadRuns(kSimClientThreadName, bound);
    }
}

}  // namespace qvl
