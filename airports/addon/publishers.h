// The publisher of an add-on airport, which decides where the maker's
// archived stand file is looked for: "simaddon" for the simulator makers'
// airports, a publisher's canonical name for third party ones, empty when
// it cannot be told. Found from the path of the BGL file or package folder,
// failing that from the package's manifest.json.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "airports/addon/addon_scan_state.h"

namespace qvl {

inline constexpr std::string_view kSimaddonPublisher = "simaddon";

// A package's details from its manifest.json.
struct PublisherInfo {
    std::string manufacturer{};
    std::string creator{};
    std::string title{};

    friend bool operator==(const PublisherInfo&, const PublisherInfo&) = default;
};

// The result of the publisher search; publisher empty when none was found.
struct AddonPublisher {
    std::string publisher{};
    std::string manufacturer{};
    std::string creator{};
    std::string title{};

    friend bool operator==(const AddonPublisher&, const AddonPublisher&) = default;
};

// The publisher of the airport at the path (its BGL file or streamed package
// folder); the details are those the caller knows already, if any, and the
// manifest is searched only when none were given.
[[nodiscard]] AddonPublisher lf_findPublisher(AirportsScanState& state, const std::filesystem::path& path,
                                              const std::optional<PublisherInfo>& details);

// The details of the nearest manifest.json around a BGL file or package
// folder. A manifest that is no valid JSON, or holds a member of the wrong
// kind, gives a scan-log line and no details; it never throws.
[[nodiscard]] std::optional<PublisherInfo> gf_searchManifest(AirportsScanState& state,
                                                             const std::filesystem::path& path);

// The details in a manifest's text (its lines joined without separator).
// None when the value is no JSON object; nlohmann::json's parse or type
// error for invalid JSON or a member that is neither a string nor empty.
[[nodiscard]] std::optional<PublisherInfo> publisherInfoFromManifestText(std::string_view text);

// "title:'{}, manufacturer:'{}', creator:'{}"
std::string lf_formatPublisher(const PublisherInfo& details);

}  // namespace qvl
