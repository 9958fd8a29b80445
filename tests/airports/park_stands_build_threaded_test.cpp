// A park airport's stands built on the thread that reads its files, and
// taken in by the load on the asking thread with the lines held for it.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "airports/park_airport.h"
#include "airports/support/airports_fixture.h"
#include "core/current_park_airport.h"
#include "core/paths.h"
#include "core/settings.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::standFile;
using test::writeFile;

class ParkStandsBuiltOnTheRead : public test::AirportsFolder {
protected:
    CurrentParkAirportState parkAirport;
    RunState run;
    ParkAirportLinks links{.parkAirport = parkAirport, .range = range, .status = status, .run = run};
};

TEST_F(ParkStandsBuiltOnTheRead, TheLoadTakesThemInWithTheirLines) {
    registrations(R"(<d r="PH-BXD" a="KLM" m="B738"/>)");
    const fs::path file = kMySimaddonFolder / "EHAM.xml";
    std::string stands = R"(<parkpos id="BAD" radius="20"/>)";
    for (int i = 0; i < 50; ++i) {
        stands += fmt::format(R"(<parkpos id="S{}" latitude="52.3" longitude="{:.5f}" radius="20">
                                   <opt reg="PH-BXD" hh="{}" day="2"/><opt reg="PH-{}" airl="DLH" type="A20N" hh="3" day="4"/>
                                 </parkpos>)",
                              i, 4.76 + 0.0003 * i, i % 48, i);
    }
    writeFile(file, standFile({{"airport_name", "Schiphol"}, {"altitude", "-11"}}, stands));
    fs::create_directories(kLearnedFolder / "my_simaddon");
    writeFile(kLearnedFolder / "my_simaddon" / "EHAM.xml",
              standFile({{"airport_name", "Schiphol"}, {"PARK_SOFT", "true"}},
                        R"(<parkpos id="S7"><opt reg="PH-NEW" airl="KLM" type="B738" hh="9" day="6"/></parkpos>)"));
    const ApfLoadRequest request{.pathText = file.string(), .icao = FixedCode4("EHAM")};

    ApfFilesRead read;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!read.ready(request) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::optional<ApfFiles> files = read.take(request);
    ASSERT_TRUE(files);
    ASSERT_TRUE(files->stands) << "built on the reading thread";
    EXPECT_FALSE(logged("stand BAD has no valid lat/lon")) << "held for the load";

    ASSERT_TRUE(applyApfFiles(*files, park, links));
    EXPECT_TRUE(logged("stand BAD has no valid lat/lon"));
    EXPECT_TRUE(PARK_SOFT.value());
    ASSERT_EQ(park.parkStands.size(), 50U);
    EXPECT_EQ(park.parkStands[7].flights.size(), 3U);
    EXPECT_EQ(park.parkStands[7].neighbours, (std::vector<std::uint32_t>{7, 9}));
    EXPECT_TRUE(park.parkStands[0].flights[0].hasDbaseIds());
}

}  // namespace
}  // namespace qvl
