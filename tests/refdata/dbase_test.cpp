#include "refdata/dbase.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "core/paths.h"
#include "core/user_error.h"
#include "refdata/lookups.h"
#include "refdata/support/program_folder.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::dbaseXml;
using test::kDrop;

class Dbase : public test::ProgramFolder {
protected:
    bool read(const std::string& xml) {
        writeEncrypted("dbase.enc", xml);
        return gf_readDbase();
    }
    // The text of what gf_readDbase throws; the plain file must be gone either way.
    std::string failureOf(const std::string& xml) {
        if (!xml.empty()) writeEncrypted("dbase.enc", xml);
        std::string text = "no error";
        try {
            gf_readDbase();
        } catch (const std::runtime_error& e) {
            text = e.what();
        }
        EXPECT_FALSE(fs::exists(kDbaseXml)) << "plain file left after " << text;
        gf_resetDbaseTables();
        return text;
    }
    CodeId model(const char* code) { return *modelCodes().find(code); }
};

TEST_F(Dbase, IdsDependOnlyOnTheDatabaseAndItsOrder) {
    ASSERT_TRUE(read(dbaseXml({{"dbase", R"(<d r="G-EZUA" a="EZY" o="EJU" m="E190"/><d r="X" a="DLH" m="A20N"/>)"}})));
    // Models: "", the aircrafts in byte order, cargo types, category codes, then record codes.
    const char* models[] = {"", "A20N", "B738", "B77L", "C25C", "TBM9", "EC35", "E190"};
    for (CodeId id = 0; id < 8; ++id) EXPECT_EQ(gf_modelCodeOf(id), models[id]) << id;
    // Airlines: "", the list in byte order, cargo operators, then per record airline before operator.
    const char* airlines[] = {"", "DLH", "KLM", "FDX", "EZY", "EJU"};
    for (CodeId id = 0; id < 6; ++id) EXPECT_EQ(gf_airlineCodeOf(id), airlines[id]) << id;

    EXPECT_TRUE(logHas("\n\n    2 ICAO model codes\n"));
    EXPECT_TRUE(logHas("    0 prefixes\n    2 ICAO airline codes\n    1 cargo operators\n    0 publishers\n"));
    EXPECT_TRUE(logHas("2 simaddons24\n    2 dbase records read\n"));
    EXPECT_FALSE(fs::exists(kDbaseXml));
}

TEST_F(Dbase, EveryFailureNamesItsCauseAndRemovesThePlainFile) {
    EXPECT_EQ(failureOf(""), "input/dbase.enc not available");
    EXPECT_EQ(failureOf(dbaseXml({{"heavy", kDrop}})), "61: Missing section: heavy");
    EXPECT_EQ(failureOf(dbaseXml({{"cargo_operators", kDrop}})), "61: Missing section: cargo_operators");
    EXPECT_EQ(failureOf("<?xml version=\"1.0\"?><base><aircrafts/></base>"), "61: XML root missing: root");
    EXPECT_EQ(failureOf(dbaseXml({{"aircrafts", R"(<aircraft types=""/><aircraft types=" , "/><aircraft/>)"}})),
              "61: In XML file section [aircrafts], element [aircraft], attribute [types] is empty.");
    EXPECT_EQ(failureOf(dbaseXml({{"simaddons24", R"(<simaddon24 arpts=""/><simaddon24/>)"}})),
              "61: In XML file section [simaddons24], element [simaddon24], attribute [arpts] is empty.");
    test::writeFile(kDbaseEnc, "not an encrypted file at all, but long enough for a header");
    EXPECT_EQ(failureOf(""), "input/dbase.enc stream decrypt failed");

    writeEncrypted("dbase.enc", "<root><aircrafts>");
    EXPECT_FALSE(gf_readDbase());
    EXPECT_TRUE(logHas("==> 'input/dbase.xml' not read because of "));
    EXPECT_FALSE(fs::exists(kDbaseXml));
}

TEST_F(Dbase, RecordsAreSortedUniqueAndComplete) {
    ASSERT_TRUE(read(dbaseXml({{"fixes", R"(<fx wro="A320N" cor="A20N"/>)"},
                               {"dbase", R"(<d r="PH-BXA" a="KLM" m="B738" c="yes"/>
                                            <d r="D-AINA" a="DLH" o="CLH" m="A320N" c="false"/>
                                            <d r="PH-BXA" a="DLH" m="A20N"/> <d r="" a="DLH" m="B738"/>
                                            <d r="N123AB" a="PVT" m="C172"/>)"}})));
    const auto& records = dbaseTables().dbaseRecords;
    ASSERT_EQ(records.size(), 3u);
    EXPECT_TRUE(logHas("    3 dbase records read"));
    EXPECT_TRUE(logHas("==> dbase record without registration skipped (airline 'DLH', model 'B738')"));
    EXPECT_EQ(records[0].registration, "D-AINA");
    EXPECT_EQ(records[0].key.modelId, model("A20N")) << "fixes apply to record models";
    EXPECT_EQ(records[0].key.operatorId, *airlineCodes().find("CLH"));
    EXPECT_EQ(records[1].registration, "N123AB");
    EXPECT_EQ(records[1].key, (DbaseKey{*airlineCodes().find("PVT"), 0, model("C172"), 0, 1}));
    EXPECT_EQ(records[2].key.airlineId, *airlineCodes().find("KLM")) << "the first of two records stays";
    EXPECT_EQ(records[2].key.cargo, 1);
}

TEST_F(Dbase, WingspansGiveHalfSpansInNauticalMiles) {
    ASSERT_TRUE(read(dbaseXml({{"wingspans", R"(<wingspan type="A20N" meters="35.8"/>
        <wingspan type="A20N" meters="80"/> <wingspan type="B738"/> <wingspan type="XXXX" meters="10"/>)"}})));
    EXPECT_NEAR(gf_halfWingspan(model("A20N")), 0.009665, 1e-6) << "the first entry of a type wins";
    EXPECT_NEAR(gf_maxHalfWingspan(), 80 * 0.5 / 1852, 1e-9) << "but the larger one still counts";
    EXPECT_EQ(gf_halfWingspan(model("B738")), 0.0);
    EXPECT_TRUE(logHas("==> wingspan model XXXX is not valid, skipped"));
}

TEST_F(Dbase, WingspanTableGrowsWithTheModelList) {
    std::string types;
    for (int i = 0; i < 3000; ++i) types += fmt::format("{}M{:03}", i ? "," : "", i);
    ASSERT_TRUE(read(dbaseXml({{"aircrafts", "<aircraft types=\"" + types + "\"/>"},
                               {"wingspans", R"(<wingspan type="M999" meters="18.52"/>)"}})));
    ASSERT_GT(model("M999"), 2700);
    EXPECT_NEAR(gf_halfWingspan(model("M999")), 0.005, 1e-12);
    // A model met after the read has no wingspan; an id no model has gets the wide default.
    EXPECT_EQ(gf_halfWingspan(gf_modelId("NEW1")), 0.0);
    EXPECT_EQ(gf_halfWingspan(65000), 35.0);
    EXPECT_TRUE(logHas("hwsp: 65000 what: invalid array<T, N> subscript"));
}

TEST_F(Dbase, FixesMustPointAtKnownModelsAndComeOnce) {
    ASSERT_TRUE(read(dbaseXml({{"fixes", R"(<fx wro="A320N" cor="A20N"/><fx wro="A320N" cor="B738"/>
                                            <fx wro="B7378" cor="B7X8"/>)"}})));
    EXPECT_TRUE(logHas("==> wrong part of fix: 'A320N', already exists, skipped"));
    EXPECT_TRUE(logHas("==> wrong fix B7378 -> B7X8, the latter is not valid"));
    EXPECT_TRUE(logHas("    1 fixes"));
    EXPECT_EQ(lf_modelFix("A320N"), "A20N");
}

TEST_F(Dbase, GroupSectionsBuildGroupsAndThePrefixMap) {
    ASSERT_TRUE(read(dbaseXml({
        {"similar_types", R"(<similar types="B738, A20N,,B736"/><similar types=""/>)"},
        {"prefixes", R"(<similar types="OE-,D-"/><similar types="G-"/><similar types="D-,HB-"/>)"},
        {"publishers", R"(<pub names="Orbx,orbx-"/><pub names="Orbx,orbx-"/><pub names="ABCdesign, abc,"/>)"},
        {"thirdparties20", R"(<thirdpartie20 pub="Orbx" arpts="EHAM1,,EGLL2"/><thirdpartie20 pub="Orbx"/>)"}})));
    const DbaseTables& tables = dbaseTables();
    ASSERT_EQ(tables.similarGroups.size(), 2u);
    EXPECT_EQ(tables.similarGroups[0], (std::vector<std::string>{"", "A20N", "B736", "B738"}));
    EXPECT_TRUE(tables.similarGroups[1].empty());

    EXPECT_TRUE(logHas("    3 prefixes"));
    EXPECT_EQ(tables.prefixMap.at("OE-"), std::vector<std::string>{"D-"});
    // D- is in two groups: "D-,HB-" sorts before "D-,OE-".
    EXPECT_EQ(tables.prefixMap.at("D-"), std::vector<std::string>{"HB-"});
    EXPECT_FALSE(tables.prefixMap.contains("G-"));

    ASSERT_EQ(tables.publisherGroups.size(), 2u) << "identical name lists make one group";
    EXPECT_EQ(tables.publisherGroups[0], (std::vector<std::string>{"ABCdesign", "abc", ""}));
    ASSERT_EQ(tables.thirdparties20.size(), 2u);
    EXPECT_EQ(tables.thirdparties20[0].airports, (std::vector<std::string>{"EHAM1", "", "EGLL2"}));
}

}  // namespace
}  // namespace qvl
