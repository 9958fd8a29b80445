#include "run/program.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "core/log.h"
#include "core/messages.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/time_text.h"
#include "core/user_error.h"
#include "engine/conflicts/clearance.h"
#include "engine/conflicts/static_conflicts.h"
#include "engine/engine_tick.h"
#include "engine/object_events.h"
#include "engine/removal.h"
#include "engine/stands/stands.h"
#include "engine/uncreatable.h"
#include "liveries/liveries_file.h"
#include "liveries/scanned_processing.h"
#include "refdata/airports.h"
#include "refdata/dbase.h"
#include "run/closing_down.h"
#include "run/pending_parts.h"
#include "run/start_up.h"
#include "simlink/package_folders.h"
#include "simlink/sim_client.h"
#include "simlink/sim_queues.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

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
    hooks.repaintWindow = [&p] { p.windowState.requestRepaint(WindowRegion::statusPanel); };
    hooks.setStringParameter = [](StringParameter& setting, const std::string& value) {
        gf_setStringParameter(setting, value);
    };
    p.link.hooks.publish(std::move(hooks));
}

// The livery tables from the scanned liveries, once per process; the
// window's livery counter shows how many were read.
void processScannedLiveries(ProgramParts& parts) {
    gf_processScannedLiveries(
        parts.liveryTables,
        {.showCount = [&parts](std::size_t count) { parts.windowState.scannedLiveries.store(count); },
         .repaint = [&parts] { parts.windowState.requestRepaint(WindowRegion::statusPanel); }});
}

// The traffic client has gone while the run goes on: its aircraft would
// freeze where the feed left them, so every live one is taken away.
void takeLiveAircraftAway(ProgramParts& p) {
    if (p.run.isClosing()) return;
    for (LiveAc& ac : p.engineState.liveAircraft) {
        if (ac.status == SimStatus::active || ac.status == SimStatus::adding2sim) removeAircraftFromSim(p.engine, ac);
    }
}

class ProgramServices final : public RunServices {
public:
    explicit ProgramServices(ProgramParts& parts) : p_(parts) {}

    void initParameters() override { gf_initParameters(); }
    void setRealTrafficLocal(bool local) override { p_.feed.rtLocal.store(local); }
    bool checkVersions() override { return pending::checkVersions(); }
    bool readDbase() override { return gf_readDbase(); }
    bool readAirports() override { return gf_readAirports(); }
    bool detectMsfs() override { return gf_detectMsfs(p_.link); }
    void scanLiveries() override { pending::scanLiveries(); }
    void processScannedLiveries() override { qvl::processScannedLiveries(p_); }
    void scanAirports() override { pending::scanAirports(); }
    void createFlightPlanFolder() override { gf_createFlightPlanFolder(p_.planFolder); }
    void readMyParkAirports() override { pending::readMyParkAirports(); }
    std::optional<GeoPosition> airportPosition(const FixedCode4& code) override {
        for (const AirportRec& airport : airportList()) {
            if (airport.icao == code) return GeoPosition{.latitude = airport.latitude, .longitude = airport.longitude};
        }
        return std::nullopt;
    }
    void setDestination(const std::string& /*text*/, const GeoPosition& /*position*/) override {
        pending::setDestination();
    }

    void darkenLinkLamps() override {
        p_.windowState.realTrafficReady.store(false);
        p_.link.status.darken();
    }
    void lightRealTrafficLamp() override { p_.windowState.realTrafficReady.store(true); }
    void initAiTraffic() override { gf_initAiTraffic(p_.engine); }
    void initSimQueues() override { gf_initSimQueues(p_.link); }
    void startSimClient() override;
    bool requestUserAircraftData() override {
        return lf_requestUserAircraftData(p_.link, p_.run, p_.user, [this](std::chrono::milliseconds duration) {
            sleepUnlessClosing(clock(), p_.run, duration, std::chrono::milliseconds(10));
        });
    }
    void startTcpServer(const std::string& portText) override {
        try {
            p_.realTraffic.startTcpServer(portText);
        } catch (const std::exception& e) {
            gf_logAttention(fmt::format("{} exception: {}", "lf_startTcpServer", e.what()));
        }
    }
    void waitForRealTraffic() override {
        p_.realTraffic.waitForRealTraffic();
        // The edition of the version reply decides whether the simulator's time is kept.
        p_.user.setProfEdition(p_.feed.time.rtEdition.load());
    }
    bool realTrafficProfEdition() override { return p_.feed.time.rtEdition.load(); }
    void clearRealTrafficEdition() override {
        p_.feed.time.rtEdition.store(false);
        p_.user.setProfEdition(false);
    }
    void sendSimTime() override { p_.realTraffic.sendQs123(p_.user.simUtcSeconds()); }
    void setAcceptingTraffic(bool accepting) override { p_.traffic.setAccepting(accepting); }
    void startQnhReader() override { p_.readers.startQnhReader(p_.qnhPort); }
    void startTrafficReader() override { p_.readers.startTrafficReader(p_.trafficPort); }
    void sendUserPosition() override { p_.realTraffic.sendUserPosition(userStateFor(p_.user.block())); }
    void copyUserPositionToReader() override {
        const UserAircraftBlock block = p_.user.block();
        p_.readers.traffic().setOwnPosition({.latitude = block.latitude, .longitude = block.longitude});
    }
    double trafficClock() override { return p_.feed.time.trafficClock.load(); }
    std::uint64_t trafficDaySlot() override { return gf_trafficDaySlot(p_.feed.time); }
    void updateAutoRange() override { lf_updateAutoRange(p_.range); }

    bool flightRunning() override { return p_.link.simRunning.load() && !p_.link.simQueuesPaused.load(); }
    void engineTick() override { lf_handleAddingStack(p_.engine); }
    bool takeOneSecond() override { return p_.user.takeOneSecond(); }
    bool oneSecondPending() override {
        if (!p_.user.takeOneSecond()) return false;
        p_.user.markOneSecond();  // looked at, left for the tick to take
        return true;
    }
    void clearPositionBatches() override {
        // Two exchanges leave both batches empty.
        p_.link.queues.exchangePositionBatches();
        p_.link.queues.exchangePositionBatches();
    }
    void handleSimObjectEvents() override { lf_handleSimObjectEvents(p_.engine); }
    void refreshLiveCount() override { pending::refreshLiveCount(); }
    void refreshReaderLamps() override { gf_refreshReaderLamps(p_.readers); }
    bool readerLampStale() override {
        return p_.feed.trafficLamp.load() == ReaderLamp::stale || p_.feed.weatherLamp.load() == ReaderLamp::stale;
    }
    void fillCallsignComboBox() override { gf_fillCallsignComboBox(); }
    void updateStaticParking(bool /*initialPass*/) override { pending::updateStaticParking(); }
    void clearReservedStand() override {
        const std::string stand = pending::reservedStandText();
        if (!stand.empty()) gf_clearReservedStand(p_.engine, stand);
    }
    bool checkParkAirports(std::string& text) override { return pending::checkParkAirports(text); }
    void startCallsignCollection() override { p_.readers.traffic().startCallsignCollection(); }
    void adjustParking() override { pending::adjustParking(); }
    void removeStaticDuplicates() override { gf_removeStaticDuplicates(p_.engine); }
    void clearNoMatchList() override { p_.engineState.noMatchList.clear(); }
    void writeObjectIdList() override { gf_writeObjectIdList(p_.engine); }
    void logNoMatchList() override { gf_logNoMatchList(p_.engineState); }
    void logLiveryMatchSummary() override { p_.liveries.logMatchSummary(); }
    void clearSpawnMap() override { gf_clearSpawnMap(p_.engineState); }
    void checkNextLearnedStand(std::uint64_t daySlot) override;
    std::optional<std::uint32_t> followCallsign(const std::string& callsign) override {
        for (const LiveAc& ac : p_.engineState.liveAircraft) {
            if (ac.status == SimStatus::active && ac.flight.callsign == callsign) return ac.objectId;
        }
        return std::nullopt;
    }
    void flushStaticAc() override { gf_flushStaticAc(p_.engine); }
    void fillCallsignChoices() override { gf_fillCallsignChoices(p_.engine); }
    void clearAroundUser() override {
        const auto onGround = p_.user.onGround();
        if (onGround.value_or(false)) {
            if (COLLISION_USER_GND.value()) gf_removeAcNearUser(p_.engine);
        } else if (COLLISION_USER_AIR.value()) {
            gf_removeAcOnUserLine(p_.engine);
        }
    }
    void clearStaticInTaxiPaths() override { gf_clearStaticInTaxiPaths(p_.engine); }
    void removeBlockedCallsign(const std::string& callsign) override {
        for (LiveAc& ac : p_.engineState.liveAircraft) {
            if (ac.status == SimStatus::active && ac.flight.callsign == callsign) {
                removeAircraftFromSim(p_.engine, ac);
                return;
            }
        }
    }
    void showWaitingStaticCount() override {
        p_.windowState.candidateCount.store(p_.engineState.candidates.size());
        p_.windowState.requestRepaint(WindowRegion::parkingStats);
    }

    void stopSimClient() override {
        if (p_.simClient.joinable()) p_.simClient.request_stop();
    }
    void stopReaders() override {
        p_.readers.traffic().requestStop();
        p_.readers.qnh().requestStop();
    }
    void closeRealTrafficLink() override { p_.realTraffic.close(); }
    void leaveParkAirport() override { pending::leaveParkAirport(); }
    void removeFlightPlanFolder() override;
    // The unrecognised add-on airports are counted by the airports scan, not
    // built yet; nothing else of the run's texts outlives the reset.
    void forgetRunTexts() override {}
    bool joinRunThreads(std::chrono::milliseconds bound) override;
    void resetRunParts() override;

    void setClock(RunClock& clock) { clock_ = &clock; }

private:
    RunClock& clock() { return *clock_; }

    ProgramParts& p_;
    RunClock* clock_ = nullptr;
};

void ProgramServices::startSimClient() {
    if (p_.simClient.joinable()) {
        p_.simClient.request_stop();
        p_.simClient.join();
    }
    auto ended = std::make_shared<std::atomic<bool>>(false);
    p_.simClientEnded = ended;
    p_.simClient = std::jthread([this, ended](const std::stop_token& stop) {
        lf_simClientThread(stop, p_.link, p_.run, p_.simulator);
        ended->store(true);
    });
}

void ProgramServices::checkNextLearnedStand(std::uint64_t daySlot) {
    std::list<std::uint32_t>& queue = p_.engineState.perSecondHexIds;
    if (queue.empty()) return;
    const std::uint32_t hexId = queue.front();
    queue.pop_front();
    for (LiveAc& ac : p_.engineState.liveAircraft) {
        if (ac.flight.hexId != hexId) continue;
        if (!ac.flight.learnedStandChecked) {
            ac.flight.learnedStandChecked = true;
            gf_findLearnedStand(p_.engine, WeekTime::fromPacked(daySlot), ac);
        }
        gf_removeStaticTwins(p_.engine, ac);
        return;
    }
}

void ProgramServices::removeFlightPlanFolder() {
    const fs::path folder = p_.planFolder.path();
    if (folder.empty()) return;
    std::error_code error;
    fs::remove_all(folder, error);
    if (error) gf_log(fmt::format("gf_removeFlightPlanFolder: {}", error.message()));
}

bool ProgramServices::joinRunThreads(std::chrono::milliseconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    if (p_.simClient.joinable()) {
        p_.simClient.request_stop();
        while (!p_.simClientEnded->load() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (!p_.simClientEnded->load()) {
            gf_logAttention(fmt::format("The {} thread has not ended", kSimClientThreadName));
            return false;
        }
        p_.simClient.join();
    }
    // The readers end within their receive time-out of a second.
    p_.readers.stop();
    return true;
}

void ProgramServices::resetRunParts() {
    gf_clearAiTraffic(p_.engine);
    p_.readers.resetTrafficSide();
    p_.feed.waitingForRealTraffic.store(true);
    p_.feed.time.rtEdition.store(false);
    p_.feed.trafficLamp.store(ReaderLamp::stopped);
    p_.feed.weatherLamp.store(ReaderLamp::stopped);
    p_.link.reset();
    p_.user.reset();
    p_.planFolder.reset();
}

}  // namespace

ProgramParts::ProgramParts(sim::SimLibrary& simulatorLibrary)
    : simulator(simulatorLibrary),
      engine{makeEngine({.state = engineState,
                         .feed = feed,
                         .traffic = traffic,
                         .link = link,
                         .run = run,
                         .parkAirport = parkAirport,
                         .liveries = liveries,
                         .stands = stands,
                         .flightPlans = plans})} {
    connectUserAircraft(engine, user, realTraffic);
    installSimLinkHooks(*this);
    feed.setRealTrafficGoneHook([this] { takeLiveAircraftAway(*this); });
    attachRunState(&run);
}

ProgramParts::~ProgramParts() {
    attachRunState(nullptr);
    if (simClient.joinable()) simClient.request_stop();
}

void readProgramData(ProgramParts& parts) {
    gf_initParameters();
    if (!gf_readDbase()) throw std::runtime_error("reading data files failed!");
    if (!gf_readAirports()) throw std::runtime_error(fmt::format("reading '{}' failed!", kAirportsEnc.string()));
    processScannedLiveries(parts);
}

Program::Program(sim::SimLibrary& simulator, RunWindow& window, RunClock& clock)
    : parts_(std::make_unique<ProgramParts>(simulator)),
      services_(std::make_unique<ProgramServices>(*parts_)),
      control_{.run = parts_->run,
               .process = parts_->process,
               .loop = parts_->loop,
               .flags = parts_->flags,
               .services = *services_,
               .window = window,
               .clock = clock} {
    static_cast<ProgramServices&>(*services_).setClock(clock);
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
    run.closeRequested.store(true);
    // Closing the link wakes a run thread that waits for the traffic client.
    parts_->realTraffic.close();
    run.closingFlag.store(true);
    RestartReason expected = RestartReason::notYetSet;
    run.restartReason.compare_exchange_strong(expected, RestartReason::userClosedSim);
    return true;
}

bool Program::finish(std::chrono::milliseconds bound) {
    if (!runThread_.joinable()) return true;
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!runEnded_->load() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!runEnded_->load()) {
        gf_logAttention("The run thread has not ended");
        runThread_.detach();  // the process ends with exit code 1 around it
        return false;
    }
    runThread_.join();
    return true;
}

}  // namespace qvl
