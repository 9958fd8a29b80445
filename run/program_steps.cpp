#include "run/program_steps.h"

#include <fmt/format.h>

#include <algorithm>

#include "airports/airports_scan.h"
#include "core/log.h"
#include "core/parameters.h"
#include "core/range_control.h"
#include "core/setting_controls.h"
#include "engine/base/client_events.h"
#include "engine/base/removal.h"
#include "engine/callsigns.h"
#include "engine/conflicts/static_conflicts.h"
#include "engine/engine_tick.h"
#include "engine/learned_stand_queue.h"
#include "engine/object_events.h"
#include "engine/parking/park_airports.h"
#include "engine/parking/parking_cycle.h"
#include "engine/parking/publish_first_park_airport.h"
#include "engine/stands/stands.h"
#include "engine/uncreatable.h"
#include "engine/user_clearance.h"
#include "liveries/livery_scan.h"
#include "liveries/scanned_processing.h"
#include "refdata/airports.h"
#include "refdata/dbase.h"
#include "run/program.h"
#include "run/version_check.h"
#include "run/window/edit_fields.h"
#include "run/window/status_panel.h"
#include "simlink/flight_state.h"
#include "simlink/package_folders.h"
#include "simlink/sim_queues.h"

namespace qvl {
namespace {

// The wait for the user aircraft's data looks at the closing flags this often.
constexpr std::chrono::milliseconds kUserDataWaitSlice{10};
// How long the end of a run gives the learned file's save.
constexpr std::chrono::milliseconds kLearnedSaveBound{5000};
// The user's settings put back when the park airport is left.
constexpr std::chrono::milliseconds kParameterSaveBound{2000};

}  // namespace

void processScannedLiveries(ProgramParts& parts) { gf_processScannedLiveries(parts.liveryTables, parts.status); }

// --- Start-up ---

void ProgramStartUp::initParameters() {
    gf_initParameters();
    p_.status.settingsRead();
}
void ProgramStartUp::chooseSimulator(SimVersion version) { p_.link.simVersion.store(version); }
bool ProgramStartUp::checkVersions() { return p_.versionCheck.gf_checkVersions(); }
bool ProgramStartUp::readDbase() { return gf_readDbase(); }
bool ProgramStartUp::readAirports() { return gf_readAirports(); }
bool ProgramStartUp::detectMsfs() {
    if (!gf_detectMsfs(p_.link)) return false;
    gf_showStringParameter(p_.status.controls(), ALL_INSTALL_PATH);
    return true;
}
void ProgramStartUp::setRealTrafficLocal(bool local) { p_.feed.rtLocal.store(local); }
void ProgramStartUp::scanLiveries() {
    p_.liveryScan.gf_scanLiveries({.communityFolder = gf_simPackagesPath(p_.link.simVersion.load(), "Community"),
                                   .simNumber = p_.process.simNumber.load()});
}
void ProgramStartUp::processScannedLiveries() { qvl::processScannedLiveries(p_); }
void ProgramStartUp::scanAirports() {
    // The simulator's own airports first, then the Community folder.
    const SimVersion version = p_.link.simVersion.load();
    const std::filesystem::path first = version == SimVersion::msfs2024 ? "StreamedPackages" : "Official";
    const AirportsScanCounts counts = p_.airportsScan.gf_scanAirports(
        {.folders = {gf_simPackagesPath(version, first), gf_simPackagesPath(version, "Community")},
         .simNumber = p_.process.simNumber.load()});
    p_.status.showCount(StatusCount::simaddonAirports, counts.simaddonAirports);
    p_.status.showCount(StatusCount::thirdpartyAirports, counts.thirdpartyAirports);
}
void ProgramStartUp::createFlightPlanFolder() {
    gf_createFlightPlanFolder(p_.planFolder);
    p_.plans.startRun();
}
void ProgramStartUp::readMyParkAirports() { lf_readMyParkAirports(p_.engine); }
std::optional<GeoPosition> ProgramStartUp::airportPosition(const FixedCode4& code) {
    return qvl::airportPosition(code);
}
// The start of a run is on the run thread: the destination it hands over is
// put into the park airports at once, before they are checked.
void ProgramStartUp::setDestination(const std::string& text, const GeoPosition& position) {
    p_.editFields.lf_setDestination(text, position);
    if (const auto destination = p_.flags.takeDestination()) {
        gf_pushParkAirport(p_.engine, destination->code, destination->position);
    }
}

// --- Traffic run ---

void ProgramTrafficRun::darkenLinkLamps() {
    p_.feed.realTrafficDisplay.store(false);
    p_.link.status.darken();
}
// The traffic client runs on another PC (or Aerowinx feeds the run): no
// connection here tells whether it is there, so the link counts as ready.
void ProgramTrafficRun::lightRealTrafficLamp() { p_.feed.realTrafficDisplay.store(true); }
void ProgramTrafficRun::initAiTraffic() { gf_initAiTraffic(p_.engine); }
void ProgramTrafficRun::initSimQueues() { gf_initSimQueues(p_.link); }
void ProgramTrafficRun::startSimClient() { p_.simClient.start(p_.link, p_.run, p_.simulator); }
bool ProgramTrafficRun::requestUserAircraftData() {
    return lf_requestUserAircraftData(p_.link, p_.run, p_.user, [this](std::chrono::milliseconds duration) {
        sleepUnlessClosing(clock_, p_.run, duration, kUserDataWaitSlice);
    });
}
void ProgramTrafficRun::startTcpServer(const std::string& portText) { lf_startTcpServer(p_.realTraffic, portText); }
void ProgramTrafficRun::waitForRealTraffic() {
    p_.realTraffic.waitForRealTraffic();
    // The edition of the version reply decides whether the simulator's time is kept.
    p_.user.setProfEdition(p_.feed.time.rtEdition.load());
}
bool ProgramTrafficRun::realTrafficProfEdition() { return p_.feed.time.rtEdition.load(); }
void ProgramTrafficRun::clearRealTrafficEdition() {
    p_.feed.time.rtEdition.store(false);
    p_.user.setProfEdition(false);
}
void ProgramTrafficRun::sendSimTime() { p_.realTraffic.sendQs123(p_.user.simUtcSeconds()); }
void ProgramTrafficRun::setAcceptingTraffic(bool accepting) { p_.traffic.setAccepting(accepting); }
void ProgramTrafficRun::startQnhReader() { p_.readers.startQnhReader(p_.qnhPort); }
void ProgramTrafficRun::startTrafficReader() { p_.readers.startTrafficReader(p_.trafficPort); }
void ProgramTrafficRun::sendUserPosition() { p_.realTraffic.sendUserPosition(userStateFor(p_.user.block())); }
void ProgramTrafficRun::copyUserPositionToReader() {
    const UserAircraftBlock block = p_.user.block();
    p_.readers.traffic().setOwnPosition({.latitude = block.latitude, .longitude = block.longitude});
}
double ProgramTrafficRun::trafficClock() { return p_.feed.time.trafficClock.load(); }
std::uint64_t ProgramTrafficRun::trafficDaySlot() { return gf_trafficDaySlot(p_.feed.time); }
void ProgramTrafficRun::updateAutoRange() {
    // At the start of a run the engine has not ticked yet: the head of the
    // list just read is published here first.
    publishFirstParkAirport(p_.engine);
    lf_updateAutoRange(p_.range, p_.status);
}

// --- Main loop ---

bool ProgramMainLoop::flightRunning() { return qvl::flightRunning(p_.link); }
void ProgramMainLoop::engineTick() { lf_handleAddingStack(p_.engine); }
bool ProgramMainLoop::takeOneSecond() { return p_.user.takeOneSecond(); }
bool ProgramMainLoop::oneSecondPending() { return qvl::oneSecondPending(p_.user); }
void ProgramMainLoop::clearPositionBatches() { qvl::clearPositionBatches(p_.link); }
void ProgramMainLoop::handleSimObjectEvents() { lf_handleSimObjectEvents(p_.engine); }
void ProgramMainLoop::refreshLiveCount() { p_.liveCount.lf_refreshLiveCount(); }
void ProgramMainLoop::refreshReaderLamps() { gf_refreshReaderLamps(p_.readers); }
bool ProgramMainLoop::readerLampStale() { return qvl::readerLampStale(p_.feed); }
void ProgramMainLoop::checkNextLearnedStand(std::uint64_t daySlot) { qvl::checkNextLearnedStand(p_.engine, daySlot); }
void ProgramMainLoop::clearAroundUser() { qvl::clearAroundUser(p_.engine, p_.user.onGround().value_or(false)); }
void ProgramMainLoop::clearNoMatchList() { p_.engineState.noMatchList.clear(); }
void ProgramMainLoop::writeObjectIdList() { gf_writeObjectIdList(p_.engine, p_.reportFiles); }
void ProgramMainLoop::logNoMatchList() { gf_logNoMatchList(p_.engineState); }
void ProgramMainLoop::logLiveryMatchSummary() { p_.liveries.logMatchSummary(); }
void ProgramMainLoop::clearSpawnMap() { gf_clearSpawnMap(p_.engineState); }
void ProgramMainLoop::switchParkedNavLights(bool on) { qvl::switchParkedNavLights(p_.engine, on); }
std::int64_t ProgramMainLoop::activeLiveCount() {
    return std::count_if(p_.engineState.liveAircraft.begin(), p_.engineState.liveAircraft.end(),
                         [](const LiveAc& ac) { return ac.status == SimStatus::active; });
}
bool ProgramMainLoop::removeFarthestLiveAc() { return !gf_removeFarthestLiveAc(p_.engine, -1.0); }

// --- Park airports and static parking in the main loop ---

void ProgramParking::pushParkAirport(const FixedCode4& code, const GeoPosition& position) {
    gf_pushParkAirport(p_.engine, code, position);
}
void ProgramParking::updateStaticParking(bool initialPass) { gf_updateStaticParking(p_.engine, initialPass); }
void ProgramParking::takeParkAirportAnswer() { qvl::takeParkAirportAnswer(p_.engine); }
void ProgramParking::clearReservedStand() { clearParkReservedStand(p_.engine); }
std::optional<Result<std::string, ParkAirportsError>> ProgramParking::checkParkAirports() {
    if (!parkAirportsRead_.valid()) {
        // Read behind the saves handed over before, on their writer.
        parkAirportsRead_ = readParkAirportsFileInTurn(p_.engine);
        return std::nullopt;
    }
    if (parkAirportsRead_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return std::nullopt;
    ParkAirportsFile read;
    try {
        read = parkAirportsRead_.get();
    } catch (const std::future_error&) {
        // The writer dropped the read at its close: the next call asks anew.
        return std::nullopt;
    }
    return checkReadParkAirports(p_.engine, read, true);
}
void ProgramParking::startParkingUpdate() { lf_startParkingUpdate(p_.engine, false); }
void ProgramParking::adjustParking() { lf_adjustParking(p_.engine); }
void ProgramParking::removeStaticDuplicates() { gf_removeStaticDuplicates(p_.engine); }
void ProgramParking::flushStaticAc() { gf_flushStaticAc(p_.engine); }
void ProgramParking::clearStaticInTaxiPaths() { gf_clearStaticInTaxiPaths(p_.engine); }
bool ProgramParking::staticParkingActive() { return p_.parkAirport.standsLoaded(); }
void ProgramParking::showWaitingStaticCount() {
    p_.status.showCount(StatusCount::waitingStatic, p_.engineState.parking.candidates.size());
}

// --- Callsigns in the main loop ---

void ProgramCallsigns::fillCallsignComboBox() { gf_fillCallsignComboBox(p_.status.controls()); }
std::optional<std::uint32_t> ProgramCallsigns::followCallsign(const std::string& callsign) {
    return activeObjectIdOf(p_.engineState, callsign);
}
void ProgramCallsigns::fillCallsignChoices() { gf_fillCallsignChoices(p_.engine); }
void ProgramCallsigns::removeBlockedCallsign(const std::string& callsign) { removeActiveCallsign(p_.engine, callsign); }
void ProgramCallsigns::resetCallsignChoices() { gf_resetCallsignChoices(p_.engine); }

// --- Closing down ---

void ProgramClosingDown::stopSimClient() { p_.simClient.requestStop(); }
void ProgramClosingDown::stopReaders() { p_.readers.requestStop(); }
void ProgramClosingDown::closeRealTrafficLink() { p_.realTraffic.close(); }
void ProgramClosingDown::leaveParkAirport() {
    gf_leaveParkAirport(p_.engine);
    // What was learned, and the park airports saved on the same writer, is on
    // disk before the run goes on to its end. A save that hangs is left
    // behind within the bound, with what it owns.
    if (!p_.loadedPark.learnedFiles.close(kLearnedSaveBound)) {
        gf_logAttention(fmt::format("The learned file was not saved within {} s; the run ends without waiting for it",
                                    kLearnedSaveBound.count() / 1000));
    }
    if (!parameterSaves().finish(kParameterSaveBound)) {
        gf_logAttention(fmt::format("parameters.xml was not saved within {} s; the run ends without waiting for it",
                                    kParameterSaveBound.count() / 1000));
    }
}
// The close's bound is not spent on the disk: the folder is moved aside in
// one rename and removed off the run thread.
void ProgramClosingDown::removeFlightPlanFolder() { p_.plans.endRun(); }
void ProgramClosingDown::forgetRunTexts() { p_.airportsScan.forgetUnrecognisedAirports(); }
bool ProgramClosingDown::joinRunThreads(std::chrono::milliseconds bound) {
    if (!p_.simClient.joinWithin(bound)) return false;
    // The readers end within their receive time-out of a second.
    p_.readers.stop();
    return true;
}
void ProgramClosingDown::resetRunParts() {
    gf_clearAiTraffic(p_.engine);
    p_.readers.resetTrafficSide();
    p_.feed.reset();
    p_.link.reset();
    p_.user.reset();
    p_.planFolder.reset();
}

}  // namespace qvl
