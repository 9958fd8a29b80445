// Where the liveries scan looks: the AI packages it finds in the simulator's
// Community folder (or the user's lfolder settings), and the aircraft.cfg
// files below each package folder, walked in a fixed order.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string_view>
#include <vector>

#include "liveries/livery_data.h"

namespace qvl {

// The package folders of one scan, in priority order.
using PackageFolderList = std::vector<std::filesystem::path>;

// Automatic mode: the detectors of the packages AI_PACKAGE_SELECTOR names, in
// its order, then the user's own package. std::runtime_error "AI_PACKAGE_SELECTOR
// not set" when the setting holds no value of its list. A Community folder
// that cannot be listed is logged and gives no folder.
void lf_collectPackageFolders(const std::filesystem::path& community, PackageFolderList& folders);

// Each appends the first entry of the Community folder (in name order) whose
// name holds the package's word and not "_CVT_", and logs it. Entries whose
// names are no UTF-8 are passed over with a log line.
void lf_findAigFolder(const std::filesystem::path& community, PackageFolderList& folders);
void lf_findFsltlFolder(const std::filesystem::path& community, PackageFolderList& folders);
void lf_findJfFolder(const std::filesystem::path& community, PackageFolderList& folders);
void lf_findMtlFolder(const std::filesystem::path& community, PackageFolderList& folders);
void lf_findUserAitrafficFolder(const std::filesystem::path& community, PackageFolderList& folders);

// Manual mode: the folders of lfolder0 to lfolder9 that are set, in order.
// UserErrorException 243 for a path that does not exist.
void lf_checkLfolderPath(PackageFolderList& folders);

// Which reader an aircraft.cfg goes to.
enum class CfgFileKind : std::uint8_t { ordinary, ivao };

struct CfgFileEntry {
    std::filesystem::path path;
    CfgFileKind kind = CfgFileKind::ordinary;
};

// Hands every aircraft.cfg below the package folder to `visit`, depth first,
// the entries of each folder in name order, until `visit` returns false.
// The walk does not enter folders whose path below the package folder holds
// a stop word, nor folders whose full path is 250 bytes or longer; it
// follows a link to a folder only when the folder lies inside the package
// folder, and enters no folder twice. Entries that cannot be read, or whose
// names cannot be read as text, are logged and passed over. Once `stop` is
// requested the walk ends at the next entry. Returns the number of files
// handed over.
std::size_t walkAircraftCfgFiles(const std::filesystem::path& packageFolder,
                                 const std::function<bool(CfgFileEntry&&)>& visit, const std::stop_token& stop = {});

// The file name is aircraft.cfg in any case of the letters.
[[nodiscard]] bool isAircraftCfgName(const std::filesystem::path& fileName);
// The same for a name already turned into text.
[[nodiscard]] bool isAircraftCfgText(std::string_view name);

// Of the records of one (airline, second airline, model), only those of the
// lowest folder index that has them stay; the order of the rest is kept.
void prioritizeLiveries(LiveryList& liveries);

// Sorts into livery order and drops each record equal to the one before it
// in title, airline, second airline, model and registration.
void sortAndDropRepeatedLiveries(LiveryList& liveries);

}  // namespace qvl
