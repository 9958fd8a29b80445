// One aircraft.cfg through the worker of the liveries scan: the bytes are the
// whole file, in whatever encoding they look like. The worker never throws;
// every livery it gives, once merged, is usable, carries its package folder
// and a title of its own in UTF-8; and the same file read once more gives
// nothing, its titles being taken.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include "core/paths.h"
#include "core/text_file.h"
#include "liveries/aircraft_cfg.h"
#include "liveries/livery_data.h"
#include "liveries/livery_scan_state.h"
#include "liveries/scan_findings.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/fuzz_support.h"
#include "support/livery_database.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("aircraft_cfg");
    return folder;
}

constexpr std::int16_t kFolderIndex = 4;

// As the scan takes a task's findings; the task itself never throws.
LiveryList merged(LiveryScanState& state, CfgFileFindings&& findings) {
    LiveryList liveries;
    mergeFindings(state, std::move(findings), liveries);
    return liveries;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::readLiveryDatabase(scratch().path());
    const fuzz::InFolder inScratch(scratch().path());
    fs::create_directories(scratch().path() / "pkg" / "A320");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path cfg = scratch().path() / "pkg" / "A320" / "aircraft.cfg";
    fuzz::writeBytes(cfg, fuzz::bytesOf(data, size));

    LiveryScanState state;
    const LiveryList liveries = merged(state, lf_searchLiveriesinFile({.folderIndex = kFolderIndex, .cfgPath = cfg}));
    std::set<std::string> titles;
    for (const LiveryData& livery : liveries) {
        expect(livery.key.usable(), "a livery has an airline and a model");
        expect(livery.folderIndex == kFolderIndex, "a livery carries its package folder");
        expect(!livery.title.empty(), "a livery has a title");
        expect(isValidUtf8(livery.title) && isValidUtf8(livery.registration), "a livery's texts are UTF-8");
        expect(titles.insert(livery.title).second, "no title is given twice");
    }
    expect(merged(state, lf_searchLiveriesinFile({.folderIndex = kFolderIndex, .cfgPath = cfg})).empty(),
           "a second reading finds every title taken");
    return 0;
}
