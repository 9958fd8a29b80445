// The walk of a BGL file's airport records. Every index is checked against
// the words before it is read, and every record against the size its layout
// needs, so that no bytes can make the walk read outside the file or run
// for ever.
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "airports/bgl/bgl_airports.h"
#include "platform/units.h"

namespace qvl {

namespace {

// Steps a walk may take before the file is taken to be corrupt.
constexpr std::uint32_t kMaxWalkSteps = 9000;

// The header's words, the section table's start and its entries, in words.
constexpr std::size_t kHeaderSizeWord = 1;
constexpr std::size_t kSectionCountWord = 5;
constexpr std::size_t kSectionTableWord = kBglHeaderSize / 4;
constexpr std::size_t kSectionEntryWords = 5;
constexpr std::uint32_t kNarrowSubsectionEntry = 16;
constexpr std::size_t kRecordsOffsetWord = 2;  // of a subsection entry

// Layouts, in bytes, up to the last field read.
constexpr std::uint32_t kAirportFixedBytes = 68;
constexpr std::uint32_t kHelipadBytes = 32;
constexpr std::uint32_t kParkingHeaderBytes = 8;
constexpr std::size_t kParkingEntryWords = 14;

// Raw coordinates: latitude 90 - raw * 180 / 2^29, longitude raw * 360 / (3 * 2^28) - 180.
constexpr double kLatitudePerUnit = 3.3527612686157227e-7;
constexpr double kLongitudePerUnit = 4.470348358154297e-7;
constexpr double kFeetPerMillimetre = 3.2808399 / 1000.0;
constexpr std::int32_t kLowestAltitude = -20;
constexpr std::int32_t kHighestAltitude = 10000;
constexpr double kNullIslandReach = 0.0001;
constexpr double kDoubleHelipadReach = 1e-8;
constexpr float kSmallestRadius = 1.0f;  // metres, exclusive
constexpr float kLargestRadius = 200.0f;
constexpr char kDuplicateSuffixes[] = "abcdefghij";

constexpr std::array<std::string_view, 12> kParkingNamePrefixes{"",   "r",   "p",  "np",  "ep", "sep",
                                                                "sp", "swp", "wp", "nwp", "g",  ""};
constexpr std::uint8_t kFirstLetterCode = 12;
constexpr std::uint8_t kLastLetterCode = 37;

struct RecordHeader {
    std::uint16_t id = 0;
    std::uint32_t size = 0;  // bytes
};

struct GeoPoint {
    double latitude = 0.0;
    double longitude = 0.0;
};

GeoPoint pointFrom(std::uint32_t rawLatitude, std::uint32_t rawLongitude) {
    return {.latitude = 90.0 - static_cast<double>(rawLatitude) * kLatitudePerUnit,
            .longitude = static_cast<double>(rawLongitude) * kLongitudePerUnit - 180.0};
}

bool isValidPosition(const GeoPoint& p) {
    if (p.latitude < -90.0 || p.latitude > 90.0 || p.longitude < -180.0 || p.longitude > 180.0) return false;
    return std::fabs(p.latitude) > kNullIslandReach || std::fabs(p.longitude) > kNullIslandReach;
}

std::string positionText(const GeoPoint& p) { return fmt::format("{:.6f},{:.6f}", p.latitude, p.longitude); }

std::string parkingNamePrefix(std::uint8_t nameCode) {
    if (nameCode < kParkingNamePrefixes.size()) return std::string(kParkingNamePrefixes[nameCode]);
    if (nameCode >= kFirstLetterCode && nameCode <= kLastLetterCode) {
        return std::string(1, static_cast<char>('A' + (nameCode - kFirstLetterCode)));
    }
    return {};
}

// Parking types the program places aircraft on (kept: 1 to 11, 14, 15).
bool isUsableParkingType(std::uint16_t type) { return type != 0 && type != 12 && type != 13; }

std::int32_t altitudeFeet(std::uint32_t rawMillimetres) {
    const auto feet = static_cast<std::int32_t>(
        std::lround(static_cast<double>(static_cast<std::int32_t>(rawMillimetres)) * kFeetPerMillimetre));
    return (feet < kLowestAltitude || feet > kHighestAltitude) ? 0 : feet;
}

// A stand as the reading finds it; the airport's Stands are made from these
// once their order is known, so that no Stand is ever moved by the sort.
struct FoundStand {
    std::string id;
    StandPlacement placement;
    double radiusMetres = 0.0;
    StandKind kind;
};

// The first eight bytes of an id as a number that orders as the bytes do
// (a shorter id padded with zero bytes); ids that share them are compared
// whole.
std::uint64_t idPrefixKey(const std::string& id) {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        key = (key << 8) | (i < id.size() ? static_cast<unsigned char>(id[i]) : 0U);
    }
    return key;
}

// The stands in byte order of their ids, each made in its place as Stand's
// constructor makes it, but without the room it keeps for neighbours: those
// are looked for only in the park airport's stands, and a scan reads
// hundreds of thousands of stands that never get any.
void placeSortedById(std::vector<FoundStand>& found, std::vector<Stand>& stands) {
    struct Key {
        std::uint64_t prefix;
        std::size_t index;
    };
    std::vector<Key> keys;
    keys.reserve(found.size());
    for (std::size_t i = 0; i < found.size(); ++i) keys.push_back({.prefix = idPrefixKey(found[i].id), .index = i});
    std::sort(keys.begin(), keys.end(), [&found](const Key& a, const Key& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        return found[a.index].id < found[b.index].id;
    });
    stands.reserve(stands.size() + found.size());
    for (const Key& key : keys) {
        FoundStand& from = found[key.index];
        Stand& stand = stands.emplace_back();
        stand.id = std::move(from.id);
        stand.latitude = from.placement.latitude;
        stand.longitude = from.placement.longitude;
        stand.heading = from.placement.heading;
        stand.radius = from.radiusMetres / kMetresPerNm;  // the constructor's conversion
        stand.type = from.kind.type;
        stand.cargo = from.kind.cargo;
        stand.ramp = from.kind.ramp;
        stand.heli = from.kind.heli;
    }
}

class BglWalk {
public:
    BglWalk(std::span<const std::uint32_t> words, const BglReadContext& context, BglAirports& out)
        : words_(words), context_(context), out_(out) {}

    void run() {
        const std::uint64_t count = words_.size();
        if (count <= kHeaderSizeWord || words_[kHeaderSizeWord] != kBglHeaderSize) return;
        if (count <= kSectionTableWord) return;
        const std::uint64_t sections = words_[kSectionCountWord];
        if (sections == 0 || kSectionTableWord + kSectionEntryWords * sections > count) return;
        for (std::uint64_t i = 0; i < sections; ++i) walkSection(kSectionTableWord + kSectionEntryWords * i);
        out_.linesAfter = std::move(pending_);
    }

private:
    void walkSection(std::uint64_t entry) {
        const std::uint32_t type = words_[entry];
        const std::uint32_t flags = words_[entry + 1];
        const std::uint32_t subsectionEntrySize = ((flags & 0x10000U) | 0x40000U) >> 14;
        if (type != kBglAirportSectionType || subsectionEntrySize != kNarrowSubsectionEntry) return;
        const std::uint64_t firstEntry = wordIndex(words_[entry + 3]);
        if (firstEntry + kRecordsOffsetWord >= words_.size()) return;
        const std::uint64_t records = wordIndex(words_[firstEntry + kRecordsOffsetWord]);
        if (records >= words_.size()) return;
        walkRecords(records);
    }

    // Byte offsets become word indices by integer division; one that does
    // not fall on a word is read from the word it falls in, and said so.
    std::uint64_t wordIndex(std::uint32_t byteOffset) {
        if (byteOffset % 4 != 0) {
            scanLog(pending_, fmt::format("Offset {} is not on a 4-byte boundary, read from byte {} in {}", byteOffset,
                                          byteOffset - byteOffset % 4, context_.bglPathText));
        }
        return byteOffset / 4;
    }

    std::optional<RecordHeader> headerAt(std::uint64_t index) const {
        if (index + 1 >= words_.size()) return std::nullopt;
        const std::uint32_t first = words_[index];
        return RecordHeader{.id = static_cast<std::uint16_t>(first & 0xFFFFU),
                            .size = (first >> 16) | ((words_[index + 1] & 0xFFFFU) << 16)};
    }

    // Runs on from the first subsection's records through whatever follows
    // them, up to the end of the file, a zero size or the step limit.
    void walkRecords(std::uint64_t index) {
        std::uint32_t steps = 0;
        while (index < words_.size()) {
            if (steps == kMaxWalkSteps) {
                logLine(pending_, BglLineKind::logAttention,
                        "Error: Maximum loop iterations reached (2) \u2014 possible corrupt BGL or malformed input.");
                return;
            }
            const std::optional<RecordHeader> header = headerAt(index);
            if (!header) return;
            if (header->id == static_cast<std::uint16_t>(BglRecordId::airport)) {
                if (header->size == 0) {
                    logLine(
                        pending_, BglLineKind::logAttention,
                        fmt::format("   Warning: decodeSizeAtBoundary returned {} at o2 = {}", header->size, index));
                    return;
                }
                readAirportRecord(index, header->size);
            }
            const std::uint64_t next = index + header->size / 4;
            if (next <= index) return;
            index = next;
            ++steps;
        }
    }

    void readAirportRecord(std::uint64_t index, std::uint32_t sizeBytes) {
        if (sizeBytes < kAirportFixedBytes) {
            scanLog(pending_,
                    fmt::format("Airport record at word {} of {} bytes is shorter than its layout (skipped) in {}",
                                index, sizeBytes, context_.bglPathText));
            return;
        }
        if (index + kAirportFixedBytes / 4 > words_.size()) {
            scanLog(pending_, fmt::format("Airport record at word {} runs past the end of the file (skipped) in {}",
                                          index, context_.bglPathText));
            return;
        }
        const std::optional<FixedCode4> code = supportedAirport(words_[index + 10]);
        if (!code) return;
        BglAirport airport;
        airport.linesBefore = std::move(pending_);
        pending_.clear();
        airport.record.icao = *code;
        airport.record.altitude = altitudeFeet(words_[index + 5]);
        AirportReading reading{.airport = airport};
        walkSubRecords(reading, index + kAirportFixedBytes / 4, index + sizeBytes / 4);
        airport.helipads = reading.helipadCounter - 1;
        placeSortedById(reading.found, airport.record.stands);
        out_.airports.push_back(std::move(airport));
    }

    // The code of an ident that names an airport of the list. A 4-character
    // ident that is not in the list says so in the scan log.
    std::optional<FixedCode4> supportedAirport(std::uint32_t rawIdent) {
        std::optional<std::string> text = decodeBglIdentText(rawIdent);
        if (!text || text->size() != 4) return std::nullopt;
        for (char& c : *text) {
            if (!foldCodeChar(c, c)) return std::nullopt;
        }
        const FixedCode4 code(*text);
        if (context_.isKnownAirport(code)) return code;
        scanLog(pending_, fmt::format("{} is not an airport supported by RealTraffic ", *text));
        return std::nullopt;
    }

    struct AirportReading {
        BglAirport& airport;
        std::vector<FoundStand> found{};
        std::unordered_set<std::string> ids{};
        std::vector<GeoPoint> helipadPositions{};
        std::int32_t helipadCounter = 1;
    };

    void walkSubRecords(AirportReading& reading, std::uint64_t index, std::uint64_t end) {
        std::vector<BglLine>& lines = reading.airport.standLines;
        std::uint32_t steps = 0;
        while (index < end) {
            if (steps == kMaxWalkSteps) {
                logLine(lines, BglLineKind::logAttention,
                        "Error: Maximum loop iterations reached (1) \u2014 possible corrupt SIA or malformed input");
                return;
            }
            const std::optional<RecordHeader> header = headerAt(index);
            if (!header) {
                logLine(lines, BglLineKind::logAndFlush,
                        fmt::format("   Error: o3={} exceeded data buffer size ({}), aborting.",
                                    std::min<std::uint64_t>(index, words_.size()), words_.size()));
                return;
            }
            const std::uint64_t step = header->size / 4;
            if (header->id == static_cast<std::uint16_t>(BglRecordId::taxiParking)) {
                lf_readParkingRecord(reading, index, header->size);
                return;
            }
            const bool helipad = header->id == static_cast<std::uint16_t>(BglRecordId::helipad);
            if (helipad) lf_readHelipadRecord(reading, index, header->size);
            if (step == 0) {
                logLine(lines, helipad ? BglLineKind::logAttention : BglLineKind::logAndFlush,
                        fmt::format("   Warning: decodeSizeAtBoundary returned {} at o3 = {}", header->size, index));
                return;
            }
            index += step;
            if (!helipad) ++steps;
        }
    }

    void lf_readHelipadRecord(AirportReading& reading, std::uint64_t index, std::uint32_t sizeBytes) {
        std::vector<BglLine>& lines = reading.airport.standLines;
        if (sizeBytes < kHelipadBytes || index + kHelipadBytes / 4 > words_.size()) {
            scanLog(lines,
                    fmt::format("Helipad record at word {} of {} bytes is shorter than its layout (skipped) in {}",
                                index, sizeBytes, context_.bglPathText));
            return;
        }
        const GeoPoint point = pointFrom(words_[index + 4], words_[index + 3]);
        if (!isValidPosition(point)) {
            scanLog(lines, "lat/lon helipad incorrect (skipped): " + positionText(point));
            return;
        }
        const double radiusMetres = static_cast<double>(std::bit_cast<float>(words_[index + 7])) * 0.5;
        if (!std::isfinite(radiusMetres) || radiusMetres <= 0.0) {
            scanLog(lines,
                    fmt::format("Skipped position with radius {:.1F} m in {}", radiusMetres, context_.bglPathText));
            return;
        }
        const bool seen =
            std::any_of(reading.helipadPositions.begin(), reading.helipadPositions.end(), [&](const GeoPoint& p) {
                return std::fabs(p.latitude - point.latitude) <= kDoubleHelipadReach &&
                       std::fabs(p.longitude - point.longitude) <= kDoubleHelipadReach;
            });
        if (seen) {
            scanLog(lines,
                    "double helipad " + reading.airport.record.airportName + " (skipped) " + positionText(point));
            return;
        }
        reading.helipadPositions.push_back(point);
        reading.found.push_back({.id = fmt::format("helipad{}", reading.helipadCounter),
                                 .placement = {.latitude = point.latitude, .longitude = point.longitude},
                                 .radiusMetres = radiusMetres,
                                 .kind = {.type = 0, .heli = true}});
        ++reading.helipadCounter;
    }

    // The entries of the list as far as they lie wholly inside the
    // sub-record (and the file): a count larger than that is not trusted.
    void lf_readParkingRecord(AirportReading& reading, std::uint64_t index, std::uint32_t sizeBytes) {
        std::vector<BglLine>& lines = reading.airport.standLines;
        if (sizeBytes < kParkingHeaderBytes || index + kParkingHeaderBytes / 4 > words_.size()) {
            scanLog(lines,
                    fmt::format("Parking record at word {} of {} bytes is shorter than its layout (skipped) in {}",
                                index, sizeBytes, context_.bglPathText));
            return;
        }
        const std::uint32_t count = words_[index + 1] >> 16;
        const std::uint64_t end = std::min<std::uint64_t>(index + sizeBytes / 4, words_.size());
        // Room for the entries that can lie in the sub-record, however large
        // a count it claims.
        const std::uint64_t room = std::min<std::uint64_t>(count, (end - index) / kParkingEntryWords);
        reading.found.reserve(reading.found.size() + room);
        reading.ids.reserve(reading.ids.size() + room);
        std::uint64_t entry = index + kParkingHeaderBytes / 4;
        for (std::uint32_t n = 0; n < count; ++n) {
            const std::uint64_t codes = entry < end ? (words_[entry] >> 24) : 0;
            if (entry + kParkingEntryWords + codes > end) {
                scanLog(lines, fmt::format("Parking list at word {} ends after {} of {} entries (rest skipped) in {}",
                                           index, n, count, context_.bglPathText));
                return;
            }
            readParkingEntry(reading, entry);
            entry += kParkingEntryWords + codes;
        }
    }

    void readParkingEntry(AirportReading& reading, std::uint64_t entry) {
        std::vector<BglLine>& lines = reading.airport.standLines;
        const std::uint32_t first = words_[entry];
        const float radius = std::bit_cast<float>(words_[entry + 1]);
        if (!(radius > kSmallestRadius && radius < kLargestRadius)) {
            scanLog(lines, fmt::format("Skipped position with radius {:.1F} m in {}", static_cast<double>(radius),
                                       context_.bglPathText));
            return;
        }
        const auto nameCode = static_cast<std::uint8_t>(first & 0x3FU);
        const auto number = static_cast<std::uint16_t>((first >> 12) & 0xFFFU);
        const std::string name = parkingNamePrefix(nameCode) + std::to_string(number);
        const auto type = static_cast<std::uint16_t>((first >> 8) & 0xFU);
        if (!isUsableParkingType(type)) return;
        const GeoPoint point = pointFrom(words_[entry + 8], words_[entry + 7]);
        if (!isValidPosition(point)) {
            scanLog(lines, fmt::format("LatLon {} invalid (skipped)", positionText(point)));
            return;
        }
        const float heading = std::bit_cast<float>(words_[entry + 2]);
        if (!std::isfinite(heading)) {
            scanLog(lines,
                    fmt::format("Skipped position with radius {:.1F} m and heading {:.1F} in {}",
                                static_cast<double>(radius), static_cast<double>(heading), context_.bglPathText));
            return;
        }
        std::optional<std::string> id = lf_makeUniqueIds(reading, name);
        if (!id) return;
        const double radians =
            heading == 0.0f ? 2.0 * std::numbers::pi : static_cast<double>(heading) * (std::numbers::pi / 180.0);
        reading.found.push_back(
            {.id = std::move(*id),
             .placement = {.latitude = point.latitude, .longitude = point.longitude, .heading = radians},
             .radiusMetres = static_cast<double>(radius),
             .kind = {.type = type}});
    }

    std::optional<std::string> lf_makeUniqueIds(AirportReading& reading, const std::string& name) {
        if (reading.ids.insert(name).second) return name;
        for (const char suffix : std::string_view(kDuplicateSuffixes)) {
            std::string id = name + suffix;
            if (reading.ids.insert(id).second) return id;
        }
        scanLog(reading.airport.standLines,
                fmt::format("===> Warning: more than 10 duplicate IDs {} in {}", name, context_.bglPathText));
        return std::nullopt;
    }

    static void scanLog(std::vector<BglLine>& lines, std::string text) {
        lines.push_back({.kind = BglLineKind::scanLog, .text = std::move(text)});
    }
    static void logLine(std::vector<BglLine>& lines, BglLineKind kind, std::string text) {
        lines.push_back({.kind = kind, .text = std::move(text)});
    }

    std::span<const std::uint32_t> words_;
    const BglReadContext& context_;
    BglAirports& out_;
    std::vector<BglLine> pending_;  // lines before the next airport
};

}  // namespace

std::optional<std::string> decodeBglIdentText(std::uint32_t raw) {
    constexpr std::uint32_t kBase = 38;
    constexpr std::size_t kLongestIdent = 10;
    std::string text;
    std::uint32_t value = raw >> 5;
    do {
        const std::uint32_t digit = value % kBase;
        value /= kBase;
        if (digit < 2) return std::nullopt;  // a blank or a '?'
        text += digit < 12 ? static_cast<char>('0' + (digit - 2)) : static_cast<char>('A' + (digit - 12));
        if (text.size() > kLongestIdent) return std::nullopt;
    } while (value != 0);
    std::reverse(text.begin(), text.end());
    return text;
}

BglAirports readBglAirports(std::span<const std::uint32_t> words, const BglReadContext& context) {
    BglAirports found;
    BglWalk(words, context, found).run();
    return found;
}

}  // namespace qvl
