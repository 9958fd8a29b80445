#include "tools/bgl_writer/bgl_writer.h"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace qvl::bgl_writer {

namespace {

constexpr std::size_t kHeaderBytes = 56;
constexpr std::size_t kSectionEntryBytes = 20;
constexpr std::uint32_t kWideEntriesFlag = 0x10000;
constexpr std::size_t kOtherRecordBytes = 16;
constexpr std::uint16_t kOtherRecordId = 0x0003;
constexpr std::uint16_t kAirportId = 0x0056;
constexpr std::uint16_t kHelipadId = 0x0026;
constexpr std::uint16_t kParkingListId = 0x00E7;
constexpr std::uint16_t kRunwayId = 0x0004;
constexpr std::size_t kAirportFixedBytes = 68;
constexpr std::size_t kRunwayBytes = 52;
constexpr std::size_t kHelipadBytes = 36;
constexpr std::size_t kParkingHeaderBytes = 8;
constexpr std::size_t kParkingEntryBytes = 56;
constexpr double kLatitudeUnits = 536870912.0 / 180.0;   // 2^29 per 180 degrees
constexpr double kLongitudeUnits = 805306368.0 / 360.0;  // 3 * 2^28 per 360 degrees

std::uint32_t toRaw(double value) {
    const double rounded = std::round(value);
    if (!(rounded >= 0.0)) return 0;
    if (rounded >= 4294967295.0) return 0xFFFFFFFFU;
    return static_cast<std::uint32_t>(rounded);
}

void append(std::vector<std::uint8_t>& out, std::size_t count) { out.resize(out.size() + count, 0); }

void putRecordHeader(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t id, std::size_t size) {
    putU16(bytes, at, id);
    putU32(bytes, at + 2, static_cast<std::uint32_t>(size));
}

struct Offsets {
    std::vector<std::size_t> airports, helipads, parkings;
};

void writeAirport(const AirportSpec& airport, std::vector<std::uint8_t>& out, Offsets& offsets) {
    const std::size_t start = out.size();
    offsets.airports.push_back(start);
    append(out, kAirportFixedBytes);
    putU32(out, start + 20, static_cast<std::uint32_t>(airport.altitudeMillimetres));
    putU32(out, start + 40, packIdent(airport.ident));
    if (airport.runwayFirst) {
        const std::size_t at = out.size();
        append(out, kRunwayBytes);
        putRecordHeader(out, at, kRunwayId, kRunwayBytes);
    }
    for (const HelipadSpec& helipad : airport.helipads) {
        const std::size_t at = out.size();
        offsets.helipads.push_back(at);
        append(out, kHelipadBytes);
        putRecordHeader(out, at, kHelipadId, kHelipadBytes);
        putU32(out, at + 12, rawLongitude(helipad.longitude));
        putU32(out, at + 16, rawLatitude(helipad.latitude));
        putU32(out, at + 28, std::bit_cast<std::uint32_t>(helipad.width));
    }
    if (airport.writeParkingList) {
        const std::size_t at = out.size();
        offsets.parkings.push_back(at);
        append(out, kParkingHeaderBytes);
        putU16(out, at + 6, static_cast<std::uint16_t>(airport.parkings.size()));
        for (const ParkingSpec& parking : airport.parkings) {
            const std::size_t entry = out.size();
            append(out, kParkingEntryBytes + std::size_t{4} * parking.airlineCodes);
            out[entry] = static_cast<std::uint8_t>(parking.nameCode & 0x3F);
            out[entry + 1] = static_cast<std::uint8_t>((parking.type & 0x0F) | ((parking.number & 0x0F) << 4));
            out[entry + 2] = static_cast<std::uint8_t>((parking.number >> 4) & 0xFF);
            out[entry + 3] = parking.airlineCodes;
            putU32(out, entry + 4, std::bit_cast<std::uint32_t>(parking.radius));
            putU32(out, entry + 8, std::bit_cast<std::uint32_t>(parking.heading));
            putU32(out, entry + 28, rawLongitude(parking.longitude));
            putU32(out, entry + 32, rawLatitude(parking.latitude));
            for (std::size_t k = 0; k < parking.airlineCodes; ++k) putU32(out, entry + 56 + 4 * k, 0x4C4B4C00U);
        }
        putRecordHeader(out, at, kParkingListId, out.size() - at);
    }
    putRecordHeader(out, start, kAirportId, out.size() - start);
}

// A value is only written over bytes already laid out: a field past the end
// is a fault of the writer, not a reason to grow the file.
void requireRoom(const std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t width) {
    if (offset > bytes.size() || bytes.size() - offset < width) {
        throw std::out_of_range(
            fmt::format("a {}-byte field at {} is past the {} bytes written", width, offset, bytes.size()));
    }
}

std::vector<std::uint8_t> subsectionRecords(const SubsectionSpec& subsection, std::size_t base, Offsets& offsets) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t i = 0; i < subsection.otherRecordsBefore; ++i) {
        const std::size_t at = out.size();
        append(out, kOtherRecordBytes);
        putRecordHeader(out, at, kOtherRecordId, kOtherRecordBytes);
    }
    Offsets local;
    for (const AirportSpec& airport : subsection.airports) writeAirport(airport, out, local);
    for (const std::size_t o : local.airports) offsets.airports.push_back(base + o);
    for (const std::size_t o : local.helipads) offsets.helipads.push_back(base + o);
    for (const std::size_t o : local.parkings) offsets.parkings.push_back(base + o);
    return out;
}

}  // namespace

std::uint32_t rawLatitude(double latitude) { return toRaw((90.0 - latitude) * kLatitudeUnits); }
std::uint32_t rawLongitude(double longitude) { return toRaw((longitude + 180.0) * kLongitudeUnits); }

std::uint32_t packIdent(const std::string& ident) {
    std::uint32_t value = 0;
    for (const char c : ident) {
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = 2 + static_cast<std::uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'Z')
            digit = 12 + static_cast<std::uint32_t>(c - 'A');
        else if (c >= 'a' && c <= 'z')
            digit = 12 + static_cast<std::uint32_t>(c - 'a');
        else if (c == '?')
            digit = 1;
        value = value * 38 + digit;  // a blank is digit 0
    }
    return value << 5;
}

void putU16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value) {
    requireRoom(bytes, offset, 2);
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void putU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    requireRoom(bytes, offset, 4);
    for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

BglImage writeBgl(const FileSpec& spec) {
    BglImage image;
    std::size_t entryBytes = 0;
    for (const SectionSpec& section : spec.sections) {
        entryBytes += section.subsections.size() * (section.wideEntries ? 20U : 16U);
    }
    const std::size_t tableEnd = kHeaderBytes + kSectionEntryBytes * spec.sections.size();
    std::size_t recordsAt = tableEnd + entryBytes;
    image.bytes.resize(recordsAt, 0);
    putU32(image.bytes, 0, 0x19920201U);
    putU32(image.bytes, 4, static_cast<std::uint32_t>(kHeaderBytes));
    putU32(image.bytes, 20, static_cast<std::uint32_t>(spec.sections.size()));
    std::size_t entryAt = tableEnd;
    Offsets offsets;
    for (std::size_t s = 0; s < spec.sections.size(); ++s) {
        const SectionSpec& section = spec.sections[s];
        const std::size_t tableAt = kHeaderBytes + kSectionEntryBytes * s;
        image.sectionEntries.push_back(tableAt);
        const std::size_t width = section.wideEntries ? 20U : 16U;
        const std::size_t sectionStart = recordsAt;
        putU32(image.bytes, tableAt, section.type);
        putU32(image.bytes, tableAt + 4, section.wideEntries ? kWideEntriesFlag : 0U);
        putU32(image.bytes, tableAt + 8, static_cast<std::uint32_t>(section.subsections.size()));
        putU32(image.bytes, tableAt + 12, static_cast<std::uint32_t>(entryAt));
        for (const SubsectionSpec& subsection : section.subsections) {
            const std::vector<std::uint8_t> records = subsectionRecords(subsection, recordsAt, offsets);
            image.subsectionEntries.push_back(entryAt);
            putU32(image.bytes, entryAt, 0xAB000000U);
            putU32(image.bytes, entryAt + 4,
                   static_cast<std::uint32_t>(subsection.otherRecordsBefore + subsection.airports.size()));
            putU32(image.bytes, entryAt + 8, static_cast<std::uint32_t>(recordsAt));
            putU32(image.bytes, entryAt + 12, static_cast<std::uint32_t>(records.size()));
            image.bytes.insert(image.bytes.end(), records.begin(), records.end());
            recordsAt += records.size();
            entryAt += width;
        }
        putU32(image.bytes, tableAt + 16, static_cast<std::uint32_t>(recordsAt - sectionStart));
    }
    image.airportRecords = std::move(offsets.airports);
    image.helipadRecords = std::move(offsets.helipads);
    image.parkingRecords = std::move(offsets.parkings);
    return image;
}

BglImage corrupted(BglImage image, Corruption corruption) {
    auto first = [](const std::vector<std::size_t>& offsets) {
        if (offsets.empty()) throw std::invalid_argument("the image has no such part to corrupt");
        return offsets.front();
    };
    std::vector<std::uint8_t>& bytes = image.bytes;
    const auto end = static_cast<std::uint32_t>(bytes.size());
    switch (corruption) {
        case Corruption::zeroAirportSize: putU32(bytes, first(image.airportRecords) + 2, 0); break;
        case Corruption::zeroSubRecordSize:
            putU32(bytes, first(image.airportRecords) + kAirportFixedBytes + 2, 0);
            break;
        case Corruption::hugeAirportSize: putU32(bytes, first(image.airportRecords) + 2, 0x7FFFFFF0U); break;
        case Corruption::recordsOffsetPastEnd: putU32(bytes, first(image.subsectionEntries) + 8, end + 64); break;
        case Corruption::subsectionOffsetPastEnd: putU32(bytes, first(image.sectionEntries) + 12, end + 64); break;
        case Corruption::sectionCountTooLarge: putU32(bytes, 20, 0xFFFFFFFFU); break;
        case Corruption::parkingCountTooLarge: putU16(bytes, first(image.parkingRecords) + 6, 0xFFFF); break;
        case Corruption::truncatedInParkingList:
            bytes.resize(first(image.parkingRecords) + kParkingHeaderBytes + kParkingEntryBytes + 20);
            break;
        case Corruption::unalignedRecordsOffset: {
            const std::size_t at = first(image.subsectionEntries) + 8;
            const std::uint32_t offset = static_cast<std::uint32_t>(bytes[at]) | (bytes[at + 1] << 8) |
                                         (bytes[at + 2] << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
            putU32(bytes, at, offset + 2);
            break;
        }
        case Corruption::shortHelipad: putU32(bytes, first(image.helipadRecords) + 2, 8); break;
    }
    return image;
}

FileSpec sampleAirport(const std::string& ident, double latitude, double longitude, std::size_t stands) {
    constexpr double kStandSpacing = 0.0005;  // degrees of longitude between gates
    constexpr std::uint8_t kGate = 10;        // "g"
    constexpr std::uint8_t kGateType = 8;
    AirportSpec airport{.ident = ident, .altitudeMillimetres = 12000};
    for (std::size_t i = 0; i < stands; ++i) {
        airport.parkings.push_back({.nameCode = kGate,
                                    .type = kGateType,
                                    .number = static_cast<std::uint16_t>(i + 1),
                                    .radius = 24.0f,
                                    .heading = static_cast<float>((i * 90) % 360),
                                    .latitude = latitude,
                                    .longitude = longitude + kStandSpacing * static_cast<double>(i),
                                    .airlineCodes = static_cast<std::uint8_t>(i % 3)});
    }
    airport.helipads.push_back({.latitude = latitude - 0.002, .longitude = longitude, .width = 30.0f});
    return {.sections = {{.subsections = {{.airports = {airport}}}}}};
}

bool saveBgl(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace qvl::bgl_writer
