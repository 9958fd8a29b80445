// The stand-in simulator's world and its connections.
#include "platform/sim/stand_in.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <utility>

#include "platform/sim/stand_in_world.h"
#include "platform/units.h"

namespace qvl::sim {
namespace {

// A world that was not pumped for a long time skips ahead instead of
// replaying every missed frame.
constexpr std::uint64_t kMaxCatchUpFrames = 300;

// The trace file is written a few times a second, and sooner when this much
// waits (a world that is never dispatched still keeps little in memory).
constexpr std::chrono::milliseconds kTraceWriteInterval{250};
constexpr std::size_t kTraceWaitingLimit = std::size_t{1} << 20;

double distanceMetres(double lat1, double lon1, double lat2, double lon2) {
    const double p1 = lat1 * kDegToRad;
    const double p2 = lat2 * kDegToRad;
    const double dp = p2 - p1;
    const double dl = (lon2 - lon1) * kDegToRad;
    const double a =
        std::sin(dp / 2) * std::sin(dp / 2) + std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
    const double c = 2 * std::atan2(std::sqrt(a), std::sqrt(std::max(0.0, 1 - a)));
    return c * kEarthRadiusNm * kMetresPerNm;
}

bool isLeapYear(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

const char* periodName(Period period) {
    switch (period) {
        case Period::never: return "never";
        case Period::once: return "once";
        case Period::simFrame: return "frame";
        case Period::second: return "second";
    }
    return "?";
}

const char* typeName(DataType type) {
    switch (type) {
        case DataType::int64: return "int64";
        case DataType::float64: return "float64";
        case DataType::string32: return "string32";
        case DataType::stringV: return "stringV";
    }
    return "?";
}

// Light bit of a *_LIGHTS_SET event; 0 for other events.
std::uint64_t lightBitOf(std::string_view event) {
    if (event == "NAV_LIGHTS_SET") return lightNav;
    if (event == "BEACON_LIGHTS_SET") return lightBeacon;
    if (event == "LANDING_LIGHTS_SET") return lightLanding;
    if (event == "TAXI_LIGHTS_SET") return lightTaxi;
    if (event == "STROBES_SET") return lightStrobe;
    if (event == "LOGO_LIGHTS_SET") return lightLogo;
    if (event == "CABIN_LIGHTS_SET") return lightCabin;
    return 0;
}

// Set data with one of these members moves the object.
bool movesObject(const std::vector<DataMember>& members) {
    return std::any_of(members.begin(), members.end(), [](const DataMember& m) {
        return m.name == "PLANE LATITUDE" || m.name == "PLANE LONGITUDE" || m.name == "PLANE ALTITUDE";
    });
}

bool isKnownSystemEvent(std::string_view lowerName) {
    return lowerName == "sim" || lowerName == "objectadded" || lowerName == "objectremoved" || lowerName == "frame" ||
           lowerName == "flightloaded";
}

bool usable(const ConnectionState& c) { return c.open && !c.quitDelivered; }

// Set data's elements, owned by the call until the simulator takes them.
std::vector<std::byte> copyBytes(const void* data, std::uint32_t arrayCount, std::uint32_t unitSize) {
    if (data == nullptr) return {};
    const std::size_t size = std::size_t{std::max<std::uint32_t>(1, arrayCount)} * unitSize;
    const auto* bytes = static_cast<const std::byte*>(data);
    return {bytes, bytes + size};
}

bool takeFailure(World& w, std::string_view call) {
    const auto it = w.failingCalls.find(call);
    if (it == w.failingCalls.end() || it->second <= 0) return false;
    --it->second;
    return true;
}

// Object 0 names the user's aircraft.
ObjectState* findObject(World& w, ObjectId id) {
    if (id == kUserObject) id = w.config.user.objectId;
    const auto it = w.objects.find(id);
    return it == w.objects.end() ? nullptr : &it->second;
}

std::size_t aliveAiCount(const World& w) {
    return static_cast<std::size_t>(
        std::count_if(w.objects.begin(), w.objects.end(), [](const auto& e) { return !e.second.user; }));
}

template <class Make>
void broadcast(World& w, std::string_view lowerEvent, Make make) {
    for (auto& c : w.connections) {
        if (!usable(*c)) continue;
        const auto it = c->systemEvents.find(lowerEvent);
        if (it != c->systemEvents.end()) c->outbox.push_back(make(it->second));
    }
}

bool queueDataReply(World& w, ConnectionState& c, RecvId id, RequestId request, DefinitionId definition,
                    const ObjectState& object, std::uint32_t entry, std::uint32_t outOf) {
    const auto it = c.definitions.find(definition);
    if (it == c.definitions.end()) return false;
    RecvSimObjectData record{};
    record.requestId = request;
    record.objectId = object.id;
    record.defineId = definition;
    record.entryNumber = entry;
    record.outOf = outOf;
    record.defineCount = static_cast<std::uint32_t>(it->second.size());
    Message message = recordMessage(record, id);
    if (!appendDataBlock(message, w, object, it->second)) return false;
    sealMessage(message);
    c.outbox.push_back(std::move(message));
    return true;
}

void moveUser(World& w, double seconds) {
    ObjectState* user = findObject(w, kUserObject);
    if (user == nullptr || user->groundSpeedKt <= 0.0) return;
    const double nm = user->groundSpeedKt * seconds / 3600.0;
    user->latitude += nm * std::cos(user->headingRad) / 60.0;
    const double cosLat = std::max(1e-6, std::cos(user->latitude * kDegToRad));
    user->longitude += nm * std::sin(user->headingRad) / (60.0 * cosLat);
    if (user->longitude > 180.0) user->longitude -= 360.0;
    if (user->longitude < -180.0) user->longitude += 360.0;
}

void advanceZulu(World& w, double seconds) {
    StandInConfig& c = w.config;
    c.zuluSeconds += seconds;
    while (c.zuluSeconds >= 86400.0) {
        c.zuluSeconds -= 86400.0;
        if (++c.zuluDayOfYear > (isLeapYear(c.zuluYear) ? 366 : 365)) {
            c.zuluDayOfYear = 1;
            ++c.zuluYear;
        }
    }
}

void materialize(World& w, const PendingCreation& p) {
    ObjectState object;
    object.id = w.nextAiId++;
    object.title = p.title;
    object.atcId = p.tail;
    object.latitude = p.position.latitude;
    object.longitude = p.position.longitude;
    object.altitudeFt = p.position.altitude;
    object.pitchRad = p.position.pitch * kDegToRad;
    object.bankRad = p.position.bank * kDegToRad;
    object.headingRad = p.position.heading * kDegToRad;
    object.onGround = p.position.onGround != 0;
    object.airspeedKt = p.position.airspeed;
    object.creator = static_cast<int>(p.connection);
    const ObjectId id = object.id;
    w.objects.emplace(id, std::move(object));
    traceWorld(w, "object {} added \"{}\" \"{}\" by c{}", id, p.title, p.tail, p.connection + 1);
    ConnectionState& creator = *w.connections[p.connection];
    if (usable(creator)) {
        RecvAssignedObjectId assigned{};
        assigned.requestId = p.request;
        assigned.objectId = id;
        creator.outbox.push_back(recordMessage(assigned, recvAssignedObjectId));
    }
    broadcast(w, "objectadded", [id](ClientEventId e) { return objectEventMessage(e, id); });
}

void stepCreations(World& w) {
    std::vector<PendingCreation> due;
    for (auto it = w.creations.begin(); it != w.creations.end();) {
        if (--it->framesLeft <= 0) {
            due.push_back(std::move(*it));
            it = w.creations.erase(it);
        } else {
            ++it;
        }
    }
    for (const PendingCreation& p : due) materialize(w, p);
}

void stepRemovals(World& w) {
    std::vector<ObjectId> removals;
    removals.swap(w.removals);
    for (ObjectId id : removals) {
        if (w.objects.erase(id) == 0) continue;
        traceWorld(w, "object {} removed", id);
        broadcast(w, "objectremoved", [id](ClientEventId e) { return objectEventMessage(e, id); });
    }
}

void answerPeriodic(World& w, ConnectionState& c, std::vector<PeriodicRequest>& requests) {
    std::erase_if(requests, [&](const PeriodicRequest& r) {
        const ObjectState* object = findObject(w, r.object);
        return object == nullptr || !queueDataReply(w, c, recvSimObjectData, r.request, r.definition, *object, 1, 1);
    });
}

void stepFrame(World& w) {
    ++w.frames;
    const double seconds = 1.0 / w.config.frameRate;
    if (w.config.running) {
        moveUser(w, seconds);
        advanceZulu(w, seconds);
    }
    stepRemovals(w);
    stepCreations(w);
    const auto framesPerSecond = static_cast<std::uint64_t>(std::max(1.0, std::round(w.config.frameRate)));
    const bool newSecond = w.frames % framesPerSecond == 0;
    for (auto& c : w.connections) {
        if (!usable(*c)) continue;
        answerPeriodic(w, *c, c->perFrame);
        if (newSecond) answerPeriodic(w, *c, c->perSecond);
        const auto it = c->systemEvents.find("frame");
        if (it != c->systemEvents.end() && !c->framePending) {
            RecvEventFrame frame{};
            frame.event.groupId = kUnusedId;
            frame.event.eventId = it->second;
            frame.frameRate = static_cast<float>(w.config.frameRate);
            frame.simSpeed = 1.0f;
            c->outbox.push_back(recordMessage(frame, recvEventFrame));
            c->framePending = true;
        }
    }
}

std::uint64_t framesDue(const World& w) {
    const double seconds = static_cast<double>(w.clock->now().count()) / 1e9;
    return static_cast<std::uint64_t>(std::floor(seconds * w.config.frameRate));
}

void catchUp(World& w) {
    const std::uint64_t due = framesDue(w);
    if (due <= w.frames) return;
    if (due - w.frames > kMaxCatchUpFrames) w.frames = due - kMaxCatchUpFrames;
    while (w.frames < due) stepFrame(w);
}

// The ground contact of an AI object that was moved by data which does not
// set its on-ground flag itself.
void touchGround(World& w, ObjectState& object, const std::vector<DataMember>& members) {
    if (!w.config.aiGroundContact || object.user) return;
    const auto named = [&](std::string_view name) {
        return std::any_of(members.begin(), members.end(), [&](const DataMember& m) { return m.name == name; });
    };
    if (!named("PLANE ALTITUDE") || named("SIM ON GROUND")) return;
    const bool onGround = object.altitudeFt - w.config.groundElevationFt <= w.config.staticCgToGroundFt + 1.0;
    if (onGround == object.onGround) return;
    object.onGround = onGround;
    traceWorld(w, "object {} {}", object.id, onGround ? "on ground" : "airborne");
}

ObjectState userObjectFrom(const UserAircraftScript& s) {
    ObjectState user;
    user.id = s.objectId;
    user.user = true;
    user.title = s.title;
    user.atcModel = s.atcModel;
    user.atcId = s.atcId;
    user.latitude = s.latitude;
    user.longitude = s.longitude;
    user.altitudeFt = s.altitudeFt;
    user.headingRad = s.headingDeg * kDegToRad;
    user.groundSpeedKt = s.groundSpeedKt;
    user.onGround = s.onGround;
    user.lights = s.lights;
    return user;
}

ObjectState foreignObjectFrom(ObjectId id, const ForeignObject& f) {
    ObjectState object;
    object.id = id;
    object.foreign = true;
    object.title = f.title;
    object.atcId = f.atcId;
    object.latitude = f.latitude;
    object.longitude = f.longitude;
    object.altitudeFt = f.altitudeFt;
    object.onGround = f.onGround;
    return object;
}

}  // namespace

void traceLine(World& world, std::string line) {
    if (world.traceFile.is_open()) {
        fmt::format_to(std::back_inserter(world.traceWaiting), "{:>8} {}\n", world.frames, line);
        // The simulator's own thread writes on its next round.
        if (world.traceWaiting.size() >= kTraceWaitingLimit && !world.ownThread) writeTrace(world);
    }
    if (world.traceInMemory) world.trace.push_back(std::move(line));
}

void writeTrace(World& world) {
    world.traceWrittenAt = world.clock->now();
    world.traceFlushWanted = false;
    if (world.traceWaiting.empty() || !world.traceFileOpen) return;
    world.traceFile.write(world.traceWaiting.data(), static_cast<std::streamsize>(world.traceWaiting.size()));
    world.traceFile.flush();
    world.traceWaiting.clear();
}

void writeTraceWhenDue(World& world) {
    if (world.clock->now() - world.traceWrittenAt >= kTraceWriteInterval) writeTrace(world);
}

// One open connection; all state lives in the world.
class StandInConnection final : public SimConnection {
public:
    StandInConnection(StandInSimulator& sim, std::size_t index) : sim_(sim), index_(index) {}

    HResult close() override {
        std::lock_guard lock(sim_.mutex_);
        World& w = *sim_.world_;
        ConnectionState& c = state(w);
        if (!c.open) return kFail;
        if (takeFailure(w, "Close")) return kFail;
        c.open = false;
        c.outbox.clear();
        if (w.ownThread) {
            // After the calls sent before it, which are traced first.
            w.inbox.push_back(
                {.connection = index_, .packet = c.lastPacket, .body = [this](World& world, ConnectionState& closed) {
                     closed.outbox.clear();
                     traceCall(world, "Close");
                     world.traceFlushWanted = true;
                     return kOk;
                 }});
            sim_.wake_.notify_one();
            return kOk;
        }
        traceCall(w, "Close");
        writeTrace(w);  // a program that ends after its close leaves a complete trace
        return kOk;
    }

    HResult callDispatch(DispatchProc proc, void* context) override {
        std::deque<Message> batch;
        {
            std::lock_guard lock(sim_.mutex_);
            World& w = *sim_.world_;
            ConnectionState& c = state(w);
            if (proc == nullptr || !usable(c) || takeFailure(w, "CallDispatch")) return kFail;
            if (!w.ownThread) {
                catchUp(w);
                // Here rather than in the calls that send: a caller sends with
                // its own queues locked, and dispatches without.
                writeTraceWhenDue(w);
            }
            batch.swap(c.outbox);
            c.framePending = false;
            const auto quit = std::find_if(batch.begin(), batch.end(), [](const Message& m) {
                return reinterpret_cast<const RecvHeader*>(m.data())->id == recvQuit;
            });
            if (quit != batch.end()) {
                batch.erase(quit + 1, batch.end());
                c.quitDelivered = true;
            }
        }
        // The caller's code runs without the world's lock, so it may call back in.
        for (const Message& m : batch) {
            proc(reinterpret_cast<const RecvHeader*>(m.data()), static_cast<std::uint32_t>(m.size()), context);
        }
        return kOk;
    }

    HResult addToDataDefinition(DefinitionId definition, std::string_view datumName, std::string_view unitsName,
                                DataType type, float, std::uint32_t) override {
        return sending("AddToDataDefinition", [=, this, datumName = std::string(datumName),
                                               unitsName = std::string(unitsName)](World& w, ConnectionState& c) {
            traceCall(w, "AddToDataDefinition {} \"{}\" \"{}\" {}", definition, datumName, unitsName, typeName(type));
            const std::string name = upperCopy(datumName);
            if (!knownDatum(name)) {
                c.outbox.push_back(exceptionMessage(exceptionNameUnrecognized, c.answering, 2));
                return kOk;
            }
            c.definitions[definition].push_back({name, lowerCopy(unitsName), type, datumIndex(name)});
            return kOk;
        });
    }

    HResult requestDataOnSimObject(RequestId request, DefinitionId definition, ObjectId object,
                                   Period period) override {
        return sending("RequestDataOnSimObject", [=, this](World& w, ConnectionState& c) {
            traceCall(w, "RequestDataOnSimObject {} {} object {} {}", request, definition, object, periodName(period));
            const ObjectState* target = findObject(w, object);
            if (!c.definitions.contains(definition) || target == nullptr) {
                c.outbox.push_back(exceptionMessage(exceptionUnrecognizedId, c.answering, target == nullptr ? 3 : 2));
                return kOk;
            }
            const auto sameRequest = [request](const PeriodicRequest& r) { return r.request == request; };
            std::erase_if(c.perSecond, sameRequest);
            std::erase_if(c.perFrame, sameRequest);
            const PeriodicRequest periodic{request, definition, target->id};
            if (period == Period::once || period == Period::second) {
                queueDataReply(w, c, recvSimObjectData, request, definition, *target, 1, 1);
            }
            if (period == Period::second) c.perSecond.push_back(periodic);
            if (period == Period::simFrame) c.perFrame.push_back(periodic);
            return kOk;
        });
    }

    HResult requestDataOnSimObjectType(RequestId request, DefinitionId definition, std::uint32_t radiusMetres,
                                       std::uint32_t objectType) override {
        return sending("RequestDataOnSimObjectType", [=, this](World& w, ConnectionState& c) {
            traceCall(w, "RequestDataOnSimObjectType {} {} radius {} type {}", request, definition, radiusMetres,
                      objectType);
            if (!c.definitions.contains(definition)) {
                c.outbox.push_back(exceptionMessage(exceptionUnrecognizedId, c.answering, 2));
                return kOk;
            }
            if (objectType != kObjectTypeAircraft) return kOk;
            const ObjectState* user = findObject(w, kUserObject);
            std::vector<const ObjectState*> inRange;
            for (const auto& [id, object] : w.objects) {
                if (user == nullptr || distanceMetres(user->latitude, user->longitude, object.latitude,
                                                      object.longitude) <= radiusMetres) {
                    inRange.push_back(&object);
                }
            }
            const auto outOf = static_cast<std::uint32_t>(inRange.size());
            for (std::uint32_t i = 0; i < outOf; ++i) {
                queueDataReply(w, c, recvSimObjectDataByType, request, definition, *inRange[i], i + 1, outOf);
            }
            return kOk;
        });
    }

    HResult setDataOnSimObject(DefinitionId definition, ObjectId object, std::uint32_t, std::uint32_t arrayCount,
                               std::uint32_t unitSize, const void* data) override {
        return sending("SetDataOnSimObject", [=, this, bytesOwned = copyBytes(data, arrayCount, unitSize)](
                                                 World& w, ConnectionState& c) {
            ObjectState* target = findObject(w, object);
            const auto members = c.definitions.find(definition);
            // A call that fails is traced all the same.
            const bool quiet = !w.config.tracePositions && target != nullptr && members != c.definitions.end() &&
                               movesObject(members->second);
            if (!quiet) traceCall(w, "SetDataOnSimObject {} object {} size {}", definition, object, unitSize);
            if (target == nullptr || members == c.definitions.end()) {
                c.outbox.push_back(exceptionMessage(exceptionUnrecognizedId, c.answering, target == nullptr ? 2 : 1));
                return kOk;
            }
            const std::byte* bytes = bytesOwned.empty() ? nullptr : bytesOwned.data();
            const std::uint32_t count = std::max<std::uint32_t>(1, arrayCount);
            for (std::uint32_t i = 0; i < count; ++i) {
                if (bytes == nullptr ||
                    !applyDataBlock(*target, members->second, bytes + std::size_t{i} * unitSize, unitSize)) {
                    c.outbox.push_back(exceptionMessage(exceptionInvalidDataSize, c.answering, 5));
                    return kOk;
                }
            }
            ++target->setDataCount;
            if (!quiet) {
                traceWorld(w, "object {} data {} lat {:.6f} lon {:.6f} alt {:.1f} hdg {:.4f}", target->id, definition,
                           target->latitude, target->longitude, target->altitudeFt, target->headingRad);
            }
            touchGround(w, *target, members->second);
            return kOk;
        });
    }

    HResult subscribeToSystemEvent(ClientEventId event, std::string_view name) override {
        return sending("SubscribeToSystemEvent", [=, this, name = std::string(name)](World& w, ConnectionState& c) {
            traceCall(w, "SubscribeToSystemEvent {} {}", event, name);
            const std::string lower = lowerCopy(name);
            if (!isKnownSystemEvent(lower)) {
                c.outbox.push_back(exceptionMessage(exceptionNameUnrecognized, c.answering, 2));
                return kOk;
            }
            c.systemEvents[lower] = event;
            // A new subscriber learns at once whether the simulation runs.
            if (lower == "sim") c.outbox.push_back(eventMessage(event, w.config.running ? 1 : 0));
            return kOk;
        });
    }

    HResult mapClientEventToSimEvent(ClientEventId event, std::string_view name) override {
        return sending("MapClientEventToSimEvent", [=, this, name = std::string(name)](World& w, ConnectionState& c) {
            traceCall(w, "MapClientEventToSimEvent {} {}", event, name);
            c.clientEvents[event] = upperCopy(name);
            return kOk;
        });
    }

    // The stand-in sends no notifications of client events, so groups change
    // nothing in its world; the trace is all that is kept of them.
    HResult addClientEventToNotificationGroup(GroupId group, ClientEventId event, bool maskable) override {
        return sending("AddClientEventToNotificationGroup", [=, this](World& w, ConnectionState&) {
            traceCall(w, "AddClientEventToNotificationGroup {} {}{}", group, event, maskable ? " maskable" : "");
            return kOk;
        });
    }

    HResult setNotificationGroupPriority(GroupId group, std::uint32_t priority) override {
        return sending("SetNotificationGroupPriority", [=, this](World& w, ConnectionState&) {
            traceCall(w, "SetNotificationGroupPriority {} {}", group, priority);
            return kOk;
        });
    }

    HResult transmitClientEvent(ObjectId object, ClientEventId event, std::uint32_t data, GroupId group,
                                std::uint32_t) override {
        return sending("TransmitClientEvent", [=, this](World& w, ConnectionState& c) {
            const auto mapped = c.clientEvents.find(event);
            const std::string name = mapped == c.clientEvents.end() ? "?" : mapped->second;
            traceCall(w, "TransmitClientEvent object {} event {} {} data {} group {}", object, event, name, data,
                      group);
            ObjectState* target = findObject(w, object);
            if (mapped == c.clientEvents.end() || target == nullptr) {
                c.outbox.push_back(exceptionMessage(exceptionUnrecognizedId, c.answering, target == nullptr ? 1 : 2));
                return kOk;
            }
            EventTally& tally = target->events[name];
            ++tally.count;
            tally.lastData = data;
            if (const std::uint64_t bit = lightBitOf(name); bit != 0) {
                target->lights = data != 0 ? (target->lights | bit) : (target->lights & ~bit);
            } else if (name == "ALL_LIGHTS_TOGGLE") {
                target->lights ^= lightAll;
            }
            traceWorld(w, "object {} event {} {}", target->id, name, data);
            return kOk;
        });
    }

    HResult aiCreateNonAtcAircraft(std::string_view title, std::string_view tail, const InitPosition& position,
                                   RequestId request) override {
        return sending("AICreateNonATCAircraft", [=, this, title = std::string(title), tail = std::string(tail)](
                                                     World& w, ConnectionState& c) {
            traceCall(w,
                      "AICreateNonATCAircraft \"{}\" \"{}\" {:.6f} {:.6f} alt {:.1f} "
                      "request {} packet {}",
                      title, tail, position.latitude, position.longitude, position.altitude, request, c.answering);
            const std::string& owned = title;
            const bool refused =
                !w.config.installedTitles.contains(owned) || w.config.refusedTitles.contains(owned) || w.refuseNext > 0;
            if (w.refuseNext > 0) --w.refuseNext;
            if (refused) {
                c.outbox.push_back(exceptionMessage(exceptionCreateObjectFailed, c.answering, 1));
            } else if (aliveAiCount(w) + w.creations.size() >= w.config.objectLimit) {
                c.outbox.push_back(exceptionMessage(exceptionTooManyObjects, c.answering, 0));
            } else {
                w.creations.push_back({index_, request, owned, std::string(tail), position, w.config.creationFrames});
            }
            return kOk;
        });
    }

    HResult aiRemoveObject(ObjectId object, RequestId request) override {
        return sending("AIRemoveObject", [=, this](World& w, ConnectionState& c) {
            traceCall(w, "AIRemoveObject {} request {}", object, request);
            if (const auto e = aiTargetError(w, object); e != 0) {
                c.outbox.push_back(exceptionMessage(e, c.answering, 1));
            } else if (std::find(w.removals.begin(), w.removals.end(), object) == w.removals.end()) {
                w.removals.push_back(object);
            }
            return kOk;
        });
    }

    HResult aiReleaseControl(ObjectId object, RequestId request) override {
        return sending("AIReleaseControl", [=, this](World& w, ConnectionState& c) {
            traceCall(w, "AIReleaseControl {} request {}", object, request);
            if (const auto e = aiTargetError(w, object); e != 0) {
                c.outbox.push_back(exceptionMessage(e, c.answering, 1));
            } else {
                w.objects[object].released = true;
            }
            return kOk;
        });
    }

    HResult aiSetAircraftFlightPlan(ObjectId object, const std::filesystem::path& path, RequestId request) override {
        return sending("AISetAircraftFlightPlan", [=, this](World& w, ConnectionState& c) {
            traceCall(w, "AISetAircraftFlightPlan {} \"{}\" request {}", object, path.string(), request);
            std::error_code ec;
            if (const auto e = aiTargetError(w, object); e != 0) {
                c.outbox.push_back(exceptionMessage(e, c.answering, 1));
            } else if (!std::filesystem::is_regular_file(path, ec)) {
                c.outbox.push_back(exceptionMessage(exceptionLoadFlightPlanFailed, c.answering, 2));
            } else {
                w.objects[object].flightPlan = path;
            }
            return kOk;
        });
    }

    HResult getLastSentPacketId(std::uint32_t* packetId) override {
        std::lock_guard lock(sim_.mutex_);
        World& w = *sim_.world_;
        ConnectionState& c = state(w);
        if (packetId == nullptr || !usable(c) || takeFailure(w, "GetLastSentPacketID")) return kFail;
        *packetId = c.lastPacket;
        return kOk;
    }

    HResult addToFacilityDefinition(DefinitionId definition, std::string_view field) override {
        return sending("AddToFacilityDefinition", [=, this, field = std::string(field)](World& w, ConnectionState& c) {
            traceCall(w, "AddToFacilityDefinition {} \"{}\"", definition, field);
            const std::string upper = upperCopy(field);
            if (!knownFacilityField(upper)) {
                c.outbox.push_back(exceptionMessage(exceptionNameUnrecognized, c.answering, 2));
                return kOk;
            }
            c.facilityDefinitions[definition].push_back(upper);
            return kOk;
        });
    }

    HResult requestFacilityData(DefinitionId definition, RequestId request, std::string_view icao,
                                std::string_view region) override {
        return sending("RequestFacilityData",
                       [=, this, icao = std::string(icao), region = std::string(region)](World& w, ConnectionState& c) {
                           traceCall(w, "RequestFacilityData {} {} {} \"{}\"", definition, request, icao, region);
                           const auto it = c.facilityDefinitions.find(definition);
                           if (it == c.facilityDefinitions.end()) return kFail;
                           for (Message& m : facilityReplies(w, c, it->second, request, icao)) {
                               c.outbox.push_back(std::move(m));
                           }
                           return kOk;
                       });
    }

private:
    ConnectionState& state(World& w) const { return *w.connections[index_]; }

    // A call of this connection, "c<n> <call>".
    template <class... Args>
    void traceCall(World& w, fmt::format_string<Args...> format, Args&&... args) const {
        if (!w.tracing()) return;
        traceLine(w, fmt::format("c{} {}", index_ + 1, fmt::format(format, std::forward<Args>(args)...)));
    }

    // A call that sends a packet: refused on a dead connection or by an
    // injected failure, otherwise counted and carried out.
    // On its own thread the stand-in answers later, as a simulator in a
    // process of its own does: the call only sends, and what the body would
    // have refused comes back as an exception. The call wakes nobody: the
    // thread answers what was sent at its next frame. Waking it for every
    // call (a run sends each aircraft's position in every frame) handed the
    // processor to the stand-in in the middle of the caller's work, which
    // showed as the main loop's longest ticks.
    template <class Body>
    HResult sending(std::string_view call, Body body) {
        std::unique_lock lock(sim_.mutex_);
        World& w = *sim_.world_;
        ConnectionState& c = state(w);
        if (!usable(c)) return kFail;
        if (takeFailure(w, call)) {
            traceCall(w, "{} failed", call);
            return kFail;
        }
        ++c.lastPacket;
        if (w.ownThread) {
            w.inbox.push_back({.connection = index_, .packet = c.lastPacket, .body = std::move(body)});
            return kOk;
        }
        catchUp(w);
        c.answering = c.lastPacket;
        return body(w, c);
    }

    // 0 when the object is an AI object; else the exception code.
    static std::uint32_t aiTargetError(World& w, ObjectId object) {
        const ObjectState* target = object == kUserObject ? nullptr : findObject(w, object);
        if (object == kUserObject || (target != nullptr && target->user)) {
            return exceptionOperationInvalidForObjectType;
        }
        return target == nullptr ? std::uint32_t{exceptionUnrecognizedId} : 0u;
    }

    StandInSimulator& sim_;
    const std::size_t index_;
};

StandInSimulator::StandInSimulator(StandInConfig config, std::shared_ptr<const SimClock> clock)
    : world_(std::make_unique<World>()) {
    World& w = *world_;
    if (config.frameRate <= 0.0) config.frameRate = 30.0;
    w.config = std::move(config);
    w.clock = clock ? std::move(clock) : std::make_shared<SteadySimClock>();
    w.nextAiId = std::max(w.config.firstAiObjectId, w.config.user.objectId + 1);
    w.objects.emplace(w.config.user.objectId, userObjectFrom(w.config.user));
    for (const ForeignObject& f : w.config.foreignObjects) {
        const ObjectId id = w.nextAiId++;
        w.objects.emplace(id, foreignObjectFrom(id, f));
    }
}

StandInSimulator::~StandInSimulator() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();  // answers what was sent before it ends
    }
    std::lock_guard lock(mutex_);
    writeTrace(*world_);
}

void StandInSimulator::runOnOwnThread() {
    std::lock_guard lock(mutex_);
    if (world_->ownThread) return;
    world_->ownThread = true;
    thread_ = std::jthread([this](const std::stop_token& stop) { serve(stop); });
}

void StandInSimulator::settle() {
    std::unique_lock lock(mutex_);
    World& w = *world_;
    if (!w.ownThread) return;
    const std::uint64_t ticket = ++w.settleAsked;
    wake_.notify_one();
    settled_.wait(lock, [&] { return w.settleDone >= ticket || w.threadEnded; });
}

bool StandInSimulator::stopWithin(std::chrono::milliseconds bound) {
    if (!thread_.joinable()) return true;
    thread_.request_stop();
    {
        std::unique_lock lock(mutex_);
        if (!settled_.wait_for(lock, bound, [&] { return world_->threadEnded; })) return false;
    }
    thread_.join();
    return true;
}

void StandInSimulator::serve(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    World& w = *world_;
    const auto interval = std::chrono::nanoseconds(static_cast<std::int64_t>(std::ceil(1e9 / w.config.frameRate)));
    while (!stop.stop_requested()) {
        const std::uint64_t ticket = w.settleAsked;
        answerInbox(lock);
        catchUp(w);
        if (w.traceFlushWanted || w.traceWaiting.size() >= kTraceWaitingLimit ||
            w.clock->now() - w.traceWrittenAt >= kTraceWriteInterval) {
            writeTraceOffLock(lock);
        }
        w.settleDone = ticket;
        settled_.notify_all();
        // Calls wait for the next frame; a settle, a close and the stop come at once.
        wake_.wait_for(lock, stop, interval, [&] { return w.settleAsked != ticket || w.traceFlushWanted; });
    }
    // What was sent before the stop is answered and traced: the program's
    // last calls (its close) reach the simulator.
    answerInbox(lock);
    writeTraceOffLock(lock);
    w.threadEnded = true;
    settled_.notify_all();
}

void StandInSimulator::answerInbox(std::unique_lock<std::mutex>& lock) {
    World& w = *world_;
    while (!w.inbox.empty()) {
        std::vector<QueuedCall> calls;
        calls.swap(w.inbox);
        for (QueuedCall& call : calls) {
            catchUp(w);
            ConnectionState& c = *w.connections[call.connection];
            c.answering = call.packet;
            if (failed(call.body(w, c))) c.outbox.push_back(exceptionMessage(exceptionUnrecognizedId, call.packet, 1));
            // The callers get the world between two answers.
            lock.unlock();
            lock.lock();
        }
    }
}

void StandInSimulator::writeTraceOffLock(std::unique_lock<std::mutex>& lock) {
    World& w = *world_;
    w.traceWrittenAt = w.clock->now();
    w.traceFlushWanted = false;
    if (w.traceWaiting.empty() || !w.traceFileOpen) return;
    std::string text;
    text.swap(w.traceWaiting);
    lock.unlock();
    {
        // The file is written by this thread alone; the lock keeps it from a
        // new trace file being opened meanwhile.
        std::lock_guard file(fileMutex_);
        w.traceFile.write(text.data(), static_cast<std::streamsize>(text.size()));
        w.traceFile.flush();
    }
    lock.lock();
}

HResult StandInSimulator::open(SimConnection** connection, std::string_view applicationName, std::uint32_t) {
    if (connection == nullptr) return kFail;
    *connection = nullptr;
    std::lock_guard lock(mutex_);
    World& w = *world_;
    if (!w.present || w.config.openFailures > 0) {
        if (w.present) --w.config.openFailures;
        traceWorld(w, "Open \"{}\" failed", applicationName);
        if (!w.ownThread) writeTraceWhenDue(w);  // nothing dispatches while opens fail
        return kFail;
    }
    auto state = std::make_unique<ConnectionState>();
    const std::size_t index = w.connections.size();
    state->handle = std::make_unique<StandInConnection>(*this, index);
    state->name = std::string(applicationName);
    RecvOpen record{};
    writeFixedText(record.applicationName, sizeof record.applicationName, w.config.simulatorName,
                   !w.config.unterminatedStrings);
    record.applicationVersionMajor = w.config.version[0];
    record.applicationVersionMinor = w.config.version[1];
    record.applicationBuildMajor = w.config.version[2];
    record.applicationBuildMinor = w.config.version[3];
    state->outbox.push_back(recordMessage(record, recvOpen));
    *connection = state->handle.get();
    w.connections.push_back(std::move(state));
    traceWorld(w, "c{} Open \"{}\"", index + 1, applicationName);
    return kOk;
}

std::chrono::nanoseconds StandInSimulator::frameInterval() const {
    std::lock_guard lock(mutex_);
    return std::chrono::nanoseconds(static_cast<std::int64_t>(std::ceil(1e9 / world_->config.frameRate)));
}

std::uint64_t StandInSimulator::frameCount() const {
    std::lock_guard lock(mutex_);
    return world_->frames;
}

void StandInSimulator::setRunning(bool running) {
    std::lock_guard lock(mutex_);
    World& w = *world_;
    w.config.running = running;
    traceWorld(w, "sim {}", running ? "running" : "stopped");
    broadcast(w, "sim", [running](ClientEventId e) { return eventMessage(e, running ? 1 : 0); });
}

void StandInSimulator::loadFlight(std::string_view fileName) {
    std::lock_guard lock(mutex_);
    World& w = *world_;
    traceWorld(w, "flight loaded \"{}\"", fileName);
    broadcast(w, "flightloaded", [](ClientEventId e) { return eventMessage(e, 0); });
}

void StandInSimulator::quit() {
    std::lock_guard lock(mutex_);
    World& w = *world_;
    w.present = false;
    w.config.running = false;
    traceWorld(w, "quit");
    for (auto& c : w.connections) {
        if (usable(*c)) c->outbox.push_back(recordMessage(RecvHeader{}, recvQuit));
    }
}

void StandInSimulator::restart() {
    std::lock_guard lock(mutex_);
    world_->present = true;
    world_->config.running = true;
}

void StandInSimulator::setSimulatorName(std::string name) {
    std::lock_guard lock(mutex_);
    world_->config.simulatorName = std::move(name);
}

void StandInSimulator::teleportUser(double latitude, double longitude) {
    std::lock_guard lock(mutex_);
    World& w = *world_;
    ObjectState* user = findObject(w, kUserObject);
    if (user == nullptr) return;
    user->latitude = latitude;
    user->longitude = longitude;
    traceWorld(w, "object {} teleported {:.6f} {:.6f}", user->id, latitude, longitude);
}

ObjectId StandInSimulator::addForeignObject(const ForeignObject& foreign) {
    std::lock_guard lock(mutex_);
    World& w = *world_;
    const ObjectId id = w.nextAiId++;
    w.objects.emplace(id, foreignObjectFrom(id, foreign));
    traceWorld(w, "object {} added \"{}\" \"{}\" foreign", id, foreign.title, foreign.atcId);
    broadcast(w, "objectadded", [id](ClientEventId e) { return objectEventMessage(e, id); });
    return id;
}

void StandInSimulator::installTitle(std::string title) {
    std::lock_guard lock(mutex_);
    world_->config.installedTitles.insert(std::move(title));
}

void StandInSimulator::failOpens(int count) {
    std::lock_guard lock(mutex_);
    world_->config.openFailures = std::max(0, count);
}

void StandInSimulator::failCalls(std::string_view callName, int count) {
    std::lock_guard lock(mutex_);
    world_->failingCalls[std::string(callName)] += std::max(0, count);
}

void StandInSimulator::injectException(std::uint32_t code, std::uint32_t sendId, std::uint32_t index,
                                       std::string_view applicationName) {
    std::lock_guard lock(mutex_);
    for (auto& c : world_->connections) {
        if (usable(*c) && (applicationName.empty() || c->name == applicationName)) {
            c->outbox.push_back(exceptionMessage(code, sendId, index));
        }
    }
}

void StandInSimulator::refuseTitle(std::string title) {
    std::lock_guard lock(mutex_);
    world_->config.refusedTitles.insert(std::move(title));
}

void StandInSimulator::refuseNextCreations(int count) {
    std::lock_guard lock(mutex_);
    world_->refuseNext = std::max(0, count);
}

void StandInSimulator::setObjectLimit(std::size_t limit) {
    std::lock_guard lock(mutex_);
    world_->config.objectLimit = limit;
}

void StandInSimulator::setUnterminatedStrings(bool on) {
    std::lock_guard lock(mutex_);
    world_->config.unterminatedStrings = on;
}

void StandInSimulator::setFacilityNeverEnds(bool on) {
    std::lock_guard lock(mutex_);
    world_->config.facilityNeverEnds = on;
}

void StandInSimulator::keepTraceInMemory(bool on) {
    std::lock_guard lock(mutex_);
    world_->traceInMemory = on;
}

bool StandInSimulator::setTraceFile(const std::filesystem::path& file) {
    std::function<void(std::string_view)> hook;
    {
        std::lock_guard fileLock(fileMutex_);
        std::lock_guard lock(mutex_);
        World& w = *world_;
        writeTrace(w);
        if (w.traceFile.is_open()) w.traceFile.close();
        w.traceFile.open(file, std::ios::binary | std::ios::trunc);
        w.traceFileOpen = w.traceFile.is_open();
        if (w.traceFileOpen) return true;
        hook = w.config.logHook;
    }
    const std::string problem = fmt::format("Stand-in simulator: cannot write the trace file {}", file.string());
    if (hook) {
        hook(problem);
    } else {
        std::cerr << problem << '\n';
    }
    return false;
}

std::vector<std::string> StandInSimulator::traceLines() const {
    std::lock_guard lock(mutex_);
    return world_->trace;
}

void StandInSimulator::clearTrace() {
    std::lock_guard lock(mutex_);
    world_->trace.clear();
}

std::optional<ObjectSnapshot> StandInSimulator::object(ObjectId id) const {
    std::lock_guard lock(mutex_);
    const ObjectState* found = findObject(*world_, id);
    if (found == nullptr) return std::nullopt;
    return static_cast<const ObjectSnapshot&>(*found);
}

std::vector<ObjectId> StandInSimulator::aiObjectIds() const {
    std::lock_guard lock(mutex_);
    std::vector<ObjectId> ids;
    for (const auto& [id, object] : world_->objects) {
        if (!object.user) ids.push_back(id);
    }
    return ids;
}

std::size_t StandInSimulator::openConnectionCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(world_->connections.begin(), world_->connections.end(),
                                                  [](const auto& c) { return usable(*c); }));
}

std::unique_ptr<StandInSimulator> makeStandInForRun(std::function<void(std::string_view)> log) {
    StandInConfig config;
    if (const char* scenario = std::getenv("QVL_SIM_SCENARIO"); scenario != nullptr && *scenario != '\0') {
        std::vector<std::string> problems;
        if (!StandInSimulator::readScenario(scenario, config, problems)) {
            problems.push_back(fmt::format("Stand-in simulator: cannot read the scenario {}", scenario));
        }
        if (log) {
            for (const std::string& p : problems) log(p);
        }
    }
    config.logHook = std::move(log);
    auto sim = std::make_unique<StandInSimulator>(std::move(config));
    if (const char* trace = std::getenv("QVL_SIM_TRACE"); trace != nullptr && *trace != '\0') {
        sim->setTraceFile(trace);
    }
    sim->runOnOwnThread();
    return sim;
}

}  // namespace qvl::sim
