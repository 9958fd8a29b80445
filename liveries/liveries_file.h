// LiveriesScanned.xml: the result of the last liveries scan, kept between
// runs so that the slow scan runs only when asked for or when the file is
// missing. Every start-up reads it back to build the catalogue.
//
//   <root><meta>...</meta><liveries>
//     <l a="DLH" o="CLH" m="A320" c="true" t="title" r="D-AIZA"/> ...
//   </liveries></root>
//
// `o`, `c` and `r` are written only when they hold something. Folder indices
// are not stored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "core/paths.h"
#include "liveries/livery_data.h"

namespace qvl {

// The user errors of reading the file (UserErrorException::code()).
enum class LiveriesFileError : int {
    notReadable = 51,        // "File {} not found", or "File {} could not be read ({why}), kept as {}"
                             // (or "not kept: could not be copied to {} ({why})")
    noLiveriesSection = 52,  // "{} does not contain a <liveries> section"
    noLiveries = 533,        // "{} does not contain liveries"
    missingAttribute = 999,  // "Missing required attribute '{}' in <{}>"
};

// Writes the list in its order with a meta block naming the program version
// and the simulator number (1: MSFS 2020, 2: MSFS 2024), replacing the file
// through a temporary file. An empty list writes nothing. False, with
// "could not write {}" in Log.txt, when the file could not be written.
bool lf_writeLiveriesScanned(const LiveryList& liveries, std::int32_t simNumber,
                             const std::filesystem::path& file = kLiveriesScannedXml);
// The same for the records at `order`, in that order (a sorted order of a
// list left as it was).
bool lf_writeLiveriesScanned(const LiveryList& liveries, std::span<const std::uint32_t> order, std::int32_t simNumber,
                             const std::filesystem::path& file = kLiveriesScannedXml);

// Replaces the list with the file's liveries in livery order. A livery with
// an empty airline, model or title, or whose code no longer fits the code
// tables, is skipped with a Log.txt line. Throws UserErrorException with a
// LiveriesFileError code; liveries read before a missing attribute stay in
// the list. A file that is there but cannot be used (not XML, or any other
// of these errors) is first kept as its first generation
// (LiveriesScanned0.xml), so that the next scan does not lose it.
void lf_readLiveriesScanned(LiveryList& liveries, const std::filesystem::path& file = kLiveriesScannedXml);

}  // namespace qvl
