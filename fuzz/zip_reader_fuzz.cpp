// The archive of a new program version as the download site serves it:
// arbitrary bytes opened, listed and unpacked entry by entry. Never a crash;
// an entry that cannot be unpacked leaves the target as it was; an entry
// that is unpacked holds no more than the limit and matches the CRC its
// archive states (a damaged entry that the reader let through is a
// finding); a name the archive lacks is refused.
#include <zip.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "run/zip_reader.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("zip_reader");
    return folder;
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

constexpr std::size_t kMostEntries = 16;
// Far below the program's limit, so that a small bomb costs little time.
constexpr std::uint64_t kMostBytes = std::uint64_t{1} << 20U;

// CRC-32 as zip archives use it, computed here apart from libzip.
std::uint32_t crc32Of(const std::string& bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1U) : c >> 1U;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const char byte : bytes) crc = table[(crc ^ static_cast<unsigned char>(byte)) & 0xFFU] ^ (crc >> 8U);
    return crc ^ 0xFFFFFFFFU;
}

// The CRC that the archive states for the entry of that name (as the reader
// finds it); none when the archive states none.
std::optional<std::uint32_t> statedCrc(const std::uint8_t* data, std::size_t size, const std::string& name) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(data, size, 0, &error);
    zip_t* archive = source == nullptr ? nullptr : zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    zip_error_fini(&error);
    if (archive == nullptr) {
        if (source != nullptr) zip_source_free(source);
        return std::nullopt;
    }
    std::optional<std::uint32_t> crc;
    const zip_int64_t index = zip_name_locate(archive, name.c_str(), ZIP_FL_ENC_GUESS);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (index >= 0 && zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) == 0 &&
        (stat.valid & ZIP_STAT_CRC) != 0) {
        crc = stat.crc;
    }
    zip_discard(archive);
    return crc;
}
const std::string kBefore = "the target before";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path archive = scratch().path() / "latest_version.zip";
    const fs::path target = scratch().path() / "unpacked";
    fuzz::writeBytes(archive, fuzz::bytesOf(data, size));
    auto reader = ZipArchiveReader::open(archive);
    if (!reader) return 0;
    const std::vector<std::string> names = reader->entryNames();
    for (std::size_t i = 0; i < names.size() && i < kMostEntries; ++i) {
        (void)isContainedEntryName(names[i]);
        fuzz::writeBytes(target, kBefore);
        if (!reader->extract(names[i], target, kMostBytes)) {
            expect(readAll(target) == kBefore, "an entry that cannot be unpacked leaves the target as it was");
        } else {
            const std::string unpacked = readAll(target);
            expect(unpacked.size() <= kMostBytes, "an unpacked entry holds no more than the limit");
            const std::optional<std::uint32_t> crc = statedCrc(data, size, names[i]);
            expect(!crc || *crc == crc32Of(unpacked), "an unpacked entry matches the CRC its archive states");
        }
        std::error_code ignored;
        fs::remove(target, ignored);
    }
    std::string absent = "\x01missing";
    while (std::find(names.begin(), names.end(), absent) != names.end()) absent += '_';
    const auto missing = reader->extract(absent, target, kMostBytes);
    expect(!missing && missing.error() == ZipReadError::noSuchEntry, "a name the archive lacks is refused");
    expect(!fs::exists(target), "a refused name writes nothing");
    return 0;
}
