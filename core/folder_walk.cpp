#include "core/folder_walk.h"

#include <fmt/format.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <set>
#include <system_error>
#include <vector>

#include "core/log.h"
#include "core/text_file.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

// The path as UTF-8 text, or none when its name is no text (possible on
// Windows with a lone surrogate in a file name).
std::optional<std::string> pathText(const fs::path& path) {
    try {
        return gf_pathToUtf8(path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The folder's own path with its links resolved, to tell whether a linked
// folder lies inside the tree and whether it was entered before.
std::optional<fs::path> resolved(const fs::path& folder) {
    std::error_code ec;
    fs::path canonical = fs::canonical(folder, ec);
    if (ec) return std::nullopt;
    return canonical;
}

bool isInside(const fs::path& folder, const fs::path& root) {
    auto f = folder.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++f) {
        if (f == folder.end() || *f != *r) return false;
    }
    return true;
}

class FolderWalk {
public:
    FolderWalk(std::string_view what, const std::function<WalkStep(const WalkEntry&)>& visit)
        : what_(what), visit_(visit) {}

    bool run(const fs::path& root) {
        const std::optional<fs::path> resolvedRoot = resolved(root);
        if (!resolvedRoot) return true;
        root_ = *resolvedRoot;
        entered_.insert(root_);
        return walk(root);
    }

private:
    // False once the visitor asked to stop.
    bool walk(const fs::path& folder) {
        std::vector<fs::directory_entry> entries;
        try {
            for (const fs::directory_entry& entry : fs::directory_iterator(folder)) entries.push_back(entry);
        } catch (const fs::filesystem_error& e) {
            gf_log(fmt::format("{}: folder passed over: {}", what_, e.what()));
            return true;
        }
        std::sort(entries.begin(), entries.end(),
                  [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });
        return std::all_of(entries.begin(), entries.end(),
                           [this](const fs::directory_entry& e) { return visitEntry(e); });
    }

    bool visitEntry(const fs::directory_entry& entry) {
        const std::optional<std::string> text = pathText(entry.path());
        if (!text) {
            gf_log(fmt::format("{}: an entry whose name is no text passed over", what_));
            return true;
        }
        std::error_code ec;
        const bool folder = entry.is_directory(ec) && !ec;
        const WalkStep step = visit_({.entry = entry, .pathText = *text, .folder = folder});
        if (step == WalkStep::stop) return false;
        if (!folder || step == WalkStep::skip) return true;
        const std::optional<fs::path> target = resolved(entry.path());
        if (!target) return true;
        if (!isInside(*target, root_)) {
            gf_log(fmt::format("{}: link out of the folder not followed: {}", what_, *text));
            return true;
        }
        if (!entered_.insert(*target).second) return true;
        return walk(entry.path());
    }

    std::string_view what_;
    const std::function<WalkStep(const WalkEntry&)>& visit_;
    fs::path root_;
    std::set<fs::path> entered_;
};

}  // namespace

bool walkFolderTree(const fs::path& root, std::string_view what,
                    const std::function<WalkStep(const WalkEntry&)>& visit) {
    FolderWalk walk(what, visit);
    return walk.run(root);
}

}  // namespace qvl
