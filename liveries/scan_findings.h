// What one file task of the liveries scan is given and what it gives back.
//
// A task runs on a worker thread and may outlive the scan (a file that hangs
// past the pool's bound is left behind at the program's end), so it owns
// what it touches: its inputs are copies or shared read-only snapshots, and
// everything it finds goes into its own CfgFileFindings. The scan's thread
// merges the findings into the scan state in the order the tasks started;
// there the titles are taken, so the first section in that order keeps a
// title whatever the threads' timing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "liveries/livery_data.h"
#include "liveries/livery_scan_state.h"

namespace qvl {

struct ScanTaskInput {
    std::int16_t folderIndex = 0;  // the package folder's place in the scan order
    std::filesystem::path cfgPath;
    // Null reads as no such titles.
    std::shared_ptr<const DontUseTitleSnapshot> dontUseTitles{};
};

// A livery a section yields, as long as its title is still free when the
// findings are merged.
struct LiveryCandidate {
    LiveryData livery;
    // The incomplete-section line when the title is taken already, or when
    // the key lacks airline or model (a registration record without one).
    std::string titleTakenLine;
};

enum class ScanLogKind : std::uint8_t { plain, attention };

struct ScanLogLine {
    ScanLogKind kind = ScanLogKind::plain;
    std::string text;
};

struct CfgFileFindings {
    std::vector<LiveryCandidate> candidates;  // in file order
    ScanProblemLines problems;
    // Log.txt lines, written by the merge in the order the task found them.
    std::vector<ScanLogLine> logLines;

    void log(std::string text) { logLines.push_back({.kind = ScanLogKind::plain, .text = std::move(text)}); }
    void logAttention(std::string text) {
        logLines.push_back({.kind = ScanLogKind::attention, .text = std::move(text)});
    }
};

// On the scan's thread, per task in start order: writes the task's log
// lines, appends its problem lines, and moves each candidate whose key is
// usable and whose title is new to the end of `liveryList`, taking the
// title; any other candidate leaves its titleTakenLine.
void mergeFindings(LiveryScanState& state, CfgFileFindings&& findings, LiveryList& liveryList);

}  // namespace qvl
