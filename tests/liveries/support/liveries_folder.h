// A temporary program folder with Log.txt and a small reference database
// read the way the program reads it, default settings, and a fresh scan
// state and set of livery tables per test.
#pragma once

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/settings.h"
#include "liveries/livery_data.h"
#include "liveries/livery_scan_state.h"
#include "liveries/livery_tables.h"
#include "liveries/scan_findings.h"
#include "refdata/code_table.h"
#include "refdata/dbase.h"
#include "refdata/support/reference_data_folder.h"
#include "support/settings_scope.h"

namespace qvl::test {

// Models: A318-A321 and B738 large, B77L heavy, C25C a business jet, EC35 a
// rotorcraft, TBM9 high-performance, C172 light. Registrations: D-AIZA is a
// Lufthansa A320 flown for CityLine and carrying cargo, PH-BXA a KLM B738,
// N123 a private C172, D-NOMOD a Lufthansa aircraft of no known model.
inline std::string liveriesDbaseXml(const std::map<std::string, std::string>& extra = {}) {
    std::map<std::string, std::string> sections{
        {"aircrafts", R"(<aircraft types="A318,A319,A320,A321,B738,B77L,C25C,EC35,TBM9,C172"/>)"},
        {"cargo_types", R"(<cargo_type types="B77L"/>)"},
        {"heavy", R"(<hvy types="B77L"/>)"},
        {"large", R"(<lar types="A318,A319,A320,A321,B738"/>)"},
        {"buzjet", R"(<bzj types="C25C"/>)"},
        {"high_performance", R"(<hpf types="TBM9"/>)"},
        {"rotorcraft", R"(<rot types="EC35"/>)"},
        {"ICAO_airlines", R"(<ICAO codes="DLH,BAW,KLM,CLH,EZY,ZZZ,PVT"/>)"},
        {"cargo_operators", R"(<ICAO codes="BOX"/>)"},
        {"simaddons20", R"(<simaddon20 arpts="EHAM"/>)"},
        {"simaddons24", R"(<simaddon24 arpts="EHAM"/>)"},
        {"dbase", R"(<d r="D-AIZA" a="DLH" o="CLH" m="A320" c="yes"/><d r="PH-BXA" a="KLM" m="B738"/>
                    <d r="N123" a="PVT" m="C172"/><d r="D-NOMOD" a="DLH" m=""/>)"}};
    for (const auto& [name, inner] : extra) sections[name] = inner;
    std::string xml = "<?xml version=\"1.0\"?>\n<root>\n";
    for (const auto& [name, inner] : sections) xml += fmt::format("<{0}>{1}</{0}>\n", name, inner);
    return xml + "</root>\n";
}

class LiveriesFolder : public ReferenceDataFolder {
protected:
    test::SettingsScope settings;
    void SetUp() override {
        ReferenceDataFolder::SetUp();
        resetAllSettings();
        ASSERT_NO_FATAL_FAILURE(readDbase(liveriesDbaseXml()));
    }

    void readDbase(const std::string& xml) {
        resetDbaseTables();
        writeEncrypted("dbase.enc", xml);
        ASSERT_TRUE(gf_readDbase());
    }

    static LiveryData livery(std::string_view airline, std::string_view model, std::string title,
                             std::uint8_t cargo = 0, std::string_view second = {}, std::string registration = {}) {
        return {.title = std::move(title),
                .registration = std::move(registration),
                .key = {.airlineId = gf_airlineId(airline),
                        .secondAirlineId = second.empty() ? CodeId{0} : gf_airlineId(second),
                        .modelId = gf_modelId(model),
                        .cargo = cargo},
                .folderIndex = 0};
    }

    // Sorted, then built into the airline-model map, catalogue and model tables.
    void build(LiveryList list) {
        sortLiveries(list);
        lf_buildAirlineModelMap(list, tables_);
        lf_buildCatalogue(tables_);
        lf_buildModelTables(tables_);
    }

    // A file task's input with the scan state's don't-use titles.
    ScanTaskInput taskInput(const std::filesystem::path& cfg, std::int16_t folderIndex) const {
        return {.folderIndex = folderIndex, .cfgPath = cfg, .dontUseTitles = scan_.dontUseTitles.snapshot()};
    }

    // What a file task found, merged into the scan state as the scan does.
    LiveryList merged(CfgFileFindings&& findings) {
        LiveryList liveries;
        mergeFindings(scan_, std::move(findings), liveries);
        return liveries;
    }

    static CodeId airlineId(std::string_view code) { return gf_airlineId(code); }
    static CodeId modelId(std::string_view code) { return gf_modelId(code); }

    LiveryScanState scan_;
    LiveryTables tables_;
};

}  // namespace qvl::test
