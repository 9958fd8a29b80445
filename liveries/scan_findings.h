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

// How the incomplete-section line of a candidate reads when its title is
// taken already, or when its key lacks airline or model (a registration
// record without one): the aircraft folder, the header, then
//   ordinary: " title '<title>' already exists"
//   ivao:     " title already exists: <title>"
enum class TitleTakenForm : std::uint8_t { ordinary, ivao };

// A livery a section yields, as long as its title is still free when the
// findings are merged. Its problem line is written only when it is needed,
// as nearly every title is free.
struct LiveryCandidate {
    LiveryData livery;
    std::string header;  // the section's header line
    TitleTakenForm form = TitleTakenForm::ordinary;
};

enum class ScanLogKind : std::uint8_t { plain, attention };

struct ScanLogLine {
    ScanLogKind kind = ScanLogKind::plain;
    std::string text;
};

struct CfgFileFindings {
    std::vector<LiveryCandidate> candidates;  // in file order
    // The folder that holds the file, as text, for the candidates' lines.
    std::string folderText;
    ScanProblemLines problems;
    // Log.txt lines, written by the merge in the order the task found them.
    std::vector<ScanLogLine> logLines;

    void log(std::string text) { logLines.push_back({.kind = ScanLogKind::plain, .text = std::move(text)}); }
    void logAttention(std::string text) {
        logLines.push_back({.kind = ScanLogKind::attention, .text = std::move(text)});
    }
};

// The candidate's line when its title is taken.
std::string titleTakenLine(const CfgFileFindings& findings, const LiveryCandidate& candidate);

// On the scan's thread, per task in start order: writes the task's log
// lines, appends its problem lines, and moves each candidate whose key is
// usable and whose title is new to the end of `liveryList`, taking the
// title; any other candidate leaves its titleTakenLine.
void mergeFindings(LiveryScanState& state, CfgFileFindings&& findings, LiveryList& liveryList);

}  // namespace qvl
