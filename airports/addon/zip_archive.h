// A zip archive built in memory and written out whole: a thin owner of
// libzip's archive and its buffer source. Entries are added from the
// caller's buffers, which must live until the archive is closed (libzip
// reads them only then). The finished archive reaches its file through a
// temporary file renamed over the target, so a failed close never leaves a
// half-written zip, and no file name ever passes through narrow text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "core/result.h"

struct zip;
struct zip_source;

namespace qvl {

enum class ZipError : std::uint8_t {
    openFailed,   // libzip could not start an archive
    addFailed,    // an entry was refused
    closeFailed,  // the archive could not be finished or its file not written
};

class ZipArchiveWriter {
public:
    [[nodiscard]] static Result<ZipArchiveWriter, ZipError> create();

    ZipArchiveWriter(ZipArchiveWriter&& other) noexcept;
    ZipArchiveWriter& operator=(ZipArchiveWriter&& other) noexcept;
    ZipArchiveWriter(const ZipArchiveWriter&) = delete;
    ZipArchiveWriter& operator=(const ZipArchiveWriter&) = delete;
    // An archive that was not closed is discarded; its file is not touched.
    ~ZipArchiveWriter();

    // Adds an entry under the UTF-8 name, stored from the caller's bytes
    // (kept by reference until close), replacing one of the same name.
    [[nodiscard]] Result<void, ZipError> add(std::string_view entryName, std::string_view bytes);
    // Finishes the archive and gives its bytes. The archive is spent
    // afterwards, whatever the result.
    [[nodiscard]] Result<std::string, ZipError> finish();
    // Finishes the archive and writes it to the target. The archive is spent
    // afterwards, whatever the result.
    [[nodiscard]] Result<void, ZipError> closeInto(const std::filesystem::path& target);

private:
    ZipArchiveWriter(zip* archive, zip_source* buffer) noexcept : archive_(archive), buffer_(buffer) {}
    void release() noexcept;

    zip* archive_ = nullptr;
    zip_source* buffer_ = nullptr;  // the archive's bytes, kept past its close
};

}  // namespace qvl
