#include "airports/closest_stand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "airports/support/airports_fixture.h"
#include "core/run_state.h"
#include "refdata/closest_airport.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::HttpResponse;
using test::writeFile;

// Stands on the equator: one degree of longitude is 60 nm.
std::string standsAt(const std::string& parkpositions) {
    return "<root><parkpositions>" + parkpositions + "</parkpositions></root>";
}

class ClosestStand : public test::ArchiveFolder {
protected:
    void SetUp() override {
        ArchiveFolder::SetUp();
        airports(R"(<ap c="EHAM" la="0" lo="0.05" a="0" s="10"/><ap c="EHLE" la="0" lo="0.06" a="0" s="0"/>
                    <ap c="EHRD" la="0" lo="0.07" a="0" s="0"/>)");
    }
    double nearest(const char* icao) { return gf_readDestApfForClosestStand(FixedCode4(icao), user, standId, closing); }

    const GeoPosition user{.latitude = 0.0, .longitude = 0.0};
    std::string standId = "untouched";
    RunState run;
    const DownloadStop closing = [this] { return run.isClosing(); };
};

TEST_F(ClosestStand, NoFileOrOnlyStandsBeyondOneHundredMilesGiveOneHundred) {
    EXPECT_EQ(nearest("EHLE"), 100.0);
    writeFile(kMyThirdpartyFolder / "EHLE.xml", standsAt(R"(<parkpos id="far" latitude="0" longitude="2"/>)"));
    EXPECT_EQ(nearest("EHLE"), 100.0);
    EXPECT_EQ(standId, "untouched");
}

TEST_F(ClosestStand, ReadsTheFirstNearestStandUnderRootOrAtTheTop) {
    writeFile(kMyThirdpartyFolder / "EHLE.xml", standsAt(R"(<parkpos id="far" latitude="0" longitude="0.05"/>
        <parkpos id="near" latitude="0" longitude="0.02"/><parkpos id="same" latitude="0" longitude="-0.02"/>)"));
    EXPECT_NEAR(nearest("EHLE"), 1.2, 1e-9);
    EXPECT_EQ(standId, "near") << "of two at the same distance the first wins";
    writeFile(kMySimaddonFolder / "EHRD.xml",
              R"(<parkpositions><parkpos id="top" latitude="0.01" longitude="0"/></parkpositions>)");
    EXPECT_NEAR(nearest("EHRD"), 0.6, 1e-9);
    EXPECT_EQ(standId, "top");
}

TEST_F(ClosestStand, AnArchivedAirportLeavesNoTemporaryFile) {
    server.route("/downloads/MSFS/archive/stock/EHAM.xml",
                 HttpResponse::ok(standsAt(R"(<parkpos id="D4" latitude="0" longitude="0.04"/>)")));
    EXPECT_NEAR(nearest("EHAM"), 2.4, 1e-9);
    EXPECT_EQ(standId, "D4");
    EXPECT_FALSE(fs::exists(kClosestStandTempFile));

    for (const HttpResponse& failing :
         {HttpResponse::ok("<root><unclosed"), HttpResponse::ok("<root/>"), HttpResponse::error(404)}) {
        server.route("/downloads/MSFS/archive/stock/EHAM.xml", failing);
        EXPECT_EQ(nearest("EHAM"), 100.0);
        EXPECT_FALSE(fs::exists(kClosestStandTempFile));
    }
}

TEST_F(ClosestStand, ACloseEndsTheDownloadOfAnArchivedAirport) {
    server.route("/downloads/MSFS/archive/stock/EHAM.xml", HttpResponse::silence());
    std::jthread closer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        run.recordUserClose();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(nearest("EHAM"), 100.0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_FALSE(fs::exists(kClosestStandTempFile));
}

TEST_F(ClosestStand, TheClosestAirportAsksItWhenTwoCompete) {
    // Walking the list in code order, EHLE overtakes EHAM and EHRD overtakes
    // EHLE: EHRD is the closest airport and EHLE its neighbour.
    writeFile(kMyThirdpartyFolder / "EHLE.xml", standsAt(R"(<parkpos id="L1" latitude="0" longitude="0.0679"/>)"));
    writeFile(kMySimaddonFolder / "EHRD.xml", standsAt(R"(<parkpos id="R1" latitude="0" longitude="0.07"/>)"));
    const AirportRec* found =
        gf_closestAirport({.latitude = 0.0, .longitude = 0.068},
                          [this](const FixedCode4& icao, const GeoPosition& position, std::string& id) {
                              return gf_readDestApfForClosestStand(icao, position, id, closing);
                          });
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(gf_fixedCodeView(found->icao), "EHLE") << "EHRD is closest, EHLE's stand is nearer";
    EXPECT_TRUE(logged("Airport EHRD is closest, neighbour is EHLE"));
}

}  // namespace
}  // namespace qvl
