#include "simlink/flight_plan.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

// The user's roaming application data in a temporary folder.
class FlightPlans : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("QVL_ROAMING_DIR", roaming.c_str(), 1); }
    void TearDown() override { ::unsetenv("QVL_ROAMING_DIR"); }

    bool logHas(const std::string& text) const { return logCapture.text().find(text) != std::string::npos; }

    // The plan written for the fields, parsed back with its blanks.
    pugi::xml_node writtenPlan(const FlightPlanFields& fields) {
        EXPECT_TRUE(lf_writeFlightPlan(dir / "plan.pln", fields));
        const pugi::xml_parse_result parsed =
            document.load_file((dir / "plan.pln").c_str(), pugi::parse_default | pugi::parse_ws_pcdata);
        EXPECT_TRUE(parsed) << parsed.description();
        return document.child("SimBase.Document").child("FlightPlan.FlightPlan");
    }

    test::TempDir dir;
    test::LogCapture logCapture{dir.path()};
    fs::path roaming = dir / "roaming";
    FlightPlanFolder folder;
    pugi::xml_document document;
};

TEST_F(FlightPlans, FolderIsCreatedUnderTheProductFolderAndKept) {
    ASSERT_TRUE(gf_createFlightPlanFolder(folder));
    const fs::path expected = roaming / "Quorvelant" / "orig_dest";
    EXPECT_TRUE(fs::is_directory(expected));
    EXPECT_EQ(folder.path(), expected);
    EXPECT_EQ(lf_flightPlanPath(folder, 1234), expected / "1234.pln");
    EXPECT_EQ(lf_flightPlanPath(folder, 4294967295u).filename(), "4294967295.pln");
    // A second run finds it in place.
    EXPECT_TRUE(gf_createFlightPlanFolder(folder));
}

TEST_F(FlightPlans, FolderThatCannotBeCreatedIsLoggedNotThrown) {
    test::writeFile(roaming, "a file where the folder should be");
    EXPECT_FALSE(gf_createFlightPlanFolder(folder));
    EXPECT_EQ(folder.path(), roaming / "Quorvelant" / "orig_dest");
    EXPECT_TRUE(logHas("==> gf_createFlightPlanFolder: "));
}

TEST_F(FlightPlans, FileHasTheSimulatorsExactLines) {
    ASSERT_TRUE(lf_writeFlightPlan(dir / "7.pln", {.rules = FlightRules::ifr, .origin = "FRA", .destination = "JFK"}));
    EXPECT_EQ(test::readFile(dir / "7.pln"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
              "<FlightPlan.FlightPlan>\n"
              "<FPType>IFR</FPType>\n"
              "<DepartureID>FRA</DepartureID>\n"
              "<DestinationID>JFK</DestinationID>\n"
              "</FlightPlan.FlightPlan>\n"
              "</SimBase.Document>\n"
              "\n");
}

TEST_F(FlightPlans, RulesAndCodesReadBackAsXml) {
    pugi::xml_node plan = writtenPlan({.rules = FlightRules::vfr, .origin = "EDF", .destination = "LHR"});
    EXPECT_STREQ(plan.child_value("FPType"), "VFR");
    EXPECT_STREQ(plan.child_value("DepartureID"), "EDF");
    EXPECT_STREQ(plan.child_value("DestinationID"), "LHR");
    EXPECT_STREQ(document.child("SimBase.Document").attribute("Type").value(), "AceXML");
    EXPECT_STREQ(document.child("SimBase.Document").attribute("version").value(), "4,3");

    plan = writtenPlan({.rules = FlightRules::ifr, .origin = "AMS", .destination = "CDG"});
    EXPECT_STREQ(plan.child_value("FPType"), "IFR");
}

TEST_F(FlightPlans, UnknownAirportIsThreeBlanks) {
    const pugi::xml_node plan = writtenPlan({.rules = FlightRules::ifr, .origin = {}, .destination = "MUC"});
    EXPECT_STREQ(plan.child_value("DepartureID"), "   ");
    EXPECT_STREQ(plan.child_value("DestinationID"), "MUC");
}

TEST_F(FlightPlans, CodesAreAlwaysThreeCharactersAndNeverBreakTheXml) {
    const pugi::xml_node plan = writtenPlan({.rules = FlightRules::vfr, .origin = "A<&B", .destination = "X"});
    EXPECT_STREQ(plan.child_value("DepartureID"), "A  ");
    EXPECT_STREQ(plan.child_value("DestinationID"), "X  ");
}

TEST_F(FlightPlans, RewriteReplacesALongerOldFile) {
    test::writeFile(dir / "9.pln", std::string(4096, 'x'));
    ASSERT_TRUE(lf_writeFlightPlan(dir / "9.pln", {.rules = FlightRules::ifr, .origin = "FRA", .destination = "JFK"}));
    EXPECT_EQ(test::readFile(dir / "9.pln"),
              flightPlanText({.rules = FlightRules::ifr, .origin = "FRA", .destination = "JFK"}));
}

TEST_F(FlightPlans, FileThatCannotBeOpenedFailsAndIsLogged) {
    const fs::path file = dir / "missing" / "5.pln";
    EXPECT_FALSE(lf_writeFlightPlan(file, {.rules = FlightRules::vfr, .origin = "FRA", .destination = "JFK"}));
    EXPECT_TRUE(logHas("==> lf_writeFlightPlan: " + file.string() + " cannot be opened\n"));
}

// A device that opens for writing and refuses every byte: the open succeeds,
// the flush fails.
TEST_F(FlightPlans, WriteThatFailsAfterTheOpenIsAFailure) {
    const fs::path full = "/dev/full";
    if (!fs::exists(full)) GTEST_SKIP() << "no /dev/full here";
    EXPECT_FALSE(lf_writeFlightPlan(full, {.rules = FlightRules::ifr, .origin = "FRA", .destination = "JFK"}));
    EXPECT_TRUE(logHas("==> lf_writeFlightPlan: /dev/full could not be written\n"));
}

}  // namespace
}  // namespace qvl
