#include "airports/apf_resolution.h"

#include <fmt/format.h>

#include <algorithm>
#include <vector>

#include "airports/apf_file.h"
#include "core/download.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/text_file.h"

namespace fs = std::filesystem;

namespace qvl {

namespace {

constexpr std::string_view kStockArchive = "archive\\stock\\";
constexpr std::string_view kSimaddonArchive = "archive\\simaddon\\";
constexpr std::string_view kThirdpartyArchive = "archive\\thirdparty\\";
constexpr std::string_view kAirportsPrefix = "airports\\";

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool endsWithXml(std::string_view text) {
    constexpr std::string_view kXml = ".xml";
    if (text.size() < kXml.size()) return false;
    const std::string_view tail = text.substr(text.size() - kXml.size());
    return std::equal(tail.begin(), tail.end(), kXml.begin(), [](char a, char b) { return lowerAscii(a) == b; });
}

std::vector<std::string_view> pathPieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find_first_of("/\\", start);
        pieces.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) return pieces;
        start = end + 1;
    }
}

// A link names a file of the maker's archive: "archive/..." (or with '\'),
// never a folder above it, a drive or a root.
bool isArchiveTarget(std::string_view target) {
    if (!target.starts_with("archive/") && !target.starts_with("archive\\")) return false;
    if (target.find(':') != std::string_view::npos) return false;
    const auto pieces = pathPieces(target);
    return std::none_of(pieces.begin(), pieces.end(), [](std::string_view piece) { return piece == ".."; });
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// A publisher's name as one folder name that every file system takes:
// separators, drive and wildcard marks and control characters become
// blanks, and the blanks at both ends go. Empty when nothing usable is left.
std::string publisherFolderName(std::string_view publisher, std::string_view apfPathText) {
    std::string name(publisher);
    for (char& c : name) {
        const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
        if (control || std::string_view("/\\:<>\"|?*").find(c) != std::string_view::npos) c = ' ';
    }
    name = lf_trimBlanks(name);
    if (name.empty() || name == "." || name == "..") {
        gf_logAttention(fmt::format("publisher '{}' of {} names no usable learned folder: no learned file", publisher,
                                    apfPathText));
        return {};
    }
    return name;
}

// "learned/<rest>" for a stand file of the user's own folders; empty when
// the rest climbs out or names a drive.
fs::path learnedMirror(std::string_view rest) {
    fs::path learned = kLearnedFolder;
    for (const std::string_view piece : pathPieces(rest)) {
        if (piece.empty() || piece == "." || piece == ".." || piece.find(':') != std::string_view::npos) return {};
        learned /= pathFromUtf8(piece);
    }
    return learned;
}

fs::path thirdpartyArchiveLearned(std::string_view text, std::string_view file, std::string_view apfPathText) {
    const std::size_t start = text.find(kThirdpartyArchive) + kThirdpartyArchive.size();
    const std::size_t end = text.find('\\', start);
    if (end == std::string_view::npos) return {};
    const std::string folder = replaceAll(std::string(text.substr(start, end - start)), "%20", " ");
    const std::string publisher = publisherFolderName(folder, apfPathText);
    if (publisher.empty()) return {};
    return kLearnedThirdpartyFolder / pathFromUtf8(publisher) / pathFromUtf8(file);
}

}  // namespace

bool lf_readApfLink(const fs::path& linkFile, std::string& target) {
    target.clear();
    if (!fs::exists(linkFile)) return false;
    const ReadLinesResult read = gf_readLines(linkFile, 1);
    if (!read || read.lines.empty()) return false;
    std::string line = read.lines.front();
    line.erase(line.find_last_not_of(" \t\n\v\f\r") + 1);
    if (line.size() < 4 || !endsWithXml(line)) return false;
    if (!isArchiveTarget(line)) {
        gf_logAttention(fmt::format("link file {} names '{}', which is no file of the archive: ignored",
                                    gf_pathToUtf8(linkFile), line));
        return false;
    }
    target = std::move(line);
    return true;
}

std::string gf_apfPathFor(const FixedCode4& icao) {
    const fs::path xml = gf_apfXmlFileName(icao);
    const fs::path txt = lf_apfTxtFileName(icao);
    std::string target;
    for (const fs::path& folder : {kMyThirdpartyFolder, kMySimaddonFolder}) {
        if (lf_readApfLink(folder / txt, target)) return target;
        const fs::path file = folder / xml;
        if (fs::exists(file)) return gf_pathToUtf8(file);
    }
    const AirportRec* listed = listedAirport(icao);
    if (listed != nullptr && listed->standCount >= 1) return "archive/stock/" + lf_apfXmlName(icao);
    return {};
}

std::string lf_trimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

fs::path lf_archivedApfPath(std::string_view apfPathText, std::string_view publisher) {
    if (apfPathText.empty()) return {};
    std::string text(apfPathText);
    std::replace(text.begin(), text.end(), '/', '\\');
    const std::size_t lastSeparator = text.rfind('\\');
    const std::string_view file =
        lastSeparator == std::string::npos ? std::string_view(text) : std::string_view(text).substr(lastSeparator + 1);
    // A stand file: a name and the extension ".xml" in any case. A ':' would
    // make the name drive-relative ("C:a.xml") or an alternate stream
    // ("EH:M.xml") on Windows, so the learned file would land elsewhere.
    if (file.size() <= 4 || !endsWithXml(file) || file.find(':') != std::string_view::npos) return {};

    const std::string_view view(text);
    if (view.starts_with(kStockArchive)) return kLearnedStockFolder / pathFromUtf8(file);
    if (view.starts_with(kSimaddonArchive)) return kLearnedSimaddonFolder / pathFromUtf8(file);
    if (view.find(kThirdpartyArchive) != std::string_view::npos) {
        return thirdpartyArchiveLearned(view, file, apfPathText);
    }
    if (!view.starts_with(kAirportsPrefix)) return {};
    const std::string_view rest = view.substr(kAirportsPrefix.size());
    if (rest.starts_with("my_thirdparty2024\\") || rest.starts_with("my_thirdparty\\")) {
        const std::string folder = publisherFolderName(publisher, apfPathText);
        if (folder.empty()) return {};
        return kLearnedThirdpartyFolder / pathFromUtf8(folder) / pathFromUtf8(file);
    }
    return learnedMirror(rest);
}

Result<void, StockApfError> lf_downloadStockApf(std::string_view archivePath, const fs::path& target,
                                                const DownloadStop& stop) {
    const bool fromMsfs2020Folder =
        SIM_CHOICE.value() != kSimChoice2024 || archivePath.find("stock") != std::string_view::npos;
    const std::string url =
        fmt::format("{}{}{}", downloadBase(), fromMsfs2020Folder ? "MSFS/" : "MSFS2024/", archivePath);
    const CurlHandle curl;
    if (gf_downloadToFile(curl, url, target, kStandFileLimits, stop)) return {};
    // A stale copy of an earlier download must not pass for this airport's file.
    fs::remove(target);
    std::string error = fmt::format("failed to download: '{}'", url);
    gf_log(error);
    return fail(StockApfError::notDownloaded, std::move(error));
}

}  // namespace qvl
