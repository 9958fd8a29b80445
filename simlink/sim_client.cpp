#include "simlink/sim_client.h"

#include <fmt/format.h>

#include <cctype>
#include <cmath>
#include <optional>
#include <utility>

#include "core/log.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/run_state.h"
#include "core/time_text.h"
#include "simlink/sim_hooks.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_registration.h"
#include "simlink/sim_session.h"
#include "simlink/sim_state.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;

constexpr std::int32_t kNewFlightDelaySeconds = 45;
constexpr double kStandStillKt = 2.0;
// A user position within this many degrees of 0,0 on both axes is "none yet".
constexpr double kZeroPositionDeg = 0.0001;

constexpr std::string_view kSimulatorName2020 = "KittyHawk";
constexpr std::string_view kSimulatorName2024 = "SunRise";

void setRunning(SimLinkState& link, bool running) {
    link.simRunning.store(running);
    link.status.setRunning(running);
    link.hooks.repaintWindow();
}

// The connection is lost or unusable: the run ends as SIM WAS CLOSED.
void simGone(SimLinkState& link, RunState& run) {
    link.simRunning.store(false);
    gf_simNoLongerConnected(link, run, SimDisconnect::simulatorGone);
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

// The simulator a filtered name stands for; throws for any other name.
SimVersion answeringSimulator(const std::string& filtered) {
    if (filtered == kSimulatorName2020) return SimVersion::msfs2020;
    if (filtered == kSimulatorName2024) return SimVersion::msfs2024;
    throw UserErrorException(kUnknownSimulatorCode,
                             fmt::format("'{}' not being MSFS 2020 or MSFS 2024 connects ... ?", filtered));
}

void lf_onOpen(SimLinkState& link, const sim::RecvOpen& open) {
    const std::string name = sim::fixedText(open.applicationName);
    if (name.empty()) {
        gf_log("! Simulator name empty?");
        return;
    }
    link.status.setConnected(true);
    link.hooks.repaintWindow();
    const SimVersion answered = answeringSimulator(filteredSimulatorName(name));
    if (answered != link.simVersion.load()) throw WrongSimulatorError();
    std::string text =
        fmt::format("{} ({}.{}.{}.{})", simChoiceName(answered), open.applicationVersionMajor,
                    open.applicationVersionMinor, open.applicationBuildMajor, open.applicationBuildMinor);
    gf_log(fmt::format("{} connected", text));
    link.status.setConnectionText(std::move(text));
    link.hooks.repaintWindow();
    gf_clearMessage();
}

// Until the first user block arrives the position is 0,0; the boundary
// itself still counts as unknown.
bool userPositionKnown(const SimLinkState& link) {
    const GeoPosition p = link.hooks.userPosition();
    return std::abs(p.latitude) > kZeroPositionDeg || std::abs(p.longitude) > kZeroPositionDeg;
}

void onCreationFailed(SimLinkState& link, std::uint32_t packetId) {
    const std::optional<PendingCreation> failed = link.queues.takeCreationByPacket(packetId);
    if (!failed || failed->hexId == 0) return;
    link.hooks.queueSimObjectEvent({.hexId = failed->hexId, .kind = SimObjectEventKind::creationFailed});
}

void lf_onException(SimLinkState& link, const RunState& run, const sim::RecvException& e) {
    switch (e.exception) {
        case sim::exceptionUnrecognizedId:
            if (userPositionKnown(link) && !run.isClosing()) gf_logAttention("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID");
            break;
        case sim::exceptionVersionMismatch:
            throw UserErrorException(kSimConnectVersionMismatchCode,
                                     fmt::format("SimConnect Version Mismatch, dwIndex: {}", e.index));
        case sim::exceptionTooManyObjects:
            gf_showMessage("SimConnect: too many objects (max 1000)", MessageLogging::logged);
            break;
        case sim::exceptionInvalidDataSize: gf_log("SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE"); break;
        case sim::exceptionCreateObjectFailed: onCreationFailed(link, e.sendId); break;
        case sim::exceptionLoadFlightPlanFailed:
            gf_logAttention("SimConnect exception: load flight plan failed");
            break;
        case sim::exceptionOperationInvalidForObjectType:
            gf_log("SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE");
            break;
        default: gf_logAttention(fmt::format("SIMCONNECT_EXCEPTION #{}", e.exception)); break;
    }
}

enum class NewFlightSignal : std::uint8_t { flightLoaded, newFile };

// A new flight ends the run: the user's situation is no longer the one the
// run was built around.
void onNewFlight(const SimLinkState& link, RunState& run, NewFlightSignal signal) {
    if (signal == NewFlightSignal::flightLoaded) {
        gf_log("SimConnect: flight loaded event");
    } else {
        gf_logAttention("SimConnect: New file event");
    }
    lf_onFlightReloaded(link.hooks);
    run.endRun(RestartReason::newFlight, kNewFlightDelaySeconds);
}

void onEvent(SimLinkState& link, RunState& run, const sim::RecvEvent& e) {
    if (e.eventId == evSim) {
        setRunning(link, e.data == 1);
    } else if (e.eventId == evFlightLoaded) {
        onNewFlight(link, run, NewFlightSignal::flightLoaded);
    }
}

void onObjectAddRemove(SimLinkState& link, const sim::RecvEventObjectAddRemove& e) {
    if (e.objectType != sim::kObjectTypeAircraft) return;
    const std::uint32_t objectId = e.event.data;
    if (e.event.eventId == evObjectAdded) {
        if (objectId > link.userObjectId.load()) link.queues.noteNewObjectId(objectId);
    } else if (e.event.eventId == evObjectRemoved) {
        link.hooks.queueSimObjectEvent({.objectId = objectId, .kind = SimObjectEventKind::removed});
    }
}

// The simulator has gone: without this the program would wait for it forever.
void onQuit(SimLinkState& link, RunState& run) {
    setRunning(link, false);
    gf_simNoLongerConnected(link, run, SimDisconnect::simulatorGone);
}

enum class DataRequestKind : std::uint8_t { byObject, byType };

void onDataReply(const SimLinkState& link, const sim::RecvHeader* message, std::uint32_t size, DataRequestKind kind) {
    const auto record = sim::readRecord<sim::RecvSimObjectData>(message, size);
    if (!record) return logShortReply(message->id, size);
    const SimObjectDataReply reply{.requestId = record->requestId,
                                   .objectId = record->objectId,
                                   .defineId = record->defineId,
                                   .entryNumber = record->entryNumber,
                                   .outOf = record->outOf,
                                   .data = sim::trailingBytes(message, size, sizeof(sim::RecvSimObjectData))};
    const auto hooks = link.hooks.current();
    const auto& handler = kind == DataRequestKind::byType ? hooks->onSimObjectDataByType : hooks->onSimObjectData;
    handler(reply);
}

template <class Record, class Handler>
void withRecord(const sim::RecvHeader* message, std::uint32_t size, Handler handler) {
    if (const auto record = sim::readRecord<Record>(message, size)) {
        handler(*record);
    } else {
        logShortReply(message->id, size);
    }
}

void handleReply(SimLinkState& link, RunState& run, const sim::RecvHeader* message, std::uint32_t size) {
    if (message == nullptr || size < sizeof(sim::RecvHeader) || message->size < sizeof(sim::RecvHeader)) {
        gf_logAttention(fmt::format("! SimConnect reply without a header: {} bytes", size));
        return;
    }
    switch (message->id) {
        case sim::recvException:
            withRecord<sim::RecvException>(message, size, [&](const auto& e) { lf_onException(link, run, e); });
            break;
        case sim::recvOpen:
            withRecord<sim::RecvOpen>(message, size, [&](const auto& open) { lf_onOpen(link, open); });
            break;
        case sim::recvQuit: onQuit(link, run); break;
        case sim::recvEvent:
            withRecord<sim::RecvEvent>(message, size, [&](const auto& e) { onEvent(link, run, e); });
            break;
        case sim::recvEventObjectAddRemove:
            withRecord<sim::RecvEventObjectAddRemove>(message, size,
                                                      [&](const auto& e) { onObjectAddRemove(link, e); });
            break;
        case sim::recvEventFilename:
            withRecord<sim::RecvEventFilename>(message, size,
                                               [&](const auto&) { onNewFlight(link, run, NewFlightSignal::newFile); });
            break;
        case sim::recvEventFrame: lf_onFrame(link, run); break;
        case sim::recvSimObjectData: onDataReply(link, message, size, DataRequestKind::byObject); break;
        case sim::recvSimObjectDataByType: onDataReply(link, message, size, DataRequestKind::byType); break;
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
void onThreadException(SimLinkState& link, RunState& run, const std::exception_ptr& error) noexcept {
    try {
        try {
            std::rethrow_exception(error);
        } catch (const WrongSimulatorError&) {
            gf_log(fmt::format("MSFS and {} do not match, restarting ...", kProductName));
            link.simRunning.store(false);
            gf_simNoLongerConnected(link, run, SimDisconnect::wrongSimulator);
        } catch (const UserErrorException& e) {
            // Unknown simulator or interface version: shown, and the run
            // waits for the user.
            gf_reportError(exceptionText(e.what()));
        } catch (const std::exception& e) {
            gf_reportError(exceptionText(e.what()));
            simGone(link, run);
        } catch (...) {
            gf_reportError(fmt::format("Exception in {}", kSimClientThreadName));
            simGone(link, run);
        }
    } catch (...) {
    }
}

// Every way out of the thread. Nothing sends the queues any more, so the run
// must not believe the simulation still runs.
void lf_onSimClientExit(SimLinkState& link) noexcept {
    try {
        lf_onFlightReloaded(link.hooks);
    } catch (...) {
    }
    try {
        link.markDisconnected();
        link.hooks.repaintWindow();
    } catch (...) {
    }
}

void onDispatchFailed(SimLinkState& link, RunState& run) {
    gf_logUnlessClosing("SimConnect dispatch failed, the simulator has gone");
    simGone(link, run);
}

void dispatchLoop(const std::stop_token& stop, SimLinkState& link, RunState& run, sim::SimConnection& connection,
                  const SimClientTiming& timing) {
    // The timer resolution is already fine enough here; nothing to raise.
    while (!stop.stop_requested()) {
        if (!dispatchOnce(link, run, connection)) {
            onDispatchFailed(link, run);
            return;
        }
        timing.sleep(1ms);
    }
}

void showWaiting(const SimLinkState& link) {
    gf_log(" ");
    gf_showMessage(fmt::format("Waiting for {} ...", simChoiceName(link.simVersion.load())), MessageLogging::logged);
    gf_flushLog();
}

// Tries to open until the simulator accepts, every 100 ms; nullptr when a
// closing flag or the stop request comes first. Only the first try shows
// that the program waits.
sim::SimConnection* openWhenAccepted(const std::stop_token& stop, const SimLinkState& link, const RunState& run,
                                     sim::SimLibrary& library, const SimClientTiming& timing) {
    bool waitingShown = false;
    while (!run.isClosing() && !stop.stop_requested()) {
        if (!waitingShown) {
            showWaiting(link);
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
    if (dispatch == nullptr) {
        gf_logAttention("! SimConnect reply without a dispatch context");
        return;
    }
    // After an exception the thread ends; the replies behind it are not handled.
    if (dispatch->kept) return;
    try {
        handleReply(dispatch->link, dispatch->run, message, size);
    } catch (...) {
        dispatch->kept = std::current_exception();
    }
}

bool dispatchOnce(SimLinkState& link, RunState& run, sim::SimConnection& connection) {
    DispatchContext context{.link = link, .run = run, .kept = nullptr};
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

void lf_onFlightReloaded(const SimLinkHookSlot& hooks) {
    const auto installed = hooks.current();
    const UserAircraftBlock user = installed->userAircraft();
    if (!user.onGround.value_or(false) || user.groundSpeed > kStandStillKt) return;
    const std::string stand = installed->standNameAtPosition(user.position());
    if (!stand.empty()) installed->reserveUserStand(stand);
}

void lf_simClientThread(const std::stop_token& stop, SimLinkState& link, RunState& run, sim::SimLibrary& library,
                        SimClientTiming timing) {
    if (!timing.sleep) timing.sleep = [](std::chrono::milliseconds d) { gf_sleepMs(d); };
    sim::SimConnection* handle = nullptr;
    link.simHandle.store(nullptr);
    try {
        handle = openWhenAccepted(stop, link, run, library, timing);
        if (handle != nullptr) {
            link.simHandle.store(handle);
            lf_registerSimDefinitions(*handle);
            dispatchLoop(stop, link, run, *handle, timing);
        }
    } catch (...) {
        onThreadException(link, run, std::current_exception());
    }
    lf_onSimClientExit(link);
    try {
        gf_closeSimConnect(handle);
    } catch (...) {
    }
}

std::jthread startSimClientThread(SimLinkState& link, RunState& run, sim::SimLibrary& library, SimClientTiming timing) {
    return std::jthread([&link, &run, &library, timing = std::move(timing)](const std::stop_token& stop) mutable {
        lf_simClientThread(stop, link, run, library, std::move(timing));
    });
}

}  // namespace qvl
