// The version record: the running program's version, the versions named by
// the download site, and the version rows of our generated data files.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>

#include "core/result.h"

namespace qvl {

struct VersionRecord {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    std::int32_t patch = 0;

    // Newer means greater by major, then minor, then patch.
    friend constexpr auto operator<=>(const VersionRecord&, const VersionRecord&) = default;
};

// "major.minor.patch"; negative fields keep their minus sign.
std::string gf_versionToString(const VersionRecord& version);

// Reads "12.2.0" (the whole text, no blanks) or a JSON object with the
// integer members "major", "minor" and "patch". Never throws: a text it
// cannot read is logged as "VersionData exception: ..." and gives 0.0.0,
// which compares older than any real version.
VersionRecord gf_parseVersion(const std::string& text);

// The same reading for callers that must tell an unreadable version from a
// real 0.0.0: no value (after the same log line) when the text is unreadable.
std::optional<VersionRecord> tryParseVersion(const std::string& text);

enum class VersionFault : std::uint8_t { unreadable };
// The same reading without the log line, which is the error's text: for a
// reader off the main loop whose lines the loop writes later.
[[nodiscard]] Result<VersionRecord, VersionFault> readVersionQuietly(const std::string& text);

}  // namespace qvl
