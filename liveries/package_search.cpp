#include "liveries/package_search.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdint>
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

constexpr std::string_view kWhat = "liveries scan";

bool nameMatches(const Detector& detector, std::string_view name) {
    if (name.find(kCvt) != std::string_view::npos) return false;
    return std::any_of(detector.words.begin(), detector.words.end(), [name](std::string_view word) {
        return !word.empty() && name.find(word) != std::string_view::npos;
    });
}

// The Community folder's entries are listed once per scan and handed to
// every detector. A folder that cannot be listed, or a name that is no
// UTF-8, costs a log line (listFolder's), never the scan.
void detect(const Detector& detector, const std::vector<ListedEntry>& community, PackageFolderList& folders) {
    for (const ListedEntry& listed : community) {
        const std::string name = gf_pathToUtf8(listed.entry.path().filename());
        if (!nameMatches(detector, name)) continue;
        gf_log(fmt::format("Automatic {} scan found folder: '{}'", detector.logName, listed.pathText));
        gf_flushLog();
        folders.push_back(listed.entry.path());
        return;
    }
}

void detect(const Detector& detector, const fs::path& community, PackageFolderList& folders) {
    detect(detector, listFolder(community, kWhat), folders);
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

// Where the last element of a path's text begins: after the last separator
// (on Windows '/' separates too).
std::size_t nameStart(std::string_view pathText) {
    const std::array<char, 2> separators{static_cast<char>(fs::path::preferred_separator), '/'};
    const std::size_t separator = pathText.find_last_of(std::string_view(separators.data(), separators.size()));
    return separator == std::string_view::npos ? 0 : separator + 1;
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
    const std::vector<ListedEntry> entries = listFolder(community, kWhat);
    const std::string order = AI_PACKAGE_SELECTOR.value();
    std::string_view rest = order;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string_view package = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        while (!package.empty() && package.front() == ' ') package.remove_prefix(1);
        if (const Detector* detector = detectorFor(package)) detect(*detector, entries, folders);
    }
    detect(kUserAitraffic, entries, folders);
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
    const std::optional<std::string> name = checkedPathToUtf8(fileName);
    return name && isAircraftCfgText(*name);
}

bool isAircraftCfgText(std::string_view name) {
    constexpr std::string_view kName = "AIRCRAFT.CFG";
    return name.size() == kName.size() && std::equal(name.begin(), name.end(), kName.begin(), [](char c, char upper) {
               return (c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) == upper;
           });
}

std::size_t walkAircraftCfgFiles(const fs::path& packageFolder, const std::function<bool(CfgFileEntry&&)>& visit,
                                 const std::stop_token& stop) {
    // The words are looked for below the package folder only: a user folder
    // that happens to hold one would otherwise hide every package.
    const std::size_t rootLength = checkedPathToUtf8(packageFolder).value_or("").size();
    std::size_t handed = 0;
    walkFolderTree(packageFolder, kWhat, [&](const WalkEntry& e) {
        if (stop.stop_requested()) return WalkStep::stop;
        if (e.folder) {
            const std::string_view below = std::string_view(e.pathText).substr(std::min(rootLength, e.pathText.size()));
            return holdsStopWord(below) || e.pathText.size() >= kLongestPathBytes ? WalkStep::skip : WalkStep::go;
        }
        std::error_code ec;
        // The name is the path's text after its last separator: taken from
        // the text the walk made, it costs no conversion.
        const std::string_view name = std::string_view(e.pathText).substr(nameStart(e.pathText));
        if (!isAircraftCfgText(name) || !e.entry.is_regular_file(ec) || ec) return WalkStep::go;
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

void sortAndDropRepeatedLiveries(LiveryList& liveries) { sortLiveries(liveries, {.repeated = RepeatedLiveries::drop}); }

}  // namespace qvl
