#include "refdata/airports.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/paths.h"
#include "core/user_error.h"
#include "refdata/support/program_folder.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

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

class Airports : public test::ProgramFolder {
protected:
    bool read(const std::string& xml) {
        writeEncrypted("airports.enc", xml);
        return gf_readAirports();
    }
    void expectFailure(const std::string& xml, const std::string& text) {
        writeEncrypted("airports.enc", xml);
        try {
            gf_readAirports();
            ADD_FAILURE() << "no error for " << text;
        } catch (const UserErrorException& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, text.size()), text);
        }
        EXPECT_TRUE(airportList().empty());
        EXPECT_FALSE(fs::exists(kAirportsXml));
    }
};

TEST_F(Airports, ReadsSortsAndSkipsFaultyAirports) {
    ASSERT_TRUE(read(airportsXml(kRows)));
    const auto& list = airportList();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(gf_fixedCodeView(list[0].icao), "EDDF");
    EXPECT_EQ(gf_fixedCodeView(list[1].icao), "EGLL");
    EXPECT_EQ(list[1].code3View(), "LHR") << "codes are folded to upper case";
    EXPECT_EQ(gf_fixedCodeView(list[2].icao), "EHAM");
    EXPECT_EQ(list[2].altitude, -11.0f);
    EXPECT_EQ(list[2].standCount, 210);
    EXPECT_DOUBLE_EQ(list[2].latitude, 52.3086);
    EXPECT_EQ(gf_fixedCodeView(list[3].icao), "LSZH");
    EXPECT_EQ(list[3].standCount, 0);

    EXPECT_TRUE(logHas("Error storing airport 'KJFK' 'JF': invalid 3-character code"));
    EXPECT_TRUE(logHas("==> Missing latLons for airport 'LFPG'"));
    EXPECT_TRUE(logHas("==> Missing alt for airport 'LEMD'"));
    EXPECT_TRUE(logHas("Error storing airport 'LIRF' 'FCO': invalid position"));
    EXPECT_TRUE(logHas("==> Missing stands for airport 'LSZH'"));
    EXPECT_TRUE(logHas("    4 airports read"));
    EXPECT_FALSE(fs::exists(kAirportsXml));
    EXPECT_TRUE(gf_isKnownAirport(FixedCode("EGLL")));
    EXPECT_FALSE(gf_isKnownAirport(FixedCode("KJFK")));
}

TEST_F(Airports, TheListIsReadOncePerProcess) {
    ASSERT_TRUE(read(airportsXml(kRows)));
    fs::remove(kAirportsEnc);
    EXPECT_TRUE(gf_readAirports());
    EXPECT_EQ(airportList().size(), 4u);

    gf_resetAirportList();
    EXPECT_FALSE(read(airportsXml("")));
    fs::remove(kAirportsEnc);
    EXPECT_FALSE(gf_readAirports()) << "an empty list stays the answer";
}

TEST_F(Airports, ABadListFailsWholeAndCanBeReadAgain) {
    const std::string fixedCodeError = "88: FixedCode: invalid string (length/charset)";
    expectFailure(airportsXml(R"(<ap c="EHA" la="1" lo="1" a="1"/>)"), fixedCodeError);
    expectFailure(airportsXml(R"(<ap c="EHAMX" la="1" lo="1" a="1"/>)"), fixedCodeError);
    expectFailure(airportsXml(R"(<ap c="EH-M" la="1" lo="1" a="1"/>)"), fixedCodeError);
    expectFailure(airportsXml(R"(<ap la="1" lo="1" a="1"/>)"), fixedCodeError);
    expectFailure("<root><airports>", "88: input/airports.xml not loaded: ");
    expectFailure("<root><list/></root>", "88: Missing <airports> root in: input/airports.xml");
    // A damaged file leaves no plain file, so the load fails.
    test::writeFile(kAirportsEnc, "0123456789012345678901234567890123456789");
    EXPECT_THROW(gf_readAirports(), UserErrorException);
    EXPECT_TRUE(logHas("gf_streamDecrypt exception: Decryption failed"));

    EXPECT_TRUE(read(airportsXml(kRows))) << "a failed read leaves the list to a later one";
    EXPECT_EQ(airportList().size(), 4u);
}

TEST_F(Airports, CodesAreFoundInTextsAndNamesAndLabelled) {
    ASSERT_TRUE(read(airportsXml(kRows)));
    EXPECT_EQ(gf_findAirportByCode("eham-scenery"), FixedCode("EHAM"));
    EXPECT_EQ(gf_findAirportByCode("EDDF"), FixedCode("EDDF"));
    EXPECT_FALSE(gf_findAirportByCode("EHA"));
    EXPECT_FALSE(gf_findAirportByCode("KJFK"));

    EXPECT_EQ(gf_findAirportInName("/Community/myairport-eham-scenery"), FixedCode("EHAM"));
    EXPECT_FALSE(gf_findAirportInName("/Community/eham-scenery"));
    // Of two codes in one name the first in code order wins, wherever it stands.
    EXPECT_EQ(gf_findAirportInName("pack-LSZH-EGLL-x"), FixedCode("EGLL"));

    EXPECT_EQ(gf_airportLabel(airportList()[2]), "EHAM (AMS)");
    EXPECT_EQ(gf_airportLabel(airportList()[0]), "EDDF");
    EXPECT_EQ(gf_airportLabel(AirportRec{}), "?");
}

}  // namespace
}  // namespace qvl
