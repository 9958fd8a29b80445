#include "airports/learned_file.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>
#include <vector>

#include "airports/apf_file.h"
#include "airports/support/airports_fixture.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "platform/units.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::standFile;

// The airport's own stands: A1 with one real flight of PH-BXA on day 3 in
// slots 12 to 14; B2 cargo, no flights; H1 a helipad.
const std::string kBase = standFile({{"airport_name", "Schiphol"}, {"altitude", "-11"}},
                                    R"(<parkpos id="A1" latitude="52.3" longitude="4.76" radius="30" type="3">
                                         <opt reg="PH-BXA" airl="KLM" type="B738" hh="12:14" day="3"/></parkpos>
                                       <parkpos id="B2" latitude="52.31" longitude="4.76" radius="40" cargo="true"/>
                                       <parkpos id="H1" latitude="52.32" longitude="4.76" radius="20" heli="true"/>)");

class Learned : public test::AirportsFolder {
protected:
    void SetUp() override {
        AirportsFolder::SetUp();
        // The database first, as at start-up: codes read later take the ids after its own.
        registrations(R"(<d r="PH-BXD" a="KLM" m="B738"/>)");
        readBase();
        park.header.airportName = "Schiphol";
        fs::create_directories(learned.parent_path());
    }
    void readBase() {
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(kBase.c_str()));
        lf_checkStands(document, park.parkStands);
    }
    void readLearned(const std::string& xml) {
        test::writeFile(learned, xml);
        lf_readLearned(learned, park, range, status);
    }
    Stand& standOf(const std::string& id) {
        for (Stand& s : park.parkStands) {
            if (s.id == id) return s;
        }
        throw std::out_of_range(id);
    }
    bool has(const std::string& id) {
        return std::any_of(park.parkStands.begin(), park.parkStands.end(), [&](const Stand& s) { return s.id == id; });
    }

    const fs::path learned = kLearnedStockFolder / "EHAM.xml";
    const std::string changes = R"(<parkpos id="A1" radius_change="true" radius="18.5"/>
        <parkpos id="B2" cargo_change="true" cargo="false"/>
        <parkpos id="M1" manual="true" latitude="52.33" longitude="4.77" radius="22" type="0">
          <opt reg="PH-MAN" airl="KLM" type="B738" hh="1" day="2"/></parkpos>
        <parkpos id="A1"><opt reg="PH-NEW" airl="KLM" type="B738" hh="20:22" day="5" cs="KLM12:KLM9Y"/></parkpos>)";
};

TEST_F(Learned, FlightsAreMergedWithTheNextOrdinalFromTheVersionGateOn) {
    readLearned(standFile({{"airport_name", "Schiphol"}, {"WEEK", "true"}}, changes, "11.9.5"));
    EXPECT_NEAR(standOf("A1").radius * kMetresPerNm, 18.5, 1e-9);
    EXPECT_FALSE(standOf("B2").cargo);
    ASSERT_TRUE(has("M1"));
    EXPECT_EQ(standOf("M1").flights.size(), 1U) << "a manual stand's own flights are read in an old file too";
    EXPECT_EQ(standOf("A1").flights.size(), 1U) << "no flight merged";
    EXPECT_TRUE(WEEK.value());
    EXPECT_TRUE(logged("older QVLT version than 11.10.0,\nAll flights will be cleared"));

    gf_clearStands(park.parkStands);
    readBase();
    readLearned(standFile({{"airport_name", "Schiphol"}}, changes, "11.10.0"));
    ASSERT_EQ(standOf("A1").flights.size(), 2U);
    const LearnedFlight& merged = standOf("A1").flights[1];
    EXPECT_EQ(merged.registration, "PH-NEW");
    EXPECT_EQ(merged.ordinal, 2U);
    EXPECT_EQ(merged.callsign2, "KLM9Y");
}

TEST_F(Learned, AFlightOverlappingAKnownOneIsDroppedAndLogged) {
    readLearned(standFile({{"airport_name", "Schiphol"}}, R"(<parkpos id="A1">
        <opt reg="PH-BXA" airl="KLM" type="B738" hh="10:12" day="3" cs="KLM1"/>
        <opt reg="PH-BXA" airl="KLM" type="B738" hh="15:16" day="3"/>
        <opt reg="PH-BXA" airl="KLM" type="B738" hh="12" day="3" soft="true"/>
        <opt reg="PH-BXA" airl="KLM" type="B738" hh="" day="3"/>
        <opt reg="PH-BXA" airl="KLM" type="B738" hh="30" day="9"/>
        <opt reg="PH-BXA" airl="KLM" type="B738" hh="30" day="0"/></parkpos>)"));
    const auto& flights = standOf("A1").flights;
    ASSERT_EQ(flights.size(), 3U);
    EXPECT_EQ(flights[1].hours, gf_hours2bitset("15:16"));
    EXPECT_FALSE(flights[2].real) << "a soft flight is another flight";
    EXPECT_EQ(flights[2].ordinal, 3U);
    EXPECT_TRUE(logged("==> learned A1: day:3 10,11,12 KLM     B738     cs:KLM1 reg:PH-BXA already in airport file"));
    EXPECT_TRUE(logged("==> empty bit set"));
}

TEST_F(Learned, ManualStandsNeedAPositionAndANewId) {
    readLearned(standFile({}, R"(<parkpos id="M0" manual="true" latitude="0.00005" longitude="0.00002" radius="20"/>
        <parkpos id="M1" manual="true" latitude="52.3" longitude="0.00002" radius="20"/>
        <parkpos id="A1" manual="true" latitude="52.3" longitude="4" radius="20"/>
        <parkpos id="M2" manual="true" latitude="52.3" longitude="4" radius="0"/>
        <parkpos id="M3" manual="true" latitude="52.3" longitude="4" radius="nan"/>
        <parkpos id="M1" manual="true" latitude="52.4" longitude="4" radius="20"/>
        <parkpos id="M1" radius_change="true" radius="33"/>
        <parkpos id="ZZ" radius_change="true" radius="33"/>)"));
    EXPECT_FALSE(has("M0"));
    ASSERT_TRUE(has("M1"));
    EXPECT_DOUBLE_EQ(standOf("M1").latitude, 52.3) << "the first M1 stays";
    EXPECT_NEAR(standOf("M1").radius * kMetresPerNm, 33.0, 1e-9) << "a later parkpos changes a manual stand too";
    EXPECT_EQ(park.parkStands.size(), 4U) << "M0, M2, M3 and the second M1 and A1 are dropped";
    const std::string path = "airports/learned/stock/EHAM.xml";
    EXPECT_TRUE(logged("==> manually created standid M0 misses correct attributes in " + path));
    EXPECT_TRUE(logged("==> manually created standid M1 already exists in " + path));
    EXPECT_TRUE(logged("learned stand ZZ in " + path + " not found?"));
}

TEST_F(Learned, ARadiusChangeNeedsAUsableRadius) {
    const double before = standOf("A1").radius;
    for (const char* radius : {"0", "-4", "nan", "inf", "abc"}) {
        readLearned(standFile({}, std::string(R"(<parkpos id="A1" radius_change="true" radius=")") + radius + "\"/>"));
        EXPECT_EQ(standOf("A1").radius, before) << radius;
        EXPECT_FALSE(standOf("A1").radiusChange) << radius;
    }
    EXPECT_TRUE(logged("==> learned stand A1 has no usable radius 'nan': radius kept"));
}

TEST_F(Learned, AHandmadeFileReplacesTheStandsWhateverItsValue) {
    readLearned(standFile(
        {{"handmade", "false"}},
        R"(<parkpos id="X1" latitude="40" longitude="-3" radius="25"><opt reg="EC-ABC" hh="4:6" day="2"/></parkpos>)"));
    EXPECT_TRUE(park.apfHandmade);
    ASSERT_EQ(park.parkStands.size(), 1U);
    EXPECT_EQ(park.parkStands[0].flights.at(0).source, FlightSource::standFile);

    readLearned(
        standFile({{"handmade", "true"}}, R"(<parkpos id="X1" latitude="1" longitude="1"/><parkpos id="X1"/>)"));
    EXPECT_TRUE(logged("lf_readLearned: 94: Stand 'X1' appears more than once."));
}

TEST_F(Learned, SettingsAreAppliedButNotSaved) {
    const auto percentage = window.combo(parking_percentage);
    const auto now = window.button(NOW_BUTTON);
    window.checkBox(WEEK);
    AUTO_RANGE.set(true);
    readLearned(standFile({{"MAX_LIVE_SEL", "75"},
                           {"RANGE", "250"},
                           {"AUTO_RANGE", "false"},
                           {"parking_percentage", "250"},
                           {"WEEK", "true"},
                           {"PARK_SOFT", "true"},
                           {"MAX_FIT", "9"},
                           {"INITIAL_LOAD_ONLY", "true"}},
                          ""));
    EXPECT_EQ(MAX_LIVE_SEL.value(), 75);
    EXPECT_EQ(parking_percentage.value(), 100) << "clamped to what the drop-down offers";
    EXPECT_EQ(window.selected(percentage), "100");
    EXPECT_TRUE(WEEK.value() && PARK_SOFT.value() && INITIAL_LOAD_ONLY.value());
    EXPECT_TRUE(window.controls().isChecked(WEEK.controlHandle()));
    EXPECT_FALSE(AUTO_RANGE.value());
    EXPECT_EQ(MAX_FIT_FL.floatValue(), 5.0F);
    EXPECT_FALSE(window.controls().isEnabled(now)) << "Now is off while only the initial load parks";
    EXPECT_FALSE(fs::exists(parametersFile()));

    readLearned(standFile({}, ""));
    EXPECT_EQ(parking_percentage.value(), 30) << "no row: 30";
}

TEST_F(Learned, ProblemsAreLoggedAndTheRestStays) {
    readLearned("<root><unclosed>");
    EXPECT_TRUE(fs::exists(kLearnedStockFolder / "EHAM0.xml")) << "kept as one older generation";

    readLearned(R"(<root><parameters><parameter name="WEEK" value="true"/></parameters></root>)");
    EXPECT_FALSE(WEEK.value()) << "no meta: ignored";

    readLearned(standFile({{"airport_name", "Elsewhere"}, {"WEEK", "true"}}, "", "eleven"));
    EXPECT_TRUE(logged("lf_readLearned: parse error in version string"));
    EXPECT_FALSE(WEEK.value()) << "the reading ended at the version";

    readLearned(standFile({{"airport_name", "Elsewhere"}}, ""));
    EXPECT_EQ(messageLines().message,
              "Warning: learned file airport name: 'Elsewhere' differs from archived file airport name: 'Schiphol'");
}

TEST_F(Learned, ARefusedFileSaysWhyAndMarksTheAirport) {
    readLearned(R"(<root><meta><info name="author" value="Quorvelant"/><info name="version" value="12.2.0"/></meta>)"
                R"(<parameters><parameter name="WEEK" value="true"/></parameters></root>)");
    EXPECT_TRUE(logged("EHAM.xml refused: its meta block has no copyright row")) << log.text();
    EXPECT_TRUE(park.learnedFileRefused);
    EXPECT_FALSE(WEEK.value());
    EXPECT_TRUE(fs::exists(kLearnedStockFolder / "EHAM0.xml"));

    park.learnedFileRefused = false;
    readLearned(standFile({}, ""));
    EXPECT_FALSE(park.learnedFileRefused) << "a file that is read is no refused one";
}

TEST_F(Learned, LinesOfOneKindAreWrittenAFewTimesThenCounted) {
    std::string parkpositions = R"(<parkpos id="A1">)";
    for (int i = 0; i < 1000; ++i) parkpositions += R"(<opt reg="PH-BXA" airl="KLM" type="B738" hh="13" day="3"/>)";
    parkpositions += "</parkpos>";
    for (int i = 0; i < 7; ++i) parkpositions += fmt::format(R"(<parkpos id="Z{}"/>)", i);
    readLearned(standFile({{"airport_name", "Schiphol"}}, parkpositions));
    const std::string text = log.text();
    std::size_t repeated = 0;
    for (auto at = text.find("already in airport file"); at != std::string::npos;
         at = text.find("already in airport file", at + 1)) {
        ++repeated;
    }
    EXPECT_EQ(repeated, LearnedLines::kWrittenPerKind);
    EXPECT_TRUE(logged("995 more flights already at their stand in " + gf_pathToUtf8(learned))) << text;
    EXPECT_TRUE(logged("learned stand Z4 in "));
    EXPECT_FALSE(logged("learned stand Z5 in "));
    EXPECT_TRUE(logged("2 more learned stands not found in ")) << text;
    EXPECT_EQ(standOf("A1").flights.size(), 1U);
}

TEST_F(Learned, HoursRunningBackwardsAreCountedWithTheOtherLines) {
    std::string parkpositions = R"(<parkpos id="A1">)";
    for (int i = 0; i < 1000; ++i) parkpositions += R"(<opt reg="PH-BXB" airl="KLM" type="B738" hh="11:8" day="3"/>)";
    parkpositions += R"(<opt reg="PH-BXC" airl="KLM" type="B738" hh="4,x,6" day="3"/></parkpos>)";
    readLearned(standFile({{"airport_name", "Schiphol"}}, parkpositions));
    const std::string text = log.text();
    std::size_t written = 0;
    for (auto at = text.find("descending range not allowed"); at != std::string::npos;
         at = text.find("descending range not allowed", at + 1)) {
        ++written;
    }
    EXPECT_EQ(written, LearnedLines::kWrittenPerKind);
    EXPECT_TRUE(logged("==> gf_hours2bitset descending range not allowed (11:8 in 11:8)")) << text;
    EXPECT_TRUE(logged("996 more flights with unreadable half hours in " + gf_pathToUtf8(learned))) << text;
    EXPECT_TRUE(logged("995 more flights without half hours in ")) << text;
    ASSERT_EQ(standOf("A1").flights.size(), 2U) << "the list's readable slots still make a flight";
    EXPECT_EQ(standOf("A1").flights[1].hours, gf_hours2bitset("4,6"));
}

TEST_F(Learned, ALearnedFileRoundTripsThroughTheWriter) {
    Stand& a1 = standOf("A1");
    a1.radius = 18.0 / kMetresPerNm;
    a1.radiusChange = true;
    LearnedFlight learnedFlight;
    learnedFlight.registration = "PH-BXD";
    learnedFlight.ids = {.airlineId = airline("KLM"), .modelId = model("B738"), .marker = 1};
    learnedFlight.callsign1 = "KLM1";
    learnedFlight.callsign2 = "KLM2";
    learnedFlight.hours = gf_hours2bitset("1,5,9");
    learnedFlight.day = 6;
    learnedFlight.ordinal = 2;
    learnedFlight.real = false;
    learnedFlight.cpl = true;
    a1.flights.push_back(learnedFlight);
    standOf("B2").cargo = false;
    standOf("B2").cargoChange = true;
    Stand manual("M1", {}, {.latitude = 52.34, .longitude = 4.78, .heading = 1.0}, 21.0, {.type = 2});
    manual.manual = true;
    park.parkStands.push_back(manual);

    ApfRecord record{.icao = FixedCode4("EHAM"), .airportName = "Schiphol"};
    for (const Stand& s : park.parkStands) {
        Stand copy = s;
        std::erase_if(copy.flights, [](const LearnedFlight& f) { return f.source == FlightSource::standFile; });
        record.stands.push_back(copy);
    }
    ASSERT_TRUE(gf_saveApf(record, learned, {.mode = ApfMode::learned, .simNumber = 1, .handmade = false}));

    gf_clearStands(park.parkStands);
    readBase();
    lf_readLearned(learned, park, range, status);

    EXPECT_NEAR(standOf("A1").radius * kMetresPerNm, 18.0, 1e-9);
    EXPECT_TRUE(standOf("A1").radiusChange);
    ASSERT_EQ(standOf("A1").flights.size(), 2U);
    const LearnedFlight& back = standOf("A1").flights[1];
    EXPECT_EQ(back.hours, learnedFlight.hours) << "hours that are no run come back from the list";
    EXPECT_EQ(back.callsign2, "KLM2");
    EXPECT_EQ(back.ids, learnedFlight.ids);
    EXPECT_TRUE(!back.real && back.cpl);
    EXPECT_FALSE(standOf("B2").cargo);
    EXPECT_TRUE(standOf("B2").cargoChange);
    ASSERT_TRUE(has("M1"));
    EXPECT_TRUE(standOf("M1").manual);
    EXPECT_NEAR(standOf("M1").heading, 1.0, 0.001);
}

}  // namespace
}  // namespace qvl
