#include "refdata/airports.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/paths.h"
#include "core/user_error.h"
#include "refdata/support/reference_data_folder.h"

namespace qvl {
namespace {

std::string airportsXml(const std::string& rows) {
    return "<?xml version=\"1.0\"?>\n<root><airports>\n" + rows + "</airports></root>\n";
}

const std::string kRows =
    R"(<ap c="EHAM" i="AMS" la="52.3086" lo="4.7639" a="-11" s="210"/>
       <ap c="egll" i="lhr" la="51.4706" lo="-0.4619" a="83" s="300"/>
       <ap c="EDDF" la="50.0333" lo="8.5706" a="364" s="190"/>
       <ap c="KJFK" i="JF" la="40.64" lo="-73.78" a="13" s="1"/>
       <ap c="LFPG" i="CDG" la="49.0097" a="392"/>
       <ap c="LEMD" i="MAD" la="40.47" lo="-3.56" s="5"/>
       <ap c="LIRF" i="FCO" la="941.8" lo="12.25" a="15" s="5"/>
       <ap c="LSZH" i="ZRH" la="47.46" lo="8.55" a="1416"/>
       <other c="????"/>)";

class Airports : public test::ReferenceDataFolder {
protected:
    bool read(const std::string& xml) {
        writeEncrypted("airports.enc", xml);
        return gf_readAirports();
    }
};

TEST_F(Airports, ReadsSortsSkipsFaultyAirportsAndFindsCodes) {
    ASSERT_TRUE(read(airportsXml(kRows)));
    const auto& list = airportList();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(gf_fixedCodeView(list[0].icao), "EDDF");
    EXPECT_EQ(gf_fixedCodeView(list[1].icao), "EGLL");
    EXPECT_EQ(list[1].code3View(), "LHR") << "codes are folded to upper case";
    EXPECT_EQ(list[2].altitude, -11.0f);
    EXPECT_DOUBLE_EQ(list[2].latitude, 52.3086);
    EXPECT_EQ(list[3].standCount, 0);
    for (const char* line :
         {"Error storing airport 'KJFK' 'JF': invalid 3-character code", "==> Missing latLons for airport 'LFPG'",
          "==> Missing alt for airport 'LEMD'", "Error storing airport 'LIRF' 'FCO': invalid position",
          "==> Missing stands for airport 'LSZH'", "    4 airports read"}) {
        EXPECT_TRUE(logHas(line)) << line;
    }
    EXPECT_FALSE(std::filesystem::exists(kAirportsXml));
    EXPECT_TRUE(gf_isKnownAirport(FixedCode4("EGLL")));
    EXPECT_FALSE(gf_isKnownAirport(FixedCode4("KJFK")));
    EXPECT_EQ(gf_findAirportByCode("eham-scenery"), FixedCode4("EHAM"));
    EXPECT_FALSE(gf_findAirportByCode("EHA"));
    EXPECT_EQ(gf_findAirportInName("/Community/myairport-eham-scenery"), FixedCode4("EHAM"));
    EXPECT_FALSE(gf_findAirportInName("/Community/eham-scenery"));
    EXPECT_EQ(gf_findAirportInName("pack-LSZH-EGLL-x"), FixedCode4("EGLL")) << "the first in code order wins";
    EXPECT_EQ(gf_airportLabel(list[2]), "EHAM (AMS)");
    EXPECT_EQ(gf_airportLabel(list[0]), "EDDF");
    EXPECT_EQ(gf_airportLabel(AirportRec{}), "?");

    std::filesystem::remove(kAirportsEnc);
    EXPECT_TRUE(gf_readAirports()) << "read once per process";
    resetAirportList();
    EXPECT_FALSE(read(airportsXml(""))) << "an empty list";
}

TEST_F(Airports, CoordinatesAreLeadingNumbersAndMustBeFiniteAndInRange) {
    ASSERT_TRUE(read(airportsXml(R"(<ap c="EHAM" la="12.5abc" lo="" a="1" s="1"/>
                                     <ap c="EGLL" la="nan" lo="1" a="1" s="1"/>
                                     <ap c="EDDF" la="1" lo="inf" a="1" s="1"/>
                                     <ap c="LFPG" la="-INFINITY" lo="1" a="1" s="1"/>
                                     <ap c="LEMD" la="1e999" lo="1" a="1" s="1"/>
                                     <ap c="LSZH" la="-90" lo="180.0001" a="1" s="1"/>)")));
    ASSERT_EQ(airportList().size(), 1u);
    EXPECT_EQ(airportList()[0].latitude, 12.5) << "trailing text is ignored";
    EXPECT_EQ(airportList()[0].longitude, 0.0) << "an empty text is 0";
    for (const char* code : {"EGLL", "EDDF", "LFPG", "LEMD", "LSZH"}) {
        EXPECT_TRUE(logHas(fmt::format("Error storing airport '{}' '': invalid position", code))) << code;
    }
}

TEST_F(Airports, ABadListFailsWholeAndCanBeReadAgain) {
    const std::string badCode = "88: FixedCode: invalid string (length/charset)";
    const auto ap = [](const std::string& code) { return airportsXml("<ap " + code + R"( la="1" lo="1" a="1"/>)"); };
    const std::pair<std::string, std::string> cases[] = {
        {ap(R"(c="EHA")"), badCode},
        {ap(R"(c="EHAMX")"), badCode},
        {ap(R"(c="EH-M")"), badCode},
        {ap(""), badCode},
        {"<root><airports>", "88: input/airports.xml not loaded: "},
        {"<root><list/></root>", "88: Missing <airports> root in: input/airports.xml"}};
    for (const auto& [xml, text] : cases) {
        writeEncrypted("airports.enc", xml);
        try {
            gf_readAirports();
            ADD_FAILURE() << "no error for " << text;
        } catch (const UserErrorException& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, text.size()), text);
        }
        EXPECT_TRUE(airportList().empty());
        EXPECT_FALSE(std::filesystem::exists(kAirportsXml));
    }
    test::writeFile(kAirportsEnc, "0123456789012345678901234567890123456789");
    EXPECT_THROW(gf_readAirports(), UserErrorException);
    EXPECT_TRUE(logHas("gf_streamDecrypt exception: Decryption failed"));

    EXPECT_TRUE(read(airportsXml(kRows))) << "a failed read leaves the list to a later one";
    EXPECT_EQ(airportList().size(), 4u);
}

}  // namespace
}  // namespace qvl
