// One aircraft.cfg through the worker of the liveries scan: the bytes are the
// whole file, in whatever encoding they look like. The worker never throws;
// every livery it gives is usable, carries its package folder and a title of
// its own; and the same file read once more gives nothing, its titles being
// taken.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <list>
#include <set>
#include <string>

#include "core/paths.h"
#include "liveries/aircraft_cfg.h"
#include "liveries/livery_data.h"
#include "liveries/scan_state.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("aircraft_cfg");
    return folder;
}

// Models of every category, one with a fix; airlines with the fictional and
// private ones; registration records with and without airline.
constexpr const char* kDatabaseText = R"(<?xml version="1.0"?>
<root>
<aircrafts><aircraft types="A320,B738,B77L,C172,EC35,C25C,TBM9"/></aircrafts>
<cargo_types><cargo_type types="B77L"/></cargo_types>
<heavy><hvy types="B77L"/></heavy>
<large><lar types="A320,B738"/></large>
<buzjet><bzj types="C25C"/></buzjet>
<high_performance><hpf types="TBM9"/></high_performance>
<rotorcraft><rot types="EC35"/></rotorcraft>
<ICAO_airlines><ICAO codes="DLH,BAW,KLM,CLH,ZZZ,PVT"/></ICAO_airlines>
<cargo_operators><ICAO codes="BOX"/></cargo_operators>
<simaddons20><simaddon20 arpts="EHAM"/></simaddons20>
<simaddons24><simaddon24 arpts="EHAM"/></simaddons24>
<fixes><fx wro="B73H" cor="B738"/></fixes>
<dbase><d r="D-AIZA" a="DLH" o="CLH" m="A320" c="yes"/><d r="PH-BXA" a="KLM" m="B738"/>
<d r="N123" a="PVT" m="C172"/><d r="D-NOMOD" a="DLH" m=""/><d r="G-NOAL" a="" m="B77L"/></dbase>
</root>
)";

constexpr std::int16_t kFolderIndex = 4;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const fuzz::InFolder inScratch(scratch().path());
    fs::create_directories(kInputFolder);
    const fs::path plain = scratch().path() / "dbase.source";
    fuzz::writeBytes(plain, kDatabaseText);
    expect(streamEncrypt(plain, kDbaseEnc), "the encryptor writes input/dbase.enc");
    resetDbaseTables();
    expect(gf_readDbase(), "the reference database reads");
    fs::create_directories(scratch().path() / "pkg" / "A320");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path cfg = scratch().path() / "pkg" / "A320" / "aircraft.cfg";
    fuzz::writeBytes(cfg, fuzz::bytesOf(data, size));

    LiveryScanState state;
    const std::list<LiveryData> liveries = lf_searchLiveriesinFile(state, kFolderIndex, cfg);
    std::set<std::string> titles;
    for (const LiveryData& livery : liveries) {
        expect(livery.key.usable(), "a livery has an airline and a model");
        expect(livery.folderIndex == kFolderIndex, "a livery carries its package folder");
        expect(!livery.title.empty(), "a livery has a title");
        expect(titles.insert(livery.title).second, "no title is given twice");
    }
    expect(lf_searchLiveriesinFile(state, kFolderIndex, cfg).empty(), "a second reading finds every title taken");
    return 0;
}
