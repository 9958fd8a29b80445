#include "feed/traffic_reader.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <utility>
#include <vector>

#include "core/fixed_code.h"
#include "core/log.h"
#include "core/settings.h"
#include "feed/traffic_line.h"
#include "refdata/code_table.h"

namespace qvl {
namespace {

// Field numbers of the traffic line.
constexpr std::size_t kHexIdField = 1;
constexpr std::size_t kLatitudeField = 2;
constexpr std::size_t kLongitudeField = 3;
constexpr std::size_t kAltitudeField = 4;
constexpr std::size_t kVerticalSpeedField = 5;
constexpr std::size_t kTrackField = 7;
constexpr std::size_t kGroundSpeedField = 8;
constexpr std::size_t kCallsignField = 9;
constexpr std::size_t kTypeField = 10;
constexpr std::size_t kRegistrationField = 11;
constexpr std::size_t kOriginField = 12;
constexpr std::size_t kDestinationField = 13;
constexpr std::size_t kTimestampField = 14;
constexpr std::size_t kSourceField = 17;
constexpr std::size_t kTrueAirspeedField = 20;
constexpr std::size_t kRollField = 23;
constexpr std::size_t kTrueHeadingField = 25;
constexpr std::size_t kCategoryField = 28;
constexpr std::size_t kFieldRoom = 64;

// What a step returns when the line goes on to the next step.
constexpr LineOutcome kGoOn = LineOutcome::queued;
// Static parked aircraft have hex ids up to here; the feed's never do.
constexpr std::uint32_t kMaxStaticHexId = 10000;

// A report time outside 2000-01-01 .. 2100-01-01 is no real report and must
// not move the traffic clock.
constexpr double kPlausibleTimeFrom = 946684800.0;
constexpr double kPlausibleTimeTo = 4102444800.0;

constexpr double kNearOriginDegrees = 0.0001;
constexpr double kParkAirportRadiusNm = 5.0;
constexpr double kGroundCheckCeilingFeet = 14000.0;
constexpr double kNoReferenceOffsetFeet = 1000.0;
constexpr double kTaxiSpeedKnots = 35.0;
constexpr double kAirborneOnlyMarginFeet = 150.0;

// Height (ft) and ground speed (kt) pairs below which an aircraft is on the ground.
struct GroundPair {
    double maxHeight;
    double maxSpeed;
};
constexpr GroundPair kGroundPairs[] = {
    {.maxHeight = 42.0, .maxSpeed = 120.0},
    {.maxHeight = 84.0, .maxSpeed = 80.0},
    {.maxHeight = 108.0, .maxSpeed = 43.0},
};

// True airspeed (kt) by altitude (ft) for lines that give none (-1).
struct TasRow {
    double maxAltitude;
    double trueAirspeed;
};
constexpr TasRow kTasTable[] = {
    {.maxAltitude = 2000.0, .trueAirspeed = 180.0},
    {.maxAltitude = 5000.0, .trueAirspeed = 220.0},
    {.maxAltitude = 10000.0, .trueAirspeed = 250.0},
    {.maxAltitude = 20000.0, .trueAirspeed = 350.0},
};
constexpr double kTasAbove = 430.0;

double tasForAltitude(double altitude) {
    for (const auto& row : kTasTable) {
        if (row.maxAltitude >= altitude) return row.trueAirspeed;
    }
    return kTasAbove;
}

// Other traffic tools export four-letter codes where the traffic client
// writes three; those read as none rather than losing the aircraft.
constexpr std::size_t kAirportCodeLength = 3;
constexpr std::size_t kMaxNotedCodeLength = 16;

bool isAirportCode(std::string_view text) noexcept {
    char folded = 0;
    return text.size() == kAirportCodeLength &&
           std::all_of(text.begin(), text.end(), [&folded](char c) { return foldCodeChar(c, folded); });
}

// The field names of the log texts, in the order of TrafficReader::Refusal
// up to its failure ("exception").
constexpr std::array<std::string_view, 13> kRefusalFieldNames{"timestamp", "lat", "lon",      "lalo",  "trueheading",
                                                              "hexid",     "gs",  "altitude", "track", "vs",
                                                              "roll",      "TAS", "exception"};

// In the order of TrafficReader::Refusal; the names of the log's count lines.
std::vector<std::string> refusalKindNames() {
    std::vector<std::string> names;
    names.reserve(kRefusalFieldNames.size() + 2);
    for (const std::string_view what : kRefusalFieldNames) {
        names.push_back(fmt::format("refused traffic lines ({})", what));
    }
    names.emplace_back("traffic lines with a callsign too long");
    names.emplace_back("traffic lines with an airport code read as none");
    return names;
}

bool isGroundPair(double height, double groundSpeed) {
    for (const auto& pair : kGroundPairs) {
        if (height <= pair.maxHeight && groundSpeed <= pair.maxSpeed) return true;
    }
    return false;
}

}  // namespace

TrafficReader::TrafficReader(TrafficQueue& queue, FeedState& feed, RunState& run, const CurrentParkAirportState& filter,
                             SteadyNow now)
    : UdpReader("Traffic Reader", feed, run, feed.trafficLamp, refusalKindNames(), std::move(now)),
      queue_(queue),
      filter_(filter) {
    fields_.reserve(kFieldRoom);
}

void TrafficReader::setOwnPosition(const GeoPosition& position) {
    std::lock_guard lock(ownPositionMutex_);
    ownPosition_ = position;
    ownPositionVersion_.fetch_add(1, std::memory_order_release);
}

GeoPosition TrafficReader::ownPosition() const {
    std::lock_guard lock(ownPositionMutex_);
    return ownPosition_;
}

const GeoPosition& TrafficReader::rangeCentre() {
    // One load per line; the lock only after the run thread moved the position.
    if (ownPositionVersion_.load(std::memory_order_acquire) != rangeCentreVersion_) {
        std::lock_guard lock(ownPositionMutex_);
        rangeCentre_ = ownPosition_;
        rangeCentreVersion_ = ownPositionVersion_.load(std::memory_order_relaxed);
    }
    return rangeCentre_;
}

void TrafficReader::startCallsignCollection() {
    std::lock_guard lock(callsignMutex_);
    collectedCallsigns_.clear();
    collectCallsigns_.store(true);
}

std::set<std::string> TrafficReader::takeCollectedCallsigns() {
    std::lock_guard lock(callsignMutex_);
    collectCallsigns_.store(false);
    return std::exchange(collectedCallsigns_, {});
}

void TrafficReader::clearCollectedCallsigns() {
    std::lock_guard lock(callsignMutex_);
    collectedCallsigns_.clear();
}

void TrafficReader::onData(std::string_view datagram) { onTrafficDatagram(datagram); }

// The Traffic Reader owns both lamps: the weather lamp follows it on and off.
void TrafficReader::onOpened() {
    feed_.trafficLamp.store(ReaderLamp::receiving);
    feed_.weatherLamp.store(ReaderLamp::receiving);
    feed_.repaint();
}

void TrafficReader::onStopped() {
    feed_.trafficLamp.store(ReaderLamp::stopped);
    feed_.repaint();
    gf_log("Traffic Reader has stopped");
}

void TrafficReader::onLeaving() {
    feed_.trafficLamp.store(ReaderLamp::stopped);
    feed_.weatherLamp.store(ReaderLamp::stopped);
    feed_.repaint();
}

void TrafficReader::splitFields(std::string_view datagram) {
    fields_.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = datagram.find(',', start);
        if (comma == std::string_view::npos) {
            fields_.push_back(datagram.substr(start));
            return;
        }
        fields_.push_back(datagram.substr(start, comma - start));
        start = comma + 1;
    }
}

LineOutcome TrafficReader::onTrafficDatagram(std::string_view datagram) {
    if (datagram.find(" VEH") != std::string_view::npos) return LineOutcome::vehicle;
    // processLineSub: a line that cannot be read is logged and dropped; the reader goes on.
    // The field texts after "exception in processLineSub: " are the program's own log
    // texts, odd blanks included ("track incorrect " and "hexid incorrect" without one).
    try {
        TrafficRecord record;
        const LineOutcome outcome = parseLine(datagram, record);
        if (isBadField(outcome)) {
            logRefusal(lineErrorKind_, [this] { return fmt::format("exception in processLineSub: {}", lineError_); });
        }
        if (outcome != LineOutcome::queued) return outcome;
        return queue_.push(std::move(record)) ? LineOutcome::queued : LineOutcome::notAccepting;
    } catch (const std::exception& e) {  // no memory, or the queue's lock failed
        logRefusal(Refusal::failure, [&e] { return fmt::format("exception in processLineSub: {}", e.what()); });
        return LineOutcome::error;
    }
}

// A bad field: the outcome, with its log text and kind kept for the caller.
LineOutcome TrafficReader::badField(LineOutcome outcome, Refusal refusal, std::string text) {
    lineError_ = std::move(text);
    lineErrorKind_ = refusal;
    return outcome;
}

LineOutcome TrafficReader::readNumber(std::size_t index, Refusal refusal, double& value) {
    if (readTrafficNumber(field(index), value)) return kGoOn;
    return badField(
        LineOutcome::badNumber, refusal,
        fmt::format("{}:{}", kRefusalFieldNames.at(static_cast<std::size_t>(refusal)), printable(field(index))));
}

LineOutcome TrafficReader::parseTailNumber(TrafficRecord& record) const {
    const std::string_view text = field(kRegistrationField);
    if (text == "null") {
        record.registration.clear();
        return kGoOn;
    }
    if (text.size() > kMaxRegistrationLength) return LineOutcome::longRegistration;
    if (hasControlCharacter(text)) return LineOutcome::controlCharacter;
    record.registration.assign(text);
    return kGoOn;
}

LineOutcome TrafficReader::parseAltitude(TrafficSample& sample, std::string_view datagram) {
    double altitude = 0.0;
    if (!readTrafficNumber(field(kAltitudeField), altitude)) {
        return badField(
            LineOutcome::badAltitude, Refusal::altitude,
            fmt::format("altitude {} incorrect, from: {}", printable(field(kAltitudeField)), printable(datagram)));
    }
    if (altitude > 0.0 && altitude < kGroundCheckCeilingFeet) {
        const std::optional<double> reference = filter_.referenceElevation();
        const double height = reference ? altitude - *reference : altitude + kNoReferenceOffsetFeet;
        if (height <= 0.0 || isGroundPair(std::fabs(height), sample.groundSpeed)) altitude = 0.0;
    }
    if (altitude > 0.0 && sample.groundSpeed <= kTaxiSpeedKnots) altitude = 0.0;
    if (altitude <= 0.0) altitude = 0.0;
    sample.altitude = altitude;
    if (!AIRBORNE_ONLY.value()) return kGoOn;
    const auto park = filter_.current();
    const double parkElevation = park ? static_cast<double>(park->elevationFeet) : 0.0;
    return altitude - parkElevation > kAirborneOnlyMarginFeet ? kGoOn : LineOutcome::altitudeRule;
}

LineOutcome TrafficReader::parseCallsign(TrafficRecord& record) {
    std::string_view text = field(kCallsignField);
    if (text == "null") text = {};
    if (text.find('@') != std::string_view::npos) {
        record.callsign.clear();
        return kGoOn;
    }
    if (text == "ERARMTR1" || text == "AIRPORT1" || text == "00000000") return LineOutcome::placeholderCallsign;
    if (hasControlCharacter(text)) return LineOutcome::controlCharacter;
    if (text.size() > kMaxCallsignBytes) {
        logRefusal(Refusal::longCallsign, [text] {
            return fmt::format("callsign of {} bytes dropped, the simulator takes {} at most: {}", text.size(),
                               kMaxCallsignBytes, text);
        });
        return LineOutcome::longCallsign;
    }
    record.callsign.assign(text);
    return kGoOn;
}

void TrafficReader::collectCallsign() {
    if (!collectCallsigns_.load(std::memory_order_relaxed)) return;
    const std::string_view text = field(kCallsignField);
    if (text.empty() || text == "null" || text.find('@') != std::string_view::npos) return;
    // A callsign the parser would refuse never flies, so it is never in use.
    if (text.size() > kMaxCallsignBytes || hasControlCharacter(text)) return;
    std::lock_guard lock(callsignMutex_);
    if (collectCallsigns_.load()) collectedCallsigns_.emplace(text);
}

std::optional<CodeId> TrafficReader::trafficModelId(std::string_view typeCode) {
    CodeTable& models = modelCodes();
    if (models.size() < CodeTable::kMaxCodes - CodeTable::kInternReserve) return models.intern(typeCode);
    // Nearly full: the rest is kept for the types the database knows, so that
    // made-up type codes from the network can never use up the table.
    std::optional<CodeId> known = models.find(typeCode);
    if (!known && models.loaded()) {
        if (const auto fixed = lf_modelFix(typeCode)) known = models.find(*fixed);
    }
    if (known) return known;
    if (!unknownModelLogged_.exchange(true)) {
        gf_log(
            fmt::format("model code table nearly full: unknown aircraft type {} and later unknown types are "
                        "dropped until restart",
                        printable(typeCode)));
    }
    return std::nullopt;
}

FixedCode3 TrafficReader::parseAirportCode(std::size_t index, std::uint32_t hexId) {
    const std::string_view text = field(index);
    if (text.empty() || text == "null") return {};
    if (isAirportCode(text)) return FixedCode3(text);
    // Every line of a flight repeats its codes: one note per flight is enough.
    if (airportCodeNoted_.contains(hexId)) return {};
    // A full set starts afresh, so the memory stays bounded; a flight may then be noted once more.
    if (airportCodeNoted_.size() >= kMaxAirportCodeNotes) airportCodeNoted_.clear();
    airportCodeNoted_.insert(hexId);
    logRefusal(Refusal::airportCode, [&] {
        return fmt::format("hexid {}: {} {} is no three-character code, read as none", hexId,
                           index == kOriginField ? "origin" : "destination",
                           printable(text.substr(0, kMaxNotedCodeLength)));
    });
    return {};
}

// The report time moves the traffic clock, also for lines dropped later.
LineOutcome TrafficReader::readTime(TrafficRecord& record) {
    double time = 0.0;
    if (!readTrafficNumber(field(kTimestampField), time) || time < kPlausibleTimeFrom || time >= kPlausibleTimeTo) {
        return badField(LineOutcome::badTimestamp, Refusal::timestamp,
                        fmt::format("timestamp:{}", printable(field(kTimestampField))));
    }
    feed_.time.trafficClock.store(time);
    record.time = time;
    return kGoOn;
}

LineOutcome TrafficReader::readPosition(TrafficSample& sample) {
    if (const LineOutcome o = readNumber(kLatitudeField, Refusal::latitude, sample.latitude); o != kGoOn) return o;
    if (const LineOutcome o = readNumber(kLongitudeField, Refusal::longitude, sample.longitude); o != kGoOn) return o;
    const bool nearOrigin =
        std::fabs(sample.latitude) <= kNearOriginDegrees && std::fabs(sample.longitude) <= kNearOriginDegrees;
    if (sample.latitude < -90.0 || sample.latitude > 90.0 || sample.longitude < -180.0 || sample.longitude > 180.0 ||
        nearOrigin) {
        return badField(LineOutcome::badPosition, Refusal::position,
                        fmt::format("invalid lalo: {}", gf_formatLatLon(sample.latitude, sample.longitude)));
    }
    if (gf_distanceNm(rangeCentre(), {sample.latitude, sample.longitude}) > rangeNm.load()) {
        return LineOutcome::outOfRange;
    }
    return kGoOn;
}

LineOutcome TrafficReader::readAircraft(TrafficRecord& record) {
    if (const LineOutcome o = parseTailNumber(record); o != kGoOn) return o;
    collectCallsign();
    if (!gf_isAircraft(field(kTypeField), field(kCategoryField))) return LineOutcome::notAircraft;
    record.sample.trueHeadingUsed = 0;
    record.sample.trueHeadingValid = 0;
    return kGoOn;
}

// Only the traffic client's own ADS-B source gives a true heading to trust.
LineOutcome TrafficReader::readTrueHeading(TrafficSample& sample) {
    if (field(kSourceField) != "adsb_icao") return kGoOn;
    double heading = 0.0;
    if (const LineOutcome o = readNumber(kTrueHeadingField, Refusal::trueHeading, heading); o != kGoOn) return o;
    if (heading > 360.0)
        return badField(LineOutcome::badTrueHeading, Refusal::trueHeading, fmt::format("trueheading: {:.2f}", heading));
    if (heading == 0.0) {
        sample.trueHeading = kTwoPi;
    } else if (heading > 0.0) {
        sample.trueHeading = heading * kDegToRad;
    }
    if (heading >= 0.0) {
        sample.trueHeadingValid = 1;
        sample.trueHeadingUsed = 1;
    }
    return kGoOn;
}

LineOutcome TrafficReader::readHexId(TrafficRecord& record) {
    if (!readUnsigned32(field(kHexIdField), record.hexId)) {
        return badField(LineOutcome::badHexId, Refusal::hexId,
                        fmt::format("hexid incorrect{}", printable(field(kHexIdField))));
    }
    return record.hexId <= kMaxStaticHexId ? LineOutcome::lowHexId : kGoOn;
}

// Ground speed and altitude decide whether the aircraft flies; a callsign or
// registration must name it; on the ground only the park airport keeps it.
LineOutcome TrafficReader::readFlightState(TrafficRecord& record, std::string_view datagram) {
    TrafficSample& sample = record.sample;
    if (const LineOutcome o = readNumber(kGroundSpeedField, Refusal::groundSpeed, sample.groundSpeed); o != kGoOn)
        return o;
    if (const LineOutcome o = parseAltitude(sample, datagram); o != kGoOn) return o;
    sample.airborne = sample.altitude > 0.0 ? 1 : 0;
    if (const LineOutcome o = parseCallsign(record); o != kGoOn) return o;
    if (record.callsign.empty() && record.registration.empty()) return LineOutcome::noIdentity;
    if (sample.airborne == 0) {
        const auto park = filter_.current();
        if (!park || gf_distanceNm(park->position, {sample.latitude, sample.longitude}) > kParkAirportRadiusNm) {
            return LineOutcome::groundAway;
        }
    }
    return kGoOn;
}

LineOutcome TrafficReader::readTrack(TrafficSample& sample) {
    const std::string_view trackText = field(kTrackField);
    sample.track = 0.0;
    if (!trackText.empty() && !readTrafficNumber(trackText, sample.track)) {
        return badField(LineOutcome::badTrack, Refusal::track, fmt::format("track incorrect {}", printable(trackText)));
    }
    if (sample.track == 0.0 && sample.trueHeadingValid != 0) sample.track = sample.trueHeading * kRadToDeg;
    return kGoOn;
}

// The roll is read only in the air; -1 and 0 mean none.
LineOutcome TrafficReader::readRoll(TrafficSample& sample) {
    sample.rollValid = 0;
    sample.roll = 0.0;
    if (sample.airborne == 0) return kGoOn;
    double roll = 0.0;
    if (const LineOutcome o = readNumber(kRollField, Refusal::roll, roll); o != kGoOn) return o;
    sample.roll = roll;
    if (roll != -1.0 && roll != 0.0) {
        sample.roll = -roll * kDegToRad;
        sample.rollValid = 1;
    }
    return kGoOn;
}

LineOutcome TrafficReader::readTrueAirspeed(TrafficSample& sample) {
    double tas = 0.0;
    if (!readTrafficNumber(field(kTrueAirspeedField), tas)) {
        return badField(LineOutcome::badTrueAirspeed, Refusal::trueAirspeed,
                        fmt::format("TAS incorrect{}", printable(field(kTrueAirspeedField))));
    }
    sample.trueAirspeed = tas == -1.0 ? tasForAltitude(sample.altitude) : tas;
    return kGoOn;
}

LineOutcome TrafficReader::readMotion(TrafficRecord& record) {
    TrafficSample& sample = record.sample;
    if (const LineOutcome o = readTrack(sample); o != kGoOn) return o;
    if (const LineOutcome o = readNumber(kVerticalSpeedField, Refusal::verticalSpeed, sample.verticalSpeed); o != kGoOn)
        return o;
    record.origin = parseAirportCode(kOriginField, record.hexId);
    record.destination = parseAirportCode(kDestinationField, record.hexId);
    if (const LineOutcome o = readRoll(sample); o != kGoOn) return o;
    return readTrueAirspeed(sample);
}

LineOutcome TrafficReader::finishRecord(TrafficRecord& record) {
    // Only a line that every other step kept may add its type to the model
    // table: lines that are dropped anyway must not fill it.
    const std::optional<CodeId> model = trafficModelId(field(kTypeField));
    if (!model) return LineOutcome::unknownModel;
    record.ids = packModelId(*model);
    record.sample.stationary = 0;
    // Unsigned, so a counter near its top wraps instead of overflowing.
    record.sample.dueTick =
        static_cast<std::uint32_t>(feed_.tickCounter.load()) + static_cast<std::uint32_t>(kTrafficDelayTicks);
    return LineOutcome::queued;
}

// The steps in the order of the line's rules: the first that does not go on decides.
LineOutcome TrafficReader::parseLine(std::string_view datagram, TrafficRecord& record) {
    splitFields(datagram);
    LineOutcome o = readTime(record);
    if (o == kGoOn) o = readPosition(record.sample);
    if (o == kGoOn) o = readAircraft(record);
    if (o == kGoOn) o = readTrueHeading(record.sample);
    if (o == kGoOn) o = readHexId(record);
    if (o == kGoOn) o = readFlightState(record, datagram);
    if (o == kGoOn) o = readMotion(record);
    if (o == kGoOn) o = finishRecord(record);
    return o;
}

}  // namespace qvl
