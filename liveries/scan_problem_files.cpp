#include "liveries/scan_problem_files.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <exception>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/strings.h"
#include "core/text_file.h"

namespace fs = std::filesystem;

namespace qvl {
namespace {

std::vector<std::string> sortedLines(const ProblemList& list) {
    std::vector<std::string> lines = list.lines();
    std::sort(lines.begin(), lines.end());
    return lines;
}

void ensureErrorsFolder() {
    if (!fs::exists(kErrorsFolder)) fs::create_directories(kErrorsFolder);
}

// "{:5} <what>, see <file>", or "..., could not write <file>" so that the
// report never points at a file that is not there.
void report(std::size_t count, std::string_view what, bool written, const fs::path& file) {
    gf_log(fmt::format("{:5} {}, {} {}", count, what, written ? "see" : "could not write", gf_pathToUtf8(file)));
}

std::string countedNoun(std::string_view noun, std::size_t count) {
    return fmt::format("{}{}", noun, gf_pluralSuffixSize(count));
}

// Sorted into its file under output/errors, with its report line.
void writeErrorList(const ProblemList& list, const fs::path& file, std::string_view what) {
    const std::size_t count = list.size();
    if (count == 0) return;
    const auto lines = sortedLines(list);
    ensureErrorsFolder();
    report(count, what, gf_writeLines(lines, file), file);
}

void writeIncompleteSections(const ProblemList& list) {
    const std::size_t count = list.size();
    if (count == 0) return;
    auto lines = sortedLines(list);
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    ensureErrorsFolder();
    // The count is of the problems found, repeats included.
    report(count, "incomplete [fltsim.x] sections", gf_writeLines(lines, kIncompleteSectionsTxt),
           kIncompleteSectionsTxt);
}

}  // namespace

void lf_writeScanErrorFiles(const LiveryScanState& state) {
    const std::size_t airlines = state.invalidAirlineCodes.size();
    const std::size_t models = state.invalidModelCodes.size();
    const std::size_t fixes = state.modelFixes.size();
    const std::size_t cfgFiles = state.invalidCfgFiles.size();
    const std::size_t sections = state.incompleteSections.size();
    const std::size_t empties = state.noFltsimFiles.size();

    gf_log(airlines + models + fixes + cfgFiles + sections == 0 ? "\nNo errors" : "\nErrors:");
    writeErrorList(state.invalidAirlineCodes, kInvalidAirlineCodesTxt, countedNoun("invalid airline code", airlines));
    writeErrorList(state.invalidModelCodes, kInvalidAircraftCodesTxt, countedNoun("invalid model code", models));
    if (fixes > 0) report(fixes, "fixes", lf_writeFixesFile(state), kFixesTxt);
    writeErrorList(state.invalidCfgFiles, kInvalidAircraftCfgFilesTxt, "invalid aircraft.cfg files");
    writeIncompleteSections(state.incompleteSections);

    gf_log("\nInformation:");
    if (empties > 0) {
        // The info folder is the program's own and is never removed by a scan.
        report(empties, "empty aircraft.cfg files",
               gf_writeLines(sortedLines(state.noFltsimFiles), kNoFltsimSectionTxt), kNoFltsimSectionTxt);
    }
}

bool lf_writeFixesFile(const LiveryScanState& state) {
    try {
        fs::create_directories(kFixesTxt.parent_path());
        return gf_writeLines(state.modelFixes.lines(), kFixesTxt);
    } catch (const std::exception& e) {
        gf_log(fmt::format("Error writing file {}: {}", gf_pathToUtf8(kFixesTxt), e.what()));
        return false;
    }
}

void lf_removePreviousScanFiles(PreviousScannedLiveries scanned) {
    const std::array<const fs::path*, 9> previous{
        &kNoFltsimSectionTxt,         &kLiveriesScannedXml,      &kInlineRegcodesTxt,
        &kInvalidAirlineCodesTxt,     &kInvalidAircraftCodesTxt, &kFixesTxt,
        &kInvalidAircraftCfgFilesTxt, &kIncompleteSectionsTxt,   &kErrorsFolder};
    try {
        for (const fs::path* file : previous) {
            if (scanned == PreviousScannedLiveries::keep && file == &kLiveriesScannedXml) continue;
            fs::remove(*file);
        }
    } catch (const fs::filesystem_error& e) {
        gf_log(fmt::format("problems with removing previous files: {}", e.what()));
    }
}

}  // namespace qvl
