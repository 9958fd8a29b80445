// The problem files of a liveries scan: each non-empty problem list goes to
// its own text file under output/, and Log.txt gets a short report with the
// counts and the files, so that the user can repair the packages. Before a
// scan the previous scan's results are removed, so the folder only ever
// shows the last scan.
#pragma once

#include <filesystem>

#include "core/paths.h"
#include "liveries/livery_scan_state.h"

namespace qvl {

inline const std::filesystem::path kInvalidAirlineCodesTxt = kErrorsFolder / "InvalidAirlineCodes.txt";
inline const std::filesystem::path kInvalidAircraftCodesTxt = kErrorsFolder / "InvalidAircraftCodes.txt";
inline const std::filesystem::path kFixesTxt = kErrorsFolder / "Fixes.txt";
inline const std::filesystem::path kInvalidAircraftCfgFilesTxt = kErrorsFolder / "InvalidAircraftCfgFiles.txt";
inline const std::filesystem::path kIncompleteSectionsTxt = kErrorsFolder / "IncompleFltsimSections.txt";
inline const std::filesystem::path kInlineRegcodesTxt = kErrorsFolder / "InlineRegcodes.txt";
inline const std::filesystem::path kNoFltsimSectionTxt = kInfoFolder / "AircraftCfgWithNoFltsimSection.txt";

// Writes the problem files and the report to Log.txt; the lists stay as
// they are. A file that cannot be written is reported as such instead of
// being pointed at. Creating output/errors may throw a file-system error.
void lf_writeScanErrorFiles(const LiveryScanState& state);

// The model fixes to output/errors/Fixes.txt; false when not written (logged).
bool lf_writeFixesFile(const LiveryScanState& state);

// Whether LiveriesScanned.xml goes with the previous scan's files: the scan
// keeps it, as its writer replaces it whole.
enum class PreviousScannedLiveries : std::uint8_t { remove, keep };

// Removes the previous scan's files, LiveriesScanned.xml (unless kept) and
// last the output/errors folder; the first failure stops the removal and is
// logged.
void lf_removePreviousScanFiles(PreviousScannedLiveries scanned = PreviousScannedLiveries::remove);

}  // namespace qvl
