// A BGL file as words, and the cheap look at its section table.
#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <istream>
#include <iterator>
#include <span>
#include <vector>

#include "airports/bgl/bgl_airports.h"

namespace qvl {

namespace {

constexpr std::uint64_t kSectionEntrySize = 20;
// Sections looked at per read of the table, so that a garbage count in a
// large file costs no more than the bytes the table really holds.
constexpr std::uint64_t kSectionsPerRead = 256;

std::uint32_t wordAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return value;
}

bool readAt(std::istream& in, std::uint64_t offset, std::span<std::uint8_t> out) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return in.gcount() == static_cast<std::streamsize>(out.size());
}

}  // namespace

std::vector<std::uint32_t> bglWordsFromBytes(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint32_t> words((bytes.size() + 3) / 4, 0);
    const std::size_t whole = bytes.size() / 4;
    for (std::size_t i = 0; i < whole; ++i) words[i] = wordAt(bytes, 4 * i);
    for (std::size_t b = 4 * whole; b < bytes.size(); ++b) {
        words[whole] |= static_cast<std::uint32_t>(bytes[b]) << (8 * (b - 4 * whole));
    }
    return words;
}

std::vector<std::uint32_t> lf_readBglWords(std::istream& in) {
    const std::vector<char> raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return bglWordsFromBytes({reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()});
}

bool hasAirportSection(std::istream& in) {
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (!in || end < static_cast<std::streamoff>(kBglHeaderSize) + 1) return false;
    const auto size = static_cast<std::uint64_t>(end);
    std::array<std::uint8_t, 4> countBytes{};
    if (!readAt(in, 20, countBytes)) return false;
    const std::uint64_t count = wordAt(countBytes, 0);
    if (count == 0 || count > (size - kBglHeaderSize) / kSectionEntrySize) return false;
    std::vector<std::uint8_t> table;
    for (std::uint64_t first = 0; first < count; first += kSectionsPerRead) {
        const std::uint64_t sections = std::min(kSectionsPerRead, count - first);
        table.resize(sections * kSectionEntrySize);
        if (!readAt(in, kBglHeaderSize + first * kSectionEntrySize, table)) return false;
        for (std::uint64_t i = 0; i < sections; ++i) {
            if (wordAt(table, i * kSectionEntrySize) == kBglAirportSectionType) return true;
        }
    }
    return false;
}

bool lf_hasAirportSection(const std::filesystem::path& bglPath) {
    std::ifstream in(bglPath, std::ios::binary);
    return in.is_open() && hasAirportSection(in);
}

}  // namespace qvl
