// A zip archive opened for reading: a thin owner of libzip's archive over
// the archive's bytes read into memory, so no file name ever passes through
// narrow text. One entry at a time is written out, byte for byte, through a
// temporary file renamed over the target.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

struct zip;

namespace qvl {

enum class ZipReadError : std::uint8_t {
    openFailed,   // the file cannot be read or is no zip archive
    noSuchEntry,  // the archive has no entry of that name
    readFailed,   // the entry's bytes cannot be read (damaged archive)
    writeFailed,  // the target cannot be written
    tooLarge,     // the entry unpacks to more than the caller allows
};

class ZipArchiveReader {
public:
    [[nodiscard]] static Result<ZipArchiveReader, ZipReadError> open(const std::filesystem::path& file);

    ZipArchiveReader(ZipArchiveReader&& other) noexcept;
    ZipArchiveReader& operator=(ZipArchiveReader&& other) noexcept;
    ZipArchiveReader(const ZipArchiveReader&) = delete;
    ZipArchiveReader& operator=(const ZipArchiveReader&) = delete;
    ~ZipArchiveReader();

    // The entries' names as the archive stores them, in order.
    [[nodiscard]] std::vector<std::string> entryNames() const;
    // Writes the entry's bytes to the target, but no more than maxBytes: a
    // few kilobytes of archive may unpack to gigabytes, whatever sizes the
    // archive states, so the writing stops at the limit. A failure (a
    // damaged entry, a wrong checksum, too many bytes) leaves the target as
    // it was.
    [[nodiscard]] Result<void, ZipReadError> extract(std::string_view entryName, const std::filesystem::path& target,
                                                     std::uint64_t maxBytes) const;

private:
    ZipArchiveReader(zip* archive, std::unique_ptr<std::string> bytes) noexcept;

    zip* archive_ = nullptr;
    std::unique_ptr<std::string> bytes_;  // libzip reads them in place until the archive closes
};

// The temporary file an entry is written to before it is renamed over the
// target: "<target>.unzip".
[[nodiscard]] std::filesystem::path extractTemporaryFor(const std::filesystem::path& target);

// True for a relative entry name that stays inside the folder it is
// unpacked into: no root, no drive, no ".." part (either separator).
[[nodiscard]] bool isContainedEntryName(std::string_view entryName);

}  // namespace qvl
