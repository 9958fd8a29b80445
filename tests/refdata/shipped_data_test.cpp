// The data files the build ships, read the way the program reads them.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <iterator>

#include "core/meta_info.h"
#include "refdata/default_sim_aircraft.h"
#include "refdata/lookups.h"
#include "refdata/support/reference_data_folder.h"

namespace qvl {
namespace {

class ShippedData : public test::ReferenceDataFolder {
protected:
    void stage(const std::string& plain, const std::string& encrypted) {
        ASSERT_TRUE(streamEncrypt(test::sourceDataFolder() / plain, std::filesystem::path("input") / encrypted));
    }
};

TEST_F(ShippedData, DatabaseHoldsWhatTheProgramReliesOn) {
    stage("dbase.xml", "dbase.enc");
    ASSERT_TRUE(gf_readDbase());
    const DbaseTables& tables = dbaseTables();
    EXPECT_GE(tables.icaoModelCodes.size(), 250u);
    EXPECT_GE(tables.dbaseRecords.size(), 300u);
    EXPECT_TRUE(logHas("ICAO model codes") && logHas("dbase records read"));
    for (const auto& [container, code] : defaultSimAircraft()) EXPECT_TRUE(gf_isKnownModel(code)) << container;
    for (const char* code : {"CRJ7", "E190", "A319", "A320", "A321"}) EXPECT_TRUE(gf_isKnownModel(code)) << code;
    for (const char* code : {"ZZZ", "PVT", "DLH"}) EXPECT_TRUE(gf_isKnownAirline(code)) << code;
    for (const auto& code : tables.icaoModelCodes) {
        const double metres = gf_halfWingspan(model(code.c_str())) * 2 * 1852;
        EXPECT_TRUE(metres > 5.0 && metres < 90.0) << code << " " << metres;
    }
    EXPECT_EQ(gf_categoryOfModel("B77W"), AircraftCategory::Heavy);
    EXPECT_EQ(gf_categoryOfModel("C25C"), AircraftCategory::Buzjets);
    EXPECT_EQ(gf_categoryOfModel("EC35"), AircraftCategory::Rotorcraft);
    const auto a388 = gf_findDbaseRecord("DAIMA");
    ASSERT_TRUE(a388);
    EXPECT_EQ(modelCodeOf(a388->key.modelId), "A388");
    EXPECT_EQ(gf_modelId("A320NEO"), model("A20N")) << "fixes are in place";
}

TEST_F(ShippedData, AirportListIsCleanAndLarge) {
    stage("airports.xml", "airports.enc");
    ASSERT_TRUE(gf_readAirports());
    EXPECT_GE(airportList().size(), 4000u);
    EXPECT_TRUE(gf_findAirportByCode("EHAM"));
    EXPECT_TRUE(logHas("airports read"));
    EXPECT_FALSE(logHas("Missing") || logHas("Error storing"));
}

TEST_F(ShippedData, RegistrationCodeSampleHasAMetaBlockAndEntries) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file((test::sourceDataFolder() / "AIG-regcodes.xml").c_str()));
    EXPECT_TRUE(gf_readMetaInfo(document, SimulatorRow::required));
    const auto entries = document.child("root").child("aig").children("l");
    EXPECT_GE(std::distance(entries.begin(), entries.end()), 20);
}

}  // namespace
}  // namespace qvl
