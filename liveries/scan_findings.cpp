#include "liveries/scan_findings.h"

#include <fmt/format.h>

#include <utility>

#include "core/log.h"

namespace qvl {

std::string titleTakenLine(const CfgFileFindings& findings, const LiveryCandidate& candidate) {
    const std::string& title = candidate.livery.title;
    if (candidate.form == TitleTakenForm::ivao) {
        return fmt::format("{} {} title already exists: {}", findings.folderText, candidate.header, title);
    }
    return fmt::format("{} {} title '{}' already exists", findings.folderText, candidate.header, title);
}

void mergeFindings(LiveryScanState& state, CfgFileFindings&& findings, LiveryList& liveryList) {
    for (ScanLogLine& line : findings.logLines) {
        if (line.kind == ScanLogKind::attention) {
            gf_logAttention(line.text);
        } else {
            gf_log(line.text);
        }
    }
    appendProblemLines(state, std::move(findings.problems));
    for (const LiveryCandidate& candidate : findings.candidates) state.seenTitles.prefetch(candidate.livery.title);
    for (LiveryCandidate& candidate : findings.candidates) {
        // A key without airline or model leaves the title free for a
        // section that has both.
        if (!candidate.livery.key.usable() || !state.seenTitles.take(candidate.livery.title)) {
            state.incompleteSections.add(titleTakenLine(findings, candidate));
            continue;
        }
        liveryList.push_back(std::move(candidate.livery));
    }
}

}  // namespace qvl
