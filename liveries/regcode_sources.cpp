#include "liveries/regcode_sources.h"

#include <fmt/format.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <utility>

#include "core/log.h"
#include "core/messages.h"
#include "core/meta_info.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/xml.h"
#include "liveries/scan_problem_files.h"
#include "refdata/code_table.h"
#include "refdata/data_file.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

// Room for the entries of the sources as they are shipped and as users keep
// them, so the readers do not grow their vectors entry by entry.
constexpr std::size_t kShippedEntriesReserve = 7000;
constexpr std::size_t kUserEntriesReserve = 1000;
// Shorter lines cannot hold a title worth naming.
constexpr std::size_t kMinRegcodeLineLength = 6;

std::string_view liveryWord(std::size_t count) { return count == 1 ? "livery" : "liveries"; }

bool hasRegcodeLength(std::string_view registration) {
    return registration.size() >= kMinRegcodeLength && registration.size() <= kMaxRegcodeLength;
}

RegcodeEntry dontUseEntry(std::string title) {
    return {.title = std::move(title), .registrations = {}, .special = false};
}

// Title and registration fields of a line of two or three fields.
RegcodeLine parseTitledLine(const std::vector<std::string>& fields) {
    RegcodeLine result;
    std::vector<std::string> kept;
    std::vector<std::string> registrations = lf_splitTrimmed(fields[1], ',');
    const std::size_t given = registrations.size();
    if (given == 0) {
        result.entry = dontUseEntry(fields[0]);
        return result;
    }
    for (std::string& registration : registrations) {
        (hasRegcodeLength(registration) ? kept : result.wrongLength).push_back(std::move(registration));
    }
    if (given == 1) {
        // A single registration marks the aircraft's own livery; one of the
        // wrong length drops the line.
        if (!kept.empty())
            result.entry = RegcodeEntry{.title = fields[0], .registrations = std::move(kept), .special = true};
        return result;
    }
    if (kept.empty()) {
        // Every registration is unusable: the title still names a livery the
        // user does not want chosen by airline and model.
        result.entry = dontUseEntry(fields[0]);
        return result;
    }
    const bool special = fields.size() == 3 && fields[2] == "#";
    result.entry = RegcodeEntry{.title = fields[0], .registrations = std::move(kept), .special = special};
    return result;
}

struct RegcodeFileResult {
    std::size_t entries = 0;
    bool ok = true;
};

// One user's file; its lines in the charset the file was saved in.
RegcodeFileResult readRegcodeTextFile(const fs::path& file, RegcodeEntries& entries) {
    RegcodeFileResult result;
    const std::string pathText = gf_pathToUtf8(file);
    std::vector<std::string> lines;
    const Charset charset = gf_detectCharset(file);
    if (charset != Charset::none_found) (void)gf_readTextFileWithCharset(charset, file, lines);
    for (const std::string& line : lines) {
        RegcodeLine parsed = parseRegcodeLine(line);
        for (const std::string& registration : parsed.wrongLength) {
            gf_logAttention(fmt::format("wrong regcode length '{}' in {}", registration, pathText));
            result.ok = false;
        }
        if (parsed.entry && parsed.entry->title.empty()) {
            gf_logAttention(fmt::format("no title in line '{}' of {}", line, pathText));
            continue;
        }
        if (parsed.entry) {
            entries.push_back(std::move(*parsed.entry));
            ++result.entries;
        }
    }
    gf_log(fmt::format("{:5} {} read from {}", result.entries, liveryWord(result.entries), pathText));
    return result;
}

// The folder's *.TXT files in name order, so that which file wins a
// registration does not depend on the file system's listing order.
std::vector<fs::path> regcodeTextFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& item : fs::directory_iterator(folder)) {
        if (!item.is_regular_file()) continue;
        std::string extension = gf_pathToUtf8(item.path().extension());
        toUpperInPlace(extension);
        if (extension == ".TXT") files.push_back(item.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct MergeCounts {
    std::size_t added = 0;
    std::size_t replaced = 0;
    std::size_t special = 0;
};

void mergeRegistration(const std::string& registration, std::string_view title, LiveryTables& tables,
                       MergeCounts& counts) {
    const auto [mapped, added] = tables.regcodes.try_emplace(registration, title);
    if (added) {
        ++counts.added;
        return;
    }
    if (mapped->second == title) return;
    tables.regcodeResults.push_back(
        fmt::format("   regcode {} for '{}', instead of the same for '{}'", registration, title, mapped->second));
    mapped->second = title;
    ++counts.replaced;
}

std::string mergeCountsLine(const MergeCounts& counts) {
    std::string line = fmt::format("{} new regcode{} added", counts.added, gf_pluralSuffixSize(counts.added));
    if (counts.replaced > 0)
        line += fmt::format(", {} regcode{} replaced", counts.replaced, gf_pluralSuffixSize(counts.replaced));
    if (counts.special > 0)
        line += fmt::format(", {} regcode{} defined as special", counts.special, gf_pluralSuffixSize(counts.special));
    return line;
}

bool folderHasEntries(const fs::path& folder) { return fs::exists(folder) && !fs::is_empty(folder); }

void writeOfflineResults(const LiveryTables& tables) {
    // New results replace the old file in one step (a kill part-way must not
    // leave it empty or missing); only when there are none is it removed.
    if (tables.regcodeResults.empty()) {
        fs::remove(kOfflineRegcodesTxt);
    } else {
        const std::string pathText = gf_pathToUtf8(kOfflineRegcodesTxt);
        fs::create_directories(kInfoFolder);
        if (gf_writeLines(tables.regcodeResults, kOfflineRegcodesTxt)) {
            gf_log(fmt::format("Offline regcode files processed, results can be found in '{}'", pathText));
        } else {
            gf_logAttention(fmt::format("could not write {}", pathText));
        }
    }
    if (!tables.reservedTitles.empty()) gf_log(fmt::format("{:5} special liveries", tables.reservedTitles.size()));
    if (!tables.specialRegcodes.empty()) gf_log(fmt::format("{:5} unique liveries", tables.specialRegcodes.size()));
}

void mergeOfflineSources(LiveryTables& tables) {
    {
        const PlainFileGuard plain(kAigRegcodesXml);
        lf_readAigRegcodeFile(tables);
    }
    lf_readRegcodeFolder(tables);
}

std::size_t appendDontUseTitles(const RegcodeEntries& entries, DontUseTitleList& dontUse) {
    std::size_t appended = 0;
    for (const RegcodeEntry& entry : entries) {
        if (!entry.registrations.empty()) continue;
        dontUse.add(entry.title);
        ++appended;
    }
    return appended;
}

}  // namespace

RegcodeLine parseRegcodeLine(std::string_view line) {
    if (line.size() < kMinRegcodeLineLength) return {};
    const std::vector<std::string> fields = lf_splitTrimmed(line, ';', EmptyPieces::keep);
    if (fields.size() == 1) {
        if (fields[0].empty()) return {};
        return {.entry = dontUseEntry(fields[0]), .wrongLength = {}};
    }
    if (fields.size() == 2 || fields.size() == 3) return parseTitledLine(fields);
    return {};
}

bool lf_readAigRegcodesXml(RegcodeEntries& entries, const fs::path& file) {
    const std::string pathText = gf_pathToUtf8(file);
    pugi::xml_document document;
    if (!loadXmlFile(document, file)) {
        gf_logAttention(fmt::format("Failed to load {}", pathText));
        // The plain form of an encrypted file must not stay behind.
        fs::remove(file);
        return false;
    }
    if (!gf_readMetaInfo(document, SimulatorRow::optional)) return false;
    const pugi::xml_node aig = document.child("root").child("aig");
    if (!aig) {
        gf_logAttention("No <aig> node found in XML.");
        return false;
    }
    bool ok = true;
    std::size_t count = 0;
    std::string previous;
    for (const pugi::xml_node node : aig.children("l")) {
        std::string title = node.attribute("t").as_string();
        if (title.empty()) continue;
        if (title == previous) {
            gf_logAttention(fmt::format("Duplicate title '{}' (same as previous)", title));
            ok = false;
            continue;
        }
        previous = title;
        entries.push_back({.title = std::move(title),
                           .registrations = lf_splitTrimmed(node.attribute("r").as_string(), ','),
                           .special = node.attribute("s").as_bool(false)});
        ++count;
    }
    gf_log(fmt::format("{:5} {} read from {}", count, liveryWord(count), pathText));
    return ok;
}

bool lf_readRegcodeTextFiles(const fs::path& folder, RegcodeEntries& entries) {
    bool ok = true;
    for (const fs::path& file : regcodeTextFiles(folder)) ok = readRegcodeTextFile(file, entries).ok && ok;
    return ok;
}

void lf_mergeRegcodes(const RegcodeEntries& entries, LiveryTables& tables) {
    MergeCounts counts;
    for (const RegcodeEntry& entry : entries) {
        // The tables hold views of catalogue titles; a title no installed
        // livery carries has nothing to point at.
        const std::string_view title = lf_findLiveryTitle(tables, entry.title);
        if (title.empty()) continue;
        const bool unique = entry.special && entry.registrations.size() == 1;
        for (const std::string& registration : entry.registrations) {
            mergeRegistration(registration, title, tables, counts);
            if (unique) tables.specialRegcodes.insert(registration);
        }
        if (entry.special) {
            tables.reservedTitles.push_back(title);
            ++counts.special;
        }
    }
    tables.regcodeResults.push_back(mergeCountsLine(counts));
}

void lf_readAigRegcodeFile(LiveryTables& tables, const fs::path& file) {
    const std::string pathText = gf_pathToUtf8(file);
    tables.regcodeResults.push_back(fmt::format("Processing file {}", pathText));
    RegcodeEntries entries;
    entries.reserve(kShippedEntriesReserve);
    if (!lf_readAigRegcodesXml(entries, file)) {
        tables.regcodeResults.push_back(
            fmt::format("There were errors processing the AIG-regcode file '{}', see Log.txt", pathText));
    }
    lf_mergeRegcodes(entries, tables);
}

void lf_readRegcodeFolder(LiveryTables& tables, const fs::path& folder) {
    if (!folderHasEntries(folder)) return;
    const std::string pathText = gf_pathToUtf8(folder);
    tables.regcodeResults.push_back(fmt::format("Processing files in {}", pathText));
    RegcodeEntries entries;
    entries.reserve(kUserEntriesReserve);
    if (!lf_readRegcodeTextFiles(folder, entries)) {
        gf_showMessage(
            fmt::format("There were errors processing the regcode files in folder '{}', see Log.txt", pathText),
            MessageLogging::logged);
    }
    lf_mergeRegcodes(entries, tables);
}

void lf_processInlineRegcodes(LiveryTables& tables) {
    std::vector<std::string> clashes;
    for (const LiveryData& livery : tables.liveries) {
        if (livery.registration.empty()) continue;
        const std::string_view title = lf_findLiveryTitle(tables, livery.title);
        if (title.empty()) {
            clashes.push_back(fmt::format("==> [{}] {} '{}' not available, system error, should not happen?",
                                          gf_codeText(livery.key), livery.registration, livery.title));
            continue;
        }
        const auto [mapped, added] = tables.regcodes.try_emplace(livery.registration, title);
        if (!added && mapped->second != title) {
            clashes.push_back(
                fmt::format("{} '{}' => already in use by '{}'", livery.registration, title, mapped->second));
        }
        const auto [own, ownAdded] = tables.inlineRegcodes.try_emplace(title, livery.registration);
        if (!ownAdded && own->second != livery.registration) {
            clashes.push_back(
                fmt::format("{} '{}' => already in use by '{}'", title, livery.registration, own->second));
        }
    }
    if (clashes.empty()) return;
    const std::string pathText = gf_pathToUtf8(kInlineRegcodesTxt);
    fs::create_directories(kErrorsFolder);
    if (!gf_writeLines(clashes, kInlineRegcodesTxt)) gf_logAttention(fmt::format("could not write {}", pathText));
    gf_log(fmt::format("{:5} in-line regcode clashes, see '{}'", clashes.size(), pathText));
}

void lf_processOfflineRegcodes(LiveryTables& tables) {
    // Without the shipped file nothing is merged, not even the user's
    // folder, and the previous results file stays.
    bool decrypted = false;
    try {
        decrypted = gf_streamDecrypt(kAigRegcodesEnc, kAigRegcodesXml);
        if (decrypted) mergeOfflineSources(tables);
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("exception: {}", e.what()));
    }
    // Written also when a source failed half-way: the lines so far, the
    // scan's first, would otherwise be lost with the list.
    if (decrypted) {
        try {
            writeOfflineResults(tables);
        } catch (const std::exception& e) {
            gf_logAttention(fmt::format("exception: {}", e.what()));
        }
    }
    tables.regcodeResults.clear();
}

void lf_readDontUseTitlesXml(DontUseTitleList& dontUse, std::vector<std::string>& results, const fs::path& file) {
    RegcodeEntries entries;
    entries.reserve(kShippedEntriesReserve);
    if (!lf_readAigRegcodesXml(entries, file)) {
        results.push_back(
            fmt::format("There were errors in processing the file '{}', see the Log.txt", gf_pathToUtf8(file)));
    }
    const std::size_t appended = appendDontUseTitles(entries, dontUse);
    gf_log(fmt::format("{:5} don't use title{} read", appended, gf_pluralSuffixSize(appended)));
}

void lf_readDontUseTitlesFolder(DontUseTitleList& dontUse, std::vector<std::string>& results, const fs::path& folder) {
    if (!folderHasEntries(folder)) return;
    const std::string pathText = gf_pathToUtf8(folder);
    RegcodeEntries entries;
    entries.reserve(kUserEntriesReserve);
    if (!lf_readRegcodeTextFiles(folder, entries)) {
        results.push_back(
            fmt::format("There were errors in processing the regcode files in folder '{}', see the Log.txt", pathText));
    }
    const std::size_t appended = appendDontUseTitles(entries, dontUse);
    gf_log(
        fmt::format("{:5} don't use title{} read from files in {}", appended, gf_pluralSuffixSize(appended), pathText));
}

}  // namespace qvl
