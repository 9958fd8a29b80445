#include "simlink/sim_client.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>
#include <optional>

#include "core/log.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/run_flags.h"
#include "core/time_text.h"
#include "core/user_error.h"
#include "simlink/sim_hooks.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_registration.h"
#include "simlink/sim_session.h"
#include "simlink/sim_state.h"
#include "simlink/sim_version.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;

constexpr std::int32_t kNewFlightDelaySeconds = 45;
constexpr double kStandStillKt = 2.0;
constexpr double kZeroPositionDeg = 0.0001;

constexpr std::string_view kSimulatorName2020 = "KittyHawk";
constexpr std::string_view kSimulatorName2024 = "SunRise";

// Lamps and connection text: written on the SimClient thread, read by the
// UI thread when it paints.
struct LinkStatus {
    std::atomic<bool> connected{false};
    std::atomic<bool> running{false};
    std::mutex textMutex;  // a leaf lock: guards `text`
    std::string text;
};

LinkStatus& linkStatus() {
    static LinkStatus status;
    return status;
}

void setRunning(bool running) {
    simRunning.store(running);
    linkStatus().running.store(running);
    repaintSimStatus();
}

// Lamps dark, not running, no handle: the state whenever no connection lives.
// The handle is cleared under simQueueMutex so that no run-thread request can
// use a handle that is about to be closed.
void markDisconnected() {
    LinkStatus& status = linkStatus();
    status.connected.store(false);
    status.running.store(false);
    simRunning.store(false);
    std::lock_guard lock(simQueueMutex());
    simHandle.store(nullptr);
}

// The connection is lost or unusable: the run ends as SIM WAS CLOSED.
void simGone() {
    simRunning.store(false);
    gf_simNoLongerConnected(SimDisconnect::simulatorGone);
}

void logShortReply(std::uint32_t id, std::uint32_t size) {
    gf_logAttention(fmt::format("! SimConnect reply {} too short: {} bytes", id, size));
}

// Letters, digits and white space; the rest of the name is dropped.
std::string filteredSimulatorName(const std::string& name) {
    std::string out;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || std::isspace(u)) out.push_back(c);
    }
    return out;
}

// True for MSFS 2020, false for MSFS 2024; throws for any other name.
bool answeredIs2020(const std::string& filtered) {
    if (filtered == kSimulatorName2020) return true;
    if (filtered == kSimulatorName2024) return false;
    throw UserErrorException(kUnknownSimulatorCode,
                             fmt::format("'{}' not being MSFS 2020 or MSFS 2024 connects ... ?", filtered));
}

void lf_onOpen(const sim::RecvOpen& open) {
    const std::string name = sim::fixedText(open.applicationName);
    if (name.empty()) {
        gf_log("! Simulator name empty?");
        return;
    }
    linkStatus().connected.store(true);
    repaintSimStatus();
    const bool answered2020 = answeredIs2020(filteredSimulatorName(name));
    if (answered2020 != simIs2020.load()) throw WrongSimulatorError();
    const std::string text =
        fmt::format("{} ({}.{}.{}.{})", answered2020 ? kSimChoice2020 : kSimChoice2024,
                    open.applicationVersionMajor, open.applicationVersionMinor,
                    open.applicationBuildMajor, open.applicationBuildMinor);
    gf_log(fmt::format("{} connected", text));
    {
        std::lock_guard lock(linkStatus().textMutex);
        linkStatus().text = text;
    }
    repaintSimStatus();
    gf_clearMessage();
}

bool userPositionKnown() {
    const GeoPosition p = hookedUserPosition();
    return std::abs(p.latitude) >= kZeroPositionDeg || std::abs(p.longitude) >= kZeroPositionDeg;
}

void onCreationFailed(std::uint32_t packetId) {
    auto& pending = pendingCreations();
    const auto it = std::find_if(pending.begin(), pending.end(),
                                 [packetId](const PendingCreation& p) { return p.packetId == packetId; });
    if (it == pending.end()) return;
    const std::uint32_t hexId = it->hexId;
    *it = std::move(pending.back());
    pending.pop_back();
    if (hexId != 0) gf_queueSimObjectEvent({.hexId = hexId, .kind = SimObjectEventKind::creationFailed});
}

void lf_onException(const sim::RecvException& e) {
    switch (e.exception) {
        case sim::exceptionUnrecognizedId:
            if (userPositionKnown() && !isClosing()) gf_logAttention("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID");
            break;
        case sim::exceptionVersionMismatch:
            throw UserErrorException(kSimConnectVersionMismatchCode,
                                     fmt::format("SimConnect Version Mismatch, dwIndex: {}", e.index));
        case sim::exceptionTooManyObjects:
            gf_showMessage("SimConnect: too many objects (max 1000)", true);
            break;
        case sim::exceptionInvalidDataSize:
            gf_log("SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE");
            break;
        case sim::exceptionCreateObjectFailed:
            onCreationFailed(e.sendId);
            break;
        case sim::exceptionLoadFlightPlanFailed:
            gf_logAttention("SimConnect exception: load flight plan failed");
            break;
        case sim::exceptionOperationInvalidForObjectType:
            gf_log("SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE");
            break;
        default:
            gf_logAttention(fmt::format("SIMCONNECT_EXCEPTION #{}", e.exception));
            break;
    }
}

enum class NewFlightSignal : std::uint8_t { flightLoaded, newFile };

// A new flight ends the run: the user's situation is no longer the one the
// run was built around.
void onNewFlight(NewFlightSignal signal) {
    if (signal == NewFlightSignal::flightLoaded) {
        gf_log("SimConnect: flight loaded event");
    } else {
        gf_logAttention("SimConnect: New file event");
    }
    lf_onFlightReloaded();
    endRun(RestartReason::newFlight, kNewFlightDelaySeconds);
}

void onEvent(const sim::RecvEvent& e) {
    if (e.eventId == evSim) {
        setRunning(e.data == 1);
    } else if (e.eventId == evFlightLoaded) {
        onNewFlight(NewFlightSignal::flightLoaded);
    }
}

void onObjectAddRemove(const sim::RecvEventObjectAddRemove& e) {
    if (e.objectType != sim::kObjectTypeAircraft) return;
    const std::uint32_t objectId = e.event.data;
    if (e.event.eventId == evObjectAdded) {
        if (objectId > userObjectId.load()) newObjectIds().push_back(objectId);
    } else if (e.event.eventId == evObjectRemoved) {
        gf_queueSimObjectEvent({.objectId = objectId, .kind = SimObjectEventKind::removed});
    }
}

// The simulator has gone: without this the program would wait for it forever.
void onQuit() {
    setRunning(false);
    gf_simNoLongerConnected(SimDisconnect::simulatorGone);
}

enum class DataRequestKind : std::uint8_t { byObject, byType };

void onDataReply(const sim::RecvHeader* message, std::uint32_t size, DataRequestKind kind) {
    const auto record = sim::readRecord<sim::RecvSimObjectData>(message, size);
    if (!record) return logShortReply(message->id, size);
    const SimObjectDataReply reply{.requestId = record->requestId,
                                   .objectId = record->objectId,
                                   .defineId = record->defineId,
                                   .entryNumber = record->entryNumber,
                                   .outOf = record->outOf,
                                   .data = sim::trailingBytes(message, size, sizeof(sim::RecvSimObjectData))};
    const auto hooks = simLinkHooks();
    const auto& handler = kind == DataRequestKind::byType ? hooks->onSimObjectDataByType : hooks->onSimObjectData;
    if (handler) handler(reply);
}

template <class Record, class Handler>
void withRecord(const sim::RecvHeader* message, std::uint32_t size, Handler handler) {
    if (const auto record = sim::readRecord<Record>(message, size)) {
        handler(*record);
    } else {
        logShortReply(message->id, size);
    }
}

void handleReply(const sim::RecvHeader* message, std::uint32_t size) {
    if (message == nullptr || size < sizeof(sim::RecvHeader) || message->size < sizeof(sim::RecvHeader)) {
        gf_logAttention(fmt::format("! SimConnect reply without a header: {} bytes", size));
        return;
    }
    switch (message->id) {
        case sim::recvException: withRecord<sim::RecvException>(message, size, lf_onException); break;
        case sim::recvOpen: withRecord<sim::RecvOpen>(message, size, lf_onOpen); break;
        case sim::recvQuit: onQuit(); break;
        case sim::recvEvent: withRecord<sim::RecvEvent>(message, size, onEvent); break;
        case sim::recvEventObjectAddRemove:
            withRecord<sim::RecvEventObjectAddRemove>(message, size, onObjectAddRemove);
            break;
        case sim::recvEventFilename:
            withRecord<sim::RecvEventFilename>(message, size,
                                               [](const auto&) { onNewFlight(NewFlightSignal::newFile); });
            break;
        case sim::recvEventFrame: lf_onFrame(); break;
        case sim::recvSimObjectData: onDataReply(message, size, DataRequestKind::byObject); break;
        case sim::recvSimObjectDataByType: onDataReply(message, size, DataRequestKind::byType); break;
        case sim::recvAssignedObjectId:
        case sim::recvClientData:
        case sim::recvEventEx1: break;
        default: gf_log(fmt::format("! Unknown Dispatch dwID {}", message->id)); break;
    }
}

std::string exceptionText(const char* what) {
    return what == nullptr || *what == '\0' ? std::string("Unknown exception") : std::string(what);
}

// The ways an exception ends the thread. Nothing may escape from here.
void onThreadException(const std::exception_ptr& error) noexcept {
    try {
        try {
            std::rethrow_exception(error);
        } catch (const WrongSimulatorError&) {
            gf_log(fmt::format("MSFS and {} do not match, restarting ...", kProductName));
            simRunning.store(false);
            gf_simNoLongerConnected(SimDisconnect::wrongSimulator);
        } catch (const UserErrorException& e) {
            // Unknown simulator or interface version: shown, and the run
            // waits for the user.
            gf_reportError(exceptionText(e.what()));
        } catch (const std::exception& e) {
            gf_reportError(exceptionText(e.what()));
            simGone();
        } catch (...) {
            gf_reportError(fmt::format("Exception in {}", kSimClientThreadName));
            simGone();
        }
    } catch (...) {
    }
}

// Every way out of the thread. Nothing sends the queues any more, so the run
// must not believe the simulation still runs.
void lf_onSimClientExit() noexcept {
    try {
        lf_onFlightReloaded();
    } catch (...) {
    }
    try {
        markDisconnected();
        repaintSimStatus();
    } catch (...) {
    }
}

void onDispatchFailed() {
    gf_logUnlessClosing("SimConnect dispatch failed, the simulator has gone");
    simGone();
}

void dispatchLoop(std::stop_token& stop, sim::SimConnection& connection, const SimClientTiming& timing) {
    // The timer resolution is already fine enough here; nothing to raise.
    while (!stop.stop_requested()) {
        if (!dispatchOnce(connection)) {
            onDispatchFailed();
            return;
        }
        timing.sleep(1ms);
    }
}

void showWaiting() {
    gf_log(" ");
    gf_showMessage(fmt::format("Waiting for {} ...", simIs2020.load() ? kSimChoice2020 : kSimChoice2024), true);
    gf_flushLog();
}

// Tries to open until the simulator accepts, every 100 ms; nullptr when a
// closing flag or the stop request comes first. Only the first try shows
// that the program waits.
sim::SimConnection* openWhenAccepted(std::stop_token& stop, sim::SimLibrary& library,
                                        const SimClientTiming& timing) {
    bool waitingShown = false;
    while (!isClosing() && !stop.stop_requested()) {
        if (!waitingShown) {
            showWaiting();
            waitingShown = true;
        }
        sim::SimConnection* handle = nullptr;
        if (sim::succeeded(library.open(&handle, kProductName, 0)) && handle != nullptr) return handle;
        timing.sleep(100ms);
    }
    return nullptr;
}

}  // namespace

void lf_dispatchProc(const sim::RecvHeader* message, std::uint32_t size, void* context) {
    auto* dispatch = static_cast<DispatchContext*>(context);
    // After an exception the thread ends; the replies behind it are not handled.
    if (dispatch != nullptr && dispatch->kept) return;
    try {
        handleReply(message, size);
    } catch (...) {
        if (dispatch != nullptr) {
            dispatch->kept = std::current_exception();
            return;
        }
        try {
            throw;
        } catch (const std::exception& e) {
            gf_logAttention(fmt::format("lf_dispatchProc exception: {}", exceptionText(e.what())));
        } catch (...) {
            gf_logAttention("lf_dispatchProc exception: Unknown exception");
        }
    }
}

bool dispatchOnce(sim::SimConnection& connection) {
    DispatchContext context;
    const sim::HResult hr = connection.callDispatch(lf_dispatchProc, &context);
    if (context.kept) std::rethrow_exception(context.kept);
    return sim::succeeded(hr);
}

void gf_closeSimConnect(sim::SimConnection*& handle) {
    if (handle == nullptr) return;
    if (sim::succeeded(handle->close())) {
        gf_log("SimConnect closed ok");
    } else {
        gf_logAttention("Closing SimConnect failed?!");
    }
    handle = nullptr;
}

void lf_onFlightReloaded() {
    const auto hooks = simLinkHooks();
    if (!hooks->userGroundState || !hooks->standNameAtPosition || !hooks->reserveUserStand) return;
    const std::optional<UserGroundState> user = hooks->userGroundState();
    if (!user || user->groundSpeedKt > kStandStillKt) return;
    const std::string stand = hooks->standNameAtPosition(user->position);
    if (!stand.empty()) hooks->reserveUserStand(stand);
}

void lf_simClientThread(std::stop_token stop, sim::SimLibrary& library, SimClientTiming timing) {
    if (!timing.sleep) timing.sleep = [](std::chrono::milliseconds d) { gf_sleepMs(d); };
    sim::SimConnection* handle = nullptr;
    simHandle.store(nullptr);
    try {
        handle = openWhenAccepted(stop, library, timing);
        if (handle != nullptr) {
            simHandle.store(handle);
            lf_registerSimDefinitions(*handle);
            dispatchLoop(stop, *handle, timing);
        }
    } catch (...) {
        onThreadException(std::current_exception());
    }
    lf_onSimClientExit();
    try {
        gf_closeSimConnect(handle);
    } catch (...) {
    }
}

bool simConnectedLamp() { return linkStatus().connected.load(); }

bool simRunningLamp() { return linkStatus().running.load(); }

std::string simConnectionText() {
    std::lock_guard lock(linkStatus().textMutex);
    return linkStatus().text;
}

void resetSimLink() {
    markDisconnected();
    {
        std::lock_guard lock(linkStatus().textMutex);
        linkStatus().text.clear();
    }
    clearSimQueues();
    simQueuesPaused.store(false);
    userObjectId.store(0);
}

}  // namespace qvl
