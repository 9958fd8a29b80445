// The aircraft.cfg files of the IVAO model matching packages (IVAO_MTL and
// ivao_x-csl). Each type has its folder "IVAO_<type>"; its sections carry no
// icao_airline key: the airline is the first word after the type code in the
// title, and a section counts only when its texture folder is there.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "liveries/fltsim_section.h"
#include "liveries/livery_data.h"
#include "liveries/scan_state.h"

namespace qvl {

// Worker task for one aircraft.cfg below an IVAO package: the type from the
// path, the file read in its detected encoding, its section numbers checked,
// then lf_readIvaoFile. Lowers `runningTaskCount` by one however it ends. An
// exception is logged with the path and passed on.
std::list<LiveryData> lf_searchLiveriesinIVAOFile(LiveryScanState& state, std::int16_t folderIndex,
                                                  const std::filesystem::path& cfgPath,
                                                  std::atomic<std::int32_t>& runningTaskCount);

// The type code from "...\IVAO_MTL\SimObjects\Airplanes\IVAO_<type>\aircraft.cfg"
// (or ivao_x-csl), cut to 4 characters and checked against the database's
// models and fixes; empty (with a problem line) when there is none.
std::string lf_modelFromIvaoPath(LiveryScanState& state, const std::filesystem::path& cfgPath);

// The liveries of a whole file: `lines` are the file's decoded lines,
// `modelCode` the type from lf_modelFromIvaoPath (not empty).
std::list<LiveryData> lf_readIvaoFile(LiveryScanState& state, const CfgFileSource& source,
                                      std::span<const std::string> lines, std::string_view modelCode);

// One section (header line first) as a livery, or none with the reason on a
// problem list. Throws when the file system cannot say whether the texture
// folder is there.
std::optional<LiveryData> lf_procesIvaoFltSimSection(LiveryScanState& state, const CfgFileSource& source,
                                                     std::span<const std::string> lines, std::string_view modelCode);

}  // namespace qvl
