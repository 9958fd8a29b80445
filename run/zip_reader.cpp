#include "run/zip_reader.h"

#include <fmt/format.h>
#include <zip.h>

#include <array>
#include <fstream>
#include <iterator>
#include <utility>

#include "core/text_file.h"
#include "platform/sys/file_io.h"

namespace fs = std::filesystem;

namespace qvl {
namespace {

constexpr std::size_t kChunkBytes = 524288;

// Closes an entry opened for reading.
struct EntryCloser {
    void operator()(zip_file_t* file) const noexcept {
        if (file != nullptr) zip_fclose(file);
    }
};
using EntryPtr = std::unique_ptr<zip_file_t, EntryCloser>;

}  // namespace

ZipArchiveReader::ZipArchiveReader(zip* archive, std::unique_ptr<std::string> bytes) noexcept
    : archive_(archive), bytes_(std::move(bytes)) {}

ZipArchiveReader::ZipArchiveReader(ZipArchiveReader&& other) noexcept
    : archive_(std::exchange(other.archive_, nullptr)), bytes_(std::move(other.bytes_)) {}

ZipArchiveReader& ZipArchiveReader::operator=(ZipArchiveReader&& other) noexcept {
    if (this != &other) {
        if (archive_ != nullptr) zip_discard(archive_);
        archive_ = std::exchange(other.archive_, nullptr);
        bytes_ = std::move(other.bytes_);
    }
    return *this;
}

ZipArchiveReader::~ZipArchiveReader() {
    if (archive_ != nullptr) zip_discard(archive_);
}

Result<ZipArchiveReader, ZipReadError> ZipArchiveReader::open(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return fail(ZipReadError::openFailed, fmt::format("cannot read {}", gf_pathToUtf8(file)));
    auto bytes = std::make_unique<std::string>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) return fail(ZipReadError::openFailed, fmt::format("cannot read {}", gf_pathToUtf8(file)));

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes->data(), bytes->size(), 0, &error);
    zip_t* archive = source == nullptr ? nullptr : zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (archive == nullptr) {
        std::string text =
            fmt::format("{} is no readable zip archive: {}", gf_pathToUtf8(file), zip_error_strerror(&error));
        zip_error_fini(&error);
        if (source != nullptr) zip_source_free(source);
        return fail(ZipReadError::openFailed, std::move(text));
    }
    zip_error_fini(&error);
    return ZipArchiveReader(archive, std::move(bytes));
}

std::vector<std::string> ZipArchiveReader::entryNames() const {
    std::vector<std::string> names;
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        names.emplace_back(name == nullptr ? "" : name);
    }
    return names;
}

Result<void, ZipReadError> ZipArchiveReader::extract(std::string_view entryName, const fs::path& target,
                                                     std::uint64_t maxBytes) const {
    const std::string name(entryName);
    const zip_int64_t index = zip_name_locate(archive_, name.c_str(), ZIP_FL_ENC_GUESS);
    if (index < 0) return fail(ZipReadError::noSuchEntry, fmt::format("no entry '{}'", name));
    // libzip checks the entry's CRC when the last byte has been read: a
    // damaged entry fails only then, so nothing reaches the target before.
    const EntryPtr entry(zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0));
    if (!entry) {
        return fail(ZipReadError::readFailed,
                    fmt::format("cannot read entry '{}': {}", name, zip_error_strerror(zip_get_error(archive_))));
    }
    const fs::path temporary = extractTemporaryFor(target);
    const auto dropTemporary = [&temporary] {
        std::error_code ignored;
        fs::remove(temporary, ignored);
    };
    bool written = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return fail(ZipReadError::writeFailed, fmt::format("cannot create {}", gf_pathToUtf8(temporary)));
        }
        std::vector<char> chunk(kChunkBytes);
        std::uint64_t total = 0;
        zip_int64_t got = 0;
        while ((got = zip_fread(entry.get(), chunk.data(), chunk.size())) > 0) {
            const auto bytes = static_cast<std::uint64_t>(got);
            if (bytes > maxBytes - total) {
                out.close();
                dropTemporary();
                return fail(ZipReadError::tooLarge,
                            fmt::format("entry '{}' unpacks to more than {} bytes", name, maxBytes));
            }
            total += bytes;
            out.write(chunk.data(), static_cast<std::streamsize>(got));
        }
        out.close();
        if (got < 0) {
            dropTemporary();
            return fail(ZipReadError::readFailed, fmt::format("entry '{}' is damaged: {}", name,
                                                              zip_error_strerror(zip_file_get_error(entry.get()))));
        }
        written = !out.fail();
    }
    if (!written || !sys::replaceFile(temporary, target)) {
        dropTemporary();
        return fail(ZipReadError::writeFailed, fmt::format("cannot write {}", gf_pathToUtf8(target)));
    }
    return {};
}

fs::path extractTemporaryFor(const fs::path& target) {
    fs::path name = target;
    name += ".unzip";
    return name;
}

bool isContainedEntryName(std::string_view entryName) {
    if (entryName.empty() || entryName.front() == '/' || entryName.front() == '\\') return false;
    if (entryName.size() > 1 && entryName[1] == ':') return false;
    std::size_t start = 0;
    while (start <= entryName.size()) {
        const std::size_t end = entryName.find_first_of("/\\", start);
        const std::string_view part = entryName.substr(start, end == std::string_view::npos ? end : end - start);
        if (part == "..") return false;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return true;
}

}  // namespace qvl
