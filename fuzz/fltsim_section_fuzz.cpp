// One [fltsim.N] section of an aircraft.cfg through the section reader of
// the liveries scan. The first byte picks the file's model code (the reader
// is only ever given one from the model set); the rest are the section's
// lines, the header first, split as the file reader splits them. A section
// that gives a livery must give a usable one that LiveriesScanned.xml keeps
// unchanged (up to a NUL byte, which XML cannot hold), and its title is then
// taken when the scan merges it: the same section once more is a duplicate.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/paths.h"
#include "liveries/fltsim_section.h"
#include "liveries/liveries_file.h"
#include "liveries/livery_data.h"
#include "liveries/livery_scan_state.h"
#include "liveries/scan_findings.h"
#include "refdata/code_table.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/fuzz_support.h"
#include "support/livery_database.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("fltsim_section");
    return folder;
}

constexpr std::array<std::string_view, 7> kModels{"A320", "B738", "B77L", "C172", "EC35", "C25C", "TBM9"};

const CfgFileSource kSource{.folderIndex = 3, .cfgPath = "pkg/A320/aircraft.cfg", .aircraftFolder = "pkg/A320"};

// As the file reader gives them: split at line feeds, a carriage return
// before one dropped.
std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view piece = text.substr(0, newline);
        if (piece.ends_with('\r')) piece.remove_suffix(1);
        lines.emplace_back(piece);
        if (newline == std::string_view::npos) break;
        text.remove_prefix(newline + 1);
    }
    return lines;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

void expectSoundLivery(const LiveryData& livery) {
    expect(!livery.title.empty(), "a livery has a title");
    expect(!isBlank(livery.title.front()) && !isBlank(livery.title.back()), "a title is trimmed");
    expect(livery.title.find("Fictional") == std::string::npos, "no fictional title is catalogued");
    expect(livery.key.usable(), "a livery has an airline and a model");
    expect(livery.folderIndex == kSource.folderIndex, "a livery carries its package folder");
    if (livery.title.ends_with("-STUB")) {
        expect(livery.key.airlineId == gf_airlineId(kFictionalAirline), "a stub livery is a fictional one");
    }
    // No registration record of the database names the fictional airline.
    if (livery.key.airlineId == gf_airlineId(kFictionalAirline)) {
        expect(livery.registration.empty(), "a fictional livery has no registration");
    }
    expect(livery.registration.size() <= 12, "a registration has at most 12 characters");
    expect(livery.registration.find_first_of(";,*") == std::string::npos, "a registration is one plain code");
}

// The text as LiveriesScanned.xml can hold it: XML holds no NUL byte, so a
// text ends at its first one (as it does for the simulator reading the
// aircraft.cfg).
std::string_view storable(std::string_view text) { return text.substr(0, text.find('\0')); }

// What the start-up reads back is what the scan found.
void expectKeptByTheFile(const LiveryData& livery) {
    // A title that is nothing but a NUL and what follows is no title to
    // store; the reader skips the livery with a log line.
    if (storable(livery.title).empty()) return;
    const fs::path file = scratch().path() / "LiveriesScanned.xml";
    expect(lf_writeLiveriesScanned({livery}, 2, file), "a livery is written");
    LiveryList reread;
    lf_readLiveriesScanned(reread, file);
    expect(reread.size() == 1, "the written livery reads back");
    const LiveryData& back = reread.front();
    expect(back.title == storable(livery.title), "its title reads back unchanged");
    expect(back.registration == storable(livery.registration), "its registration reads back unchanged");
    const LiveryKey stored{.airlineId = livery.key.airlineId,
                           .secondAirlineId = livery.key.secondAirlineId,
                           .modelId = livery.key.modelId,
                           .cargo = livery.key.cargo};
    expect(back.key == stored, "its key reads back unchanged");
}

// The section read as a scan task reads it, then merged as the scan does.
std::optional<LiveryData> takenLivery(LiveryScanState& state, const std::vector<std::string>& lines,
                                      std::string_view model) {
    CfgFileFindings findings;
    if (auto candidate = lf_procesFltSimSection(findings, kSource, lines, model)) {
        findings.candidates.push_back(std::move(*candidate));
    }
    LiveryList liveries;
    mergeFindings(state, std::move(findings), liveries);
    if (liveries.empty()) return std::nullopt;
    return std::move(liveries.front());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::readLiveryDatabase(scratch().path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view model = kModels[data[0] % kModels.size()];
    const std::vector<std::string> lines = linesOf(fuzz::bytesOf(data + 1, size - 1));

    LiveryScanState state;
    const std::optional<LiveryData> livery = takenLivery(state, lines, model);
    if (!livery) return 0;
    expectSoundLivery(*livery);
    expect(!takenLivery(state, lines, model), "a taken title is not taken twice");
    expectKeptByTheFile(*livery);
    return 0;
}
