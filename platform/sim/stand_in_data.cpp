// The stand-in's replies: message records, and the data blocks of the
// client's data definitions read from and written to the world's objects.
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

#include "platform/sim/stand_in_world.h"

namespace qvl::sim {
namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

enum class Datum {
    latitude,
    longitude,
    pitch,
    bank,
    heading,
    altitude,
    altitudeAboveGround,
    groundAltitude,
    groundVelocity,
    verticalSpeed,
    airspeedTrue,
    onGround,
    lightStates,
    zuluTime,
    zuluDayOfYear,
    zuluYear,
    staticCgToGround,
    staticPitch,
    title,
    atcId,
    atcModel,
    stored,  // kept per object as set, 0 until set
};

const std::map<std::string, Datum, std::less<>>& datumTable() {
    static const std::map<std::string, Datum, std::less<>> table{
        {"PLANE LATITUDE", Datum::latitude},
        {"PLANE LONGITUDE", Datum::longitude},
        {"PLANE PITCH DEGREES", Datum::pitch},
        {"PLANE BANK DEGREES", Datum::bank},
        {"PLANE HEADING DEGREES TRUE", Datum::heading},
        {"PLANE ALTITUDE", Datum::altitude},
        {"PLANE ALT ABOVE GROUND", Datum::altitudeAboveGround},
        {"GROUND ALTITUDE", Datum::groundAltitude},
        {"GROUND VELOCITY", Datum::groundVelocity},
        {"VERTICAL SPEED", Datum::verticalSpeed},
        {"AIRSPEED TRUE", Datum::airspeedTrue},
        {"SIM ON GROUND", Datum::onGround},
        {"LIGHT STATES", Datum::lightStates},
        {"LIGHT ON STATES", Datum::lightStates},
        {"ZULU TIME", Datum::zuluTime},
        {"ZULU DAY OF YEAR", Datum::zuluDayOfYear},
        {"ZULU YEAR", Datum::zuluYear},
        {"STATIC CG TO GROUND", Datum::staticCgToGround},
        {"STATIC PITCH", Datum::staticPitch},
        {"TITLE", Datum::title},
        {"ATC ID", Datum::atcId},
        {"ATC MODEL", Datum::atcModel},
        {"SPOILERS HANDLE POSITION", Datum::stored},
        {"GENERAL ENG THROTTLE LEVER POSITION:1", Datum::stored},
        {"GENERAL ENG THROTTLE LEVER POSITION:2", Datum::stored},
    };
    return table;
}

Datum datumOf(std::string_view upperName) {
    const auto& table = datumTable();
    const auto it = table.find(upperName);
    return it == table.end() ? Datum::stored : it->second;
}

bool inDegrees(std::string_view unit) { return unit.find("degree") != std::string_view::npos; }
bool inRadians(std::string_view unit) { return unit.find("radian") != std::string_view::npos; }

// Positions are kept in degrees, attitudes in radians; the member's unit
// decides what the client sees.
double angleOut(double radians, std::string_view unit) {
    return inDegrees(unit) ? radians * kDegreesPerRadian : radians;
}
double angleIn(double value, std::string_view unit) { return inDegrees(unit) ? value / kDegreesPerRadian : value; }
double positionOut(double degrees, std::string_view unit) {
    return inRadians(unit) ? degrees / kDegreesPerRadian : degrees;
}
double positionIn(double value, std::string_view unit) { return inRadians(unit) ? value * kDegreesPerRadian : value; }

bool isText(Datum datum) { return datum == Datum::title || datum == Datum::atcId || datum == Datum::atcModel; }

std::string textOf(const ObjectState& object, Datum datum) {
    switch (datum) {
        case Datum::title: return object.title;
        case Datum::atcId: return object.atcId;
        case Datum::atcModel: return object.atcModel;
        default: return {};
    }
}

Datum datumOf(const DataMember& member) { return static_cast<Datum>(member.datum); }

double numberOf(const World& world, const ObjectState& object, const DataMember& member) {
    const StandInConfig& c = world.config;
    switch (datumOf(member)) {
        case Datum::latitude: return positionOut(object.latitude, member.unit);
        case Datum::longitude: return positionOut(object.longitude, member.unit);
        case Datum::pitch: return angleOut(object.pitchRad, member.unit);
        case Datum::bank: return angleOut(object.bankRad, member.unit);
        case Datum::heading: return angleOut(object.headingRad, member.unit);
        case Datum::altitude: return object.altitudeFt;
        case Datum::altitudeAboveGround: return object.altitudeFt - c.groundElevationFt;
        case Datum::groundAltitude: return c.groundElevationFt;
        case Datum::groundVelocity: return object.groundSpeedKt;
        case Datum::verticalSpeed: return object.verticalSpeedFps;
        case Datum::airspeedTrue: return object.airspeedKt;
        case Datum::onGround: return object.onGround ? 1.0 : 0.0;
        case Datum::lightStates: return static_cast<double>(object.lights);
        case Datum::zuluTime: return std::floor(c.zuluSeconds);
        case Datum::zuluDayOfYear: return static_cast<double>(c.zuluDayOfYear);
        case Datum::zuluYear: return static_cast<double>(c.zuluYear);
        case Datum::staticCgToGround: return c.staticCgToGroundFt;
        case Datum::staticPitch: return angleOut(c.staticPitchRad, member.unit);
        case Datum::title:
        case Datum::atcId:
        case Datum::atcModel: return 0.0;
        case Datum::stored: {
            const auto it = object.values.find(member.name);
            return it == object.values.end() ? 0.0 : it->second;
        }
    }
    return 0.0;
}

void storeNumber(ObjectState& object, const DataMember& member, double value) {
    switch (datumOf(member)) {
        case Datum::latitude: object.latitude = positionIn(value, member.unit); break;
        case Datum::longitude: object.longitude = positionIn(value, member.unit); break;
        case Datum::pitch: object.pitchRad = angleIn(value, member.unit); break;
        case Datum::bank: object.bankRad = angleIn(value, member.unit); break;
        case Datum::heading: object.headingRad = angleIn(value, member.unit); break;
        case Datum::altitude: object.altitudeFt = value; break;
        case Datum::groundVelocity: object.groundSpeedKt = value; break;
        case Datum::verticalSpeed: object.verticalSpeedFps = value; break;
        case Datum::airspeedTrue: object.airspeedKt = value; break;
        case Datum::onGround: object.onGround = value != 0.0; break;
        case Datum::lightStates: object.lights = static_cast<std::uint64_t>(value); break;
        default: object.values[member.name] = value; break;
    }
}

std::size_t memberSize(DataType type) {
    switch (type) {
        case DataType::int64:
        case DataType::float64: return 8;
        case DataType::string32: return 32;
        case DataType::stringV: return 0;
    }
    return 0;
}

}  // namespace

std::string upperCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string lowerCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool sameIcao(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
    });
}

void appendBytes(Message& message, const void* bytes, std::size_t count) {
    const auto* first = static_cast<const std::byte*>(bytes);
    message.insert(message.end(), first, first + count);
}

void sealMessage(Message& message) {
    const auto size = static_cast<std::uint32_t>(message.size());
    std::memcpy(message.data(), &size, sizeof size);
}

Message exceptionMessage(std::uint32_t code, std::uint32_t sendId, std::uint32_t index) {
    RecvException record{};
    record.exception = code;
    record.sendId = sendId;
    record.index = index;
    return recordMessage(record, recvException);
}

Message eventMessage(ClientEventId event, std::uint32_t data) {
    RecvEvent record{};
    record.groupId = kUnusedId;
    record.eventId = event;
    record.data = data;
    return recordMessage(record, recvEvent);
}

Message objectEventMessage(ClientEventId event, ObjectId object) {
    RecvEventObjectAddRemove record{};
    record.event.groupId = kUnusedId;
    record.event.eventId = event;
    record.event.data = object;
    record.objectType = kObjectTypeAircraft;
    return recordMessage(record, recvEventObjectAddRemove);
}

bool knownDatum(std::string_view upperName) { return datumTable().find(upperName) != datumTable().end(); }

int datumIndex(std::string_view upperName) { return static_cast<int>(datumOf(upperName)); }

std::size_t fixedBlockSize(const std::vector<DataMember>& members) {
    std::size_t size = 0;
    for (const DataMember& member : members) {
        const std::size_t one = memberSize(member.type);
        if (one == 0) return 0;
        size += one;
    }
    return size;
}

bool appendDataBlock(Message& message, const World& world, const ObjectState& object,
                     const std::vector<DataMember>& members) {
    const bool terminate = !world.config.unterminatedStrings;
    for (const DataMember& member : members) {
        const Datum datum = datumOf(member);
        switch (member.type) {
            case DataType::int64: {
                const auto value = static_cast<std::int64_t>(numberOf(world, object, member));
                appendBytes(message, &value, sizeof value);
                break;
            }
            case DataType::float64: {
                const double value = numberOf(world, object, member);
                appendBytes(message, &value, sizeof value);
                break;
            }
            case DataType::string32: {
                char field[32];
                const std::string text =
                    isText(datum) ? textOf(object, datum) : fmt::format("{}", numberOf(world, object, member));
                writeFixedText(field, sizeof field, text, terminate);
                appendBytes(message, field, sizeof field);
                break;
            }
            case DataType::stringV: {
                const std::string text = textOf(object, datum);
                appendBytes(message, text.data(), text.size());
                if (terminate) message.push_back(std::byte{0});
                break;
            }
            default: return false;
        }
    }
    return true;
}

bool applyDataBlock(ObjectState& object, const std::vector<DataMember>& members, const std::byte* data,
                    std::size_t size) {
    if (size != fixedBlockSize(members) || size == 0) return false;
    std::size_t offset = 0;
    for (const DataMember& member : members) {
        if (member.type == DataType::int64) {
            std::int64_t value = 0;
            std::memcpy(&value, data + offset, sizeof value);
            storeNumber(object, member, static_cast<double>(value));
        } else if (member.type == DataType::float64) {
            double value = 0.0;
            std::memcpy(&value, data + offset, sizeof value);
            storeNumber(object, member, value);
        } else if (datumOf(member) == Datum::atcId) {
            object.atcId = fixedText(std::span(data + offset, 32));
        }
        offset += memberSize(member.type);
    }
    return true;
}

}  // namespace qvl::sim
