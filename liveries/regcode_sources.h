// Registration codes: which installed livery a real aircraft with a given
// registration should wear. Three sources feed one table, each later one
// taking precedence over the earlier: the liveries' own registrations (their
// atc_id), the shipped registration-code file (input/AIG-regcodes.enc) and
// the user's text files in input/my_regcodes. The shipped file and the
// user's files also name titles that must never be used; the liveries scan
// reads those before it searches the packages.
//
// Everything the merge changes is listed in output/info/OfflineRegcodes.txt;
// clashes among the liveries' own registrations go to
// output/errors/InlineRegcodes.txt.
//
// A user's text file holds one entry per line, fields separated by ';':
//   title                          a title that must not be used
//   title;                         the same
//   title;D-AIZG                   a special livery: this aircraft's own paint
//   title;D-AIZA,D-AIZB            a livery for these aircraft
//   title;D-AIZA,D-AIZB;#          the same, kept special (reserved)
// Registrations have 3 to 12 characters; lines shorter than 6 characters
// and lines of four or more fields are skipped.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/paths.h"
#include "liveries/livery_scan_state.h"
#include "liveries/livery_tables.h"

namespace qvl {

inline const std::filesystem::path kOfflineRegcodesTxt = kInfoFolder / "OfflineRegcodes.txt";

// One entry of a source. Without registrations it names a title that must
// not be used.
struct RegcodeEntry {
    std::string title;
    std::vector<std::string> registrations;
    bool special = false;
};
using RegcodeEntries = std::vector<RegcodeEntry>;

// Registration lengths a user's file may give.
inline constexpr std::size_t kMinRegcodeLength = 3;
inline constexpr std::size_t kMaxRegcodeLength = 12;

// One line of a user's file read by the rules above: the entry it gives, if
// any, and the registrations it names whose length is wrong (each reported
// by the caller).
struct RegcodeLine {
    std::optional<RegcodeEntry> entry;
    std::vector<std::string> wrongLength;
};
RegcodeLine parseRegcodeLine(std::string_view line);

// Appends the entries of the decrypted shipped file. False when the file
// cannot be loaded (it is then removed), has no meta block or no <aig>
// element, or repeats the previous entry's title (the repeat is skipped,
// the rest is read). Logs "{:5} liveries read from {}".
bool lf_readAigRegcodesXml(RegcodeEntries& entries, const std::filesystem::path& file = kAigRegcodesXml);

// Appends the entries of every *.TXT file (extension in any case) directly in
// the folder. False when some registration had a wrong length (logged).
// Throws std::filesystem::filesystem_error when the folder cannot be walked.
bool lf_readRegcodeTextFiles(const std::filesystem::path& folder, RegcodeEntries& entries);

// Merges the entries, in order, into the registration-code map (a later
// entry replaces an earlier title, with a results line), the special
// registrations and the reserved titles. Entries whose title no installed
// livery carries are skipped. Ends with the counts line in the results.
void lf_mergeRegcodes(const RegcodeEntries& entries, LiveryTables& tables);

// Reads and merges the decrypted shipped file (what it could read, also after
// an error).
void lf_readAigRegcodeFile(LiveryTables& tables, const std::filesystem::path& file = kAigRegcodesXml);

// Reads and merges the user's folder when it exists and is not empty; an
// error is shown on the message line. Throws std::filesystem::filesystem_error
// when the folder cannot be walked.
void lf_readRegcodeFolder(LiveryTables& tables, const std::filesystem::path& folder = kMyRegcodesFolder);

// The liveries' own registrations, from tables.liveries (in livery order)
// into the registration-code map and the in-line map; the first livery keeps
// a registration. Needs the catalogue. Clashes go to InlineRegcodes.txt.
void lf_processInlineRegcodes(LiveryTables& tables);

// The shipped file and the user's folder merged over the liveries' own
// registrations, with the results file. When the shipped file cannot be
// decrypted nothing is merged, the user's folder is not read either and the
// results file stays as it was. Catches and logs every error; a source
// that fails half-way still leaves its lines so far in the results file.
// The results list (the scan's lines first) is emptied once written.
void lf_processOfflineRegcodes(LiveryTables& tables);

// For the liveries scan, before the packages are searched: the titles of
// the shipped file (already decrypted by the scan) and of the user's folder
// that must not be used. Reader errors add a line to the results list.
void lf_readDontUseTitlesXml(DontUseTitleList& dontUse, std::vector<std::string>& results,
                             const std::filesystem::path& file = kAigRegcodesXml);
void lf_readDontUseTitlesFolder(DontUseTitleList& dontUse, std::vector<std::string>& results,
                                const std::filesystem::path& folder = kMyRegcodesFolder);

}  // namespace qvl
