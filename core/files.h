// File helpers: older generations of files that must survive a rewrite,
// and listings of a folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/fixed_code.h"

namespace qvl {

// The name of the n-th older generation: "0" repeated n times before the
// last '.' of the file name (Log.txt -> Log0.txt, Log00.txt, Log000.txt).
// Only the file name is looked at, never a folder of the path. None when the
// file name has no '.'.
std::optional<std::filesystem::path> generationName(const std::filesystem::path& file, int generation);

// Copies the file over its first generation. 1 when done (a missing file is
// skipped), 0 when the name has no dot. Never throws.
int gf_save1GenerationOf(const std::filesystem::path& file);
// Keeps three older copies: second -> third, first -> second, file -> first.
int gf_saveUpto3GenerationsOf(const std::filesystem::path& file);

// The airport codes named by the folder's *.XML files (extension in any
// case, stem of exactly four characters). A four-character stem that is not
// a code is skipped with an attention line. Empty when the folder is missing.
std::vector<FixedCode4> gf_listXmlFiles(const std::filesystem::path& folder);

// Writes the bytes to a temporary file beside the target, flushes it to disk
// and renames it over the target, so a crash or a full disk never leaves a
// half-written target behind: the target holds either the old or the new
// content. False (with the temporary file removed) when any step fails.
bool writeFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// Many files written into a few folders, as a scan writes them. Each file
// goes through a temporary file renamed over its target, as with
// writeFileAtomically, so a kill leaves every target whole, with its old or
// its new content. But nothing is flushed to the disk file by file: flush()
// does it once for every folder written to; and the stale temporary files a
// kill left in a folder are removed once, before the batch's first write
// there, instead of a listing of the folder before every write. Safe to use
// from several threads.
class FileBatch {
public:
    FileBatch() = default;
    FileBatch(const FileBatch&) = delete;
    FileBatch& operator=(const FileBatch&) = delete;
    FileBatch(FileBatch&&) = delete;
    FileBatch& operator=(FileBatch&&) = delete;
    ~FileBatch() = default;

    // False (with the temporary file removed) when any step fails.
    [[nodiscard]] bool write(const std::filesystem::path& target, std::string_view bytes);
    // Counts the folder as written to (a file was removed there, say), so
    // that the next flush takes it to the disk.
    void noteChanged(const std::filesystem::path& folder);
    // Flushes what was written since the last flush to the disk, once per
    // folder, and forgets the folders; each is cleaned again at its next
    // write. False when a folder could not be flushed (a log line says so).
    bool flush();

private:
    std::mutex mutex_;
    std::set<std::filesystem::path> cleaned_;  // under mutex_
    std::set<std::filesystem::path> written_;  // under mutex_
};

// Fault injection for tests: the function that renames the temporary file
// over the target, true when done (nullptr restores the system's rename).
// Lets a test play a crash between the write and the rename.
using RenameFunction = bool (*)(const std::filesystem::path& from, const std::filesystem::path& to);
void setRenameFunctionForTests(RenameFunction fn);

// Where a kill leaves temporary files: one folder, or its whole tree.
struct LeftoverSweep {
    std::filesystem::path folder;
    bool subfolders = false;
    // Besides writeFileAtomically's temporary files, which are always
    // leftovers (but for those this process writes now): files of these
    // exact names, the temporaries of the program's other writes there.
    std::vector<std::filesystem::path> names{};
};

// Removes the sweep's leftovers, each with a log line; a failed removal is
// logged and the sweep goes on. The number removed. Never throws.
std::uint64_t removeLeftoverTemporaries(const LeftoverSweep& sweep);

// Number of regular files directly in the folder; 0 when it does not exist.
// Throws std::filesystem::filesystem_error when the folder cannot be listed.
std::uint64_t gf_countFilesInFolder(const std::filesystem::path& folder);

}  // namespace qvl
