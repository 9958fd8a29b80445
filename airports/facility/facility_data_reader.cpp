#include "airports/facility/facility_data_reader.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <span>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <utility>

#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "platform/units.h"

namespace qvl {
namespace {

constexpr double kFeetPerMetre = 3.2808399;
// Large airports come in whole without growing the list.
constexpr std::size_t kStandRoom = 512;

// The definition's fields, in the order of the items' layouts below.
constexpr std::array<std::string_view, 30> kDefinitionFields{"OPEN AIRPORT",
                                                             "LATITUDE",
                                                             "LONGITUDE",
                                                             "ALTITUDE",
                                                             "NAME",
                                                             "N_HELIPADS",
                                                             "N_TAXI_PARKINGS",
                                                             "OPEN TAXI_PARKING",
                                                             "TYPE",
                                                             "TAXI_POINT_TYPE",
                                                             "NAME",
                                                             "SUFFIX",
                                                             "NUMBER",
                                                             "ORIENTATION",
                                                             "HEADING",
                                                             "RADIUS",
                                                             "BIAS_X",
                                                             "BIAS_Z",
                                                             "CLOSE TAXI_PARKING",
                                                             "OPEN HELIPAD",
                                                             "LATITUDE",
                                                             "LONGITUDE",
                                                             "ALTITUDE",
                                                             "HEADING",
                                                             "LENGTH",
                                                             "WIDTH",
                                                             "SURFACE",
                                                             "TYPE",
                                                             "CLOSE HELIPAD",
                                                             "CLOSE AIRPORT"};

// Field offsets within each item's data.
namespace airport {
constexpr std::size_t latitude = 0, longitude = 8, altitude = 16, name = 24, nameSize = 32;
}
namespace parking {
constexpr std::size_t type = 0, number = 16, heading = 24, radius = 28, biasX = 32, biasZ = 36;
}
namespace helipad {
constexpr std::size_t latitude = 0, longitude = 8, heading = 24, width = 32, type = 40;
}

// Fuel boxes and vehicle parkings hold no aircraft.
constexpr std::uint16_t kParkingFuel = 12;
constexpr std::uint16_t kParkingVehicles = 13;
// A helipad of this type is drawn larger than its width's half.
constexpr std::int32_t kHelipadSquare = 2;

template <class T>
T fieldAt(std::span<const std::byte> data, std::size_t offset) {
    T value;
    std::memcpy(&value, data.data() + offset, sizeof value);
    return value;
}

void logAttentionQuietly(const std::string& line) noexcept {
    try {
        gf_logAttention(line);
    } catch (...) {  // NOLINT(bugprone-empty-catch): a log line must not end the dispatch
    }
}

// A note for both logs: the scan log through the context, Log.txt at once.
void report(FacilityDispatchContext& context, std::string line) {
    gf_logAttention(line);
    context.scanLogLines.push_back(std::move(line));
}

const char* itemName(std::uint32_t type) {
    switch (type) {
        case sim::facilityAirport: return "airport";
        case sim::facilityTaxiParking: return "taxi parking";
        case sim::facilityHelipad: return "helipad";
        default: return "other";
    }
}

std::size_t layoutBytes(std::uint32_t type) {
    switch (type) {
        case sim::facilityAirport: return kFacilityAirportBytes;
        case sim::facilityTaxiParking: return kFacilityTaxiParkingBytes;
        case sim::facilityHelipad: return kFacilityHelipadBytes;
        default: return 0;
    }
}

// A stand goes into a file only with a real place, heading and size.
bool keepStand(FacilityDispatchContext& context, const StandPlacement& at, double headingDeg, double radiusMetres) {
    if (std::isfinite(at.latitude) && std::isfinite(at.longitude) && std::isfinite(headingDeg) &&
        std::isfinite(radiusMetres) && radiusMetres > 0.0) {
        return true;
    }
    context.scanLogLines.push_back(fmt::format("Skipped position with radius {} m, heading {} at {} {} of {}",
                                               radiusMetres, headingDeg, at.latitude, at.longitude,
                                               context.request->icao));
    return false;
}

void onAirport(FacilityRequest& request, std::span<const std::byte> data) {
    request.latitude = fieldAt<double>(data, airport::latitude);
    request.longitude = fieldAt<double>(data, airport::longitude);
    request.altitudeFt = fieldAt<double>(data, airport::altitude) * kFeetPerMetre;
    request.name = sim::fixedText(data.subspan(airport::name, airport::nameSize));
}

void onHelipad(FacilityDispatchContext& context, std::span<const std::byte> data) {
    const StandPlacement at{.latitude = fieldAt<double>(data, helipad::latitude),
                            .longitude = fieldAt<double>(data, helipad::longitude),
                            .heading = fieldAt<float>(data, helipad::heading) * kDegToRad};
    const float width = fieldAt<float>(data, helipad::width);
    // Single precision, as the simulator's own size of the pad.
    const float radius = fieldAt<std::int32_t>(data, helipad::type) == kHelipadSquare ? 0.7f * width : 0.5f * width;
    if (!keepStand(context, at, fieldAt<float>(data, helipad::heading), radius)) return;
    lf_emplaceStand(context.request->stands, Stand({}, {}, at, radius, {.type = 0, .heli = true}));
}

void onTaxiParking(FacilityDispatchContext& context, std::span<const std::byte> data) {
    const FacilityRequest& request = *context.request;
    GeoPosition at{.latitude = request.latitude, .longitude = request.longitude};
    const float biasX = fieldAt<float>(data, parking::biasX);
    const float biasZ = fieldAt<float>(data, parking::biasZ);
    if (biasX != 0.0f)
        at = gf_destinationPoint(at, biasX > 0.0f ? kPi / 2 : 3 * kPi / 2, std::fabs(biasX) * kFeetPerMetre);
    if (biasZ != 0.0f) at = gf_destinationPoint(at, biasZ > 0.0f ? 0.0 : kPi, std::fabs(biasZ) * kFeetPerMetre);
    const auto type = static_cast<std::uint16_t>(fieldAt<std::int32_t>(data, parking::type) & 0xFFFF);
    if (type == kParkingFuel || type == kParkingVehicles) return;
    const float headingDeg = fieldAt<float>(data, parking::heading);
    const StandPlacement placement{
        .latitude = at.latitude, .longitude = at.longitude, .heading = headingDeg * kDegToRad};
    const float radius = fieldAt<float>(data, parking::radius);
    if (!keepStand(context, placement, headingDeg, radius)) return;
    Stand& stand = lf_emplaceStand(context.request->stands, Stand({}, {}, placement, radius, {.type = type}));
    stand.number = fieldAt<std::uint32_t>(data, parking::number);
}

void onRecvFacilityData(FacilityDispatchContext& context, const sim::RecvHeader* message, std::uint32_t size) {
    const auto item = sim::readRecord<sim::RecvFacilityData>(message, size);
    if (!item) {
        report(context, fmt::format("Facility item of {} bytes for {} is shorter than its record: skipped",
                                    std::min<std::uint32_t>(size, message->size), context.request->icao));
        return;
    }
    if (item->userRequestId != kParkingFacilityRequest) return;
    ++context.items;
    const std::size_t needed = layoutBytes(item->type);
    if (needed == 0) return;
    const auto data = sim::trailingBytes(message, size, sizeof(sim::RecvFacilityData));
    if (data.size() < needed) {
        report(context, fmt::format("Facility {} item for {} holds {} bytes, its layout {}: skipped",
                                    itemName(item->type), context.request->icao, data.size(), needed));
        return;
    }
    switch (item->type) {
        case sim::facilityAirport: onAirport(*context.request, data); break;
        case sim::facilityHelipad: onHelipad(context, data); break;
        case sim::facilityTaxiParking: onTaxiParking(context, data); break;
        default: break;
    }
}

void onException(FacilityDispatchContext& context, const sim::RecvHeader* message, std::uint32_t size) {
    if (context.exception) return;  // the first one tells why
    // A reply too short for its fields still says that the simulator refused.
    context.exception = sim::readRecord<sim::RecvException>(message, size).value_or(sim::RecvException{});
}

void onEnd(FacilityDispatchContext& context, const sim::RecvHeader* message, std::uint32_t size) {
    const auto end = sim::readRecord<sim::RecvFacilityDataEnd>(message, size);
    if (end && end->requestId == kParkingFacilityRequest) context.done = true;
}

// Feet cut toward zero; a value no 32-bit number holds gives 0 rather than
// an undefined conversion.
std::int32_t wholeFeet(double feet) {
    if (!std::isfinite(feet) || feet >= 2147483648.0 || feet <= -2147483649.0) return 0;
    return static_cast<std::int32_t>(feet);
}

std::string secondsText(std::chrono::milliseconds ms) {
    return fmt::format("{}", static_cast<double>(ms.count()) / 1000.0);
}

}  // namespace

void lf_facilityDispatch(const sim::RecvHeader* message, std::uint32_t size, void* context) noexcept {
    auto* facility = static_cast<FacilityDispatchContext*>(context);
    if (facility == nullptr || facility->request == nullptr || message == nullptr) return;
    try {
        const auto header = sim::readRecord<sim::RecvHeader>(message, size);
        if (!header) return;
        switch (header->id) {
            case sim::recvException: onException(*facility, message, size); break;
            case sim::recvQuit: facility->quit = true; break;
            case sim::recvFacilityData: onRecvFacilityData(*facility, message, size); break;
            case sim::recvFacilityDataEnd: onEnd(*facility, message, size); break;
            default: break;
        }
    } catch (const std::exception& e) {
        logAttentionQuietly(fmt::format("{} exception: {}", "onRecvFacilityData", e.what()));
    } catch (...) {
        logAttentionQuietly("onRecvFacilityData exception: unknown");
    }
}

std::string bijectiveBase26(std::uint64_t k) {
    std::string digits;
    while (k > 0) {
        --k;
        digits.push_back(static_cast<char>('a' + k % 26));
        k /= 26;
    }
    std::reverse(digits.begin(), digits.end());
    return digits;
}

void lf_nameFacilityStands(FacilityRequest& request, std::int32_t& helipads) {
    std::int32_t pads = 0;
    for (Stand& stand : request.stands) {
        if (stand.heli) stand.id = fmt::format("helipad{}", ++pads);
    }
    helipads = pads;
    std::unordered_map<std::uint32_t, std::uint64_t> repeats;
    repeats.reserve(request.stands.size());
    for (Stand& stand : request.stands) {
        if (stand.heli) continue;
        std::uint64_t& seen = repeats[stand.number];
        stand.id =
            seen == 0 ? fmt::format("{}", stand.number) : fmt::format("{}{}", stand.number, bijectiveBase26(seen));
        ++seen;
    }
}

FacilityDataReader::FacilityDataReader(sim::SimLibrary& simulator, const RunState& run, FacilityReaderTiming timing)
    : simulator_(simulator), run_(run), timing_(std::move(timing)) {
    if (!timing_.clock) timing_.clock = std::make_shared<sim::SteadySimClock>();
    if (!timing_.sleep) timing_.sleep = [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); };
}

FacilityDataReader::~FacilityDataReader() {
    try {
        close();
    } catch (...) {  // NOLINT(bugprone-empty-catch): the connection is forgotten all the same
        connection_ = nullptr;
    }
}

void FacilityDataReader::close() {
    if (connection_ == nullptr) return;
    sim::SimConnection* closing = std::exchange(connection_, nullptr);
    if (sim::succeeded(closing->close())) {
        gf_log("SimConnect closed ok");
    } else {
        gf_logAttention("Closing SimConnect failed?!");
    }
    gf_log(fmt::format("SimConnect ({}) closed", kFacilityConnectionName));
}

bool FacilityDataReader::open(FacilityReadResult& result) {
    if (connection_ != nullptr) return true;
    sim::SimConnection* opened = nullptr;
    const sim::HResult hr = simulator_.open(&opened, kFacilityConnectionName, 0);
    if (sim::failed(hr) || opened == nullptr) {
        gf_logAttention(fmt::format("SimConnect_Open ({}) FAILED hr=0x{:08X}", kFacilityConnectionName,
                                    static_cast<std::uint32_t>(hr)));
        return false;
    }
    connection_ = opened;
    if (!lf_defineParkingFacility()) {
        const std::string line = "The parking facility definition was refused";
        gf_logAttention(line);
        result.scanLogLines.push_back(line);
        close();
        return false;
    }
    return true;
}

// Items are read by these fields' places: a definition with a field missing
// would shift every later one.
bool FacilityDataReader::lf_defineParkingFacility() {
    return std::all_of(kDefinitionFields.begin(), kDefinitionFields.end(), [this](std::string_view field) {
        return sim::succeeded(connection_->addToFacilityDefinition(kParkingFacilityDefinition, field));
    });
}

std::optional<FacilityReadOutcome> FacilityDataReader::waitForData(FacilityDispatchContext& context) {
    const std::string& icao = context.request->icao;
    auto lastItemAt = timing_.clock->now();
    std::uint64_t itemsSeen = context.items;
    for (;;) {
        if (run_.isClosing()) {
            close();
            return FacilityReadOutcome::closing;
        }
        if (sim::failed(connection_->callDispatch(lf_facilityDispatch, &context))) {
            report(context, fmt::format("The facility data connection broke while reading {}", icao));
            close();
            return FacilityReadOutcome::requestFailed;
        }
        if (context.exception) return FacilityReadOutcome::rejected;
        if (context.quit) {
            report(context, fmt::format("The simulator quit while sending the facility data of {}", icao));
            close();
            return FacilityReadOutcome::simulatorQuit;
        }
        if (context.done) return std::nullopt;
        const auto now = timing_.clock->now();
        if (context.items != itemsSeen) {
            itemsSeen = context.items;
            lastItemAt = now;
        } else if (now - lastItemAt >= timing_.quietLimit) {
            report(context,
                   fmt::format("No facility data for {} within {} seconds", icao, secondsText(timing_.quietLimit)));
            // A late answer must not reach the next airport's request.
            close();
            return FacilityReadOutcome::timedOut;
        }
        timing_.sleep(timing_.poll);
    }
}

FacilityReadResult FacilityDataReader::gf_readFacilityParking(std::string_view icao, ApfRecord& record,
                                                              std::int32_t& helipads) {
    FacilityReadResult result;
    FixedCode4 code;
    try {
        code = FixedCode4(icao);
    } catch (const std::invalid_argument&) {
        result.outcome = FacilityReadOutcome::rejected;
        result.scanLogLines.push_back(fmt::format("'{}' is no airport code, no facility data asked for", icao));
        return result;
    }
    if (run_.isClosing()) {
        result.outcome = FacilityReadOutcome::closing;
        return result;
    }
    if (!open(result)) {
        result.outcome = FacilityReadOutcome::connectFailed;
        return result;
    }
    FacilityRequest request{.icao = std::string(code.view())};
    request.stands.reserve(kStandRoom);
    if (sim::failed(
            connection_->requestFacilityData(kParkingFacilityDefinition, kParkingFacilityRequest, request.icao, ""))) {
        gf_logAttention(fmt::format("RequestFacilityData failed for {}", request.icao));
        result.outcome = FacilityReadOutcome::requestFailed;
        return result;
    }
    FacilityDispatchContext context{.request = &request};
    const auto broken = waitForData(context);
    result.scanLogLines = std::move(context.scanLogLines);
    if (broken == FacilityReadOutcome::rejected) {
        const sim::RecvException& e = *context.exception;
        const std::string line =
            fmt::format("SimConnect EXCEPTION id={} sendID={} index={}", e.exception, e.sendId, e.index);
        gf_logAttention(line);
        result.scanLogLines.push_back(fmt::format("{} for {}, no file", line, request.icao));
    }
    if (broken) {
        result.outcome = *broken;
        return result;
    }
    std::int32_t pads = 0;
    lf_nameFacilityStands(request, pads);
    record.icao = code;
    record.airportName = std::move(request.name);
    record.altitude = wholeFeet(request.altitudeFt);
    record.filled = true;
    record.stands = std::move(request.stands);
    helipads = pads;
    if (record.stands.empty()) {
        result.outcome = FacilityReadOutcome::noStands;
        result.scanLogLines.push_back(
            fmt::format("No stand and no helipad in the facility data of {}, no file", request.icao));
    } else {
        result.outcome = FacilityReadOutcome::standsRead;
    }
    return result;
}

}  // namespace qvl
