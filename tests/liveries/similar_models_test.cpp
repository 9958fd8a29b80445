#include "liveries/similar_models.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/settings.h"
#include "liveries/support/liveries_folder.h"

namespace qvl {
namespace {

class SimilarModels : public test::LiveriesFolder {
protected:
    void readGroups(const std::string& similar, const std::string& prefixes = {}) {
        ASSERT_NO_FATAL_FAILURE(
            readDbase(test::liveriesDbaseXml({{"similar_types", similar}, {"prefixes", prefixes}})));
    }
    std::vector<CodeId> ids(std::initializer_list<const char*> codes) {
        std::vector<CodeId> out;
        for (const char* code : codes) out.push_back(modelId(code));
        return out;
    }
    const std::vector<CodeId>& byModel(const char* model) { return tables_.similar.byModel.at(modelId(model)); }
    const std::vector<CodeId>& byAirline(const char* airline, const char* model) {
        return tables_.similar.byAirline.at(airlineId(airline)).at(modelId(model));
    }

    static constexpr const char* kAirbusGroup = R"(<similar types="A318,A319,A320"/>)";
};

TEST_F(SimilarModels, OnlyModelsWithLiveriesAreOffered) {
    readGroups(kAirbusGroup);
    build({livery("DLH", "A320", "Lufthansa")});
    gf_readSimilarTypes(tables_);
    EXPECT_EQ(byModel("A318"), ids({"A320"}));
    EXPECT_EQ(byModel("A319"), ids({"A320"}));
    EXPECT_FALSE(tables_.similar.byModel.contains(modelId("A320")));
    EXPECT_EQ(byAirline("DLH", "A318"), ids({"A320"}));
    EXPECT_FALSE(tables_.similar.byAirline.at(airlineId("DLH")).contains(modelId("A320"))) << "it has that one";
    EXPECT_TRUE(logHas("    2 similar model definitions\n")) << "models counted, not groups";
}

TEST_F(SimilarModels, EachAirlineIsOfferedTheSimilarModelsItHas) {
    readGroups(kAirbusGroup);
    build({livery("XXA", "A320", "X"), livery("YYA", "A318", "Y", 1)});
    gf_readSimilarTypes(tables_);
    EXPECT_EQ(tables_.similar.byModel.size(), 3U);
    EXPECT_EQ(byModel("A318"), ids({"A320"}));
    EXPECT_EQ(byModel("A319"), ids({"A318", "A320"}));
    EXPECT_EQ(byModel("A320"), ids({"A318"}));
    EXPECT_EQ(tables_.similar.byAirline.at(airlineId("XXA")).size(), 2U);
    EXPECT_EQ(byAirline("XXA", "A318"), ids({"A320"}));
    EXPECT_EQ(byAirline("XXA", "A319"), ids({"A320"}));
    EXPECT_EQ(tables_.similar.byAirline.at(airlineId("YYA")).size(), 2U);
    EXPECT_EQ(byAirline("YYA", "A319"), ids({"A318"}));
    EXPECT_EQ(byAirline("YYA", "A320"), ids({"A318"}));
}

TEST_F(SimilarModels, AModelInTwoGroupsTakesTheGroupWhoseTextSortsFirst) {
    readGroups(R"(<similar types="B738,A320"/><similar types="B738,A321"/>)");
    build({livery("DLH", "A320", "a"), livery("DLH", "A321", "b")});
    gf_readSimilarTypes(tables_);
    EXPECT_EQ(byModel("B738"), ids({"A320"})) << "\"B738,A320\" sorts before \"B738,A321\"";
}

TEST_F(SimilarModels, ALaterCallAddsOnlyMissingKeysUntilTheTablesAreCleared) {
    readGroups(kAirbusGroup);
    build({livery("DLH", "A320", "Lufthansa")});
    gf_readSimilarTypes(tables_);
    gf_clearLiveryTables(tables_);
    build({livery("DLH", "A318", "Lufthansa 318")});
    gf_readSimilarTypes(tables_);
    EXPECT_EQ(byModel("A319"), ids({"A318"})) << "no list of the earlier catalogue is left";
    EXPECT_FALSE(tables_.similar.byModel.contains(modelId("A318")));
    EXPECT_EQ(byModel("A320"), ids({"A318"}));
}

TEST_F(SimilarModels, PrefixFellowsKeepTheirOrderWithRandomOffAndAreShuffledWithItOn) {
    readGroups(kAirbusGroup, R"(<similar types="D-,OE-,HB-,F-,G-"/><similar types="N"/>)");
    EXPECT_TRUE(gf_prefixGroup(tables_, "N").empty()) << "a group of one";
    EXPECT_TRUE(gf_prefixGroup(tables_, "LX-").empty()) << "no group";
    RANDOM.set(false);
    const std::vector<std::string> stored{"F-", "G-", "HB-", "OE-"};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(gf_prefixGroup(tables_, "D-"), stored);
    RANDOM.set(true);
    bool reordered = false;
    for (int i = 0; i < 50; ++i) {
        auto fellows = gf_prefixGroup(tables_, "D-");
        reordered = reordered || fellows != stored;
        std::sort(fellows.begin(), fellows.end());
        ASSERT_EQ(fellows, stored) << "the same fellows";
    }
    EXPECT_TRUE(reordered);
    EXPECT_EQ(&gf_prefixGroup(tables_, "D-"), &gf_prefixGroup(tables_, "D-")) << "the stored list itself";
}

}  // namespace
}  // namespace qvl
