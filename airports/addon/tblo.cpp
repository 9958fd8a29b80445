#include "airports/addon/tblo.h"

#include <fmt/format.h>

#include <pugixml.hpp>

#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <system_error>
#include <utility>

#include "airports/apf_file.h"
#include "airports/park_airport.h"
#include "core/files.h"
#include "core/log.h"
#include "core/parameters.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/xml.h"
#include "refdata/airports.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

// A manufacturer or creator that names someone: as the park airport's
// reading of a stand file's publisher rows judges it.
constexpr std::size_t kShortestUsableMaker = 4;

bool usableMaker(const std::string& text) { return text.size() >= kShortestUsableMaker && !lf_isKnownCreator(text); }

// Puts the generated file into the next tblo.zip; the latest of one name wins,
// as a copy over an earlier one would.
void sendToTblo(AirportsScanState& state, const fs::path& source, const GeneratedStandFile& file) {
    state.tbloEntries.insert_or_assign(gf_pathToUtf8(gf_apfXmlFileName(file.icao)),
                                       TbloEntry{.source = source, .bytes = file.bytes});
}

// A file sent to the maker while its link file stands beside it is not
// needed any more: the link names the archived file. A link file of an
// earlier scan that this one has not produced again names nothing yet.
// True when it was removed.
bool removeWhenLinked(const AirportsScanState& state, const fs::path& folder, const FixedCode4& icao,
                      const fs::path& source) {
    const fs::path link = folder / lf_apfTxtFileName(icao);
    std::error_code error;
    const bool linked = fs::exists(link, error);
    if (error) {
        gf_logAttention(fmt::format("exists({}) failed: {}", gf_pathToUtf8(link), error.message()));
        return false;
    }
    if (!linked || isLeftFromEarlierScan(state, link)) return false;
    fs::remove(source, error);
    if (error) {
        gf_logAttention(fmt::format("remove({}) failed: {}", gf_pathToUtf8(source), error.message()));
        return false;
    }
    return true;
}

void logAndFlush(const std::string& line) {
    gf_log(line);
    gf_flushLog();
}

}  // namespace

std::size_t lf_copySimaddonFiles(AirportsScanState& state) {
    std::size_t copied = 0;
    for (auto it = state.generatedFiles.begin(); it != state.generatedFiles.end();) {
        const auto& [source, file] = *it;
        if (source.parent_path() != kMySimaddonFolder || !gf_isKnownAirport(file.icao)) {
            ++it;
            continue;
        }
        sendToTblo(state, source, file);
        ++copied;
        it = removeWhenLinked(state, kMySimaddonFolder, file.icao, source) ? state.generatedFiles.erase(it)
                                                                           : std::next(it);
    }
    if (copied > 0) {
        logAndFlush(fmt::format("{} simaddon file{} copied to tblo folder", copied, gf_pluralSuffixSize(copied)));
    }
    return copied;
}

void lf_copyThirdpartyFiles(AirportsScanState& state) {
    const FixedCode4 kmci("KMCI");
    for (auto it = state.generatedFiles.begin(); it != state.generatedFiles.end();) {
        const auto& [source, file] = *it;
        if (source.parent_path() != kMyThirdpartyFolder) {
            ++it;
            continue;
        }
        // This publisher's KMCI is known to be wrong and is never sent nor kept.
        if (file.icao == kmci && file.publisher == "TropicalSim") {
            fs::remove(source);
            it = state.generatedFiles.erase(it);
            continue;
        }
        const bool worthSending =
            !file.publisher.empty() || usableMaker(file.manufacturer) || usableMaker(file.creator);
        if (!gf_isKnownAirport(file.icao) || !worthSending) {
            ++it;
            continue;
        }
        sendToTblo(state, source, file);
        it = removeWhenLinked(state, kMyThirdpartyFolder, file.icao, source) ? state.generatedFiles.erase(it)
                                                                             : std::next(it);
    }
}

std::optional<std::string> lf_readFileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    if (size > 0 && !in.read(bytes.data(), size)) return std::nullopt;
    return bytes;
}

namespace {

// What goes into the archive: the regular files lying in the folder, read
// whole, and the entries put in, which replace a file of their name.
std::map<std::string, TbloEntry> entriesToPack(const fs::path& source, const AirportsScanState& state) {
    std::map<std::string, TbloEntry> entries;
    for (const fs::directory_entry& entry : fs::directory_iterator(source)) {
        if (!entry.is_regular_file()) continue;
        auto bytes = lf_readFileBytes(entry.path());
        if (!bytes) {
            logAndFlush(fmt::format("[zip] READ FAIL: {}", gf_pathToUtf8(entry.path())));
            continue;
        }
        entries.insert_or_assign(
            gf_pathToUtf8(entry.path().filename()),
            TbloEntry{.source = entry.path(), .bytes = std::make_shared<const std::string>(std::move(*bytes))});
    }
    for (const auto& [name, entry] : state.tbloEntries) entries.insert_or_assign(name, entry);
    return entries;
}

}  // namespace

Result<std::size_t, ZipError> lf_zipFolder(const fs::path& source, const fs::path& zipPath, AirportsScanState& state) {
    if (!fs::is_directory(source)) {
        logAndFlush(fmt::format("[zip] Not a directory: {}", gf_pathToUtf8(source)));
        return fail(ZipError::openFailed, fmt::format("{} is not a folder", gf_pathToUtf8(source)));
    }
    std::error_code ignored;
    if (zipPath.has_parent_path()) fs::create_directories(zipPath.parent_path(), ignored);
    logAndFlush(fmt::format("[zip] Target file: {}", gf_pathToUtf8(fs::absolute(zipPath))));
    logAndFlush(fmt::format("[zip] Source dir : {}", gf_pathToUtf8(fs::absolute(source))));
    if (fs::exists(zipPath, ignored)) {
        logAndFlush(fmt::format("[zip] Removing old zip {}", gf_pathToUtf8(zipPath)));
        fs::remove(zipPath, ignored);
    }
    auto archive = ZipArchiveWriter::create();
    if (!archive) {
        logAndFlush("[zip] Could not open archive for writing");
        return fail(ZipError::openFailed, archive.errorText());
    }
    // The archive reads the bytes only when it is finished; the entries
    // keep them until then.
    const std::map<std::string, TbloEntry> entries = entriesToPack(source, state);
    std::size_t added = 0;
    for (const auto& [name, entry] : entries) {
        logAndFlush(fmt::format("[zip] Adding (data) {} -> {} ({} bytes)", gf_pathToUtf8(entry.source), name,
                                entry.bytes->size()));
        if (!archive->add(name, *entry.bytes)) {
            logAndFlush(fmt::format("[zip] ERROR addData({})", name));
            break;
        }
        ++added;
    }
    if (added == 0) {
        logAndFlush("[zip] Added 0 files, nothing to pack");
        return fail(ZipError::addFailed, "no file could be added");
    }
    auto finished = archive->finish();
    Result<void, ZipError> closed = finished ? Result<void, ZipError>{} : fail(finished.error(), finished.errorText());
    if (finished && !state.files.write(zipPath, *finished)) {
        closed = fail(ZipError::closeFailed, fmt::format("{} cannot be written", gf_pathToUtf8(zipPath)));
    }
    const bool exists = fs::exists(zipPath, ignored);
    const std::uintmax_t size = exists ? fs::file_size(zipPath, ignored) : 0;
    logAndFlush(
        fmt::format("[zip] Added {} files, ok_close={}, exists={}, size={} bytes", added, closed.ok(), exists, size));
    if (!closed) {
        logAndFlush(fmt::format("[zip] Closing failed: {}", closed.errorText()));
        return fail(ZipError::closeFailed, closed.errorText());
    }
    if (!exists || size == 0 || size == static_cast<std::uintmax_t>(-1)) {
        return fail(ZipError::closeFailed, fmt::format("{} is missing or empty", gf_pathToUtf8(zipPath)));
    }
    return added;
}

std::uint64_t lf_zipTbloFolder(AirportsScanState& state, Status& status) {
    std::uint64_t n = state.tbloEntries.size();
    if (fs::is_directory(kTbloFolder)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(kTbloFolder)) {
            if (entry.is_regular_file() && !state.tbloEntries.contains(gf_pathToUtf8(entry.path().filename()))) ++n;
        }
    }
    if (n == 0) {
        state.tbloFileCount.store(0);
        status.showCount(StatusCount::unrecognisedAirports, 0);
        logAndFlush("All your simaddon and third party airports are recognised, no off line learning needed.");
        return 0;
    }
    const auto packed = lf_zipFolder(kTbloFolder, kTbloZipFile, state);
    gf_removeXMLFilesFromDirectory(kTbloFolder);
    state.tbloEntries.clear();
    if (!packed) {
        // Nothing usable to mail: no button, no request, no count.
        gf_logAttention(fmt::format("Zippen TBLO folder failed: {}", packed.errorText()));
        state.tbloFileCount.store(0);
        status.showCount(StatusCount::unrecognisedAirports, 0);
        return 0;
    }
    state.tbloFileCount.store(n);
    status.showCount(StatusCount::unrecognisedAirports, n);
    status.controlUsable(TBLO_ZIP_BUTTON, true);
    gf_log("");
    gf_log(fmt::format("! Mail {} to {}", gf_pathToUtf8(kTbloZipFile), kSupportMailAddress));
    logAndFlush("");
    status.statusChanged();
    return n;
}

}  // namespace qvl
