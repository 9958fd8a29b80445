#include "simlink/flight_plan.h"

#include <gtest/gtest.h>

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

    test::TempDir dir;
    test::LogCapture logCapture{dir.path()};
    fs::path roaming = dir / "roaming";
    FlightPlanFolder folder;
};

TEST_F(FlightPlans, FolderIsCreatedUnderTheProductFolderOrLoggedWhenItCannotBe) {
    const fs::path expected = roaming / "Quorvelant" / "orig_dest";
    test::writeFile(dir / "roaming", "a file where the folder should be");
    EXPECT_FALSE(gf_createFlightPlanFolder(folder));
    EXPECT_EQ(folder.path(), expected);
    EXPECT_TRUE(logHas("==> gf_createFlightPlanFolder: "));

    fs::remove(dir / "roaming");
    ASSERT_TRUE(gf_createFlightPlanFolder(folder));
    EXPECT_TRUE(fs::is_directory(expected));
    EXPECT_EQ(lf_flightPlanPath(folder, 4294967295u), expected / "4294967295.pln");
    EXPECT_TRUE(gf_createFlightPlanFolder(folder)) << "a second run finds it in place";
}

// The simulator's exact lines; codes are always three characters and never break the XML.
TEST_F(FlightPlans, FileHasTheSimulatorsExactLinesAndReplacesALongerOldFile) {
    struct Case {
        FlightPlanFields fields;
        const char* lines;
    };
    const Case cases[] = {
        {{.rules = FlightRules::ifr, .origin = "FRA", .destination = "JFK"},
         "<FPType>IFR</FPType>\n<DepartureID>FRA</DepartureID>\n<DestinationID>JFK</DestinationID>\n"},
        {{.rules = FlightRules::vfr, .origin = {}, .destination = "MUC"},
         "<FPType>VFR</FPType>\n<DepartureID>   </DepartureID>\n<DestinationID>MUC</DestinationID>\n"},
        {{.rules = FlightRules::vfr, .origin = "A<&B", .destination = "X"},
         "<FPType>VFR</FPType>\n<DepartureID>A  </DepartureID>\n<DestinationID>X  </DestinationID>\n"},
    };
    for (const Case& c : cases) {
        test::writeFile(dir / "9.pln", std::string(4096, 'x'));
        ASSERT_TRUE(lf_writeFlightPlan(dir / "9.pln", c.fields));
        EXPECT_EQ(test::readFile(dir / "9.pln"), std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                             "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
                                                             "<FlightPlan.FlightPlan>\n") +
                                                     c.lines + "</FlightPlan.FlightPlan>\n</SimBase.Document>\n\n");
    }
}

TEST_F(FlightPlans, FailedOpenOrWriteIsAFailureAndLogged) {
    const FlightPlanFields fields{.rules = FlightRules::ifr, .origin = "FRA", .destination = "JFK"};
    const fs::path file = dir / "missing" / "5.pln";
    EXPECT_FALSE(lf_writeFlightPlan(file, fields));
    EXPECT_TRUE(logHas("==> lf_writeFlightPlan: " + file.string() + " cannot be opened\n"));
    // A device that opens for writing and refuses every byte: the flush fails.
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    EXPECT_FALSE(lf_writeFlightPlan("/dev/full", fields));
    EXPECT_TRUE(logHas("==> lf_writeFlightPlan: /dev/full could not be written\n"));
}

}  // namespace
}  // namespace qvl
