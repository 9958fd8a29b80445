#include "core/folder_walk.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <optional>
#include <system_error>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/text_file.h"
#include "platform/sys/file_identity.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

// The folder's own path with its links resolved, to tell whether a linked
// folder lies inside the tree.
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

// A folder reached without a link lies inside the folder it was listed in,
// so only a link needs its path resolved; every entered folder is known by
// its identity, which a link to it shares.
class FolderWalk {
public:
    FolderWalk(std::string_view what, const std::function<WalkStep(const WalkEntry&)>& visit)
        : what_(what), visit_(visit) {}

    bool run(const fs::path& root) {
        const std::optional<fs::path> resolvedRoot = resolved(root);
        if (!resolvedRoot) return true;
        const std::optional<sys::FileIdentity> identity = sys::fileIdentity(*resolvedRoot);
        if (!identity) return true;
        root_ = *resolvedRoot;
        entered_.insert(*identity);
        return walk(root);
    }

private:
    // False once the visitor asked to stop.
    bool walk(const fs::path& folder) {
        const std::vector<ListedEntry> entries = listFolder(folder, what_);
        return std::all_of(entries.begin(), entries.end(), [this](const ListedEntry& e) { return visitEntry(e); });
    }

    bool visitEntry(const ListedEntry& listed) {
        const fs::directory_entry& entry = listed.entry;
        std::error_code ec;
        const bool folder = entry.is_directory(ec) && !ec;
        const WalkStep step = visit_({.entry = entry, .pathText = listed.pathText, .folder = folder});
        if (step == WalkStep::stop) return false;
        if (!folder || step == WalkStep::skip) return true;
        const bool link = entry.is_symlink(ec) && !ec;
        if (link) {
            const std::optional<fs::path> target = resolved(entry.path());
            if (!target) return true;
            if (!isInside(*target, root_)) {
                gf_log(fmt::format("{}: link out of the folder not followed: {}", what_, listed.pathText));
                return true;
            }
        }
        const std::optional<sys::FileIdentity> identity = sys::fileIdentity(entry.path());
        if (!identity || !entered_.insert(*identity).second) return true;
        return walk(entry.path());
    }

    std::string_view what_;
    const std::function<WalkStep(const WalkEntry&)>& visit_;
    fs::path root_;
    std::unordered_set<sys::FileIdentity, sys::FileIdentityHash> entered_;
};

}  // namespace

std::vector<ListedEntry> listFolder(const fs::path& folder, std::string_view what) {
    std::vector<fs::directory_entry> entries;
    try {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) entries.push_back(entry);
    } catch (const fs::filesystem_error& e) {
        gf_log(fmt::format("{}: folder passed over: {}", what, e.what()));
        return {};
    }
    // The entries share their folder, so their names alone give the order of
    // their paths, without comparing every path element by element.
    using NameView = std::basic_string_view<fs::path::value_type>;
    std::vector<std::pair<NameView, std::size_t>> names;
    names.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const NameView path = entries[i].path().native();
        // Windows takes both separators; elsewhere both are '/'.
        const std::array<fs::path::value_type, 2> separators{fs::path::preferred_separator, '/'};
        const std::size_t separator = path.find_last_of(NameView(separators.data(), separators.size()));
        names.emplace_back(separator == NameView::npos ? path : path.substr(separator + 1), i);
    }
    std::sort(names.begin(), names.end());
    std::vector<ListedEntry> listed;
    listed.reserve(entries.size());
    std::size_t nonText = 0;
    for (const auto& [name, index] : names) {
        fs::directory_entry& entry = entries[index];
        // A name that is no UTF-8 would reach log lines, settings and the
        // files that name it as bytes no reader can take.
        std::optional<std::string> text = checkedPathToUtf8(entry.path());
        if (!text) {
            ++nonText;
            continue;
        }
        listed.push_back({.entry = std::move(entry), .pathText = std::move(*text)});
    }
    if (nonText > 0) {
        // One line per folder, however many such names it holds.
        const std::optional<std::string> folderText = checkedPathToUtf8(folder);
        gf_log(fmt::format("{}: {} entr{} of {} passed over: the name is not UTF-8", what, nonText,
                           nonText == 1 ? "y" : "ies", folderText.value_or("a folder whose name is not UTF-8")));
    }
    return listed;
}

bool walkFolderTree(const fs::path& root, std::string_view what,
                    const std::function<WalkStep(const WalkEntry&)>& visit) {
    FolderWalk walk(what, visit);
    return walk.run(root);
}

}  // namespace qvl
