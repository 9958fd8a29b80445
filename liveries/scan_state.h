// What the workers of one liveries scan share: the titles already taken, the
// titles that must not be catalogued, and the six lists of problems that the
// scan writes to its problem files afterwards.
//
// Every container has its own mutex, held only while one element goes in or
// while a copy is taken; no lock is held while another is taken.
#pragma once

#include <cstddef>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "refdata/fnv_hash.h"

namespace qvl {

// Lines of one problem kind, UTF-8, without line ends.
class ProblemList {
public:
    void add(std::string line);
    [[nodiscard]] std::vector<std::string> lines() const;
    [[nodiscard]] std::size_t size() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Every title taken during the current scan: the first section to take a
// title keeps it, a later one with the same title is a duplicate.
class SeenTitleSet {
public:
    // True when the title was new and is now taken.
    bool take(std::string_view title);
    [[nodiscard]] std::size_t size() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::set<std::string, std::less<>> titles_;
};

// Titles that the scan must not catalogue (exact, case-sensitive). Filled
// before the workers start and only read while they run.
class DontUseTitleList {
public:
    void add(std::string title);
    [[nodiscard]] bool contains(std::string_view title) const;
    [[nodiscard]] std::size_t size() const;
    void clear();

private:
    mutable std::shared_mutex mutex_;
    std::unordered_set<std::string, Fnv1aHash, std::equal_to<>> titles_;
};

struct LiveryScanState {
    SeenTitleSet seenTitles;
    DontUseTitleList dontUseTitles;
    // output/info/AircraftCfgWithNoFltsimSection.txt
    ProblemList noFltsimFiles;
    // output/errors/InvalidAircraftCfgFiles.txt
    ProblemList invalidCfgFiles;
    // output/errors/IncompleFltsimSections.txt
    ProblemList incompleteSections;
    // output/errors/InvalidAirlineCodes.txt
    ProblemList invalidAirlineCodes;
    // output/errors/InvalidAircraftCodes.txt
    ProblemList invalidModelCodes;
    // output/errors/Fixes.txt; kept across scans (lf_clearScanMessages leaves it)
    ProblemList modelFixes;

    // Everything empty, the model fixes too.
    void reset();
};

// After a scan: empties the problem lists but the model fixes, the taken
// titles and the don't-use titles.
void lf_clearScanMessages(LiveryScanState& state);

void lf_addInvalidCfgFile(LiveryScanState& state, std::string line);
void lf_addIncompleteSection(LiveryScanState& state, std::string line);
void lf_addModelFix(LiveryScanState& state, std::string line);
// "{:12} in {} " followed by the section's header line.
void lf_addInvalidAirlineCode(LiveryScanState& state, std::string_view code, std::string_view cfgPath,
                              std::string_view header);
// "{:16} in {}".
void lf_addInvalidModelCode(LiveryScanState& state, std::string_view code, std::string_view cfgPath);

}  // namespace qvl
