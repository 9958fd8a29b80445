#include "core/strings.h"

#include <gtest/gtest.h>

#include "core/settings.h"

namespace qvl {
namespace {

using Pieces = std::vector<std::string>;

TEST(Strings, ContainsTrimAndSplit) {
    EXPECT_FALSE(gf_contains("xaby", "AB"));
    EXPECT_EQ(lf_trimCopy(" ab\t"), "ab");
    EXPECT_EQ(lf_trimCopy(" \r\n\t "), "");
    EXPECT_EQ(lf_splitTrimmed(" a, ,b ,,"), (Pieces{"a", "b"}));
    EXPECT_EQ(lf_splitTrimmed("x | y|z", '|'), (Pieces{"x", "y", "z"}));
    EXPECT_EQ(lf_splitTrimmed(" a, ,b ,,", ',', EmptyPieces::keep), (Pieces{"a", "", "b", "", ""}));
    EXPECT_TRUE(lf_splitTrimmed("", ',', EmptyPieces::keep).empty());
    EXPECT_TRUE(gf_splitCommaView("").empty());
    EXPECT_EQ(gf_splitCommaTrimmed("b, a, b"), (Pieces{"b", "a", "b"}));
    EXPECT_EQ(gf_splitComma("b, a, b"), (std::list<std::string>{"a", "b"}));
    EXPECT_EQ(trimView("  a , b\r\n"), "a , b");
}

TEST(Strings, TrimJoinsCommaPiecesOnlyWhenThereIsWhiteSpace) {
    const std::pair<std::string, std::string> cases[] = {
        {" KLAX , EHAM ", "KLAX,EHAM"}, {"EGLL", "EGLL"}, {"a b", "a b"}, {" \t ", ""}, {"x,,y", "x,,y"}};
    for (auto [text, expected] : cases) {
        gf_trim(text);
        EXPECT_EQ(text, expected);
    }
}

TEST(Strings, UpperCaseIsAsciiOnly) {
    std::string s = "aZ\xe9\xff.xml";
    toUpperInPlace(s);
    EXPECT_EQ(s, "AZ\xe9\xff.XML");
    EXPECT_TRUE(gf_upperEquals(".xMl", ".XML"));
    EXPECT_FALSE(gf_upperEquals(".xml ", ".XML"));
}

TEST(Strings, PluralPercentNumbersAndUnknownSocketErrors) {
    EXPECT_EQ(gf_pluralSuffix(-3), "");
    EXPECT_EQ(gf_pluralSuffix(0), "s");
    EXPECT_EQ(gf_percent(2, 3), 67);
    EXPECT_EQ(gf_percent(5, 0), 0);
    EXPECT_EQ(gf_percent(INT64_MAX, 1), INT32_MAX);  // clamped, not undefined
    EXPECT_EQ(gf_numberText(2.0f), "2");
    EXPECT_EQ(gf_numberText(0.5f), "0.5");
    EXPECT_EQ(gf_socketErrorText(42), "42 Unknown errror code");
}

TEST(Strings, ObjectIdTextFollowsTheChosenSimulator) {
    SIM_CHOICE.set("MSFS 2020");
    EXPECT_EQ(gf_objectIdText(4660), "4660");
    SIM_CHOICE.set("MSFS 2024");
    EXPECT_EQ(gf_objectIdText(0xABCDEFu), "abcdef");
    SIM_CHOICE.reset();
}

}  // namespace
}  // namespace qvl
