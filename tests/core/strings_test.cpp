#include "core/strings.h"

#include <gtest/gtest.h>

#include "core/settings.h"

namespace qvl {
namespace {

TEST(Strings, Contains) {
    EXPECT_TRUE(gf_contains("abc", ""));
    EXPECT_FALSE(gf_contains("ab", "abc"));
    EXPECT_TRUE(gf_contains("xaby", "ab"));
    EXPECT_FALSE(gf_contains("xaby", "AB"));
}

TEST(Strings, TrimAndSplit) {
    EXPECT_EQ(lf_trimmedPiece(" ab\t"), "ab");
    EXPECT_EQ(lf_trimmedPiece(""), "");
    EXPECT_EQ(lf_trimCopy(" \r\n\t "), "");
    EXPECT_EQ(lf_splitTrimmed(" a, ,b ,,"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(lf_splitTrimmed("").empty());
    EXPECT_EQ(lf_splitTrimmed("x | y|z", '|'), (std::vector<std::string>{"x", "y", "z"}));
    EXPECT_TRUE(gf_splitCommaView("").empty());
    EXPECT_EQ(gf_splitCommaTrimmed("b, a, b"), (std::vector<std::string>{"b", "a", "b"}));
    EXPECT_EQ(gf_splitComma("b, a, b"), (std::list<std::string>{"a", "b"}));
}

TEST(Strings, TrimJoinsCommaPieces) {
    std::string s = " KLAX , EHAM ";
    gf_trim(s);
    EXPECT_EQ(s, "KLAX,EHAM");
    s = "EGLL";
    gf_trim(s);
    EXPECT_EQ(s, "EGLL");
    s = "a b";
    gf_trim(s);
    EXPECT_EQ(s, "a b");
    s = " \t ";
    gf_trim(s);
    EXPECT_EQ(s, "");
    s = "x,,y";  // no white space: left exactly as it is
    gf_trim(s);
    EXPECT_EQ(s, "x,,y");

    std::string plain = "  a , b\r\n";
    gf_trimBlanks(plain);
    EXPECT_EQ(plain, "a , b");
}

TEST(Strings, UpperCaseIsAsciiOnly) {
    std::string s = "aZ\xe9\xff.xml";
    gf_toUpperInPlace(s);
    EXPECT_EQ(s, "AZ\xe9\xff.XML");
    EXPECT_TRUE(gf_upperEquals(".xMl", ".XML"));
    EXPECT_FALSE(gf_upperEquals(".xml ", ".XML"));
}

TEST(Strings, PluralPercentNumbers) {
    EXPECT_EQ(gf_pluralSuffix(1), "");
    EXPECT_EQ(gf_pluralSuffix(-3), "");
    EXPECT_EQ(gf_pluralSuffix(0), "s");
    EXPECT_EQ(gf_pluralSuffixInt(2), "s");
    EXPECT_EQ(gf_pluralSuffixSize(0), "s");
    EXPECT_EQ(gf_pluralSuffixSize(1), "");

    EXPECT_EQ(gf_percent(1, 3), 33);
    EXPECT_EQ(gf_percent(2, 3), 67);
    EXPECT_EQ(gf_percent(5, 0), 0);
    EXPECT_EQ(gf_percent(INT64_MAX, 1), INT32_MAX);  // clamped, not undefined

    EXPECT_EQ(gf_numberText(2.0f), "2");
    EXPECT_EQ(gf_numberText(2.5f), "2.5");
    EXPECT_EQ(gf_numberText(0.5f), "0.5");
}

TEST(Strings, ObjectIdTextFollowsTheChosenSimulator) {
    SIM_CHOICE.set("MSFS 2020");
    EXPECT_EQ(gf_objectIdText(4660), "4660");
    SIM_CHOICE.set("MSFS 2024");
    EXPECT_EQ(gf_objectIdText(4660), "1234");
    EXPECT_EQ(gf_objectIdText(0xABCDEFu), "abcdef");
    SIM_CHOICE.set(SIM_CHOICE.defaultValue());
}

TEST(Strings, SocketErrorTexts) {
    EXPECT_EQ(gf_socketErrorText(10060), "10060 Connection timed out");
    EXPECT_EQ(gf_socketErrorText(10040), "10040 Messenger too long");
    EXPECT_EQ(gf_socketErrorText(11004), "11004 No host data of that type was found");
    EXPECT_EQ(gf_socketErrorText(42), "42 Unknown errror code");
}

}  // namespace
}  // namespace qvl
