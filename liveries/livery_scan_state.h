// The state of one liveries scan: the titles already taken, the titles that
// must not be catalogued, and the six lists of problems that the scan writes
// to its problem files afterwards. The scan's file tasks never touch it: they
// return their findings (liveries/scan_findings.h), and the scan's own
// thread merges them in.
//
// Every container has its own mutex, held only while elements go in or
// while a copy is taken; no lock is held while another is taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "refdata/fnv_hash.h"

namespace qvl {

// Lines of one problem kind, UTF-8, without line ends.
class ProblemList {
public:
    void add(std::string line);
    void addAll(std::vector<std::string>&& lines);
    [[nodiscard]] std::vector<std::string> lines() const;
    [[nodiscard]] std::size_t size() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

using TitleSet = std::unordered_set<std::string, Fnv1aHash, std::equal_to<>>;

// Every title taken during the current scan: the first section to take a
// title keeps it, a later one with the same title is a duplicate.
//
// A scan takes hundreds of thousands of titles, so the set keeps their bytes
// one after another in one buffer and finds them through an open-addressed
// table of small slots: no allocation per title, a lookup touches one slot
// (and the bytes only when the hashes agree), and clearing frees two blocks.
class SeenTitleSet {
public:
    // True when the title was new and is now taken.
    bool take(std::string_view title);
    [[nodiscard]] bool contains(std::string_view title) const;
    // Asks the processor to fetch the title's slot now, so that the slots of
    // several titles about to be taken arrive together rather than one by one.
    void prefetch(std::string_view title) const;
    [[nodiscard]] std::size_t size() const;
    void clear();

private:
    struct Slot {
        std::uint64_t offset = 0;  // of the title's bytes in titles_
        std::uint32_t length = kFree;
        std::uint32_t hash = 0;
    };
    static constexpr std::uint32_t kFree = 0xFFFFFFFFU;

    // The slot that holds the title, or the free slot where it belongs.
    [[nodiscard]] std::size_t slotFor(std::string_view title, std::uint32_t hash) const;
    void grow();

    mutable std::mutex mutex_;
    std::vector<Slot> slots_;  // a power of two in size, at most half used
    std::string titles_;
    std::size_t count_ = 0;
};

// The don't-use titles as the scan's file tasks read them: a copy taken once
// the list is filled, shared by every task and never changed, so a task left
// running after the scan still reads titles that are there.
class DontUseTitleSnapshot {
public:
    DontUseTitleSnapshot() = default;
    explicit DontUseTitleSnapshot(TitleSet titles) : titles_(std::move(titles)) {}

    [[nodiscard]] bool contains(std::string_view title) const { return titles_.find(title) != titles_.end(); }
    [[nodiscard]] std::size_t size() const noexcept { return titles_.size(); }

private:
    TitleSet titles_;
};

// Titles that the scan must not catalogue (exact, case-sensitive). Filled
// before the file tasks start; they read a snapshot of it.
class DontUseTitleList {
public:
    void add(std::string title);
    [[nodiscard]] bool contains(std::string_view title) const;
    [[nodiscard]] std::size_t size() const;
    void clear();
    [[nodiscard]] std::shared_ptr<const DontUseTitleSnapshot> snapshot() const;

private:
    mutable std::shared_mutex mutex_;
    TitleSet titles_;
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

// The problem lines of one aircraft.cfg as its file task finds them, one
// vector per problem list; the scan merges them into LiveryScanState.
struct ScanProblemLines {
    std::vector<std::string> noFltsimFiles;
    std::vector<std::string> invalidCfgFiles;
    std::vector<std::string> incompleteSections;
    std::vector<std::string> invalidAirlineCodes;
    std::vector<std::string> invalidModelCodes;
    std::vector<std::string> modelFixes;
};

// Appends every line to its list of the scan state, in order.
void appendProblemLines(LiveryScanState& state, ScanProblemLines&& lines);

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

// The same lines, kept by a file task for the merge.
void lf_addInvalidCfgFile(ScanProblemLines& lines, std::string line);
void lf_addIncompleteSection(ScanProblemLines& lines, std::string line);
void lf_addModelFix(ScanProblemLines& lines, std::string line);
void lf_addInvalidAirlineCode(ScanProblemLines& lines, std::string_view code, std::string_view cfgPath,
                              std::string_view header);
void lf_addInvalidModelCode(ScanProblemLines& lines, std::string_view code, std::string_view cfgPath);

}  // namespace qvl
