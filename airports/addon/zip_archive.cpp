#include "airports/addon/zip_archive.h"

#include <fmt/format.h>
#include <zip.h>

#include <cstdio>
#include <string>
#include <utility>

#include "core/files.h"
#include "core/text_file.h"

namespace qvl {

namespace {

std::string errorText(zip_error_t* error) { return zip_error_strerror(error); }

std::string archiveErrorText(zip_t* archive) { return zip_error_strerror(zip_get_error(archive)); }

// The bytes a buffer source holds, read from its start.
Result<std::string, ZipError> sourceBytes(zip_source_t* source) {
    if (zip_source_open(source) != 0) {
        return fail(ZipError::closeFailed, "the finished archive cannot be read back");
    }
    std::string bytes;
    const bool sized = zip_source_seek(source, 0, SEEK_END) == 0;
    const zip_int64_t size = sized ? zip_source_tell(source) : -1;
    bool ok = size >= 0 && zip_source_seek(source, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size));
        ok = zip_source_read(source, bytes.data(), static_cast<zip_uint64_t>(size)) == size;
    }
    zip_source_close(source);
    if (!ok) return fail(ZipError::closeFailed, "the finished archive cannot be read back");
    return bytes;
}

}  // namespace

Result<ZipArchiveWriter, ZipError> ZipArchiveWriter::create() {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (buffer == nullptr) {
        std::string text = errorText(&error);
        zip_error_fini(&error);
        return fail(ZipError::openFailed, std::move(text));
    }
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (archive == nullptr) {
        std::string text = errorText(&error);
        zip_error_fini(&error);
        zip_source_free(buffer);
        return fail(ZipError::openFailed, std::move(text));
    }
    zip_error_fini(&error);
    // The archive owns the source now; one more reference keeps its bytes
    // readable once the archive is closed.
    zip_source_keep(buffer);
    return ZipArchiveWriter(archive, buffer);
}

ZipArchiveWriter::ZipArchiveWriter(ZipArchiveWriter&& other) noexcept
    : archive_(std::exchange(other.archive_, nullptr)), buffer_(std::exchange(other.buffer_, nullptr)) {}

ZipArchiveWriter& ZipArchiveWriter::operator=(ZipArchiveWriter&& other) noexcept {
    if (this != &other) {
        release();
        archive_ = std::exchange(other.archive_, nullptr);
        buffer_ = std::exchange(other.buffer_, nullptr);
    }
    return *this;
}

ZipArchiveWriter::~ZipArchiveWriter() { release(); }

void ZipArchiveWriter::release() noexcept {
    if (archive_ != nullptr) zip_discard(std::exchange(archive_, nullptr));
    if (buffer_ != nullptr) zip_source_free(std::exchange(buffer_, nullptr));
}

Result<void, ZipError> ZipArchiveWriter::add(std::string_view entryName, std::string_view bytes) {
    if (archive_ == nullptr) return fail(ZipError::addFailed, "the archive is closed");
    zip_source_t* source = zip_source_buffer(archive_, bytes.data(), bytes.size(), 0);
    if (source == nullptr) return fail(ZipError::addFailed, archiveErrorText(archive_));
    const std::string name(entryName);
    const zip_int64_t index = zip_file_add(archive_, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
        zip_source_free(source);
        return fail(ZipError::addFailed, archiveErrorText(archive_));
    }
    // Stand files are repetitive XML: the fastest deflate level packs them
    // nearly as small as the default and takes a fraction of its time.
    if (zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1) != 0) {
        return fail(ZipError::addFailed, archiveErrorText(archive_));
    }
    return {};
}

Result<std::string, ZipError> ZipArchiveWriter::finish() {
    if (archive_ == nullptr) return fail(ZipError::closeFailed, "the archive is closed");
    if (zip_close(archive_) != 0) {
        std::string text = archiveErrorText(archive_);
        release();
        return fail(ZipError::closeFailed, std::move(text));
    }
    archive_ = nullptr;
    auto bytes = sourceBytes(buffer_);
    release();
    return bytes;
}

Result<void, ZipError> ZipArchiveWriter::closeInto(const std::filesystem::path& target) {
    auto bytes = finish();
    if (!bytes) return fail(bytes.error(), bytes.errorText());
    if (!writeFileAtomically(target, *bytes)) {
        return fail(ZipError::closeFailed, fmt::format("{} cannot be written", gf_pathToUtf8(target)));
    }
    return {};
}

}  // namespace qvl
