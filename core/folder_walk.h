// A walk through a folder tree that a hostile tree cannot hang or lead
// astray: depth first, the entries of each folder in name order (so every
// walk sees the files in the same order), a link to a folder followed only
// when the folder lies inside the tree, no folder entered twice, and entries
// that cannot be read, or whose names are no text, logged and passed over.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qvl {

struct WalkEntry {
    const std::filesystem::directory_entry& entry;
    const std::string& pathText;  // the full path as UTF-8
    bool folder = false;
};

enum class WalkStep : std::uint8_t {
    go,    // a folder: enter it; a file: go on with the next entry
    skip,  // a folder: do not enter it; a file: go on
    stop,  // end the walk
};

// One entry of a folder, with its full path as UTF-8.
struct ListedEntry {
    std::filesystem::directory_entry entry;
    std::string pathText;
};

// The entries of one folder in name order, without throwing: a folder that
// cannot be listed (missing, no rights, an error part-way) gives none, and
// entries whose names are no UTF-8 are passed over; each with one log line
// that `what` begins ("liveries scan").
std::vector<ListedEntry> listFolder(const std::filesystem::path& folder, std::string_view what);

// Hands every entry below `root` to `visit`, each folder listed by
// listFolder; `what` names the walk in its log lines ("liveries scan").
// False when `visit` stopped the walk.
bool walkFolderTree(const std::filesystem::path& root, std::string_view what,
                    const std::function<WalkStep(const WalkEntry&)>& visit);

}  // namespace qvl
