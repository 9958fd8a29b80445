#include "liveries/livery_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/settings.h"
#include "liveries/support/liveries_folder.h"

namespace qvl {
namespace {

class LiveryTablesTest : public test::LiveriesFolder {
protected:
    // Lufthansa A320s (two pax, one cargo) and a B738, KLM B738s, CityLine
    // A320s flown for Lufthansa, generic A320s.
    void buildSample() {
        build({livery("KLM", "B738", "KLM 2"), livery("DLH", "A320", "Lufthansa b"),
               livery("DLH", "A320", "Lufthansa cargo", 1), livery("DLH", "A320", "Lufthansa a"),
               livery("DLH", "B738", "Lufthansa 737"), livery("KLM", "B738", "KLM 1"),
               livery("DLH", "A320", "CityLine", 0, "CLH", "D-AIZA"), livery("ZZZ", "A320", "Generic")});
    }
    static std::vector<std::string> texts(const TitleList& titles) { return {titles.begin(), titles.end()}; }
    const TitleList& catalogued(std::size_t kind, std::string_view airline, std::string_view model) {
        return tables_.catalogue[kind].at(airlineId(airline)).at(modelId(model));
    }
};

TEST_F(LiveryTablesTest, TheMapFilesLiveriesByAirlineAndModelInLiveryOrder) {
    buildSample();
    const auto& dlhA320 = tables_.airlineModels.at(airlineId("DLH")).at(modelId("A320"));
    std::vector<std::string> titles;
    for (const auto& entry : dlhA320) titles.push_back(entry.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Lufthansa a", "Lufthansa b", "Lufthansa cargo"}));
    EXPECT_EQ(tables_.airlineModels.size(), 4U) << "DLH, KLM, ZZZ and DLHCLH";
    EXPECT_TRUE(gf_hasLiveriesFor(tables_, airlineId("DLH"), modelId("B738")));
    EXPECT_FALSE(gf_hasLiveriesFor(tables_, airlineId("KLM"), modelId("A320")));
    EXPECT_FALSE(gf_hasLiveriesFor(tables_, airlineId("BAW"), modelId("A320")));
}

TEST_F(LiveryTablesTest, ALiveryWithASecondAirlineIsFiledOnlyUnderTheCombinedAirline) {
    buildSample();
    EXPECT_EQ(combinedAirlineId(airlineId("DLH"), airlineId("CLH")), airlineId("DLHCLH"));
    EXPECT_TRUE(gf_hasLiveriesFor(tables_, airlineId("DLHCLH"), modelId("A320")));
    EXPECT_FALSE(gf_hasLiveriesFor(tables_, airlineId("CLH"), modelId("A320")));
    EXPECT_EQ(texts(catalogued(kPaxIndex, "DLHCLH", "A320")), std::vector<std::string>{"CityLine"});
    EXPECT_EQ(texts(catalogued(kPaxIndex, "DLH", "A320")), (std::vector<std::string>{"Lufthansa a", "Lufthansa b"}));
}

TEST_F(LiveryTablesTest, TheCatalogueSplitsPaxAndCargoInAscendingTitleOrder) {
    buildSample();
    EXPECT_EQ(texts(catalogued(kCargoIndex, "DLH", "A320")), std::vector<std::string>{"Lufthansa cargo"});
    EXPECT_EQ(texts(catalogued(kPaxIndex, "KLM", "B738")), (std::vector<std::string>{"KLM 1", "KLM 2"}));
    EXPECT_FALSE(tables_.catalogue[kCargoIndex].contains(airlineId("KLM"))) << "no cargo liveries, no entry";
    EXPECT_FALSE(tables_.catalogue[kCargoIndex].at(airlineId("DLH")).contains(modelId("B738")));
    const auto& list = catalogued(kPaxIndex, "DLH", "A320");
    EXPECT_EQ(list.capacity(), list.size()) << "trimmed to size";
}

TEST_F(LiveryTablesTest, ModelTablesHoldTheTitlesOfEveryAirlineCombinedOnesIncluded) {
    buildSample();
    const std::set<std::string> pax(tables_.paxModels.at(modelId("A320")).begin(),
                                    tables_.paxModels.at(modelId("A320")).end());
    EXPECT_EQ(pax, (std::set<std::string>{"CityLine", "Generic", "Lufthansa a", "Lufthansa b"}));
    EXPECT_EQ(texts(tables_.cargoModels.at(modelId("A320"))), std::vector<std::string>{"Lufthansa cargo"});
    EXPECT_EQ(tables_.paxModels.at(modelId("B738")).size(), 3U);
    EXPECT_FALSE(tables_.cargoModels.contains(modelId("B738")));
}

TEST_F(LiveryTablesTest, TitleViewsPointIntoTheMapsOwnTitles) {
    buildSample();
    const std::string_view found = lf_findLiveryTitle(tables_, std::string("KLM 1"));
    const auto& klm = tables_.airlineModels.at(airlineId("KLM")).at(modelId("B738"));
    ASSERT_EQ(klm.front().title, "KLM 1");
    EXPECT_EQ(found.data(), klm.front().title.data());
    EXPECT_EQ(catalogued(kPaxIndex, "KLM", "B738").front().data(), klm.front().title.data());
    EXPECT_TRUE(lf_findLiveryTitle(tables_, "KLM").empty());
    EXPECT_TRUE(lf_findLiveryTitle(tables_, "").empty());
}

TEST_F(LiveryTablesTest, RandomCategoryPicksComeFromTheFilledList) {
    EXPECT_EQ(lf_randomBizjetModel(tables_), 0) << "empty list";
    tables_.lightModels = {modelId("C172"), modelId("TBM9"), modelId("A318")};
    tables_.rotorcraftModels = {modelId("EC35")};
    EXPECT_EQ(lf_randomRotorcraftModel(tables_), modelId("EC35"));
    RANDOM.set(false);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(lf_randomLightModel(tables_), modelId("C172"));
    RANDOM.set(true);
    std::set<CodeId> drawn;
    for (int i = 0; i < 300; ++i) drawn.insert(lf_randomLightModel(tables_));
    EXPECT_EQ(drawn, std::set<CodeId>(tables_.lightModels.begin(), tables_.lightModels.end()));
}

TEST_F(LiveryTablesTest, ClearingEmptiesEveryTableTheSimilarModelsToo) {
    buildSample();
    tables_.lightModels = {modelId("C172")};
    tables_.regcodes.emplace("D-AIZA", lf_findLiveryTitle(tables_, "CityLine"));
    tables_.reservedTitles.push_back(lf_findLiveryTitle(tables_, "CityLine"));
    tables_.similar.byModel[modelId("A319")] = {modelId("A320")};
    tables_.similar.byAirline[airlineId("KLM")][modelId("B737")] = {modelId("B738")};
    tables_.similar.prefixGroups["D-"] = {"OE-"};
    gf_clearLiveryTables(tables_);
    EXPECT_TRUE(tables_.airlineModels.empty());
    EXPECT_TRUE(tables_.titleIndex.empty());
    EXPECT_TRUE(tables_.catalogue[kPaxIndex].empty() && tables_.catalogue[kCargoIndex].empty());
    EXPECT_TRUE(tables_.paxModels.empty() && tables_.cargoModels.empty() && tables_.lightModels.empty());
    EXPECT_TRUE(tables_.regcodes.empty() && tables_.reservedTitles.empty());
    EXPECT_TRUE(tables_.similar.byModel.empty());
    EXPECT_TRUE(tables_.similar.byAirline.empty());
    EXPECT_TRUE(tables_.similar.prefixGroups.empty());
}

}  // namespace
}  // namespace qvl
