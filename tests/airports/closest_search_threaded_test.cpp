// The closest-airport question on threads of its own, against the loopback
// site: its findings, searches given up, and the one temporary stand file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "airports/closest_stand.h"
#include "airports/support/airports_fixture.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::HttpResponse;
using test::writeFile;

std::string stand(const char* id, double longitude) {
    return "<root><parkpositions><parkpos id=\"" + std::string(id) + "\" latitude=\"0\" longitude=\"" +
           std::to_string(longitude) + "\"/></parkpositions></root>";
}

// Two pairs of airports on the equator. In each, the later one in code order
// is the closest and its stand file is archived; the earlier one's is the
// user's own, with a stand a little farther from the user. So the archived
// one is found only when its file arrives.
class ClosestSearch : public test::ArchiveFolder {
protected:
    void SetUp() override {
        ArchiveFolder::SetUp();
        airports(R"(<ap c="EHLE" la="0" lo="0.06" a="0" s="0"/><ap c="EHRD" la="0" lo="0.07" a="0" s="1"/>
                    <ap c="LFPG" la="0" lo="1.0" a="0" s="0"/><ap c="LFPO" la="0" lo="1.01" a="0" s="1"/>)");
        writeFile(kMyThirdpartyFolder / "EHLE.xml", stand("L1", 0.0679));
        writeFile(kMyThirdpartyFolder / "LFPG.xml", stand("G1", 1.0079));
    }
    void TearDown() override {
        EXPECT_TRUE(ends(first));
        EXPECT_TRUE(ends(second));
        ArchiveFolder::TearDown();
    }

    // Within a bound far beyond a loopback download's.
    [[nodiscard]] static bool ends(ClosestAirportSearch& search) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!search.idle()) {
            if (std::chrono::steady_clock::now() >= until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    [[nodiscard]] bool requested(std::size_t count, std::chrono::seconds bound) const {
        const auto until = std::chrono::steady_clock::now() + bound;
        while (server.requestedPaths().size() < count && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return server.requestedPaths().size() >= count;
    }
    [[nodiscard]] static std::string found(const std::optional<ClosestAirportFindings>& findings) {
        if (!findings) return "no answer";
        if (!findings->airport) return "none";
        return std::string(findings->airport->icao.view()) + "," + findings->standId;
    }

    static constexpr const char* kEhrd = "/downloads/MSFS/archive/stock/EHRD.xml";
    static constexpr const char* kLfpo = "/downloads/MSFS/archive/stock/LFPO.xml";
    const GeoPosition atEhrd{.latitude = 0.0, .longitude = 0.068};
    const GeoPosition atLfpo{.latitude = 0.0, .longitude = 1.008};
    ClosestAirportSearch first;
    ClosestAirportSearch second;
};

TEST_F(ClosestSearch, FindsTheAirportWithItsNearestStandAndItsStandFile) {
    server.route(kEhrd, HttpResponse::ok(stand("R1", 0.068)));
    first.ask(atEhrd);
    ASSERT_TRUE(ends(first));
    const std::optional<ClosestAirportFindings> findings = first.take();
    EXPECT_EQ(found(findings), "EHRD,R1");
    EXPECT_TRUE(findings->hasUserAddonApf) << "an archived stand file";
    EXPECT_EQ(findings->askedAt.longitude, 0.068);
    EXPECT_FALSE(first.asking()) << "the answer was taken";
    EXPECT_FALSE(fs::exists(kClosestStandTempFile));

    first.ask({.latitude = 0.0, .longitude = 3.0});
    ASSERT_TRUE(ends(first));
    EXPECT_EQ(found(first.take()), "none");
}

// The first search's download is held while the second begins its own: the
// second waits for the temporary file, and neither spoils the other's.
TEST_F(ClosestSearch, TwoSearchesNeverFetchIntoTheTemporaryFileAtOnce) {
    server.route(kEhrd, HttpResponse::held(stand("R1", 0.068)));
    server.route(kLfpo, HttpResponse::ok(stand("O1", 1.008)));
    first.ask(atEhrd);
    ASSERT_TRUE(requested(1, std::chrono::seconds(10)));
    second.ask(atLfpo);
    // Time for a second fetch that did not wait to run into the first one.
    (void)requested(2, std::chrono::seconds(2));
    server.release();
    ASSERT_TRUE(ends(first));
    ASSERT_TRUE(ends(second));
    EXPECT_EQ(found(first.take()), "EHRD,R1");
    EXPECT_EQ(found(second.take()), "LFPO,O1");
    EXPECT_FALSE(fs::exists(kClosestStandTempFile));
}

// Asked again while a download stalls for good: the question given up is
// stopped, and the new one is answered once it has let go of the file.
TEST_F(ClosestSearch, AQuestionGivenUpIsStoppedAndTheNextIsAnswered) {
    server.route(kEhrd, HttpResponse::stall(stand("R1", 0.068)));
    server.route(kLfpo, HttpResponse::ok(stand("O1", 1.008)));
    first.ask(atEhrd);
    ASSERT_TRUE(requested(1, std::chrono::seconds(10)));
    first.ask(atLfpo);
    ASSERT_TRUE(ends(first)) << "the stalled download was stopped";
    EXPECT_EQ(found(first.take()), "LFPO,O1");
}

}  // namespace
}  // namespace qvl
