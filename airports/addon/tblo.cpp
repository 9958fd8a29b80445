#include "airports/addon/tblo.h"

#include <fmt/format.h>

#include <pugixml.hpp>

#include <fstream>
#include <list>
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

// Copies the airport file into tblo; false (with an attention line) when it
// cannot.
bool copyToTblo(const fs::path& source, const FixedCode4& icao) {
    const fs::path target = kTbloFolder / gf_apfXmlFileName(icao);
    std::error_code error;
    fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
    if (error) {
        gf_logAttention(
            fmt::format("'{}' failed to copy '{}': {}", gf_pathToUtf8(source), gf_pathToUtf8(target), error.message()));
        return false;
    }
    return true;
}

// A file sent to the maker while its link file stands beside it is not
// needed any more: the link names the archived file.
void removeWhenLinked(const fs::path& folder, const FixedCode4& icao, const fs::path& source) {
    const fs::path link = folder / lf_apfTxtFileName(icao);
    std::error_code error;
    const bool linked = fs::exists(link, error);
    if (error) {
        gf_logAttention(fmt::format("exists({}) failed: {}", gf_pathToUtf8(link), error.message()));
        return;
    }
    if (!linked) return;
    fs::remove(source, error);
    if (error) gf_logAttention(fmt::format("remove({}) failed: {}", gf_pathToUtf8(source), error.message()));
}

std::string publisherOf(const fs::path& airportFile) {
    pugi::xml_document document;
    if (!document.load_file(airportFile.c_str())) return {};
    return gf_readStringParameterXml(document, "publisher").value_or("");
}

void logAndFlush(const std::string& line) {
    gf_log(line);
    gf_flushLog();
}

}  // namespace

std::size_t lf_copySimaddonFiles() {
    std::size_t copied = 0;
    for (const FixedCode4& icao : gf_listXmlFiles(kMySimaddonFolder)) {
        const fs::path source = kMySimaddonFolder / gf_apfXmlFileName(icao);
        if (!gf_isKnownAirport(icao)) continue;
        if (!copyToTblo(source, icao)) continue;
        ++copied;
        removeWhenLinked(kMySimaddonFolder, icao, source);
    }
    if (copied > 0) {
        logAndFlush(fmt::format("{} simaddon file{} copied to tblo folder", copied, gf_pluralSuffixSize(copied)));
    }
    return copied;
}

void lf_copyThirdpartyFiles() {
    const FixedCode4 kmci("KMCI");
    for (const FixedCode4& icao : gf_listXmlFiles(kMyThirdpartyFolder)) {
        const fs::path source = kMyThirdpartyFolder / gf_apfXmlFileName(icao);
        // This publisher's KMCI is known to be wrong and is never sent nor kept.
        if (icao == kmci && publisherOf(source) == "TropicalSim") {
            fs::remove(source);
            continue;
        }
        if (!gf_isKnownAirport(icao)) continue;
        if (publisherOf(source).empty() && !lf_readApfPublisherInfo(source)) continue;
        if (!copyToTblo(source, icao)) continue;
        removeWhenLinked(kMyThirdpartyFolder, icao, source);
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

Result<std::size_t, ZipError> lf_zipFolder(const fs::path& source, const fs::path& zipPath) {
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
    // The archive reads the bytes only when it is closed; a list keeps each
    // buffer where it is while more are added.
    std::list<std::string> buffers;
    std::size_t added = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(source)) {
        if (!entry.is_regular_file()) continue;
        auto bytes = lf_readFileBytes(entry.path());
        if (!bytes) {
            logAndFlush(fmt::format("[zip] READ FAIL: {}", gf_pathToUtf8(entry.path())));
            continue;
        }
        const std::string& kept = buffers.emplace_back(std::move(*bytes));
        const std::string name = gf_pathToUtf8(entry.path().filename());
        logAndFlush(
            fmt::format("[zip] Adding (data) {} -> {} ({} bytes)", gf_pathToUtf8(entry.path()), name, kept.size()));
        if (!archive->add(name, kept)) {
            logAndFlush(fmt::format("[zip] ERROR addData({})", name));
            break;
        }
        ++added;
    }
    if (added == 0) {
        logAndFlush("[zip] Added 0 files, nothing to pack");
        return fail(ZipError::addFailed, "no file could be added");
    }
    const auto closed = archive->closeInto(zipPath);
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
    const std::uint64_t n = gf_countFilesInFolder(kTbloFolder);
    if (n == 0) {
        state.tbloFileCount.store(0);
        status.showCount(StatusCount::unrecognisedAirports, 0);
        logAndFlush("All your simaddon and third party airports are recognised, no off line learning needed.");
        return 0;
    }
    const auto packed = lf_zipFolder(kTbloFolder, kTbloZipFile);
    gf_removeXMLFilesFromDirectory(kTbloFolder);
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
