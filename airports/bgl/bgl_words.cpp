// A BGL file as words, and the cheap look at its section table.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
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
    // The bytes go straight into the words, so that a large file is held in
    // memory once; the vector grows by whole reads only when the stream
    // cannot tell its size.
    std::vector<std::uint32_t> words;
    std::uint64_t bytes = 0;
    const std::streampos start = in.tellg();
    in.seekg(0, std::ios::end);
    const std::streampos end = in.tellg();
    in.seekg(start);
    if (start >= 0 && end >= start && in) {
        const auto size = static_cast<std::uint64_t>(end - start);
        words.resize(static_cast<std::size_t>((size + 3) / 4));
        in.read(reinterpret_cast<char*>(words.data()), static_cast<std::streamsize>(size));
        bytes = static_cast<std::uint64_t>(in.gcount());
    } else {
        in.clear();
    }
    // A stream that cannot seek, or that holds more than it said.
    constexpr std::size_t kChunkWords = std::size_t{64} * 1024;
    while (in && bytes == 4 * static_cast<std::uint64_t>(words.size()) &&
           in.peek() != std::istream::traits_type::eof()) {
        words.resize(words.size() + kChunkWords);
        in.read(reinterpret_cast<char*>(words.data()) + bytes, static_cast<std::streamsize>(4 * kChunkWords));
        bytes += static_cast<std::uint64_t>(in.gcount());
    }
    words.resize(static_cast<std::size_t>((bytes + 3) / 4));
    // The last word's missing bytes are zero; the words are little-endian.
    if (bytes % 4 != 0) {
        const auto kept = static_cast<unsigned>(bytes % 4);
        std::array<std::uint8_t, 4> last{};
        std::memcpy(last.data(), &words.back(), kept);
        std::memcpy(&words.back(), last.data(), last.size());
    }
    if constexpr (std::endian::native == std::endian::big) {
        for (std::uint32_t& word : words) {
            word = (word >> 24) | ((word >> 8) & 0xFF00U) | ((word << 8) & 0xFF0000U) | (word << 24);
        }
    }
    return words;
}

namespace {

// The section-table check on a file of `size` bytes; `readAt(offset, out)`
// fills `out` with the file's bytes from the offset, false when it cannot.
template <typename ReadAt>
bool sectionTableListsAirports(std::uint64_t size, const ReadAt& readAt) {
    if (size < kBglHeaderSize + 1) return false;
    std::array<std::uint8_t, 4> countBytes{};
    if (!readAt(20, std::span<std::uint8_t>(countBytes))) return false;
    const std::uint64_t count = wordAt(countBytes, 0);
    if (count == 0 || count > (size - kBglHeaderSize) / kSectionEntrySize) return false;
    std::array<std::uint8_t, kSectionsPerRead * kSectionEntrySize> table{};
    for (std::uint64_t first = 0; first < count; first += kSectionsPerRead) {
        const std::uint64_t sections = std::min(kSectionsPerRead, count - first);
        const std::span<std::uint8_t> part(table.data(), sections * kSectionEntrySize);
        if (!readAt(kBglHeaderSize + first * kSectionEntrySize, part)) return false;
        for (std::uint64_t i = 0; i < sections; ++i) {
            if (wordAt(part, i * kSectionEntrySize) == kBglAirportSectionType) return true;
        }
    }
    return false;
}

// Bytes read at the start of a file by the check: the header and the
// section table of nearly every BGL file, in one read.
constexpr std::size_t kHeadBytes = 4096;

}  // namespace

bool hasAirportSection(std::istream& in) {
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (!in || end < 0) return false;
    return sectionTableListsAirports(
        static_cast<std::uint64_t>(end),
        [&in](std::uint64_t offset, std::span<std::uint8_t> out) { return readAt(in, offset, out); });
}

bool lf_hasAirportSection(const std::filesystem::path& bglPath) {
    // Unbuffered, with one read of the file's head: the walk asks this of
    // every BGL file, most of which are small and hold no airport.
    std::ifstream in;
    in.rdbuf()->pubsetbuf(nullptr, 0);
    in.open(bglPath, std::ios::binary);
    if (!in.is_open()) return false;
    std::array<std::uint8_t, kHeadBytes> head{};
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    const auto got = static_cast<std::uint64_t>(in.gcount());
    std::uint64_t size = got;
    if (got == head.size()) {
        in.clear();
        in.seekg(0, std::ios::end);
        const std::streamoff end = in.tellg();
        if (!in || end < 0) return false;
        size = static_cast<std::uint64_t>(end);
    }
    return sectionTableListsAirports(size, [&](std::uint64_t offset, std::span<std::uint8_t> out) {
        if (offset + out.size() <= got) {
            std::memcpy(out.data(), head.data() + offset, out.size());
            return true;
        }
        return readAt(in, offset, out);
    });
}

}  // namespace qvl
