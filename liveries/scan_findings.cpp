#include "liveries/scan_findings.h"

#include <utility>

#include "core/log.h"

namespace qvl {

void mergeFindings(LiveryScanState& state, CfgFileFindings&& findings, LiveryList& liveryList) {
    for (ScanLogLine& line : findings.logLines) {
        if (line.kind == ScanLogKind::attention) {
            gf_logAttention(line.text);
        } else {
            gf_log(line.text);
        }
    }
    appendProblemLines(state, std::move(findings.problems));
    for (LiveryCandidate& candidate : findings.candidates) {
        // A key without airline or model leaves the title free for a
        // section that has both.
        if (!candidate.livery.key.usable() || !state.seenTitles.take(candidate.livery.title)) {
            state.incompleteSections.add(std::move(candidate.titleTakenLine));
            continue;
        }
        liveryList.push_back(std::move(candidate.livery));
    }
}

}  // namespace qvl
