#include "refdata/dbase.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "core/paths.h"
#include "refdata/lookups.h"
#include "refdata/support/reference_data_folder.h"

namespace qvl {
namespace {

constexpr const char* kDrop = "(drop)";

// A small database with every required section; a change replaces a
// section's inner XML, or drops the section when it is kDrop.
std::string dbaseXml(const std::map<std::string, std::string>& changes = {}) {
    std::map<std::string, std::string> sections{{"aircrafts", R"(<aircraft types="B738,A20N"/>)"},
                                                {"cargo_types", R"(<cargo_type types="B77L"/>)"},
                                                {"heavy", R"(<hvy types="B77L"/>)"},
                                                {"large", R"(<lar types="A20N, B738"/>)"},
                                                {"buzjet", R"(<bzj types="C25C"/>)"},
                                                {"high_performance", R"(<hpf types="TBM9"/>)"},
                                                {"rotorcraft", R"(<rot types="EC35"/>)"},
                                                {"ICAO_airlines", R"(<ICAO codes="KLM"/><ICAO codes="DLH"/>)"},
                                                {"cargo_operators", R"(<ICAO codes="FDX"/>)"},
                                                {"simaddons20", R"(<simaddon20 arpts="EHAM"/>)"},
                                                {"simaddons24", R"(<simaddon24 arpts="EHAM,EGLL"/>)"},
                                                {"dbase", R"(<d r="D-AINA" a="DLH" m="A20N"/>)"}};
    for (const auto& [name, inner] : changes) sections[name] = inner;
    std::string xml = "<?xml version=\"1.0\"?>\n<root>\n";
    for (const auto& [name, inner] : sections) {
        if (inner != kDrop) xml += fmt::format("<{0}>{1}</{0}>\n", name, inner);
    }
    return xml + "</root>\n";
}

// The database the record, group and lookup tests share.
std::string sharedDb() {
    return dbaseXml(
        {{"heavy", R"(<hvy types="B77L,A20N"/>)"},  // A20N is large and heavy
         {"fixes", R"(<fx wro="A320N" cor="A20N"/><fx wro="A320N" cor="B738"/><fx wro="B7378" cor="B7X8"/>)"},
         {"prefixes", R"(<similar types="OE-,D-"/><similar types="G-"/><similar types="D-,HB-"/>)"},
         {"publishers",
          R"(<pub names="Orbx,orbx-"/><pub names="Orbx,orbx-"/><pub names="ABC Design Studio, abcdesign,"/>)"},
         {"dbase", R"(<d r="DA-IMA" a="KLM" m="B738" c="yes"/> <d r="D-AIMA" a="DLH" m="A20N"/>
                     <d r="DA-IMA" a="DLH" m="A20N"/> <d r="" a="DLH" m="B738"/>
                     <d r="D-AIMB" a="EZY" o="EJU" m="A320N" c="false"/>
                     <d r="N123AB" a="PVT" m="C172"/> <d r="N123" a="PVT" m="C172"/>)"}});
}

class Dbase : public test::ReferenceDataFolder {
protected:
    bool read(const std::string& xml) {
        writeEncrypted("dbase.enc", xml);
        return gf_readDbase();
    }
    // What gf_readDbase throws (empty xml: input/dbase.enc as it is); the plain file must be gone.
    std::string failureOf(const std::string& xml) {
        if (!xml.empty()) writeEncrypted("dbase.enc", xml);
        std::string text = "no error";
        try {
            gf_readDbase();
        } catch (const std::runtime_error& e) {
            text = e.what();
        }
        EXPECT_FALSE(std::filesystem::exists(kDbaseXml)) << "plain file left after " << text;
        resetDbaseTables();
        return text;
    }
};

TEST_F(Dbase, IdsCategoriesAndCountsDependOnlyOnTheDatabase) {
    ASSERT_TRUE(read(sharedDb()));
    // Models: "", the aircrafts in byte order, cargo types, category codes, then record codes.
    const char* models[] = {"", "A20N", "B738", "B77L", "C25C", "TBM9", "EC35", "C172"};
    for (CodeId id = 0; id < 8; ++id) EXPECT_EQ(modelCodeOf(id), models[id]) << id;
    // Airlines: "", the list in byte order, cargo operators, then per record airline before operator.
    const char* airlines[] = {"", "DLH", "KLM", "FDX", "EZY", "EJU", "PVT"};
    for (CodeId id = 0; id < 7; ++id) EXPECT_EQ(airlineCodeOf(id), airlines[id]) << id;
    for (const char* line :
         {"\n\n    2 ICAO model codes\n    3 prefixes\n    2 ICAO airline codes\n    1 cargo operators\n",
          "==> wrong part of fix: 'A320N', already exists, skipped",
          "==> wrong fix B7378 -> B7X8, the latter is not valid", "    1 fixes\n2 simaddons24\n",
          "==> dbase record without registration skipped (airline 'DLH', model 'B738')", "    2 publishers\n",
          "    5 dbase records read\n"}) {
        EXPECT_TRUE(logHas(line)) << line;
    }
    EXPECT_FALSE(std::filesystem::exists(kDbaseXml));
    const std::pair<const char*, AircraftCategory> categories[] = {
        {"A20N", AircraftCategory::Large},      {"B77L", AircraftCategory::Heavy},
        {"C25C", AircraftCategory::Buzjets},    {"TBM9", AircraftCategory::HighPerf},
        {"EC35", AircraftCategory::Rotorcraft}, {"C172", AircraftCategory::Light}};
    for (const auto& [code, category] : categories) EXPECT_EQ(gf_categoryOfModelId(model(code)), category) << code;
    EXPECT_TRUE(gf_isKnownModel("B738"));
    EXPECT_FALSE(gf_isKnownModel("C25C")) << "a category member is no listed model";
    EXPECT_FALSE(gf_isKnownModel(""));
    EXPECT_FALSE(gf_isKnownAirline("PVT")) << "met only in records";
    EXPECT_FALSE(gf_isKnownAirline(""));
}

TEST_F(Dbase, EveryFailureNamesItsCauseAndRemovesThePlainFile) {
    EXPECT_EQ(failureOf(""), "input/dbase.enc not available");
    test::writeFile(kDbaseEnc, "not an encrypted file at all, but long enough for a header");
    EXPECT_EQ(failureOf(""), "input/dbase.enc stream decrypt failed");
    const std::pair<std::string, std::string> cases[] = {
        {dbaseXml({{"heavy", kDrop}}), "61: Missing section: heavy"},
        {"<?xml version=\"1.0\"?><base><aircrafts/></base>", "61: XML root missing: root"},
        {dbaseXml({{"aircrafts", R"(<aircraft types=""/><aircraft types=" , "/><aircraft/>)"}}),
         "61: In XML file section [aircrafts], element [aircraft], attribute [types] is empty."},
        {dbaseXml({{"simaddons24", R"(<simaddon24 arpts=""/><simaddon24/>)"}}),
         "61: In XML file section [simaddons24], element [simaddon24], attribute [arpts] is empty."}};
    for (const auto& [xml, text] : cases) EXPECT_EQ(failureOf(xml), text);

    writeEncrypted("dbase.enc", "<root><aircrafts>");
    EXPECT_FALSE(gf_readDbase());
    EXPECT_TRUE(logHas("==> 'input/dbase.xml' not read because of "));
    EXPECT_FALSE(std::filesystem::exists(kDbaseXml));
}

TEST_F(Dbase, RecordsAreSortedUniqueAndFoundByTheirVariants) {
    ASSERT_TRUE(read(sharedDb()));
    const auto& records = dbaseTables().dbaseRecords;
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[1].registration, "D-AIMB");
    EXPECT_EQ(records[1].key,
              (DbaseKey{.airlineId = airline("EZY"), .operatorId = airline("EJU"), .modelId = model("A20N")}))
        << "the first fix applies";
    EXPECT_EQ(records[2].key, (DbaseKey{.airlineId = airline("KLM"), .modelId = model("B738"), .cargo = 1}))
        << "the first of two stays";
    EXPECT_EQ(records[4].key, (DbaseKey{.airlineId = airline("PVT"), .modelId = model("C172")}));

    EXPECT_EQ(gf_registrationVariants("DAIMA"), (std::vector<std::string>{"DA-IMA", "D-AIMA", "DAIMA"}));
    for (const char* single : {"N12345", "D-AIMA", "G123"}) {
        EXPECT_EQ(gf_registrationVariants(single), std::vector<std::string>{single});
    }
    EXPECT_EQ(gf_findDbaseRecord("DAIMA")->key.airlineId, airline("KLM")) << "DA-IMA comes before D-AIMA";
    const auto found = gf_findDbaseRecord("DAIMB");
    ASSERT_TRUE(found && found->found);
    EXPECT_EQ(found->key, records[1].key);
    EXPECT_FALSE(gf_findDbaseRecord("daima")) << "no case folding";
    EXPECT_FALSE(gf_findDbaseRecord(""));
    EXPECT_EQ(gf_findShortRegistrationIn("Cessna 172 N123 private"), "N123");
    EXPECT_FALSE(gf_findShortRegistrationIn("Airbus A320neo D-AIMA")) << "only registrations below 6 characters";
}

TEST_F(Dbase, WingspansFillATableAsLargeAsTheModelList) {
    std::string types = "A20N,B738";
    for (int i = 0; i < 3000; ++i) types += fmt::format(",M{:03}", i);
    ASSERT_TRUE(read(dbaseXml({{"aircrafts", "<aircraft types=\"" + types + "\"/>"},
                               {"wingspans", R"(<wingspan type="A20N" meters="35.8"/><wingspan type="A20N" meters="80"/>
                                                <wingspan type="B738"/> <wingspan type="XXXX" meters="10"/>
                                                <wingspan type="M999" meters="18.52"/>)"}})));
    EXPECT_NEAR(gf_halfWingspan(model("A20N")), 0.009665, 1e-6) << "the first entry of a type wins";
    EXPECT_NEAR(maxHalfWingspan(), 80 * 0.5 / 1852, 1e-9) << "but the larger one still counts";
    EXPECT_EQ(gf_halfWingspan(model("B738")), 0.0);
    EXPECT_TRUE(logHas("==> wingspan model XXXX is not valid, skipped"));
    ASSERT_GT(model("M999"), 2700);
    EXPECT_NEAR(gf_halfWingspan(model("M999")), 0.005, 1e-12);
    const auto last = static_cast<CodeId>(modelCodes().size() - 1);
    EXPECT_EQ(gf_halfWingspan(last), 0.0);
    EXPECT_FALSE(logHas("hwsp:")) << "every id of the model list has a slot";
    // A model met after the read is beyond the table: as wide as the widest known.
    const CodeId later = gf_modelId("NEW1");
    EXPECT_EQ(gf_halfWingspan(later), maxHalfWingspan());
    EXPECT_TRUE(logHas(fmt::format("hwsp: {} what: invalid array<T, N> subscript", later)));
}

TEST_F(Dbase, HalfWingspanBeyondTheSlotsIsTheWidestKnown) {
    ASSERT_TRUE(read(
        dbaseXml({{"wingspans", R"(<wingspan type="A20N" meters="35.8"/><wingspan type="B738" meters="35.9"/>)"}})));
    ASSERT_LT(modelCodes().size(), 2700u);
    EXPECT_EQ(gf_halfWingspan(2699), 0.0);
    EXPECT_FALSE(logHas("hwsp:")) << "no entry is no error";
    EXPECT_NEAR(gf_halfWingspan(2700), 35.9 * 0.5 / 1852, 1e-12) << "not 35 nm";
    EXPECT_EQ(gf_halfWingspan(65535), maxHalfWingspan());
    EXPECT_TRUE(logHas("hwsp: 2700 what: invalid array<T, N> subscript\n"));
    EXPECT_TRUE(logHas("hwsp: 65535 what: invalid array<T, N> subscript\n"));
}

TEST_F(Dbase, GroupSectionsGiveThePrefixMapAndPublishers) {
    ASSERT_TRUE(read(sharedDb()));
    const DbaseTables& tables = dbaseTables();
    EXPECT_EQ(tables.prefixPeers("OE-"), std::vector<std::string>{"D-"});
    EXPECT_EQ(tables.prefixPeers("D-"), std::vector<std::string>{"HB-"}) << "\"D-,HB-\" sorts before \"D-,OE-\"";
    EXPECT_TRUE(tables.prefixPeers("G-").empty()) << "a lone member";
    EXPECT_TRUE(tables.prefixPeers("F-").empty());
    ASSERT_EQ(tables.publisherGroups.size(), 2u) << "identical name lists make one group";
    EXPECT_EQ(tables.publisherGroups[0], (std::vector<std::string>{"ABC Design Studio", "abcdesign", ""}));

    EXPECT_TRUE(gf_containsNoCase("/any/path", ""));
    EXPECT_EQ(gf_publisherFromPath("/Community/ABCdesign-eham/scenery"), "ABC Design Studio");
    EXPECT_EQ(gf_publisherFromPath("/Community/ORBX-egll"), "Orbx");
    EXPECT_FALSE(gf_publisherFromPath("/Community/somebody-else"));
}

TEST_F(Dbase, CodeNumbersBelongToOneAirport) {
    const FixedCode4 eham("EHAM");
    std::int32_t number = -1;
    EXPECT_TRUE(gf_parseCodeNumber("Pub", eham, number, "EHAM12"));
    EXPECT_EQ(number, 12);
    EXPECT_TRUE(gf_parseCodeNumber("Pub", eham, number, "EHAM7x"));
    EXPECT_EQ(number, 7);
    EXPECT_FALSE(gf_parseCodeNumber("Pub", eham, number, "EGLL3"));
    for (const char* bad : {"EHAM", "EHAM99999999999"}) {
        EXPECT_TRUE(gf_parseCodeNumber("Pub", eham, number, bad));
        EXPECT_EQ(number, 7) << bad;
    }
    EXPECT_TRUE(logHas("==> Pub EHAM EHAM invalid number"));
}

}  // namespace
}  // namespace qvl
