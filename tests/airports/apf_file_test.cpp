#include "airports/apf_file.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>
#include <vector>

#include "airports/support/airports_fixture.h"
#include "core/settings.h"
#include "core/user_error.h"
#include "platform/units.h"

namespace qvl {
namespace {

using test::readFile;
using test::standFile;

LearnedFlight flight(const std::string& registration, std::vector<int> slots, std::uint32_t ordinal = 1) {
    LearnedFlight f;
    f.registration = registration;
    for (int slot : slots) f.hours.set(static_cast<std::size_t>(slot));
    f.ordinal = ordinal;
    f.day = 3;
    return f;
}

Stand stand(const std::string& id, double latitude = 52.3, double radiusMetres = 25.0) {
    return {id, {}, {.latitude = latitude, .longitude = 4.76, .heading = kPi / 2}, radiusMetres, {.type = 3}};
}

class ApfFile : public test::AirportsFolder {
protected:
    pugi::xml_document saved(const ApfRecord& record, const ApfSaveOptions& options) {
        EXPECT_TRUE(gf_saveApf(record, target, options));
        pugi::xml_document document;
        EXPECT_TRUE(document.load_file(target.c_str()));
        return document;
    }
    static std::vector<std::string> parameterNames(const pugi::xml_document& document) {
        std::vector<std::string> names;
        for (const auto p : document.child("root").child("parameters").children("parameter")) {
            names.emplace_back(p.attribute("name").as_string());
        }
        return names;
    }
    static std::vector<std::string> attributeNames(const pugi::xml_node& node) {
        std::vector<std::string> names;
        for (const auto a : node.attributes()) names.emplace_back(a.name());
        return names;
    }
    static pugi::xml_node parkpos(const pugi::xml_document& document, const char* id) {
        return document.child("root").child("parkpositions").find_child_by_attribute("parkpos", "id", id);
    }
    std::vector<Stand> read(const std::string& xml) {
        pugi::xml_document document;
        EXPECT_TRUE(document.load_string(xml.c_str()));
        std::vector<Stand> stands;
        lf_checkStands(document, stands);
        return stands;
    }
    std::string errorOf(const std::string& xml, std::vector<Stand>& stands) {
        pugi::xml_document document;
        document.load_string(xml.c_str());
        try {
            lf_checkStands(document, stands);
        } catch (const UserErrorException& e) {
            return std::to_string(e.code()) + "|" + e.what();
        }
        return "no error";
    }

    std::filesystem::path target = std::filesystem::path("airports") / "out" / "EHAM.xml";
};

TEST_F(ApfFile, GeneratedFileHoldsTheGeometryOfEveryStandAndNoFlights) {
    ApfRecord record{.icao = FixedCode4("EHAM"),
                     .airportName = "Schiphol",
                     .bglPath = "C:\\x.bgl",
                     .manufacturer = "Maker",
                     .creator = "Someone",
                     .altitude = -11};
    record.stands.push_back(stand("A1"));
    record.stands.back().flights.push_back(flight("PH-BXA", {3}));
    record.stands.back().ramp = true;
    record.stands.back().cargo = true;
    Stand heli = stand("H1");
    heli.heli = true;
    record.stands.push_back(heli);

    const auto document = saved(record, {.mode = ApfMode::generated, .simNumber = 2, .handmade = false});
    EXPECT_EQ(parameterNames(document),
              (std::vector<std::string>{"airport_name", "publisher", "altitude", "num_parkpos", "BGLpath",
                                        "manufacturer", "creator"}));
    const auto a1 = parkpos(document, "A1");
    EXPECT_EQ(attributeNames(a1),
              (std::vector<std::string>{"id", "latitude", "longitude", "heading", "radius", "type"}))
        << "ramp and cargo are never written in the geometry";
    EXPECT_STREQ(a1.attribute("heading").as_string(), "90.0");
    EXPECT_FALSE(a1.child("opt"));
    EXPECT_EQ(attributeNames(parkpos(document, "H1")),
              (std::vector<std::string>{"id", "latitude", "longitude", "heading", "radius", "heli"}));
}

// Changed, manual and cargo stands come back through the learned file round trip.
TEST_F(ApfFile, LearnedFileHoldsTheSettingsAndOnlyTheIdsOfUnchangedStands) {
    RANGE.set(25);
    ApfRecord record{.icao = FixedCode4("EHAM"), .airportName = "Schiphol", .publisher = "Pub"};
    record.stands.push_back(stand("plain"));
    record.stands.back().flights.push_back(flight("PH-BXA", {3, 4, 5}));

    const auto document = saved(record, {.mode = ApfMode::learned, .simNumber = 1, .handmade = false});
    EXPECT_EQ(parameterNames(document),
              (std::vector<std::string>{"airport_name", "publisher", "RANGE", "AUTO_RANGE", "WEEK", "PARK_SOFT",
                                        "parking_percentage", "INITIAL_LOAD_ONLY", "MAX_FIT", "MAX_LIVE_SEL"}));
    const auto parameters = document.child("root").child("parameters");
    EXPECT_STREQ(parameters.find_child_by_attribute("name", "RANGE").attribute("value").as_string(), "25");
    EXPECT_EQ(attributeNames(parkpos(document, "plain")), std::vector<std::string>{"id"});
    EXPECT_STREQ(parkpos(document, "plain").child("opt").attribute("hh").as_string(), "3:5");
}

TEST_F(ApfFile, FlightsAtSave) {
    registrations(R"(<d r="PH-BXD" a="KLM" m="B738"/>)");
    ApfRecord record;
    record.stands.push_back(stand("A1"));
    auto& flights = record.stands.back().flights;
    flights.push_back(flight("RUN", {3, 4, 5}, 1));
    flights.push_back(flight("GAPS", {3, 5}, 2));
    flights.push_back(flight("EMPTY", {}, 3));
    flights.push_back(flight("USEDUP", {9}, 0));  // learned here, left out by the last selection
    LearnedFlight fromFile = flight("FROMFILE", {9}, 0);
    fromFile.source = FlightSource::standFile;
    flights.push_back(fromFile);
    flights.push_back(flight("", {9}, 6));
    LearnedFlight detailed = flight("PH-BXD", {12}, 7);
    detailed.ids = {.airlineId = airline("KLM"), .operatorId = 0, .modelId = model("B738"), .cargo = 0, .marker = 1};
    detailed.callsign1 = "KLM";
    detailed.callsign2 = "1234";
    detailed.real = false;
    detailed.cpl = true;
    flights.push_back(detailed);

    const auto document = saved(record, {.mode = ApfMode::learned, .simNumber = 1, .handmade = false});
    std::vector<std::string> written;
    for (const auto opt : parkpos(document, "A1").children("opt")) {
        written.push_back(std::string(opt.attribute("reg").as_string()) + "=" + opt.attribute("hh").as_string());
    }
    EXPECT_EQ(written, (std::vector<std::string>{"RUN=3:5", "GAPS=3,5", "USEDUP=9", "PH-BXD=12"}));
    EXPECT_TRUE(logged("==> bit set problem: EMPTY  "));
    const auto db = parkpos(document, "A1").find_child_by_attribute("opt", "reg", "PH-BXD");
    EXPECT_EQ(attributeNames(db), (std::vector<std::string>{"reg", "soft", "day", "hh", "cs", "cpl"}))
        << "ids from the database need no codes";
}

TEST_F(ApfFile, HandmadeFileRoundTripsGeometryHelipadsCallsignsAndHours) {
    ApfRecord record;
    record.stands.push_back(stand("A1", 52.123456, 25.0));
    record.stands.back().flights.push_back(flight("RUN", {3, 4, 5}, 1));
    record.stands.back().flights.push_back(flight("LIST", {3, 5, 47}, 2));
    record.stands.back().flights.back().callsign1 = "KLM";
    record.stands.back().flights.back().callsign2 = "1234";
    record.stands.back().flights.back().real = false;
    record.stands.push_back(stand("H1", -33.9));
    record.stands.back().heli = true;
    ASSERT_TRUE(gf_saveApf(record, target, {.mode = ApfMode::learned, .simNumber = 1, .handmade = true}));

    const std::string text = readFile(target);
    for (const char* row : {"\"handmade\"", "\"altitude\"", "\"Qf_real\"", "\"Qf_soft\""}) {
        EXPECT_NE(text.find(row), std::string::npos) << "a handmade file keeps its " << row << " row";
    }
    const auto stands = read(text);
    ASSERT_EQ(stands.size(), 2U);
    EXPECT_DOUBLE_EQ(stands[0].latitude, 52.123456);
    EXPECT_NEAR(stands[0].heading, kPi / 2, 1e-12);
    EXPECT_NEAR(stands[0].radius * kMetresPerNm, 25.0, 1e-9);
    EXPECT_EQ(stands[0].type, 3);
    ASSERT_EQ(stands[0].flights.size(), 2U);
    EXPECT_EQ(stands[0].flights[0].hours, record.stands[0].flights[0].hours);
    EXPECT_EQ(stands[0].flights[1].hours, record.stands[0].flights[1].hours) << "a list is read back";
    EXPECT_EQ(stands[0].flights[1].callsign2, "1234");
    EXPECT_FALSE(stands[0].flights[1].real);
    EXPECT_EQ(stands[0].flights[1].source, FlightSource::standFile);
    EXPECT_TRUE(stands[1].heli);
}

TEST_F(ApfFile, MissingEmptyAndRepeatedIdsStopTheReading) {
    std::vector<Stand> stands;
    EXPECT_EQ(errorOf(standFile({}, R"(<parkpos id="A1" latitude="1" longitude="1"/><parkpos latitude="1"/>)"), stands),
              "93|93: Parking position #2 has no 'id' attribute.");
    EXPECT_EQ(stands.size(), 1U) << "stands read before the error stay";
    stands.clear();
    EXPECT_EQ(errorOf(standFile({}, R"(<parkpos id=" &#9; " latitude="1" longitude="1"/>)"), stands),
              "93|93: Stand #1 has empty 'id' attribute.");
    EXPECT_EQ(errorOf(standFile({}, R"(<parkpos id=" A1 " latitude="1" longitude="1"/><parkpos id="A1"/>)"), stands),
              "94|94: Stand 'A1' appears more than once.");
    ASSERT_EQ(stands.size(), 1U);
    EXPECT_EQ(stands[0].id, "A1") << "ids are trimmed";
}

TEST_F(ApfFile, ReaderTakesWhatTheFormatDefines) {
    EXPECT_TRUE(read(R"(<root><meta/></root>)").empty()) << "no parkpositions is no error";
    const auto top = read(R"(<parkpositions><parkpos id="T" latitude="1" longitude="2"/></parkpositions>)");
    ASSERT_EQ(top.size(), 1U) << "a top-level parkpositions is read too";

    const auto stands =
        read(standFile({}, R"(<parkpos id="T5" latitude="1" longitude="1" type="5" cargo="true" ramp="true"/>
        <parkpos id="T0" latitude="1" longitude="1" type="0" cargo="true" ramp="true"/>
        <parkpos id="ZERO" latitude="0" longitude="0"/>
        <parkpos id="NAN" latitude="nan" longitude="4"/>
        <parkpos id="INF" latitude="52" longitude="inf"/>
        <parkpos id="FAR" latitude="91" longitude="4"/>
        <parkpos id="WIDE" latitude="52" longitude="-180.5"/>
        <parkpos id="OPTS" latitude="1" longitude="1">
          <opt reg="A" hh="3" day="1"/><opt reg="B" day="2"/><opt reg="C" hh="4" day="8"/>
          <opt reg="D" hh="4" day="0"/><opt reg="E" hh="5:6" day="7"/></parkpos>)"));
    std::vector<std::string> ids;
    for (const auto& s : stands) ids.push_back(s.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"T5", "T0", "OPTS"}));
    EXPECT_FALSE(stands[0].cargo || stands[0].ramp) << "only type 0 carries cargo and ramp";
    EXPECT_TRUE(stands[1].cargo && stands[1].ramp);
    for (const char* id : {"ZERO", "NAN", "INF", "FAR", "WIDE"}) {
        EXPECT_TRUE(logged(std::string("==> stand ") + id + " has no valid lat/lon")) << id;
    }
    ASSERT_EQ(stands[2].flights.size(), 2U);
    EXPECT_EQ(stands[2].flights[1].registration, "E");
    EXPECT_EQ(stands[2].flights[1].ordinal, 2U) << "ordinals count the kept flights";
}

TEST_F(ApfFile, RegistrationsInTheDatabaseTakeItsIds) {
    registrations(R"(<d r="PH-BXA" a="KLM" m="B738"/>)");
    const auto stands = read(standFile({}, R"(<parkpos id="A" latitude="1" longitude="1">
        <opt reg="PHBXA" airl="DLH" type="A20N" hh="1" day="1" cs="KLM:1234"/>
        <opt reg="" airl="DLH" type="A20N" hh="1" day="1" cs="KLM"/></parkpos>)"));
    ASSERT_EQ(stands.at(0).flights.size(), 2U);
    const LearnedFlight& found = stands[0].flights[0];
    EXPECT_EQ(found.ids.airlineId, airline("KLM")) << "found through the PH-BXA spelling";
    EXPECT_EQ(found.ids.modelId, model("B738"));
    EXPECT_EQ(stands[0].flights[1].ids.airlineId, airline("DLH")) << "no registration: the codes";
}

TEST_F(ApfFile, TheUsersOwnFilesOrTheListGiveAnAddonFile) {
    const FixedCode4 eham("EHAM");
    airports(R"(<ap c="EGLL" la="51" lo="0" a="83" s="1"/><ap c="EDDF" la="50" lo="8" a="364" s="0"/>)");
    EXPECT_TRUE(gf_hasUserAddonApf(FixedCode4("EGLL"))) << "the list gives it stands";
    EXPECT_FALSE(gf_hasUserAddonApf(FixedCode4("EDDF")));
    EXPECT_FALSE(gf_hasUserAddonApf(eham));
    test::writeFile(kMySimaddonFolder / "EHAM.txt", "archive/simaddon/EHAM.xml\n");
    EXPECT_TRUE(gf_hasUserAddonApf(eham));
    test::writeFile(kMyThirdpartyFolder / "EDDF.xml", "<root/>");
    EXPECT_TRUE(gf_hasUserAddonApf(FixedCode4("EDDF")));
}

}  // namespace
}  // namespace qvl
