// The meta block at the top of the program's own XML data files (stand files,
// LiveriesScanned.xml): who wrote the file, with which version, when, and for
// which simulator.
//   <root><meta><info name="author" value="Quorvelant"/>...</meta>...</root>
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <optional>
#include <string>

#include "core/result.h"

namespace qvl {

struct MetaInfo {
    std::string author;
    std::string version;
    std::string date;
    std::string copyright;
    std::string p3d;   // "P3D" row of older files; read only
    std::string msfs;  // "MSFS" row of older files; read only
    std::int32_t sim = 0;
};

// The rights notice written into every meta block.
inline constexpr const char* kMetaCopyright = "Copyright (c) Ostrevane. All rights reserved.";

// Appends a meta block (author, version, date, copyright, sim) under the
// document's root element, creating root when missing. Only the version and
// sim of the record are used. True when every row was written.
bool gf_writeMetaInfo(pugi::xml_node document, const MetaInfo& info);

// Whether a meta block must name its simulator to be accepted.
enum class SimulatorRow : std::uint8_t {
    required,  // one of the rows "P3D", "MSFS" and "sim" must be present
    optional,
};

// Why a meta block was not accepted.
enum class MetaRefusal : std::uint8_t {
    noMeta,          // no meta element
    noCopyright,     // no "copyright" row
    emptyCopyright,  // a "copyright" row without text
    noSimulator,     // none of the rows "P3D", "MSFS" and "sim", which were required
};

// The first meta block of root (or of the node itself when it has no root),
// or why it is not accepted, with a text for a log line. Of each row name
// only the first row counts. Logs nothing.
Result<MetaInfo, MetaRefusal> checkMetaInfo(pugi::xml_node document, SimulatorRow simulatorRow);

// checkMetaInfo without the reason: no value when the block is refused.
// An empty copyright row is logged; the other refusals are silent.
std::optional<MetaInfo> gf_readMetaInfo(pugi::xml_node document, SimulatorRow simulatorRow);

}  // namespace qvl
