// Questions the rest of the program asks of the reference database: the
// category and half wingspan of a model, whether a code is known, the record
// of a registration, a short registration inside a livery title, the
// publisher of an add-on airport from its folder, and airport entries of a
// publisher. Plain reads of the tables; only gf_categoryOfModel interns.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/fixed_code.h"
#include "refdata/aircraft_category.h"
#include "refdata/code_table.h"
#include "refdata/dbase.h"

namespace qvl {

// The first category set holding the id, tested Large, Heavy, Buzjets,
// Rotorcraft, HighPerf; Light when none does.
AircraftCategory gf_categoryOfModelId(CodeId id);
// The same for a code, which is interned.
AircraftCategory gf_categoryOfModel(std::string_view code);

// True for a non-empty code the database lists.
bool gf_isKnownModel(std::string_view code);
bool gf_isKnownAirline(std::string_view code);

// Half wingspan in nautical miles; 0.0 for a model without a wingspan entry.
// An id beyond the table (kHalfWingspanSlots, or the model list at reading
// time where that was longer) logs "hwsp: {} what: {}" and gives
// maxHalfWingspan().
double gf_halfWingspan(CodeId id);
// The largest half wingspan read (nautical miles).
double maxHalfWingspan();

// The spellings under which a registration is looked up, in this order:
// for 5 or more characters, not starting with 'N' and without '-', first
// "XY-rest" and "X-rest"; always last the text itself.
std::vector<std::string> gf_registrationVariants(std::string_view registration);

// The record of the first spelling found; none for an empty text or when no
// spelling is in the database.
std::optional<DbaseIds> gf_findDbaseRecord(std::string_view registration);

// The first registration (in ascending order) shorter than 6 characters that
// occurs in the text. A linear search: only for livery titles at scan time.
std::optional<std::string> gf_findShortRegistrationIn(std::string_view text);

// True when the text occurs in the path's UTF-8 text with ASCII letters
// folded; an empty text always occurs.
bool gf_containsNoCase(const std::filesystem::path& path, std::string_view text);

// The publisher (first name of its group) of the first group with a name in
// the path, exact or case-folded; none when no name occurs. Empty names
// never match.
std::optional<std::string> gf_publisherFromPath(const std::filesystem::path& path);

// For an entry such as "EHAM12": false when it does not begin with the code
// (another airport's entry); else reads the number after the code into
// `number` and returns true. An unreadable number logs "{} {} {} {}"
// (publisher, code, entry, "invalid number"), keeps `number` and returns true.
bool gf_parseCodeNumber(std::string_view publisher, const FixedCode4& code, std::int32_t& number,
                        std::string_view entry);

}  // namespace qvl
