// The start-up build of every livery table: once per process, after the
// liveries scan (or with LiveriesScanned.xml found current), the liveries are
// read back from the file and built into the catalogue, the registration-code
// tables and the similar-model tables, and Log.txt gets a summary of what is
// installed per aircraft category. A category setting whose aircraft have no
// livery at all is switched off (and saved so).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "core/paths.h"
#include "core/status.h"
#include "liveries/livery_tables.h"
#include "refdata/aircraft_category.h"
#include "refdata/code_table.h"

namespace qvl {

// Builds everything, or only logs "Processing scanned liveries skipped;
// already done in previous start-up" when the tables are built already.
// Tables left by a build that failed half-way are emptied first. Errors of
// the steps propagate (a missing or damaged file throws UserErrorException
// before any table is built, and switches SCAN_LIVERIES on and saves it, so
// that the next start scans anew); the tables are then not marked built. The
// status is told the number of liveries read and which category settings
// changed or can be used.
void gf_processScannedLiveries(LiveryTables& tables, Status& status,
                               const std::filesystem::path& file = kLiveriesScannedXml);

// One category's lines of the summary; fills the category's model list for
// the light, business-jet and rotorcraft categories.
void lf_logCategorySummary(LiveryTables& tables, AircraftCategory category, Status& status);

// The category model list that lf_logModelCodes fills besides logging.
enum class CategoryModelList : std::uint8_t { none, light, bizjet, rotorcraft };

// The models' codes, twenty to a line; the models are appended to the list.
void lf_logModelCodes(LiveryTables& tables, CategoryModelList list, const std::vector<CodeId>& models);

// The models that have a livery of the fictional airline, or "No generic
// liveries".
void lf_logGenericLiveries(const LiveryTables& tables);

}  // namespace qvl
