#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/strings.h"
#include "refdata/dbase.h"

namespace qvl {
namespace {

using Fellows = std::unordered_map<std::string, std::vector<std::string>>;

// The prefix map as the database has always defined it: every member's text
// "member,other,other..." goes into one sorted set, and the first text of a
// member in that order gives its fellows.
Fellows composedTextMap(const TextGroups& groups) {
    std::set<std::string> composed;
    for (const auto& group : groups) {
        for (std::size_t i = 0; i < group.size(); ++i) {
            std::string text = group[i];
            for (std::size_t j = 0; j < group.size(); ++j) {
                if (j != i) text += "," + group[j];
            }
            if (text.find(',') != std::string::npos) composed.insert(text);
        }
    }
    Fellows map;
    for (const auto& text : composed) {
        std::vector<std::string> pieces;
        std::size_t start = 0;
        for (std::size_t end = text.find(',');; end = text.find(',', start)) {
            pieces.push_back(lf_trimCopy(std::string_view(text).substr(start, end - start)));
            if (end == std::string::npos) break;
            start = end + 1;
        }
        const std::string key = pieces.front();
        pieces.erase(pieces.begin());
        map.try_emplace(key, pieces);
    }
    return map;
}

Fellows fellowsOf(const TextGroups& groups) {
    DbaseTables tables;
    tables.prefixGroups = groups;
    tables.prefixMap = lf_buildPrefixMap(groups);
    Fellows map;
    for (const auto& [prefix, place] : tables.prefixMap) map.emplace(prefix, tables.prefixPeers(prefix));
    return map;
}

TEST(PrefixMap, GivesTheFellowsOfTheComposedTextsOnEdgeCases) {
    const TextGroups cases[] = {
        {},
        {{}, {"G-"}, {""}},
        {{"D-", "OE-"}},
        {{"D-", "D-", "OE-"}},   // a member twice in its group
        {{"", "D-"}, {"", ""}},  // empty members are members too
        {{"D-", "OE-"}, {"D-", "HB-"}, {"D-", "HB-", "OE-"}},
        // '!' sorts before the comma: "K,a!" comes before "K,a,x" although "a" comes before "a!".
        {{"K", "a", "x"}, {"K", "a!"}},
        {{"K", "a"}, {"K", "a", "b"}, {"K", "a"}},
        {{"A", "B", "A"}, {"B", "A", "C"}},  // not sorted: both places of A differ
    };
    for (const auto& groups : cases) {
        const Fellows expected = composedTextMap(groups);
        EXPECT_EQ(fellowsOf(groups), expected) << groups.size() << " groups";
    }
}

TEST(PrefixMap, GivesTheFellowsOfTheComposedTextsOnRandomGroups) {
    // Members that share beginnings and sort around the comma.
    const std::vector<std::string> members{"", "D-", "D-A", "D-!", "OE-", "OE", "a b", "+"};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, members.size() - 1);
    std::uniform_int_distribution<int> count(0, 5);
    for (int round = 0; round < 2000; ++round) {
        TextGroups groups(static_cast<std::size_t>(count(random)));
        for (auto& group : groups) {
            for (int n = count(random); n > 0; --n) group.push_back(members[pick(random)]);
            if (round % 2 == 0) std::sort(group.begin(), group.end());  // as the reader gives them
        }
        ASSERT_EQ(fellowsOf(groups), composedTextMap(groups)) << "round " << round;
    }
}

}  // namespace
}  // namespace qvl
