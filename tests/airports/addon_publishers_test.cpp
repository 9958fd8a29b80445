// The publisher of an add-on airport from its path or its package manifest.
#include <gtest/gtest.h>

#include "airports/addon/publishers.h"
#include "airports/support/addon_fixture.h"

namespace qvl::test {
namespace {

using PublisherSearch = AddonFolder;

TEST_F(PublisherSearch, SimulatorMakersPathWinsBeforeAnyListOrManifest) {
    const auto bgl = put("Community/Microsoft-Airport-orbx-EGLL/scenery/x.bgl");
    put("Community/Microsoft-Airport-orbx-EGLL/manifest.json", R"({"creator":"My Pub"})");
    const AddonPublisher found = lf_findPublisher(scan, bgl, std::nullopt);
    EXPECT_EQ(found, AddonPublisher{.publisher = "simaddon"});
    EXPECT_TRUE(inScanLog("from BGL path => publisher simaddon"));
}

TEST_F(PublisherSearch, PathPublisherWinsOverGivenDetails) {
    const auto bgl = put("Community/orbx-eham/scenery/x.bgl");
    const AddonPublisher found = lf_findPublisher(scan, bgl, PublisherInfo{.creator = "My Pub"});
    EXPECT_EQ(found.publisher, "Orbx");
    EXPECT_TRUE(found.creator.empty()) << "the caller's details are not used";
}

TEST_F(PublisherSearch, CreatorNamesThePublisherWhenTheManufacturerDoesNot) {
    const auto bgl = put("Community/pkg/scenery/global/x.bgl");
    put("Community/pkg/manifest.json", R"({"manufacturer":"Someone","creator":"made by MyPub","title":"EGLL x"})");
    const AddonPublisher found = lf_findPublisher(scan, bgl, std::nullopt);
    EXPECT_EQ(found, (AddonPublisher{.publisher = "My Pub", .manufacturer = "Someone", .creator = "made by MyPub"}));
    EXPECT_TRUE(inScanLog("Manifest file: title:'EGLL x, manufacturer:'Someone', creator:'made by MyPub\n"))
        << "the manifest one level above the first probe is found by the walk up";
}

TEST_F(PublisherSearch, ManifestLinesAreJoinedWithoutSeparator) {
    const auto bgl = put("Community/pkg/scenery/x.bgl");
    put("Community/pkg/scenery/manifest.json", "{\"title\":\"EG\nLL Heathrow\",\n\"creator\":null}\n");
    const auto details = gf_searchManifest(scan, bgl);
    ASSERT_TRUE(details);
    EXPECT_EQ(*details, PublisherInfo{.title = "EGLL Heathrow"});
}

TEST_F(PublisherSearch, BadManifestIsALineAndNoDetails) {
    const auto bgl = put("Community/pkg/scenery/x.bgl");
    for (const std::string text : {R"({"title": 12})", R"({"title": "EGLL",)", "\xff\xfe{", R"({"creator":[1]})"}) {
        clearScanLog(scan);
        put("Community/pkg/manifest.json", text);
        EXPECT_FALSE(gf_searchManifest(scan, bgl)) << text;
        EXPECT_TRUE(inScanLog("exception in gf_searchManifest: ")) << text;
    }
    EXPECT_TRUE(inScanLog("type must be string, but is array"));
    clearScanLog(scan);
    EXPECT_EQ(lf_findPublisher(scan, bgl, std::nullopt), AddonPublisher{});
    EXPECT_TRUE(inScanLog("===> No publisher found"));
}

TEST_F(PublisherSearch, TheNearerOfTwoManifestsIsTaken) {
    const auto bgl = put("Community/pkg/a/b/c/x.bgl");
    put("Community/pkg/a/manifest.json", R"({"title":"the package"})");
    put("Community/pkg/a/b/manifest.json", R"({"title":"the part"})");
    const auto details = gf_searchManifest(scan, bgl);
    ASSERT_TRUE(details);
    EXPECT_EQ(details->title, "the part");
    // A package folder's own manifest is the nearest to it.
    const auto own = gf_searchManifest(scan, folder / "Community/pkg/a");
    ASSERT_TRUE(own);
    EXPECT_EQ(own->title, "the package");
}

TEST_F(PublisherSearch, NoManifestUpToTheTopGivesNoDetails) {
    const auto bgl = put("deep/er/x.bgl");
    put("deep/er/manifest.JSON", R"({"title":"EGLL"})");
    EXPECT_FALSE(gf_searchManifest(scan, bgl)) << "only the exact name is a manifest";
    EXPECT_FALSE(gf_searchManifest(scan, "relative/none/x.bgl"));
}

}  // namespace
}  // namespace qvl::test
