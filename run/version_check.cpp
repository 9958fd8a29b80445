#include "run/version_check.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>

#include "airports/closest_stand.h"
#include "core/files.h"
#include "core/log.h"
#include "core/messages.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "core/user_error.h"
#include "core/xml.h"
#include "platform/sys/file_io.h"
#include "refdata/data_file.h"
#include "run/window/folder_openers.h"
#include "run/window/shell.h"
#include "run/zip_reader.h"

namespace fs = std::filesystem;

namespace qvl {
namespace {

constexpr int kNewVersionFailedCode = 112;
constexpr std::int32_t kMaxVersionPart = 65535;
// learned/<archive>/<publisher>/<file>: the deepest a learned file lies.
constexpr int kLearnedFolderDepth = 2;
constexpr std::string_view kProgramKey = "msfs_app";
const fs::path kVersionsJson{"versions.json"};
const fs::path kArchiveName{"latest_version.zip"};
const fs::path kReadmeName{"README.txt"};
// Why a download of the check ends early: only a close stops one.
constexpr std::string_view kStoppedByTheClose = "Quorvelant is closing";

void lf_logUpdated(std::string_view key, const VersionRecord& version) {
    gf_log(fmt::format("{} updated to {}", key, gf_versionToString(version)));
}

void lf_logUpToDate(std::string_view key) { gf_log(fmt::format("{} version up-to-date", key)); }

void lf_logVersionNotFound(std::string_view key) { gf_logAttention(fmt::format("{} version not found", key)); }

// A member that is a version part. A release never numbers a part above
// 65535 (the most a Windows version resource holds): a larger one stored as
// the current version would leave no later release newer.
std::optional<std::int32_t> versionPart(const nlohmann::json& object, const char* name) {
    const auto it = object.find(name);
    if (it == object.end() || !it->is_number_integer()) return std::nullopt;
    if (it->is_number_unsigned()) {
        const auto value = it->get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(kMaxVersionPart)) return std::nullopt;
        return static_cast<std::int32_t>(value);
    }
    const auto value = it->get<std::int64_t>();
    if (value < 0 || value > kMaxVersionPart) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<VersionRecord> versionOf(const nlohmann::json& item) {
    if (!item.is_object()) return std::nullopt;
    const auto major = versionPart(item, "major");
    const auto minor = versionPart(item, "minor");
    const auto patch = versionPart(item, "patch");
    if (!major || !minor || !patch) return std::nullopt;
    return VersionRecord{.major = *major, .minor = *minor, .patch = *patch};
}

std::optional<std::string> readWholeFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return text;
}

void removeWithWarning(const fs::path& file, std::string_view what) {
    std::error_code error;
    fs::remove(file, error);
    if (error) gf_logAttention(fmt::format("Warning: could not remove {}: {}", what, error.message()));
}

// The versions the site names; an unreadable versions.json names none.
// None at all when the site cannot be reached or the file not opened: then
// there is nothing to check.
std::optional<WebVersions> fetchWebVersions(const fs::path& file, const DownloadLimits& limits,
                                            const DownloadStop& stop) {
    const CurlHandle curl;
    if (!gf_downloadToFile(curl, downloadBase() + gf_pathToUtf8(kVersionsJson), file, limits, stop)) {
        if (!stop()) gf_logAttention("Downloading version info from my web site failed!");
        return std::nullopt;
    }
    const std::optional<std::string> text = readWholeFile(file);
    removeWithWarning(file, gf_pathToUtf8(file));
    if (!text) {
        gf_logAttention("Cannot open versions.json");
        return std::nullopt;
    }
    auto read = readVersionsJson(*text);
    if (!read) {
        gf_logAttention(fmt::format("versions.json is not readable ({}); no version found", read.errorText()));
        return WebVersions{};
    }
    for (const std::string& key : read->unreadableKeys) {
        gf_logAttention(fmt::format("versions.json: '{}' has no whole-number major, minor and patch from 0 to {}", key,
                                    kMaxVersionPart));
    }
    return std::move(read).value();
}

const VersionRecord* find(const WebVersions& web, std::string_view key) {
    const auto it = web.versions.find(key);
    return it == web.versions.end() ? nullptr : &it->second;
}

// The plain text a downloaded data file decrypts to while it is checked.
fs::path checkedPlainFor(const fs::path& file) {
    fs::path plain = file;
    plain += ".check";
    return plain;
}

// Whether the file decrypts with the program's key. The plain text it
// decrypts to is the reference data in the clear: it is removed whichever
// way the check ends (a kill leaves it to the next start).
bool decrypts(const fs::path& file) {
    const fs::path plain = checkedPlainFor(file);
    const PlainFileGuard removePlain(plain);
    return gf_streamDecrypt(file, plain);
}

// Where each data file's download lands before it replaces the file.
fs::path candidateFor(const fs::path& target) {
    fs::path candidate = target;
    candidate += ".new";
    return candidate;
}

struct DataFileItem {
    std::string_view key;
    const fs::path& fileName;
    StringParameter& storedVersion;
};

struct ScanRulesItem {
    std::string_view key;
    StringParameter& storedVersion;
    BoolControlParameter& scanSwitch;
};

// Only the installer (or an archive's only entry) is unpacked, and only
// under the name the program gives it.
bool unpackInstaller(const fs::path& archive, const fs::path& installer, std::uint64_t maxBytes) {
    auto reader = ZipArchiveReader::open(archive);
    if (!reader) {
        gf_logAttention(fmt::format("Could not open {}: {}", gf_pathToUtf8(archive), reader.errorText()));
        return false;
    }
    const std::vector<std::string> names = reader->entryNames();
    const std::string wanted = gf_pathToUtf8(kInstallerName);
    std::string entry;
    if (std::find(names.begin(), names.end(), wanted) != names.end()) {
        entry = wanted;
    } else if (names.size() == 1 && isContainedEntryName(names.front())) {
        entry = names.front();
    } else {
        gf_logAttention(fmt::format("{} holds no {}", gf_pathToUtf8(archive), wanted));
        return false;
    }
    if (auto done = reader->extract(entry, installer, maxBytes); !done) {
        gf_logAttention(fmt::format("Unzipping error: {}", done.errorText()));
        return false;
    }
    gf_log(fmt::format("{} unzipped to {}", gf_pathToUtf8(archive), gf_pathToUtf8(installer)));
    return true;
}

// Moves the unpacked installer into the emptied new_version folder, checking
// that the move kept every byte.
bool moveIntoNewVersion(const fs::path& installer, const fs::path& newVersion) {
    std::error_code error;
    if (fs::is_directory(newVersion, error)) {
        gf_removeFilesFromDirectory(newVersion);
    } else if (!fs::create_directory(newVersion, error) || error) {
        gf_logAttention(fmt::format("could not create {}: {}", gf_pathToUtf8(newVersion), error.message()));
        return false;
    }
    const fs::path target = newVersion / kInstallerName;
    fs::path part = target;
    part += ".part";
    fs::remove(part, error);
    fs::remove(target, error);
    const auto sizeBefore = fs::file_size(installer, error);
    if (error) {
        gf_logAttention(fmt::format("file_size({}) failed: {}", gf_pathToUtf8(installer), error.message()));
        return false;
    }
    fs::rename(installer, part, error);
    if (error) {
        gf_logAttention(fmt::format("could not rename {} => {}: {}", gf_pathToUtf8(installer), gf_pathToUtf8(part),
                                    error.message()));
        return false;
    }
    const auto sizeAfter = fs::file_size(part, error);
    if (error) {
        gf_logAttention(fmt::format("file_size({}) failed: {}", gf_pathToUtf8(part), error.message()));
        return false;
    }
    if (sizeBefore != sizeAfter) {
        gf_logAttention(fmt::format("rename {} => {} suspicious: size {} != {}", gf_pathToUtf8(installer),
                                    gf_pathToUtf8(part), sizeBefore, sizeAfter));
        return false;
    }
    fs::rename(part, target, error);
    if (error) {
        gf_logAttention(fmt::format("could not finalize rename {} => {}: {}", gf_pathToUtf8(part),
                                    gf_pathToUtf8(target), error.message()));
        return false;
    }
    return true;
}

// The folder and the folders below it, down to `depth` levels; links to
// folders below it are not followed. A folder that cannot be listed is left out.
std::vector<fs::path> foldersWithin(const fs::path& top, int depth) {
    std::vector<fs::path> folders;
    std::error_code error;
    if (!fs::is_directory(top, error)) return folders;
    folders.push_back(top);
    std::size_t levelStart = 0;
    for (int level = 0; level < depth; ++level) {
        const std::size_t levelEnd = folders.size();
        for (std::size_t i = levelStart; i < levelEnd; ++i) {
            for (fs::directory_iterator it(folders[i], error), end; !error && it != end; it.increment(error)) {
                std::error_code statusError;
                if (it->is_directory(statusError) && !it->is_symlink(statusError)) folders.push_back(it->path());
            }
            error.clear();
        }
        levelStart = levelEnd;
    }
    return folders;
}

}  // namespace

Result<WebVersions, VersionsJsonError> readVersionsJson(std::string_view text) {
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded()) return fail(VersionsJsonError::notJson, "not JSON");
    if (!document.is_object()) return fail(VersionsJsonError::notAnObject, "not a JSON object");
    WebVersions web;
    for (const auto& [key, item] : document.items()) {
        if (const auto version = versionOf(item)) {
            web.versions.emplace(key, *version);
        } else {
            web.unreadableKeys.push_back(key);
        }
    }
    return web;
}

VersionCheck::VersionCheck(VersionCheckOwners owners)
    : owners_(std::move(owners)), stop_([&run = owners_.run] { return run.isClosing(); }, kStoppedByTheClose) {}

fs::path VersionCheck::inFolder(const fs::path& relative) const { return owners_.programFolder / relative; }

bool VersionCheck::gf_checkVersions() {
    const std::optional<WebVersions> fetched =
        fetchWebVersions(inFolder(kVersionsJson), owners_.limits.versionInfo, stop_);
    if (owners_.run.isClosing()) return false;
    if (!fetched) return true;
    const WebVersions& web = *fetched;

    if (const VersionRecord* program = find(web, kProgramKey)) {
        gf_log(fmt::format("{} program version at web = {}", kProgramKey, gf_versionToString(*program)));
        if (*program > programVersion()) {
            updateProgram(*program);
            return false;
        }
        lf_logUpToDate(kProgramKey);
    } else {
        lf_logVersionNotFound(kProgramKey);
    }

    // A close ends the check where it is: a download it stopped is no
    // failure, and what was not checked yet is not reported.
    const std::array<std::function<void()>, 5> checks{
        [&] { checkDataFile("airports", find(web, "airports")); },
        [&] { checkDataFile("aig", find(web, "aig")); },
        [&] { checkScanRules("liveries", find(web, "liveries")); },
        [&] { checkScanRules("addons", find(web, "addons")); },
        [&] { checkDataFile("dbase", find(web, "dbase")); },
    };
    for (const auto& check : checks) {
        if (owners_.run.isClosing()) return false;
        check();
    }
    return !owners_.run.isClosing();
}

void VersionCheck::checkDataFile(std::string_view key, const VersionRecord* web) {
    static const std::array<DataFileItem, 3> items{{
        {.key = "airports", .fileName = kAirportsEncName, .storedVersion = AIRPORTS_VERSION},
        {.key = "aig", .fileName = kAigRegcodesEncName, .storedVersion = AIG_VERSION},
        {.key = "dbase", .fileName = kDbaseEncName, .storedVersion = DBASE_VERSION},
    }};
    if (web == nullptr) {
        lf_logVersionNotFound(key);
        return;
    }
    const DataFileItem& item = *std::find_if(items.begin(), items.end(), [&](const auto& i) { return i.key == key; });
    const fs::path target = inFolder(kInputFolder / item.fileName);
    const bool newer = *web > gf_parseVersion(item.storedVersion.value());
    if (!newer && fs::exists(target)) {
        lf_logUpToDate(key);
        return;
    }
    // The download lands beside the file and replaces it only when it
    // decrypts: an error page served as the file must not break every
    // later start.
    const fs::path candidate = candidateFor(target);
    if (!gf_downloadFile(item.fileName, candidate, owners_.limits.dataFile, stop_)) return;
    if (!decrypts(candidate) || !sys::replaceFile(candidate, target)) {
        std::error_code ignored;
        fs::remove(candidate, ignored);
        gf_logAttention(
            fmt::format("The downloaded {} is not usable; the old file stays", gf_pathToUtf8(item.fileName)));
        return;
    }
    gf_setStringParameter(item.storedVersion, gf_versionToString(*web));
    lf_logUpdated(key, *web);
}

void VersionCheck::checkScanRules(std::string_view key, const VersionRecord* web) {
    static const std::array<ScanRulesItem, 2> items{{
        {.key = "liveries", .storedVersion = LIV_SCAN_VERSION, .scanSwitch = SCAN_LIVERIES},
        {.key = "addons", .storedVersion = ADDONS_SCAN_VERSION, .scanSwitch = SCAN_AIRPORTS},
    }};
    if (web == nullptr) {
        lf_logVersionNotFound(key);
        return;
    }
    const ScanRulesItem& item = *std::find_if(items.begin(), items.end(), [&](const auto& i) { return i.key == key; });
    bool needed = *web > gf_parseVersion(item.storedVersion.value());
    if (&item.scanSwitch == &SCAN_LIVERIES && !fs::exists(inFolder(kLiveriesScannedXml))) needed = true;
    if (!needed) {
        lf_logUpToDate(key);
        return;
    }
    item.scanSwitch.set(true);
    gf_saveBoolParameter(item.scanSwitch);
    owners_.status.settingChanged(item.scanSwitch);
    gf_setStringParameter(item.storedVersion, gf_versionToString(*web));
    lf_logUpdated(key, *web);
}

void VersionCheck::updateProgram(const VersionRecord& web) {
    if (!downloadInstaller(web)) {
        // A close ended the download: the user wants out, not an error.
        if (owners_.run.isClosing()) return;
        throw UserErrorException(kNewVersionFailedCode,
                                 "The downloading/unzipping of the new version failed? Try manually via the "
                                 "Ostrevane website");
    }
    const fs::path newVersion = inFolder(kNewVersionFolder);
    {
        const CurlHandle curl;
        if (!gf_downloadToFile(curl, downloadBase() + "docs/" + gf_pathToUtf8(kReleaseNotesName),
                               newVersion / kReleaseNotesName, owners_.limits.releaseNotes, stop_) &&
            !owners_.run.isClosing()) {
            gf_logAttention(fmt::format("could not download {} to {}", gf_pathToUtf8(kReleaseNotesName),
                                        gf_pathToUtf8(newVersion)));
        }
    }
    std::error_code error;
    const fs::path programFolder =
        fs::absolute(owners_.programFolder.empty() ? fs::current_path() : owners_.programFolder, error);
    const std::string rights = gf_checkNewVersionRights(programFolder);
    if (!rights.empty()) {
        gf_log(rights);
        gf_flushLog();
        // Written beside and renamed, so the folder never holds half a README.
        if (!writeFileAtomically(newVersion / kReadmeName, rights + "\n")) {
            gf_logAttention("could not write README.txt");
        }
    }
    if (!gf_openWithShell(fs::absolute(newVersion / kInstallerName, error))) {
        gf_logAttention("Could not open File Explorer at new version");
        gf_showMessage("Opening file explorer at the new version failed? Try manually via the Ostrevane website.",
                       MessageLogging::logged);
    }
    gf_flushLog();
    owners_.run.endRun(RestartReason::newVersion, 0);
}

bool VersionCheck::downloadInstaller(const VersionRecord& web) {
    const fs::path installer = inFolder(kInstallerName);
    const fs::path archive = inFolder(kArchiveName);
    // A leftover of an earlier attempt must never pass for this version's.
    std::error_code error;
    fs::remove(installer, error);
    if (error) {
        gf_logAttention(fmt::format("Warning: could not remove old installer: {}", error.message()));
        return false;
    }
    {
        const CurlHandle curl;
        const std::string url =
            fmt::format("{}release/{}/{}", downloadBase(), kProductName, gf_pathToUtf8(kArchiveName));
        if (!gf_downloadToFile(curl, url, archive, owners_.limits.programArchive, stop_)) {
            if (owners_.run.isClosing()) return false;
            gf_showMessage(fmt::format("Downloading program installer file version {} failed", gf_versionToString(web)),
                           MessageLogging::logged);
            return false;
        }
    }
    gf_log(fmt::format("Downloaded {}", gf_pathToUtf8(archive)));
    const bool unzipped = unpackInstaller(archive, installer, owners_.limits.installerMaxBytes);
    removeWithWarning(archive, "downloaded zip");
    if (!unzipped) return false;

    return moveIntoNewVersion(installer, inFolder(kNewVersionFolder));
}

void removeInterruptedLeftovers(const fs::path& programFolder, const fs::path& settingsFolder) {
    const fs::path folder = programFolder.empty() ? fs::path(".") : programFolder;
    // A data file's download, its part file while it comes, and the plain
    // text of its check.
    std::vector<fs::path> dataLeftovers;
    for (const fs::path* name : {&kAirportsEncName, &kAigRegcodesEncName, &kDbaseEncName}) {
        const fs::path candidate = candidateFor(*name);
        dataLeftovers.insert(dataLeftovers.end(), {candidate, downloadPartFor(candidate), checkedPlainFor(candidate)});
    }
    // Only the folders the program writes into, each to the depth it writes
    // at: the sweep runs before every first start, and a folder it has no
    // business in (a hanging network share, say) must not hold the start.
    // Besides the saves' own temporaries, only the exact names of the
    // program's other temporaries go: a user's "notes.part" stays.
    std::vector<LeftoverSweep> sweeps{
        // What the update leaves beside the program: versions.json, the
        // archive and the unpacked installer, each maybe still in its
        // download or unpacking temporary; and the closest stand's download.
        {.folder = folder,
         .names = {kVersionsJson, downloadPartFor(kVersionsJson), kArchiveName, downloadPartFor(kArchiveName),
                   kInstallerName, extractTemporaryFor(kInstallerName),
                   downloadPartFor(pathFromUtf8(kClosestStandTempFile))}},
        {.folder = folder / kInputFolder, .names = dataLeftovers},
        // The installer while it moves in, and the release notes' download.
        {.folder = folder / kNewVersionFolder,
         .names = {downloadPartFor(kInstallerName), downloadPartFor(kReleaseNotesName)}},
        // What the saves leave.
        {.folder = folder / kOutputFolder},
        {.folder = folder / kInfoFolder},
        {.folder = folder / kErrorsFolder},
        {.folder = folder / kTbloFolder},
        {.folder = settingsFolder},
        // The park airport's download of an archived stand file.
        {.folder = folder / kAirportsFolder, .names = {downloadPartFor(kParkAirportXml.filename())}},
        {.folder = folder / kMySimaddonFolder},
        {.folder = folder / kMyThirdpartyFolder},
    };
    // The learned files, which lie in a folder per archive and, for
    // third-party airports, per publisher.
    for (fs::path& learned : foldersWithin(folder / kLearnedFolder, kLearnedFolderDepth)) {
        sweeps.push_back({.folder = std::move(learned)});
    }
    for (const LeftoverSweep& sweep : sweeps) (void)removeLeftoverTemporaries(sweep);
}

}  // namespace qvl
