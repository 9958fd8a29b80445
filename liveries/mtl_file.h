// The aircraft.cfg files of the IVAO model matching packages (IVAO_MTL and
// ivao_x-csl). Each type has its folder "IVAO_<type>"; its sections carry no
// icao_airline key: the airline is the first word after the type code in the
// title, and a section counts only when its texture folder is there.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>

#include "liveries/fltsim_section.h"
#include "liveries/livery_data.h"
#include "liveries/scan_findings.h"

namespace qvl {

// Worker task for one aircraft.cfg below an IVAO package: the type from the
// path, the file read in its detected encoding, its section numbers checked,
// then lf_readIvaoFile. Owns what it touches and never throws, as
// lf_searchLiveriesinFile: an exception is logged, the file listed as
// unreadable, and the file gives no candidate.
[[nodiscard]] CfgFileFindings lf_searchLiveriesinIVAOFile(const ScanTaskInput& input, const std::stop_token& stop = {});

// The type code from "...\IVAO_MTL\SimObjects\Airplanes\IVAO_<type>\aircraft.cfg"
// (or ivao_x-csl), cut to 4 characters and checked against the database's
// models and fixes; empty (with a problem line) when there is none.
std::string lf_modelFromIvaoPath(ScanProblemLines& problems, const std::filesystem::path& cfgPath);

// The livery candidates of a whole file, appended to the findings: `lines`
// are the file's decoded lines, `modelCode` the type from
// lf_modelFromIvaoPath (not empty).
void lf_readIvaoFile(CfgFileFindings& findings, const CfgFileSource& source, std::span<const std::string> lines,
                     std::string_view modelCode);

// One section (header line first) as a livery candidate, or none with the
// reason on a problem list. A texture folder that the file system cannot
// check counts as missing.
std::optional<LiveryCandidate> lf_procesIvaoFltSimSection(CfgFileFindings& findings, const CfgFileSource& source,
                                                          std::span<const std::string> lines,
                                                          std::string_view modelCode);

}  // namespace qvl
