// What tells files and folders apart whatever path leads to them, and the
// whole of a small file read in one go. A walk through a tree keeps the
// identity of every folder it entered, so a link back into the tree is not
// followed twice, without resolving every folder's full path.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace qvl::sys {

// The device and the file's number on it (on Windows: the volume serial
// number and the file index).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const noexcept {
        return std::hash<std::uint64_t>{}(id.file ^ (id.device * 0x9E3779B97F4A7C15ULL));
    }
};

// The identity of what the path names, links followed; none when it cannot
// be taken (missing, no rights).
[[nodiscard]] std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path);

enum class WholeFileError : std::uint8_t {
    missing,     // nothing at the path (a dangling link too)
    notOpened,   // it is there but cannot be opened (no rights)
    folder,      // it is a folder
    tooLarge,    // larger than the caller's limit; not read
    readFailed,  // it opened but could not be read to its end
};

struct WholeFile {
    std::optional<WholeFileError> error;
    std::string bytes;  // the file's bytes when there is no error
};

// The file's bytes with one open and one read (a file that grows while it
// is read is read up to the size it had when opened).
[[nodiscard]] WholeFile readWholeFile(const std::filesystem::path& path, std::uintmax_t maxSize);

}  // namespace qvl::sys
