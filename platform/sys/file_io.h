// File operations whose spelling differs between systems: how a path is
// handed to the C library, flushing a file's data to the disk, and a rename
// that replaces its target. Code above the platform layer uses these instead
// of POSIX calls, so it builds for Windows unchanged.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace qvl::sys {

// std::fopen on the path ("wb", "w", "rb", ...); nullptr when it fails.
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// Flushes the stream's buffer and the file's data to the disk. False when
// either fails.
bool flushToDisk(std::FILE* file);

// Writes the bytes to the path (created or truncated) and flushes them to the
// disk before closing. False when any step fails; the file may then hold
// part of the bytes.
bool writeFileDurably(const std::filesystem::path& path, std::string_view bytes);

// Writes the bytes to the path (created or truncated) and closes it, leaving
// the flush to the disk to the system (see flushFolderToDisk). False when any
// step fails; the file may then hold part of the bytes.
bool writeFileQuickly(const std::filesystem::path& path, std::string_view bytes);

// Flushes to the disk every file written into the folder so far, and the
// folder's own entries (renames included). On Linux this flushes the whole
// file system that holds the folder, in one call. False when it fails.
bool flushFolderToDisk(const std::filesystem::path& folder);

// Renames `from` to `to`, replacing a file already at `to` in one step, so a
// reader sees either the old or the new file. False when it fails.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace qvl::sys
