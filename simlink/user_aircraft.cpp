#include "simlink/user_aircraft.h"

#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <span>

#include <fmt/format.h>

#include "core/log.h"
#include "core/messages.h"
#include "core/run_state.h"
#include "core/strings.h"
#include "core/user_error.h"
#include "platform/sim/sim_api.h"
#include "refdata/code_table.h"
#include "refdata/lookups.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_state.h"

namespace qvl {
namespace {

constexpr double kZeroDeg = 0.0001;
constexpr double kTeleportNm = 10.0;
constexpr std::int32_t kTeleportDelaySeconds = 45;
constexpr std::size_t kMaxTitle = 48;
constexpr double kNotTooHighFt = 2500.0;
constexpr double kMetresPerNm = 1852.0;
constexpr int kNoAircraftCode = 73;
constexpr std::int64_t kDaysTo1970 = 719163;
constexpr std::int64_t kLastYear = 9999;
constexpr std::int64_t kLongestYear = 366;
constexpr std::int64_t kSecondsPerDay = 86400;

double readDouble(std::span<const std::byte> data, std::size_t offset) {
    double value = 0.0;
    if (data.size() >= offset + sizeof value) std::memcpy(&value, data.data() + offset, sizeof value);
    return value;
}

// "SIM ON GROUND" is registered as a 64-bit integer in both definitions that carry it.
std::int64_t readInt64(std::span<const std::byte> data, std::size_t offset) {
    std::int64_t value = 0;
    if (data.size() >= offset + sizeof value) std::memcpy(&value, data.data() + offset, sizeof value);
    return value;
}

std::string readText(std::span<const std::byte> data) { return sim::fixedText(data); }

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string categoryName(std::uint32_t category) {
    static constexpr std::array<std::string_view, 6> kNames{"Light", "Buzjets",  "Large",
                                                            "Heavy", "HighPerf", "Rotorcraft"};
    return category < kNames.size() ? std::string(kNames[category]) : std::string("?");
}

void onStaticValues(const SimLinkState& link, const SimObjectDataReply& reply) {
    link.hooks.queueSimObjectEvent({.objectId = reply.objectId,
                                    .kind = SimObjectEventKind::staticValues,
                                    .value1 = readDouble(reply.data, 0),
                                    .value2 = readDouble(reply.data, 8)});
}

void onOnGround(UserAircraftState& user, const SimObjectDataReply& reply) {
    if (!user.block().zeroPosition()) user.setOnGround(readInt64(reply.data, 0) != 0);
    user.markOneSecond();
}

void checkTeleport(RunState& run, UserAircraftState& user, const UserAircraftBlock& block) {
    const GeoPosition now{.latitude = block.latitude, .longitude = block.longitude};
    const GeoPosition before = user.previousPosition;
    const bool beforeKnown = std::fabs(before.latitude) > kZeroDeg || std::fabs(before.longitude) > kZeroDeg;
    if (beforeKnown && !block.zeroPosition() && gf_distanceNm(before, now) > kTeleportNm) {
        gf_log("Teleport");
        run.endRun(RestartReason::newFlight, kTeleportDelaySeconds);
    }
    user.previousPosition = now;
}

void updateStand(const SimLinkState& link, UserAircraftState& user, const UserAircraftBlock& block) {
    const std::string name = link.hooks.current()->standNameAtPosition(block.position());
    if (name == block.stand) return;
    user.setStand(name);
    link.hooks.repaintWindow();
}

// Days since 1970-01-01 in the proleptic Gregorian calendar, times a day,
// plus the time of day. Only fields a calendar can hold are counted: the
// simulator's data may hold anything, and a year near the top of its range
// would overflow the sum.
std::optional<std::int64_t> utcSeconds(const UserAircraftBlock& block) {
    if (block.zuluYear < 1 || block.zuluYear > kLastYear || block.zuluDayOfYear < 1 ||
        block.zuluDayOfYear > kLongestYear || block.zuluTime < 0 || block.zuluTime >= kSecondsPerDay) {
        return std::nullopt;
    }
    const std::int64_t y = block.zuluYear - 1;
    const std::int64_t days = block.zuluDayOfYear - kDaysTo1970 + 365 * y + y / 4 - y / 100 + y / 400;
    return days * kSecondsPerDay + block.zuluTime;
}

// The record's fields in their order: eight doubles, then four integers.
UserAircraftBlock recordOf(std::span<const std::byte> data) {
    constexpr std::size_t kField = 8;
    return {.latitude = readDouble(data, 0 * kField),
            .longitude = readDouble(data, 1 * kField),
            .pitch = readDouble(data, 2 * kField),
            .bank = readDouble(data, 3 * kField),
            .heading = readDouble(data, 4 * kField),
            .altitude = readDouble(data, 5 * kField),
            .aboveGround = readDouble(data, 6 * kField),
            .groundSpeed = readDouble(data, 7 * kField),
            .zuluTime = readInt64(data, 8 * kField),
            .zuluDayOfYear = readInt64(data, 9 * kField),
            .zuluYear = readInt64(data, 10 * kField),
            .lightStates = readInt64(data, 11 * kField)};
}

void onUserBlock(SimLinkState& link, RunState& run, UserAircraftState& user, const SimObjectDataReply& reply) {
    if (reply.data.size() < kUserBlockBytes) return;
    UserAircraftBlock block = recordOf(reply.data);
    if (block.altitude < 0.0) block.altitude = 0.0;
    user.storeBlock(block);
    checkTeleport(run, user, block);
    updateStand(link, user, user.block());
    link.userObjectId.store(reply.objectId);
}

std::string modelFromDotText(const std::string& model) {
    const std::size_t at = model.find(".0.text");
    for (std::size_t n : {4U, 3U, 2U}) {
        if (n > at) continue;
        std::string candidate = model.substr(at - n, n);
        if (gf_halfWingspan(gf_modelId(candidate)) != 0.0) return candidate;
    }
    return model;
}

struct Deduced {
    std::string model;
    double halfSpan = 0.0;
    bool found = false;
};

// Aerosoft's three Airbus titles name their model.
std::optional<std::string> modelFromTitle(std::string_view title) {
    if (title.size() < 13) return std::nullopt;
    const std::string_view head = title.substr(0, 13);
    if (head == "Aerosoft A319") return "A319";
    if (head == "Aerosoft A320") return "A320";
    if (head == "Aerosoft A321") return "A321";
    return std::nullopt;
}

// Found when the table knows a non-zero half span other than the maximum;
// otherwise the title may name the model, and failing that the maximum is taken.
Deduced deduceWingspan(const std::string& model, std::string_view title, std::string& logText) {
    const double max = maxHalfWingspan();
    Deduced d{.model = model, .halfSpan = max, .found = false};
    if (model.size() <= 4) {
        const double hs = gf_halfWingspan(gf_modelId(model));
        if (hs != 0.0 && hs != max) return {.model = model, .halfSpan = hs, .found = true};
    }
    if (const auto fromTitle = modelFromTitle(title)) {
        logText = "SimConnect: User aircraft model deduced from title: " + *fromTitle;
        const double hs = gf_halfWingspan(gf_modelId(*fromTitle));
        return {.model = *fromTitle, .halfSpan = hs == 0.0 ? max : hs, .found = hs != 0.0};
    }
    return d;
}

void userModel(SimLinkState& link, UserAircraftState& user, std::string model) {
    const std::string title = user.block().title;
    if (model.empty()) {
        user.setTitle("Unknown (encrypted?) aircraft");
        link.hooks.repaintWindow();
        gf_showMessage("171: No model info from your user aircraft received in SimConnect, CRJ7 is taken instead",
                       MessageLogging::logged);
        const double hs = gf_halfWingspan(gf_modelId("CRJ7"));
        user.setWingspan({.halfSpan = hs == 0.0 ? maxHalfWingspan() : hs,
                          .valid = true,
                          .category = static_cast<std::uint32_t>(gf_categoryOfModelId(gf_modelId("CRJ7")))});
        return;
    }
    gf_logContinuation(fmt::format("model raw: {}", model));
    model = correctUserModel(std::move(model), title);
    std::string logText = "SimConnect: User aircraft model: " + model;
    if (contains(model, "camerapod") || contains(model, "Crew Vessel")) {
        user.setModelLamp(true);
        link.hooks.repaintWindow();
        const double hs = gf_halfWingspan(gf_modelId("E190"));
        user.setWingspan({.halfSpan = hs, .valid = true, .category = 0});
        gf_logContinuation(logText);
        return;
    }
    const Deduced d = deduceWingspan(model, title, logText);
    user.setModelLamp(d.found);
    link.hooks.repaintWindow();
    if (d.found) {
        logText += fmt::format(", half wing span: {:.1F} meter", d.halfSpan * kMetresPerNm);
    } else {
        gf_showMessage("User aircraft wing span unknown, max is taken instead, please report in my Forum!",
                       MessageLogging::logged);
    }
    const auto category = static_cast<std::uint32_t>(gf_categoryOfModelId(gf_modelId(d.model)));
    user.setWingspan({.halfSpan = d.halfSpan, .valid = true, .category = category});
    logText += fmt::format(", category: {}", categoryName(category));
    gf_logContinuation(logText);
}

void releaseAndFreeze(SimLinkState& link, std::uint32_t objectId) {
    link.withConnection(
        [&](sim::SimConnection& connection) { (void)connection.aiReleaseControl(objectId, reqReleaseControl); });
    // Queued after the lock above is released: pushEvents takes it itself.
    const std::array<EventCommand, 3> freeze{{
        {.objectId = objectId, .eventId = evFreezeLatitudeLongitudeSet, .data = 1},
        {.objectId = objectId, .eventId = evFreezeAltitudeSet, .data = 1},
        {.objectId = objectId, .eventId = evFreezeAttitudeSet, .data = 1},
    }};
    link.queues.pushEvents(freeze);
}

void logForeign(UserAircraftState& user, std::uint32_t objectId, const std::string& atcId, double aboveGround,
                std::int64_t onGround, double groundAltitude) {
    if (atcId != "AS-GEN") {
        gf_log(
            fmt::format("just spawned, but not by {}, oid: {}, callsign '{}', altaboveGnd:{:.0f} ft, onground:{}, "
                        "gnd_alt:{:.0f} ft",
                        "Quorvelant", gf_objectIdText(objectId), atcId, aboveGround, onGround, groundAltitude));
        return;
    }
    // The simulator's own generated traffic: worth one note per process.
    if (user.asGenLogged.exchange(true)) return;
    gf_logAttention(
        fmt::format("\nSpawned by Asobo, oid: {}, callsign AS-GEN, altaboveGnd:{:.0f} ft, onground:{}, "
                    "gnd_alt:{:.0f} ft\nThis message will be logged only once...\n",
                    gf_objectIdText(objectId), aboveGround, onGround, groundAltitude));
}

}  // namespace

bool UserAircraftBlock::zeroPosition() const noexcept {
    return std::fabs(latitude) < kZeroDeg && std::fabs(longitude) < kZeroDeg;
}

void UserAircraftState::storeBlock(const UserAircraftBlock& block) {
    std::lock_guard lock(mutex_);
    UserAircraftBlock next = block;
    next.onGround = block_.onGround;
    next.wingspan = block_.wingspan;
    next.title = std::move(block_.title);
    next.stand = std::move(block_.stand);
    next.modelLamp = block_.modelLamp;
    block_ = std::move(next);
    if (profEdition_) simUtcSeconds_ = utcSeconds(block_).value_or(simUtcSeconds_);
}

void UserAircraftState::setProfEdition(bool prof) {
    std::lock_guard lock(mutex_);
    profEdition_ = prof;
    simUtcSeconds_ = prof ? utcSeconds(block_).value_or(simUtcSeconds_) : 0;
}

bool UserAircraftState::profEdition() const {
    std::lock_guard lock(mutex_);
    return profEdition_;
}

std::int64_t UserAircraftState::simUtcSeconds() const {
    std::lock_guard lock(mutex_);
    return simUtcSeconds_;
}

UserAircraftBlock UserAircraftState::block() const {
    std::lock_guard lock(mutex_);
    return block_;
}

void UserAircraftState::setOnGround(bool onGround) {
    std::lock_guard lock(mutex_);
    block_.onGround = onGround;
}

std::optional<bool> UserAircraftState::onGround() const {
    std::lock_guard lock(mutex_);
    return block_.onGround;
}

void UserAircraftState::setWingspan(const UserAircraftBlock::Wingspan& wingspan) {
    std::lock_guard lock(mutex_);
    block_.wingspan = wingspan;
}

UserAircraftBlock::Wingspan UserAircraftState::wingspan() const {
    std::lock_guard lock(mutex_);
    return block_.wingspan;
}

void UserAircraftState::setTitle(const std::string& title) {
    std::lock_guard lock(mutex_);
    block_.title = title;
}

void UserAircraftState::setStand(const std::string& stand) {
    std::lock_guard lock(mutex_);
    block_.stand = stand;
}

void UserAircraftState::setModelLamp(bool on) {
    std::lock_guard lock(mutex_);
    block_.modelLamp = on;
}

void UserAircraftState::reset() {
    {
        std::lock_guard lock(mutex_);
        block_ = {};
        profEdition_ = false;
        simUtcSeconds_ = 0;
    }
    oneSecond_.store(false);
    previousPosition = {};
}

std::string correctUserModel(std::string model, std::string_view title) {
    if (model == "A350-900") return "A359";
    if (model == "N738B") return "B38M";
    if (model == "777") return "772";
    if (model == "A330-200 (RR)") return "A332";
    if (contains(model, ".0.text")) return modelFromDotText(model);
    if (model.size() >= 5 && model.starts_with("$$:")) return model.substr(3);
    if (model == "737") {
        if (contains(title, "DG 737-800")) return "B738";
        if (contains(title, "DG 737-700")) return "B737";
        if (contains(title, "DG 737-600")) return "B736";
        if (contains(title, "DG 737-900")) return "B739";
    }
    return model;
}

void lf_onSimObjectData(SimLinkState& link, RunState& run, UserAircraftState& user, const SimObjectDataReply& reply) {
    switch (reply.requestId) {
        case reqStaticValues: onStaticValues(link, reply); return;
        case reqUserTitle: lf_onUserTitle(link, user, readText(reply.data)); return;
        case reqUserModel: lf_onUserModel(link, user, readText(reply.data)); return;
        case reqUserOnGround: onOnGround(user, reply); return;
        case reqUserBlock: onUserBlock(link, run, user, reply); return;
        default: return;
    }
}

void lf_onUserTitle(SimLinkState& link, UserAircraftState& user, std::string title) {
    if (title.empty()) {
        gf_log("! Title of your aircraft is empty?");
        return;
    }
    if (title.size() > kMaxTitle) title.resize(kMaxTitle);
    if (title == user.block().title) return;
    user.setTitle(title);
    link.hooks.repaintWindow();
    gf_logContinuation("SimConnect: User aircraft title: " + title);
}

void lf_onUserModel(SimLinkState& link, UserAircraftState& user, std::string model) {
    try {
        userModel(link, user, std::move(model));
    } catch (const UserErrorException&) {
        throw;
    } catch (...) {
        throw UserErrorException(kNoAircraftCode, "It looks like you have not selected an aircraft as user vehicle");
    }
}

void lf_onSimObjectDataByType(SimLinkState& link, UserAircraftState& user, const SimObjectDataReply& reply) {
    if (reply.requestId != reqAircraftInRange || reply.data.size() < kAircraftInRangeBlockSize) return;
    if (reply.objectId <= link.userObjectId.load()) return;
    const double aboveGround = readDouble(reply.data, 0);
    const double groundAltitude = readDouble(reply.data, 8);
    const std::int64_t onGround = readInt64(reply.data, 16);
    const std::string atcId = readText(reply.data.subspan(24, 32));
    if (!link.queues.takeNewObjectId(reply.objectId)) {
        if (aboveGround > kNotTooHighFt || atcId.empty() || atcId.ends_with('*')) return;
        link.hooks.queueSimObjectEvent({.objectId = reply.objectId,
                                        .hexId = onGround != 0 ? 1U : 0U,
                                        .kind = SimObjectEventKind::groundData,
                                        .value1 = groundAltitude,
                                        .value2 = aboveGround});
        return;
    }
    const auto pending = link.queues.takeCreationByCallsign(atcId);
    if (!pending || pending->hexId == 0) {
        logForeign(user, reply.objectId, atcId, aboveGround, onGround, groundAltitude);
        return;
    }
    releaseAndFreeze(link, reply.objectId);
    const bool live = pending->hexId > 10000;
    link.hooks.queueSimObjectEvent({.objectId = reply.objectId,
                                    .hexId = pending->hexId,
                                    .kind = live ? SimObjectEventKind::created : SimObjectEventKind::staticCreated,
                                    .value2 = live ? aboveGround : 0.0});
}

UserAircraftBlock gf_requestUserPosition(SimLinkState& link, RunState& run, const UserAircraftState& user) {
    if (!link.simQueuesPaused.load()) {
        sim::HResult hr = sim::kOk;
        const bool connected = link.withConnection([&](sim::SimConnection& connection) {
            hr = connection.requestDataOnSimObject(reqUserBlock, defUserBlock, 0, sim::Period::once);
        });
        if (connected && sim::failed(hr)) {
            gf_logAttention("SimConnect request user ac position fails");
            gf_onSimConnectRequestError(link, run);
        }
    }
    return user.block();
}

}  // namespace qvl

namespace qvl {
namespace {

// One request under the queue mutex; a failure is logged and ends the run.
template <class Call>
void request(SimLinkState& link, RunState& run, std::string_view failure, Call call) {
    sim::HResult hr = sim::kOk;
    const bool connected = link.withConnection([&](sim::SimConnection& connection) { hr = call(connection); });
    if (connected && sim::failed(hr)) {
        gf_logAttention(failure);
        gf_onSimConnectRequestError(link, run);
    }
}

}  // namespace

void gf_requestUserTitleModel(SimLinkState& link, RunState& run) {
    request(link, run, "SimConnect request user ac title fails", [](sim::SimConnection& c) {
        return c.requestDataOnSimObject(reqUserTitle, defUserTitle, 0, sim::Period::once);
    });
    request(link, run, "SimConnect reques user ac model fails", [](sim::SimConnection& c) {
        return c.requestDataOnSimObject(reqUserModel, defUserModel, 0, sim::Period::once);
    });
}

bool lf_requestUserAircraftData(SimLinkState& link, RunState& run, UserAircraftState& user,
                                const std::function<void(std::chrono::milliseconds)>& sleep) {
    using namespace std::chrono_literals;
    while (!link.simRunning.load() || link.simQueuesPaused.load()) {
        if (run.isClosing()) return false;
        sleep(100ms);
    }
    if (run.isClosing()) return false;
    request(link, run, "SimConnect request ac gnd/air fails", [](sim::SimConnection& c) {
        return c.requestDataOnSimObject(reqUserOnGround, defUserOnGround, 0, sim::Period::second);
    });
    for (;;) {
        // Asked every time: the on-ground state counts only once a position is there.
        const bool positionKnown = !gf_requestUserPosition(link, run, user).zeroPosition();
        if (positionKnown && user.onGround().has_value()) break;
        if (run.isClosing()) return false;
        sleep(500ms);
    }
    gf_requestUserTitleModel(link, run);
    return true;
}

}  // namespace qvl
