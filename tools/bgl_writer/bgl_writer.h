// BGL files of add-on airports, built field by field from the file layout:
// header (56 bytes, word 1 = 56, word 5 = section count), section table
// (20 bytes per section: type, flags, subsection count, offset of the first
// subsection entry, size), subsection entries (16 bytes; 20 with flag bit
// 16; word 2 = offset of the records), records (u16 id, u32 size in bytes).
// An airport record (0x0056) holds its altitude in millimetres at byte 20 and
// its ident at byte 40; its sub-records start at byte 68: helipads (0x0026:
// longitude at 12, latitude at 16, width at 28) and the taxi parking list
// (0x00E7: entry count at 6, entries from 8, each 56 + 4k bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qvl::bgl_writer {

struct ParkingSpec {
    std::uint8_t nameCode = 0;  // 0..63: a prefix, a letter or nothing
    std::uint8_t type = 1;      // 0..15
    std::uint16_t number = 0;   // 0..4095
    float radius = 20.0f;       // metres
    float heading = 0.0f;       // degrees
    double latitude = 0.0;
    double longitude = 0.0;
    std::uint8_t airlineCodes = 0;  // 4-byte codes at the end of the entry
};

struct HelipadSpec {
    double latitude = 0.0;
    double longitude = 0.0;
    float width = 20.0f;  // metres
};

struct AirportSpec {
    std::string ident{};  // letters and digits, any length up to 6
    std::int32_t altitudeMillimetres = 0;
    // A sub-record of another kind (a runway) before the helipads, as real
    // files have.
    bool runwayFirst = true;
    std::vector<HelipadSpec> helipads{};
    std::vector<ParkingSpec> parkings{};
    bool writeParkingList = true;  // false: no parking sub-record at all
};

struct SubsectionSpec {
    // Records of another kind (16 bytes each) before the airports.
    std::uint32_t otherRecordsBefore = 1;
    std::vector<AirportSpec> airports{};
};

struct SectionSpec {
    std::uint32_t type = 3;    // 3: airports
    bool wideEntries = false;  // 20-byte subsection entries (flag bit 16)
    std::vector<SubsectionSpec> subsections{};
};

struct FileSpec {
    std::vector<SectionSpec> sections{};
};

// A written file and where its parts lie, for corrupting them on purpose.
struct BglImage {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> sectionEntries;     // byte offsets in the section table
    std::vector<std::size_t> subsectionEntries;  // byte offsets of the subsection entries
    std::vector<std::size_t> airportRecords;     // byte offsets of the airport records
    std::vector<std::size_t> helipadRecords;
    std::vector<std::size_t> parkingRecords;
};

BglImage writeBgl(const FileSpec& spec);

// The raw values the layout stores.
std::uint32_t rawLatitude(double latitude);
std::uint32_t rawLongitude(double longitude);
std::uint32_t packIdent(const std::string& ident);

void putU16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value);
void putU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);

enum class Corruption : std::uint8_t {
    zeroAirportSize,          // the first airport record's size is 0
    zeroSubRecordSize,        // the first sub-record of the first airport has size 0
    hugeAirportSize,          // the first airport record claims far more bytes than the file has
    recordsOffsetPastEnd,     // the first subsection's records lie beyond the file
    subsectionOffsetPastEnd,  // the first section's subsection entries lie beyond the file
    sectionCountTooLarge,     // the header counts more sections than the table holds
    parkingCountTooLarge,     // the first parking list counts 0xFFFF entries
    truncatedInParkingList,   // the file ends inside the first parking list
    unalignedRecordsOffset,   // the first subsection's records offset is 2 bytes off a word
    shortHelipad,             // the first helipad record is 8 bytes long
};

// The image with one corruption applied to its first section, subsection,
// airport or list.
BglImage corrupted(BglImage image, Corruption corruption);

// A small airport for the demonstration and the fuzz seeds: `stands`
// parkings of gates around the position, one helipad, in one subsection.
FileSpec sampleAirport(const std::string& ident, double latitude, double longitude, std::size_t stands);

// Writes the bytes to the file (binary); false when it cannot be written.
bool saveBgl(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

}  // namespace qvl::bgl_writer
