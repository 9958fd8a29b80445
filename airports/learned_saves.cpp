#include "airports/learned_saves.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>

namespace qvl {
namespace {

namespace fs = std::filesystem;

// How often a wait looks at its stop.
constexpr std::chrono::milliseconds kStopSlice{50};

// Files are process-wide, and so are the saves under way: every reader of a
// learned file sees them, whoever handed them over.
struct SavesUnderWay {
    std::mutex mutex;  // a leaf lock: guards `files`
    std::condition_variable ended;
    std::map<fs::path, int> files;  // the number of saves under way per file
};

SavesUnderWay& savesUnderWay() {
    static SavesUnderWay saves;
    return saves;
}

fs::path keyOf(const fs::path& file) { return file.lexically_normal(); }

}  // namespace

LearnedSaveMark::LearnedSaveMark(const fs::path& file) : file_(keyOf(file)) {
    SavesUnderWay& saves = savesUnderWay();
    const std::scoped_lock lock(saves.mutex);
    ++saves.files[file_];
}

LearnedSaveMark::~LearnedSaveMark() {
    SavesUnderWay& saves = savesUnderWay();
    {
        const std::scoped_lock lock(saves.mutex);
        const auto found = saves.files.find(file_);
        if (found != saves.files.end() && --found->second <= 0) saves.files.erase(found);
    }
    saves.ended.notify_all();
}

bool waitForLearnedSave(const fs::path& file, std::chrono::milliseconds bound, const std::function<bool()>& stop) {
    const fs::path key = keyOf(file);
    SavesUnderWay& saves = savesUnderWay();
    const auto end = std::chrono::steady_clock::now() + bound;
    std::unique_lock lock(saves.mutex);
    const auto none = [&] { return !saves.files.contains(key); };
    while (!none()) {
        if (stop && stop()) return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return false;
        saves.ended.wait_until(lock, std::min(end, now + kStopSlice), none);
    }
    return true;
}

}  // namespace qvl
