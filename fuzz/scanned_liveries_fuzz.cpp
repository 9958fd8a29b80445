// The start-up build of the livery tables from LiveriesScanned.xml and the
// registration codes. The input is up to three parts separated by the byte
// 0x1E: LiveriesScanned.xml, the shipped registration-code file (plain; it is
// encrypted as input/AIG-regcodes.enc) and a user's registration-code text
// file in input/my_regcodes. A part that is left out is a file that is not
// there. A build that succeeds leaves tables whose every title is an
// installed livery's, in their order, and is not repeated by the next run.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/messages.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/user_error.h"
#include "liveries/livery_tables.h"
#include "liveries/scanned_processing.h"
#include "refdata/code_table.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "refdata/lookups.h"
#include "support/fuzz_support.h"
#include "support/quiet_status.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("scanned_liveries");
    return folder;
}

constexpr char kPartSeparator = '\x1e';
// Files read by the program intern the codes they name; past this many the
// reference database is read afresh, so a long run never fills the tables.
constexpr std::size_t kCodesBeforeReload = 4096;

constexpr const char* kDatabaseText = R"(<?xml version="1.0"?>
<root>
<aircrafts><aircraft types="A319,A320,A321,B738,B77L,C172,C182,EC35,H145,C25C,TBM9"/></aircrafts>
<cargo_types><cargo_type types="B77L"/></cargo_types>
<heavy><hvy types="B77L"/></heavy>
<large><lar types="A319,A320,A321,B738"/></large>
<buzjet><bzj types="C25C"/></buzjet>
<high_performance><hpf types="TBM9"/></high_performance>
<rotorcraft><rot types="EC35,H145"/></rotorcraft>
<similar_types><similar types="A319,A320,A321"/><similar types="C172,C182"/><similar types="EC35,H145"/></similar_types>
<prefixes><similar types="D-,OE-,HB-"/></prefixes>
<ICAO_airlines><ICAO codes="DLH,BAW,KLM,CLH,CFE,ZZZ,PVT"/></ICAO_airlines>
<cargo_operators><ICAO codes="BOX"/></cargo_operators>
<simaddons20><simaddon20 arpts="EHAM"/></simaddons20>
<simaddons24><simaddon24 arpts="EHAM"/></simaddons24>
<dbase><d r="D-AIZA" a="DLH" o="CLH" m="A320" c="yes"/><d r="PH-BXA" a="KLM" m="B738"/></dbase>
</root>
)";

void readDbase() {
    const fs::path plain = scratch().path() / "dbase.source";
    fuzz::writeBytes(plain, kDatabaseText);
    expect(streamEncrypt(plain, kDbaseEnc), "the encryptor writes input/dbase.enc");
    resetDbaseTables();
    expect(gf_readDbase(), "the reference database reads");
}

std::vector<std::string_view> partsOf(std::string_view bytes) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t end = bytes.find(kPartSeparator);
        parts.push_back(bytes.substr(0, end));
        if (end == std::string_view::npos || parts.size() == 3) return parts;
        bytes.remove_prefix(end + 1);
    }
}

void placeFiles(const std::vector<std::string_view>& parts) {
    std::error_code ec;
    fs::remove(kAigRegcodesEnc, ec);
    fs::remove_all(kMyRegcodesFolder, ec);
    fuzz::writeBytes(kLiveriesScannedXml, parts[0]);
    if (parts.size() > 1) {
        const fs::path plain = scratch().path() / "regcodes.source";
        fuzz::writeBytes(plain, parts[1]);
        expect(streamEncrypt(plain, kAigRegcodesEnc), "the encryptor writes input/AIG-regcodes.enc");
    }
    if (parts.size() > 2) {
        fs::create_directories(kMyRegcodesFolder);
        fuzz::writeBytes(kMyRegcodesFolder / "mine.TXT", parts[2]);
    }
}

// A view the tables hold is the text of an installed livery's title, and
// its bytes are read, so a view into freed storage trips the address
// sanitizer. (A hand-made file may list one title twice; the index then
// holds the first.)
volatile unsigned titleSum = 0;
void expectStoredTitle(const LiveryTables& tables, std::string_view title, std::string_view rule) {
    expect(tables.titleIndex.contains(title), rule);
    unsigned sum = 0;
    for (const char c : title) sum += static_cast<unsigned char>(c);
    titleSum = sum;
}

void expectSoundCatalogue(const LiveryTables& tables) {
    for (const auto& byAirline : tables.catalogue) {
        for (const auto& [airline, byModel] : byAirline) {
            for (const auto& [model, titles] : byModel) {
                expect(!titles.empty(), "a catalogue list is never empty");
                expect(std::is_sorted(titles.begin(), titles.end()), "a catalogue list is in title order");
                for (const std::string_view title : titles) {
                    expectStoredTitle(tables, title, "the catalogue holds installed titles");
                }
            }
        }
    }
    for (const ModelTitleMap* table : {&tables.paxModels, &tables.cargoModels}) {
        for (const auto& [model, titles] : *table) {
            for (const std::string_view title : titles) {
                expectStoredTitle(tables, title, "the model tables hold installed titles");
            }
        }
    }
}

void expectSoundRegcodes(const LiveryTables& tables) {
    for (const auto& [registration, title] : tables.regcodes) {
        expect(!registration.empty(), "no registration code is empty");
        expectStoredTitle(tables, title, "a registration code names an installed title");
    }
    for (const auto& [title, registration] : tables.inlineRegcodes) {
        expect(!registration.empty(), "an in-line registration is never empty");
        expectStoredTitle(tables, title, "in-line registrations belong to installed titles");
    }
    for (const std::string& registration : tables.specialRegcodes) {
        expect(tables.regcodes.contains(registration), "a special registration has its title");
    }
    for (const std::string_view title : tables.reservedTitles) {
        expectStoredTitle(tables, title, "a reserved title is an installed one");
    }
}

void expectCategoryList(const std::vector<CodeId>& models, AircraftCategory category) {
    for (const CodeId model : models) {
        expect(gf_categoryOfModelId(model) == category, "a category's model list holds models of the category");
    }
}

void expectSoundTables(const LiveryTables& tables) {
    expect(tables.catalogueBuilt, "a build that succeeds is marked built");
    expect(tables.liveries.empty(), "the read list is released once built");
    expectSoundCatalogue(tables);
    expectSoundRegcodes(tables);
    expectCategoryList(tables.lightModels, AircraftCategory::Light);
    expectCategoryList(tables.bizjetModels, AircraftCategory::Buzjets);
    expectCategoryList(tables.rotorcraftModels, AircraftCategory::Rotorcraft);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("QVL_ROAMING_DIR", (scratch().path() / "roaming").c_str(), 1);
    const fuzz::InFolder inScratch(scratch().path());
    fs::create_directories(productFolder());
    fs::create_directories(kInputFolder);
    fs::create_directories(kInfoFolder);
    fs::create_directories(kErrorsFolder);
    readDbase();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::InFolder inScratch(scratch().path());
    if (modelCodes().size() + airlineCodes().size() > kCodesBeforeReload) readDbase();
    fuzz::resetAllSettings();
    resetMessages();
    placeFiles(partsOf(fuzz::bytesOf(data, size)));

    LiveryTables tables;
    fuzz::QuietStatus status;
    try {
        gf_processScannedLiveries(tables, status);
    } catch (const UserErrorException&) {
        // A missing or damaged file: the start-up reports it.
        expect(!tables.catalogueBuilt, "a build that failed is not marked built");
        return 0;
    }
    expectSoundTables(tables);
    const std::size_t regcodes = tables.regcodes.size();
    gf_processScannedLiveries(tables, status);
    expect(tables.catalogueBuilt && tables.regcodes.size() == regcodes, "the next run keeps the built tables");
    return 0;
}
