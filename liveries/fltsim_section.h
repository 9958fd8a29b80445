// One [fltsim.N] section of an ordinary aircraft.cfg becomes one livery, or
// a line on a problem list saying why not.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "liveries/livery_data.h"
#include "liveries/livery_scan_state.h"
#include "liveries/scan_findings.h"

namespace qvl {

// Where the sections of one aircraft.cfg come from.
struct CfgFileSource {
    std::int16_t folderIndex = 0;          // the package folder's place in the scan order
    std::filesystem::path cfgPath;         // the aircraft.cfg
    std::filesystem::path aircraftFolder;  // the folder that holds it
    // Null reads as no such titles.
    std::shared_ptr<const DontUseTitleSnapshot> dontUseTitles{};
};

// True when the source's don't-use titles hold the title.
[[nodiscard]] bool isDontUseTitle(const CfgFileSource& source, std::string_view title);

// The section's livery candidate, or none. `lines` are the header line
// first, then the section's other lines in file order; `modelCode` is the
// file's type code (never empty). Problems and log lines go to `findings`;
// the title is taken when the findings are merged. Safe on many scan workers
// at once. An exception (a full code table) is logged with the file's path
// and passed on.
std::optional<LiveryCandidate> lf_procesFltSimSection(CfgFileFindings& findings, const CfgFileSource& source,
                                                      std::span<const std::string> lines, std::string_view modelCode);

}  // namespace qvl
