// The task of one BGL file, and what the scan's thread uses to merge it.
#include <fmt/format.h>

#include <exception>
#include <fstream>
#include <string>
#include <utility>

#include "airports/bgl/bgl_airports.h"
#include "core/log.h"
#include "core/text_file.h"
#include "platform/sys/cpu_time.h"
#include "refdata/airports.h"

namespace qvl {

namespace {

void readFile(BglFileFindings& findings, const BglTaskInput& input, const std::stop_token& stop) {
    std::vector<std::uint32_t> words;
    {
        std::ifstream in(input.bglPath, std::ios::binary);
        if (!in.is_open()) return;
        words = lf_readBglWords(in);
        if (in.bad()) return;
    }
    findings.opened = true;
    // The read is where a task may hang; once the pool has ended, what the
    // file holds is of use to nobody.
    if (stop.stop_requested()) return;
    const BglReadContext context{.isKnownAirport = input.isKnownAirport
                                                       ? input.isKnownAirport
                                                       : [](const FixedCode4& code) { return gf_isKnownAirport(code); },
                                 .bglPathText = gf_pathToUtf8(input.bglPath)};
    BglAirports found = readBglAirports(words, context);
    findings.airports = std::move(found.airports);
    findings.linesAfter = std::move(found.linesAfter);
}

}  // namespace

BglFileFindings lf_processBGLfile(const BglTaskInput& input, const std::stop_token& stop) {
    const std::chrono::nanoseconds start = sys::threadCpuTime();
    BglFileFindings findings;
    findings.bglPath = input.bglPath;
    try {
        readFile(findings, input, stop);
    } catch (const std::exception& e) {
        findings.outcome = fail(BglFileError::readFailed, e.what());
        findings.linesAfter.push_back(
            {.kind = BglLineKind::logAttention, .text = exceptionLine(input.bglPath, e.what())});
    } catch (...) {
        findings.outcome = fail(BglFileError::readFailed, "unknown exception");
        findings.linesAfter.push_back(
            {.kind = BglLineKind::logAttention,
             .text = fmt::format("Exception in lf_processBGLfile: {}", gf_pathToUtf8(input.bglPath))});
    }
    findings.cpu = sys::threadCpuTime() - start;
    return findings;
}

std::optional<std::string> parkposLine(const ApfRecord& record, std::int32_t archivedStandCount) {
    const auto stands = static_cast<std::int64_t>(record.stands.size());
    if (stands <= archivedStandCount || record.publisher == "simaddon") return std::nullopt;
    return fmt::format("{} has {} parkpos while archived one has {}", gf_fixedCodeView(record.icao), stands,
                       archivedStandCount);
}

std::string exceptionLine(const std::filesystem::path& bglPath, std::string_view what) {
    return fmt::format("Exception in lf_processBGLfile (std::ex): {} \u2014 {}", gf_pathToUtf8(bglPath), what);
}

bool writeBglLogLine(const BglLine& line) {
    switch (line.kind) {
        case BglLineKind::scanLog: return false;
        case BglLineKind::log: gf_log(line.text); return true;
        case BglLineKind::logAndFlush: gf_logLineAndFlush(line.text); return true;
        case BglLineKind::logAttention: gf_logAttention(line.text); return true;
    }
    return false;
}

}  // namespace qvl
