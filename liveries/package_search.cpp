#include "liveries/package_search.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "core/folder_walk.h"
#include "core/log.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "core/user_error.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kCvt = "_CVT_";
constexpr std::size_t kLongestPathBytes = 250;
constexpr std::array<std::string_view, 9> kStopWords = {"airport",   "lvfr",     "mkstudios", "simwings", "fsdreamteam",
                                                        "navigraph", "flytampa", "inibuilds", "_CVT_"};

struct Detector {
    std::string_view package;  // as AI_PACKAGE_SELECTOR names it
    std::string_view logName;
    std::array<std::string_view, 2> words;  // an empty second word: none
};

constexpr Detector kAig{.package = "AIG", .logName = "AIG", .words = {"aig-aitraffic-oci", ""}};
constexpr Detector kFsltl{.package = "FSLTL", .logName = "FSLTL", .words = {"fsltl-traffic-base", ""}};
constexpr Detector kJf{
    .package = "JF", .logName = "JF", .words = {"justflight-aircraft-traffic-fleet", "justflight-fstraffic-module"}};
constexpr Detector kMtl{.package = "MTL", .logName = "IVAO_MTL", .words = {"IVAO_MTL", ""}};
constexpr Detector kUserAitraffic{.package = "", .logName = "user-aitraffic", .words = {"user-aitraffic", ""}};

// The path as UTF-8 text, or none when its name is no text (possible on
// Windows with a lone surrogate in a file name).
std::optional<std::string> pathText(const fs::path& path) {
    try {
        return gf_pathToUtf8(path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The entries of a folder, sorted by name, so that every scan sees them in
// the same order whatever the file system's order is.
std::vector<fs::directory_entry> sortedEntries(const fs::path& folder) {
    std::vector<fs::directory_entry> entries;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) entries.push_back(entry);
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });
    return entries;
}

bool nameMatches(const Detector& detector, std::string_view name) {
    if (name.find(kCvt) != std::string_view::npos) return false;
    return std::any_of(detector.words.begin(), detector.words.end(), [name](std::string_view word) {
        return !word.empty() && name.find(word) != std::string_view::npos;
    });
}

void detect(const Detector& detector, const fs::path& community, PackageFolderList& folders) {
    for (const fs::directory_entry& entry : sortedEntries(community)) {
        const std::optional<std::string> name = pathText(entry.path().filename());
        if (!name || !nameMatches(detector, *name)) continue;
        gf_log(fmt::format("Automatic {} scan found folder: '{}'", detector.logName, gf_pathToUtf8(entry.path())));
        gf_flushLog();
        folders.push_back(entry.path());
        return;
    }
}

const Detector* detectorFor(std::string_view package) {
    for (const Detector* detector : {&kAig, &kFsltl, &kJf, &kMtl}) {
        if (detector->package == package) return detector;
    }
    return nullptr;
}

bool holdsStopWord(std::string_view text) {
    return std::any_of(kStopWords.begin(), kStopWords.end(),
                       [text](std::string_view word) { return text.find(word) != std::string_view::npos; });
}

bool isIvaoPath(std::string_view text) {
    return text.find("ivao_x-csl") != std::string_view::npos || text.find("IVAO_MTL") != std::string_view::npos;
}

struct GroupKey {
    std::uint16_t airlineId;
    std::uint16_t secondAirlineId;
    std::uint16_t modelId;
    friend bool operator==(const GroupKey&, const GroupKey&) = default;
};

struct GroupKeyHash {
    std::size_t operator()(const GroupKey& k) const noexcept {
        return std::hash<std::uint64_t>{}(std::uint64_t{k.airlineId} | (std::uint64_t{k.secondAirlineId} << 16U) |
                                          (std::uint64_t{k.modelId} << 32U));
    }
};

GroupKey groupOf(const LiveryData& livery) {
    return {.airlineId = livery.key.airlineId,
            .secondAirlineId = livery.key.secondAirlineId,
            .modelId = livery.key.modelId};
}

bool sameStoredRecord(const LiveryData& a, const LiveryData& b) {
    return a.title == b.title && a.key.airlineId == b.key.airlineId && a.key.secondAirlineId == b.key.secondAirlineId &&
           a.key.modelId == b.key.modelId && a.registration == b.registration;
}

}  // namespace

void lf_findAigFolder(const fs::path& community, PackageFolderList& folders) { detect(kAig, community, folders); }
void lf_findFsltlFolder(const fs::path& community, PackageFolderList& folders) { detect(kFsltl, community, folders); }
void lf_findJfFolder(const fs::path& community, PackageFolderList& folders) { detect(kJf, community, folders); }
void lf_findMtlFolder(const fs::path& community, PackageFolderList& folders) { detect(kMtl, community, folders); }
void lf_findUserAitrafficFolder(const fs::path& community, PackageFolderList& folders) {
    detect(kUserAitraffic, community, folders);
}

void lf_collectPackageFolders(const fs::path& community, PackageFolderList& folders) {
    if (!gf_findChoiceIndex(AI_PACKAGE_SELECTOR)) {
        throw std::runtime_error(fmt::format("{} not set", AI_PACKAGE_SELECTOR.key()));
    }
    const std::string order = AI_PACKAGE_SELECTOR.value();
    std::string_view rest = order;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string_view package = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        while (!package.empty() && package.front() == ' ') package.remove_prefix(1);
        if (const Detector* detector = detectorFor(package)) detect(*detector, community, folders);
    }
    lf_findUserAitrafficFolder(community, folders);
}

void lf_checkLfolderPath(PackageFolderList& folders) {
    for (const StringParameter* setting : {&lfolder0, &lfolder1, &lfolder2, &lfolder3, &lfolder4, &lfolder5, &lfolder6,
                                           &lfolder7, &lfolder8, &lfolder9}) {
        const std::string value = setting->value();
        if (value.empty()) continue;
        const fs::path folder = pathFromUtf8(value);
        std::error_code ec;
        if (!fs::exists(folder, ec)) {
            gf_logAttention(fmt::format("{}: '{}' does not exist", setting->key(), value));
            throw UserErrorException(
                243, fmt::format("the path pointed to by parameter '{}' does not exist, see Log.txt!", setting->key()));
        }
        folders.push_back(folder);
    }
}

bool isAircraftCfgName(const fs::path& fileName) {
    const std::optional<std::string> name = pathText(fileName);
    if (!name || name->size() != std::string_view("aircraft.cfg").size()) return false;
    std::string upper = *name;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper == "AIRCRAFT.CFG";
}

std::size_t walkAircraftCfgFiles(const fs::path& packageFolder, const std::function<bool(const CfgFileEntry&)>& visit) {
    // The words are looked for below the package folder only: a user folder
    // that happens to hold one would otherwise hide every package.
    const std::size_t rootLength = pathText(packageFolder).value_or("").size();
    std::size_t handed = 0;
    walkFolderTree(packageFolder, "liveries scan", [&](const WalkEntry& e) {
        if (e.folder) {
            const std::string_view below = std::string_view(e.pathText).substr(std::min(rootLength, e.pathText.size()));
            return holdsStopWord(below) || e.pathText.size() >= kLongestPathBytes ? WalkStep::skip : WalkStep::go;
        }
        std::error_code ec;
        if (!e.entry.is_regular_file(ec) || ec || !isAircraftCfgName(e.entry.path().filename())) return WalkStep::go;
        ++handed;
        const bool goOn =
            visit({.path = e.entry.path(), .kind = isIvaoPath(e.pathText) ? CfgFileKind::ivao : CfgFileKind::ordinary});
        return goOn ? WalkStep::go : WalkStep::stop;
    });
    return handed;
}

void prioritizeLiveries(LiveryList& liveries) {
    std::unordered_map<GroupKey, std::int16_t, GroupKeyHash> lowest;
    for (const LiveryData& livery : liveries) {
        auto [it, added] = lowest.try_emplace(groupOf(livery), livery.folderIndex);
        if (!added) it->second = std::min(it->second, livery.folderIndex);
    }
    std::erase_if(liveries,
                  [&lowest](const LiveryData& livery) { return livery.folderIndex > lowest.at(groupOf(livery)); });
}

void sortAndDropRepeatedLiveries(LiveryList& liveries) {
    sortLiveries(liveries);
    const auto end = std::unique(liveries.begin(), liveries.end(), sameStoredRecord);
    liveries.erase(end, liveries.end());
}

}  // namespace qvl
