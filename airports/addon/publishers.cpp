#include "airports/addon/publishers.h"

#include <fmt/format.h>

#include <exception>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "core/text_file.h"
#include "refdata/lookups.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kManifestStem = "manifest";
constexpr std::string_view kManifestExtension = ".json";

// The member's text; empty when it is missing, null, or an empty object or
// array. Any other kind throws the library's type error.
std::string lf_jsonStringMember(const nlohmann::json& object, const char* key) {
    const auto member = object.find(key);
    if (member == object.end() || member->is_null()) return {};
    if ((member->is_object() || member->is_array()) && member->empty()) return {};
    return member->get<std::string>();
}

// The folder's manifest.json, or an empty path. Only the exact name counts,
// so it is asked for by name instead of listing a folder that may hold
// thousands of files.
fs::path lf_findManifestFile(const fs::path& folder) {
    if (!fs::is_directory(folder)) return {};
    fs::path manifest = folder / kManifestStem;
    manifest += kManifestExtension;
    return fs::is_regular_file(manifest) ? manifest : fs::path{};
}

std::optional<PublisherInfo> lf_readManifest(const fs::path& manifest) {
    const ReadLinesResult read = gf_readLines(manifest, 0);
    if (!read || read.lines.empty()) return std::nullopt;
    std::string text;
    for (const std::string& line : read.lines) text += line;
    return publisherInfoFromManifestText(text);
}

std::optional<PublisherInfo> manifestIn(const fs::path& folder) {
    const fs::path manifest = lf_findManifestFile(folder);
    if (manifest.empty()) return std::nullopt;
    return lf_readManifest(manifest);
}

// The package's own folder level below "Community": the root and the
// components up to the second one after the first "community" (any case).
std::optional<fs::path> communityProbe(const fs::path& path) {
    std::vector<fs::path> parts(path.begin(), path.end());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string name = gf_pathToUtf8(parts[i].filename());
        for (char& c : name) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (name != "community") continue;
        fs::path folder;
        for (std::size_t j = 0; j < parts.size() && j <= i + 2; ++j) folder /= parts[j];
        return folder;
    }
    return std::nullopt;
}

// From the path's parent up to its top folder, the first folder with a
// readable manifest.
std::optional<PublisherInfo> manifestAbove(const fs::path& path) {
    fs::path folder = path.parent_path();
    while (!folder.empty()) {
        if (auto details = manifestIn(folder)) return details;
        const fs::path parent = folder.parent_path();
        if (parent == folder) break;
        folder = parent;
    }
    return std::nullopt;
}

// The nearest manifest: a package folder's own (the path itself, when it is
// the package's level below "Community"), else the first one on the way up.
// The package's level is looked at before the walk only when it is the path
// itself, so that a manifest of a part of a package, nearer to the file, is
// not passed over for the whole package's.
std::optional<PublisherInfo> searchManifest(const fs::path& path) {
    if (const auto probe = communityProbe(path); probe && *probe == path && fs::exists(*probe)) {
        if (auto details = manifestIn(*probe)) return details;
    }
    return manifestAbove(path);
}

bool nameFound(AirportsScanState& state, AddonPublisher& result, const std::string& text) {
    if (text.empty()) return false;
    const auto name = gf_publisherFromPath(pathFromUtf8(text));
    if (!name) return false;
    result.publisher = *name;
    lf_addScanLogLine(state, fmt::format("-> publisher '{}'", result.publisher));
    return true;
}

}  // namespace

std::optional<PublisherInfo> publisherInfoFromManifestText(std::string_view text) {
    const nlohmann::json value = nlohmann::json::parse(text.begin(), text.end());
    if (!value.is_object()) return std::nullopt;
    return PublisherInfo{.manufacturer = lf_jsonStringMember(value, "manufacturer"),
                         .creator = lf_jsonStringMember(value, "creator"),
                         .title = lf_jsonStringMember(value, "title")};
}

std::string lf_formatPublisher(const PublisherInfo& details) {
    return fmt::format("title:'{}, manufacturer:'{}', creator:'{}", details.title, details.manufacturer,
                       details.creator);
}

std::optional<PublisherInfo> gf_searchManifest(AirportsScanState& state, const fs::path& path) {
    try {
        auto details = searchManifest(path);
        if (details) lf_addScanLogLine(state, fmt::format("Manifest file: {}", lf_formatPublisher(*details)));
        return details;
    } catch (const std::exception& e) {
        lf_addScanLogLine(state, fmt::format("exception in gf_searchManifest: {}", e.what()));
        return std::nullopt;
    }
}

AddonPublisher lf_findPublisher(AirportsScanState& state, const fs::path& path,
                                const std::optional<PublisherInfo>& details) {
    AddonPublisher result;
    lf_addScanLogLine(state, details ? std::string("Try to find publisher in BGL path and manifest file")
                                     : fmt::format("Try to find publisher in: {}", gf_pathToUtf8(path)));
    if (gf_containsNoCase(path, "microsoft-airport") || gf_containsNoCase(path, "asobo-airport")) {
        result.publisher = kSimaddonPublisher;
        lf_addScanLogLine(state, fmt::format("from BGL path => publisher {}", kSimaddonPublisher));
        return result;
    }
    if (auto name = gf_publisherFromPath(path)) {
        result.publisher = std::move(*name);
        lf_addScanLogLine(state, fmt::format("publisher '{}' found", result.publisher));
        return result;
    }
    const std::optional<PublisherInfo> known = details ? details : gf_searchManifest(state, path);
    if (!known) {
        lf_addScanLogLine(state, fmt::format("{}No publisher found", "===> "));
        return result;
    }
    result.manufacturer = known->manufacturer;
    result.creator = known->creator;
    if (nameFound(state, result, result.manufacturer) || nameFound(state, result, result.creator)) return result;
    lf_addScanLogLine(state, "no valid info found in manifest about publisher");
    return result;
}

}  // namespace qvl
