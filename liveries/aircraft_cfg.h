// One aircraft.cfg of an AI package read into its liveries: the file in its
// own text encoding, its [fltsim.N] headers checked, the one aircraft type
// that all its liveries share, and every fltsim section handed to the
// section reader.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "liveries/fltsim_section.h"
#include "liveries/livery_data.h"
#include "liveries/scan_findings.h"

namespace qvl {

// Real aircraft.cfg files hold a few hundred kilobytes at most; a larger file
// is no aircraft.cfg, and reading it whole on every scan worker at once
// would only cost memory.
inline constexpr std::uintmax_t kMaxAircraftCfgSize = std::uintmax_t{16} * 1024 * 1024;

// The highest section number a usable file has; a malformed header counts
// as this number.
inline constexpr std::uint32_t kMaxFltsimNumber = 10000;

// The task of one scan worker: the livery candidates of one aircraft.cfg,
// with the problem and log lines of the file. It touches nothing but its
// input, its file and the reference tables (see scan_findings.h). A missing
// file gives nothing; a file that cannot be used gives nothing and says why
// in its findings. It never throws: a file that breaks the reading (an
// exception on the way) is logged, listed as unreadable and gives no
// candidate, so one bad file never ends the scan. Once `stop` is requested
// (the pool ended while the file was being read) it gives up after the read.
[[nodiscard]] CfgFileFindings lf_searchLiveriesinFile(const ScanTaskInput& input, const std::stop_token& stop = {});

// Both file tasks, when something broke the reading of a file: the
// candidates found so far are dropped and "<path> could not be read:
// <reason>" goes to the invalid files. The problem and log lines stay.
void listUnreadableFile(CfgFileFindings& findings, const std::filesystem::path& cfgPath, std::string_view reason);

// The whole file as UTF-8 lines in its detected encoding; none (with a log
// line, and the file on the list of invalid files) when it is too large,
// cannot be opened or cannot be decoded.
std::optional<std::vector<std::string>> readAircraftCfgLines(CfgFileFindings& findings,
                                                             const std::filesystem::path& cfgPath);

// The number text of a [fltsim.N] header line, "10000" for a malformed header
// (text after the bracket, a missing bracket, a ';' before it), empty for any
// other line and for a header commented out with "//".
std::string lf_matchFltsimHeader(std::string_view line);

// False when the file must not be used: a header number that is no 32-bit
// number (logged) or one above 10000 (listed as invalid). A file without any
// header is listed as such and is usable (it yields nothing).
bool lf_checkFltsimNumber(CfgFileFindings& findings, std::span<const std::string> lines,
                          const std::filesystem::path& cfgPath);

// The file's aircraft type: the first icao_type_designator of the file, else
// the simulator aircraft named by base_container; a wrong code the database
// fixes is fixed (and listed). Empty when none is usable (listed, except for
// the packages of two user aircraft).
std::string lf_modelFromAircraftCfg(CfgFileFindings& findings, std::span<const std::string> lines,
                                    const std::filesystem::path& cfgPath);

// icao_type_designator's value, at most 4 characters, upper-cased; empty
// when the line is no such key.
std::string lf_matchIcaoTypeDesignator(std::string_view line);
// The type code of the simulator aircraft that base_container names
// ("..\Asobo_A320_NEO"), upper-cased; empty when the line is no such key or
// the aircraft is unknown.
std::string lf_matchBaseContainer(std::string_view line);

// The livery candidates of every fltsim section of the lines, appended to
// the findings in file order. A section runs from its header to the next
// header or the next other section header (a '[' among a line's first 6
// characters).
void lf_readAircraftCfg(CfgFileFindings& findings, const CfgFileSource& source, std::span<const std::string> lines,
                        std::string_view modelCode);

}  // namespace qvl
