// The data files the build ships, read the way the program reads them.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>
#include <string>

#include "core/meta_info.h"
#include "refdata/default_sim_aircraft.h"
#include "refdata/lookups.h"
#include "refdata/support/program_folder.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

class ShippedData : public test::ProgramFolder {
protected:
    void stage(const std::string& plain, const std::string& encrypted) {
        ASSERT_TRUE(gf_streamEncrypt(test::sourceDataFolder() / plain, fs::path("input") / encrypted));
    }
};

TEST_F(ShippedData, DatabaseHoldsWhatTheProgramReliesOn) {
    stage("dbase.xml", "dbase.enc");
    ASSERT_TRUE(gf_readDbase());
    const DbaseTables& tables = dbaseTables();
    EXPECT_GE(tables.icaoModelCodes.size(), 250u);
    for (const auto& [container, code] : defaultSimAircraft()) EXPECT_TRUE(gf_isKnownModel(code)) << container;
    for (const char* code : {"CRJ7", "E190", "A319", "A320", "A321"}) EXPECT_TRUE(gf_isKnownModel(code)) << code;
    for (const char* code : {"ZZZ", "PVT", "DLH"}) EXPECT_TRUE(gf_isKnownAirline(code)) << code;
    // Every listed type has a plausible span (wing or rotor).
    for (const auto& code : tables.icaoModelCodes) {
        const double metres = gf_halfWingspan(*modelCodes().find(code)) * 2 * 1852;
        EXPECT_TRUE(metres > 5.0 && metres < 90.0) << code << " " << metres;
    }
    EXPECT_EQ(gf_categoryOfModel("B77W"), AircraftCategory::Heavy);
    EXPECT_EQ(gf_categoryOfModel("C25C"), AircraftCategory::Buzjets);
    EXPECT_EQ(gf_categoryOfModel("EC35"), AircraftCategory::Rotorcraft);
    EXPECT_GE(tables.dbaseRecords.size(), 300u);
    const auto a388 = gf_findDbaseRecord("DAIMA");
    ASSERT_TRUE(a388);
    EXPECT_EQ(gf_modelCodeOf(a388->key.modelId), "A388");
    EXPECT_EQ(gf_modelId("A320NEO"), *modelCodes().find("A20N")) << "fixes are in place";
}

TEST_F(ShippedData, AirportListIsCleanAndLarge) {
    stage("airports.xml", "airports.enc");
    ASSERT_TRUE(gf_readAirports());
    EXPECT_GE(airportList().size(), 4000u);
    EXPECT_TRUE(gf_findAirportByCode("EHAM"));
    EXPECT_FALSE(logHas("Missing"));
    EXPECT_FALSE(logHas("Error storing"));
}

TEST_F(ShippedData, RegistrationCodeSampleHasAMetaBlockAndEntries) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file((test::sourceDataFolder() / "AIG-regcodes.xml").c_str()));
    EXPECT_TRUE(gf_readMetaInfo(document, false));
    int entries = 0, dontUse = 0;
    for (const pugi::xml_node entry : document.child("root").child("aig").children("l")) {
        ++entries;
        if (!entry.attribute("r")) ++dontUse;
    }
    EXPECT_GE(entries, 20);
    EXPECT_GE(dontUse, 1);
}

}  // namespace
}  // namespace qvl
