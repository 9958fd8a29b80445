// The package of airports the maker's archive lacks: the airport files the
// scan had to generate are packed into tblo/tblo.zip, which the user is asked
// to mail to the maker. The bytes packed are those the scan wrote, kept in
// its state: no file is copied or read again. Runs on the scan's own thread,
// after the searches have waited for their tasks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "airports/addon/addon_scan_state.h"
#include "airports/addon/zip_archive.h"
#include "core/result.h"
#include "core/status.h"

namespace qvl {

inline const std::filesystem::path kTbloZipFile = kTbloFolder / kTbloZip;
inline constexpr std::string_view kSupportMailAddress = "support@quorvelant.example";

// Puts the simulator makers' generated airport files of known airports
// into the next tblo.zip (MSFS 2024's streamed search calls it). A file sent
// whose link file stands beside it leaves its airport folder. The number
// put in.
std::size_t lf_copySimaddonFiles(AirportsScanState& state);

// Puts the third party airport files worth sending into the next tblo.zip:
// a known airport whose file names a publisher, or a usable manufacturer or
// creator.
void lf_copyThirdpartyFiles(AirportsScanState& state);

// Packs the files put in and the regular files of tblo into tblo/tblo.zip,
// deletes the .xml files of tblo and keeps the count in the scan state. Only
// a packing that succeeded enables the "tblo.zip" button and asks the user to
// mail it; a failed one leaves the count 0 and logs why. The count.
std::uint64_t lf_zipTbloFolder(AirportsScanState& state, Status& status);

// Packs the regular files directly in `source`, and the entries put in
// (which replace a file of their name), into a new archive at `zipPath`,
// written through the scan's file batch. The number of entries packed; an
// error when none went in or the archive could not be finished.
[[nodiscard]] Result<std::size_t, ZipError> lf_zipFolder(const std::filesystem::path& source,
                                                         const std::filesystem::path& zipPath,
                                                         AirportsScanState& state);

// The whole file; none when it cannot be opened or read.
[[nodiscard]] std::optional<std::string> lf_readFileBytes(const std::filesystem::path& file);

}  // namespace qvl
