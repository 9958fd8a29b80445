// One aircraft.cfg of an IVAO model matching package through the worker
// task that scans it. The first byte picks the type folder the file lies in
// (one of them a winglet package, one holding a plain "texture" folder); the
// rest is the file. Every folder holds the texture folders "texture.A" and
// "texture.DLH". Whatever the file says, the task never throws, and every
// livery it gives is a usable, trimmed one whose title the merge then takes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "core/paths.h"
#include "liveries/livery_data.h"
#include "liveries/livery_scan_state.h"
#include "liveries/mtl_file.h"
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
    static fuzz::ScratchFolder folder("mtl_file");
    return folder;
}

// Package and type folder; the last one is no IVAO layout at all.
constexpr std::array<std::array<std::string_view, 2>, 6> kFolders{{{"IVAO_MTL", "IVAO_A320"},
                                                                   {"IVAO_MTL", "IVAO_B738WLfa"},
                                                                   {"ivao_x-csl", "IVAO_B77L"},
                                                                   {"IVAO_MTL", "IVAO_B73H"},
                                                                   {"IVAO_MTL", "IVAO_Q400"},
                                                                   {"MyAI", "IVAO_A320"}}};

fs::path cfgPathOf(std::size_t choice) {
    const auto& [package, type] = kFolders[choice];
    return scratch().path() / package / "SimObjects" / "Airplanes" / type / "aircraft.cfg";
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void expectSoundLivery(const LiveryData& livery) {
    expect(!livery.title.empty(), "a livery has a title");
    expect(!isBlank(livery.title.front()) && !isBlank(livery.title.back()), "a title is trimmed");
    expect(livery.key.usable(), "a livery has an airline and a model");
    expect(livery.folderIndex == 7, "a livery carries its package folder");
    if (livery.key.airlineId == gf_airlineId(kFictionalAirline)) {
        expect(livery.registration.empty(), "a fictional livery has no registration");
    }
    // Only a registration record makes a cargo livery.
    if (livery.key.cargo != 0) expect(!livery.registration.empty(), "a cargo livery has a registration");
    expect(livery.registration.size() <= 12, "a registration has at most 12 characters");
    expect(livery.registration.find_first_of(",*") == std::string::npos, "a registration is one code");
}

// As the scan takes a task's findings.
LiveryList merged(LiveryScanState& state, CfgFileFindings&& findings) {
    LiveryList liveries;
    mergeFindings(state, std::move(findings), liveries);
    return liveries;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::readLiveryDatabase(scratch().path());
    for (std::size_t i = 0; i < kFolders.size(); ++i) {
        const fs::path folder = cfgPathOf(i).parent_path();
        fs::create_directories(folder / "texture.A");
        fs::create_directories(folder / "texture.DLH");
    }
    fs::create_directories(cfgPathOf(0).parent_path() / "texture");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const fs::path cfg = cfgPathOf(data[0] % kFolders.size());
    fuzz::writeBytes(cfg, fuzz::bytesOf(data + 1, size - 1));

    LiveryScanState state;
    // The task never throws (a throw would end the fuzzing here).
    LiveryList liveries = merged(state, lf_searchLiveriesinIVAOFile({.folderIndex = 7, .cfgPath = cfg}));

    std::set<std::string> titles;
    for (const LiveryData& livery : liveries) {
        expectSoundLivery(livery);
        expect(titles.insert(livery.title).second, "a title is taken once");
    }
    expect(merged(state, lf_searchLiveriesinIVAOFile({.folderIndex = 7, .cfgPath = cfg})).empty(),
           "taken titles are not taken twice");
    return 0;
}
