#include "core/files.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/log.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "platform/sys/file_io.h"
#include "platform/sys/process.h"

namespace fs = std::filesystem;

namespace qvl {
namespace {

// One copy step of the generations; a missing source is skipped, failures
// are logged and nothing is thrown.
void lf_copyGeneration(const fs::path& source, const fs::path& target) {
    std::error_code ec;
    const auto status = fs::status(source, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        gf_logAttention(fmt::format("exists({}): {}", gf_pathToUtf8(source), ec.message()));
        return;
    }
    if (!fs::exists(status)) return;
    fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        gf_logAttention(
            fmt::format("copy {} -> {} failed: {}", gf_pathToUtf8(source), gf_pathToUtf8(target), ec.message()));
    }
}

}  // namespace

std::optional<fs::path> generationName(const fs::path& file, int generation) {
    // In the path's own characters: the name may hold any letter.
    using Char = fs::path::value_type;
    fs::path::string_type renamed = file.filename().native();
    const auto dot = renamed.rfind(Char('.'));
    if (dot == fs::path::string_type::npos) return std::nullopt;
    renamed.insert(dot, static_cast<std::size_t>(generation < 0 ? 0 : generation), Char('0'));
    return file.parent_path() / renamed;
}

int gf_save1GenerationOf(const fs::path& file) {
    const auto first = generationName(file, 1);
    if (!first) {
        gf_logAttention(fmt::format("gf_save1GenerationOf: no dot in filename: {}", gf_pathToUtf8(file)));
        return 0;
    }
    lf_copyGeneration(file, *first);
    return 1;
}

int gf_saveUpto3GenerationsOf(const fs::path& file) {
    const auto g1 = generationName(file, 1);
    if (!g1) {
        gf_logAttention(fmt::format("gf_saveUpto3GenerationsOf: no dot in filename: {}", gf_pathToUtf8(file)));
        return 0;
    }
    const auto g2 = generationName(file, 2);
    const auto g3 = generationName(file, 3);
    lf_copyGeneration(*g2, *g3);
    lf_copyGeneration(*g1, *g2);
    lf_copyGeneration(file, *g1);
    return 1;
}

std::vector<FixedCode4> gf_listXmlFiles(const fs::path& folder) {
    std::vector<FixedCode4> codes;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return codes;
    codes.reserve(512);
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        if (!gf_upperEquals(gf_pathToUtf8(entry.path().extension()), ".XML")) continue;
        const std::string stem = gf_pathToUtf8(entry.path().stem());
        if (stem.size() != 4) continue;
        try {
            codes.emplace_back(stem);
        } catch (const std::invalid_argument& e) {
            gf_logAttention(fmt::format("skipped {}: {}", gf_pathToUtf8(entry.path()), e.what()));
        }
    }
    return codes;
}

namespace {

// The ending of writeFileAtomically's temporary names. It carries the
// program's own mark, so that a clean-up of a folder never takes a user's
// file for one (a "notes.1.2.tmp" of the user's stays).
constexpr std::string_view kTemporaryEnding = ".qvlt.tmp";
// The ending of the temporary names of earlier builds, "<target name>.<process
// id>.<n>.tmp": taken for a leftover only beside a target being saved.
constexpr std::string_view kUnmarkedTemporaryEnding = ".tmp";

// The temporary name writeFileAtomically writes to before the rename:
// "<target name>.<process id>.<n>.qvlt.tmp".
fs::path temporaryNameFor(const fs::path& target) {
    // Unique per process and call, so two writers of one file never share a
    // temporary file; the rename decides which complete version wins.
    static std::atomic<unsigned> counter{0};
    fs::path name = target;
    name +=
        fmt::format(".{}.{}{}", sys::processId(), counter++, kTemporaryEnding);  // ASCII: the same in every code page
    return name;
}

// The names of the temporary files that writers of this process are writing
// now (unique, as the counter is). The clean-up of stale ones leaves them, so
// a save never removes the file of another save of the same target that is
// still under way.
std::mutex inFlightMutex;
std::set<fs::path> inFlight;  // guarded by inFlightMutex

class InFlight {
public:
    explicit InFlight(const fs::path& temporary) : temporary_(temporary.filename()) {
        const std::lock_guard lock(inFlightMutex);
        inFlight.insert(temporary_);
    }
    ~InFlight() {
        const std::lock_guard lock(inFlightMutex);
        inFlight.erase(temporary_);
    }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;
    InFlight(InFlight&&) = delete;
    InFlight& operator=(InFlight&&) = delete;

private:
    fs::path temporary_;
};

bool isInFlight(const fs::path& temporary) {
    const std::lock_guard lock(inFlightMutex);
    return inFlight.contains(temporary.filename());
}

// Whether a run of characters is one or more decimal digits.
template <typename Char>
bool allDigits(std::basic_string_view<Char> text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](Char c) { return c >= Char('0') && c <= Char('9'); });
}

using PathView = std::basic_string_view<fs::path::value_type>;

// Whether the text is ".<digits>.<digits>": the process id and the count.
bool isNumberPair(PathView text) {
    using Char = fs::path::value_type;
    if (text.empty() || text.front() != Char('.')) return false;
    text.remove_prefix(1);
    const std::size_t dot = text.find(Char('.'));
    return dot != PathView::npos && allDigits(text.substr(0, dot)) && allDigits(text.substr(dot + 1));
}

// The text without the ending when it ends in it (and holds more); none otherwise.
std::optional<PathView> withoutEnding(PathView text, std::string_view ending) {
    const fs::path endingPath(ending);  // ASCII: the same in every code page
    const PathView end(endingPath.native());
    if (text.size() <= end.size() || !text.ends_with(end)) return std::nullopt;
    text.remove_suffix(end.size());
    return text;
}

// Whether the file name is one of temporaryNameFor's names for the target's
// file name, or one an earlier build gave it: the name, then
// ".<digits>.<digits>" and the ending, and nothing else.
bool isTemporaryNameOf(const fs::path& name, const fs::path& targetName) {
    const PathView base(targetName.native());
    for (const std::string_view ending : {kTemporaryEnding, kUnmarkedTemporaryEnding}) {
        const std::optional<PathView> text = withoutEnding(name.native(), ending);
        if (text && text->size() > base.size() && text->starts_with(base) && isNumberPair(text->substr(base.size()))) {
            return true;
        }
    }
    return false;
}

// A save that a kill interrupted leaves its temporary file beside the
// target, and nothing else would ever remove it. Only the target's own
// temporary names are touched, and none that a save of this process still
// writes. Failures cost a log line, never the save.
void removeStaleTemporariesOf(const fs::path& target) {
    const fs::path targetName = target.filename();
    if (targetName.empty()) return;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& candidate = it->path();
        std::error_code statusError;
        if (!isTemporaryNameOf(candidate.filename(), targetName) || !it->is_regular_file(statusError)) continue;
        if (isInFlight(candidate)) continue;
        std::error_code removeError;
        if (fs::remove(candidate, removeError)) {
            gf_log(fmt::format("Removed {}, left by an interrupted save", gf_pathToUtf8(candidate)));
        } else if (removeError) {
            gf_logAttention(fmt::format("Failed to remove {} ({})", gf_pathToUtf8(candidate), removeError.message()));
        }
    }
}

// Whether the name is one of temporaryNameFor's names for any target:
// "<name>.<digits>.<digits>.qvlt.tmp" with a name that is not empty.
bool isSaveTemporaryName(const fs::path& name) {
    using Char = fs::path::value_type;
    const std::optional<PathView> text = withoutEnding(name.native(), kTemporaryEnding);
    if (!text) return false;
    const std::size_t countDot = text->rfind(Char('.'));
    if (countDot == PathView::npos || countDot == 0) return false;
    const std::size_t idDot = text->rfind(Char('.'), countDot - 1);
    return idDot != PathView::npos && idDot > 0 && isNumberPair(text->substr(idDot));
}

bool isLeftover(const fs::path& name, const LeftoverSweep& sweep) {
    return isSaveTemporaryName(name) || std::find(sweep.names.begin(), sweep.names.end(), name) != sweep.names.end();
}

// Removes the file unless a save of this process writes it now; the lock
// keeps a save from starting on that name between the look and the removal.
bool removeLeftover(const fs::path& file) {
    const std::lock_guard lock(inFlightMutex);
    if (inFlight.contains(file.filename())) return false;
    std::error_code error;
    if (fs::remove(file, error)) {
        gf_log(fmt::format("Removed {}, left by an interrupted write", gf_pathToUtf8(file)));
        return true;
    }
    if (error) gf_logAttention(fmt::format("Failed to remove {} ({})", gf_pathToUtf8(file), error.message()));
    return false;
}

template <typename Iterator>
std::uint64_t sweepWith(Iterator it, const LeftoverSweep& sweep) {
    std::uint64_t removed = 0;
    std::error_code error;
    for (const Iterator end; !error && it != end; it.increment(error)) {
        std::error_code statusError;
        if (!isLeftover(it->path().filename(), sweep) || !it->is_regular_file(statusError)) continue;
        if (removeLeftover(it->path())) ++removed;
    }
    return removed;
}

// The test seam of writeFileAtomically's last step.
std::atomic<RenameFunction> renameFunction{&sys::replaceFile};

}  // namespace

void setRenameFunctionForTests(RenameFunction fn) { renameFunction = fn != nullptr ? fn : &sys::replaceFile; }

bool writeFileAtomically(const fs::path& target, std::string_view bytes) {
    const fs::path temporary = temporaryNameFor(target);
    const InFlight writing(temporary);
    removeStaleTemporariesOf(target);
    bool ok = sys::writeFileDurably(temporary, bytes);
    if (ok) ok = renameFunction.load()(temporary, target);
    if (!ok) {
        std::error_code ec;
        fs::remove(temporary, ec);
    }
    return ok;
}

bool FileBatch::write(const fs::path& target, std::string_view bytes) {
    const fs::path temporary = temporaryNameFor(target);
    const InFlight writing(temporary);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    bool firstHere = false;
    {
        const std::lock_guard lock(mutex_);
        firstHere = cleaned_.insert(folder).second;
    }
    if (firstHere) (void)removeLeftoverTemporaries({.folder = folder});
    bool ok = sys::writeFileQuickly(temporary, bytes);
    if (ok) ok = renameFunction.load()(temporary, target);
    if (!ok) {
        std::error_code ec;
        fs::remove(temporary, ec);
        return false;
    }
    const std::lock_guard lock(mutex_);
    written_.insert(folder);
    return true;
}

void FileBatch::noteChanged(const fs::path& folder) {
    const std::lock_guard lock(mutex_);
    written_.insert(folder);
}

bool FileBatch::flush() {
    std::set<fs::path> folders;
    {
        const std::lock_guard lock(mutex_);
        folders.swap(written_);
        cleaned_.clear();
    }
    bool ok = true;
    for (const fs::path& folder : folders) {
        if (sys::flushFolderToDisk(folder)) continue;
        gf_logAttention(fmt::format("{} could not be flushed to disk", gf_pathToUtf8(folder)));
        ok = false;
    }
    return ok;
}

std::uint64_t removeLeftoverTemporaries(const LeftoverSweep& sweep) {
    try {
        std::error_code error;
        if (!fs::is_directory(sweep.folder, error)) return 0;
        if (sweep.subfolders) {
            return sweepWith(
                fs::recursive_directory_iterator(sweep.folder, fs::directory_options::skip_permission_denied, error),
                sweep);
        }
        return sweepWith(fs::directory_iterator(sweep.folder, error), sweep);
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("Leftovers in {} not removed: {}", gf_pathToUtf8(sweep.folder), e.what()));
        return 0;
    }
}

std::uint64_t gf_countFilesInFolder(const fs::path& folder) {
    std::error_code ec;
    if (!fs::exists(folder, ec)) return 0;
    std::uint64_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) ++count;
    }
    return count;
}

}  // namespace qvl
