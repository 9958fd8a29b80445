#include "liveries/key_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace qvl {
namespace {

using namespace std::string_literals;

constexpr auto kRegexFlags = std::regex::ECMAScript | std::regex::icase;

// The lines, and every line one edit away from them: each character
// replaced by, and each gap given, each character of the alphabet, and each
// character dropped. Short enough for std::regex.
std::vector<std::string> withNeighbours(const std::vector<std::string>& lines, std::string_view alphabet) {
    std::vector<std::string> out = lines;
    for (const std::string& line : lines) {
        for (std::size_t i = 0; i <= line.size(); ++i) {
            if (i < line.size()) out.push_back(line.substr(0, i) + line.substr(i + 1));
            for (const char c : alphabet) {
                out.push_back(line.substr(0, i) + c + line.substr(i));
                if (i < line.size()) out.push_back(line.substr(0, i) + c + line.substr(i + 1));
            }
        }
    }
    return out;
}

// Group `group` of a whole-line match of the pattern, or none.
std::optional<std::string> regexGroup(const std::regex& pattern, const std::string& line, std::size_t group) {
    std::smatch match;
    if (!std::regex_match(line, match, pattern)) return std::nullopt;
    return match[group].str();
}

std::optional<std::string> asText(std::optional<std::string_view> value) {
    return value ? std::optional<std::string>(std::string(*value)) : std::nullopt;
}

const std::vector<std::string> kKeyLines{
    "title=Airbus A320 Lufthansa",
    "  TITLE =  Airbus A320  ",
    "\tTiTlE\t=\t\"quoted \"value\"\t",
    "title=",
    "title= \t",
    "title=\"\"",
    "title=a",
    "title==x",
    "title = x = y",
    "title=a\rb",
    "title=ab\r\n",
    "\r\ntitle=x",
    "title\n=\nx",
    "title=\vx\f",
    "titles=x",
    "atitle=x",
    "title x=y",
    "// title=x",
    ";title=x",
    "title=caf\xc3\xa9 \xa0",
    "title=\xa0",
    "title=x\0y"s,
    "title",
    "",
};

TEST(KeyLineMatcher, GivesWhatTheRegularExpressionGivesForEveryKeyOfASection) {
    const auto lines = withNeighbours(kKeyLines, " \t\r\n\v\"=Tx");
    for (const std::string key : {"title", "atc_id", "icao_airline", "atc_parking_types", "texture",
                                  "icao_type_designator", "base_container"}) {
        const std::regex pattern("\\s*(" + key + ")\\s*=\\s*(.*\\S)\\s*", kRegexFlags);
        for (std::string line : lines) {
            if (line.starts_with("title")) line.replace(0, 5, key);
            EXPECT_EQ(asText(keyLineValue(line, key)), regexGroup(pattern, line, 2))
                << key << " " << testing::PrintToString(line);
        }
    }
}

TEST(KeyLineMatcher, AgreesWithTheRegularExpressionOnEveryShortLineOfAFewCharacters) {
    const std::regex pattern("\\s*(ab)\\s*=\\s*(.*\\S)\\s*", kRegexFlags);
    const std::string_view alphabet = "aB= \t\r\nx\"";
    std::vector<std::string> lines{""};
    for (int length = 1; length <= 5; ++length) {
        std::vector<std::string> longer;
        for (const std::string& line : lines) {
            if (static_cast<int>(line.size()) != length - 1) continue;
            for (const char c : alphabet) longer.push_back(line + c);
        }
        lines.insert(lines.end(), longer.begin(), longer.end());
    }
    for (const std::string& line : lines) {
        ASSERT_EQ(asText(keyLineValue(line, "ab")), regexGroup(pattern, line, 2)) << testing::PrintToString(line);
    }
}

TEST(FltsimHeaderMatcher, GivesWhatTheRegularExpressionGives) {
    const std::regex pattern("\\s*(\\[fltsim\\.)(\\d+)\\]\\s*", kRegexFlags);
    const auto lines = withNeighbours(
        {"[fltsim.0]", "  [FLTSIM.12] \r", "[fltsim.5] // old", "[fltsim.]", "[fltsim.1", ";[fltsim.2]", "[fltsim.x]"},
        " \t\r1a].[");
    for (const std::string& line : lines) {
        EXPECT_EQ(asText(fltsimHeaderDigits(line)), regexGroup(pattern, line, 2)) << testing::PrintToString(line);
    }
}

TEST(IvaoTitleMatcher, GivesWhatTheRegularExpressionGivesWithAndWithoutTheW) {
    const auto lines = withNeighbours(
        {"B738WDLH Lufthansa", "b738w  klm", "B738DLH", "B738 W DLH", "B738WDL", "B738W_a1 x\ry", "A320 EZY"},
        " \t\r\nWD_-");
    for (const bool w : {false, true}) {
        const std::regex pattern(std::string("B738") + (w ? "W" : "") + "\\s*(\\w\\w\\w).*$", kRegexFlags);
        for (const std::string& title : lines) {
            EXPECT_EQ(asText(ivaoTitleAirline(title, "B738", w)), regexGroup(pattern, title, 1))
                << "W " << w << ", title '" << testing::PrintToString(title) << "'";
        }
    }
}

TEST(IvaoPathMatcher, GivesWhatTheRegularExpressionGivesForBothPackages) {
    for (const std::string package : {"IVAO_MTL", "ivao_x-csl"}) {
        const std::regex pattern(".+\\\\" + package + "\\\\SimObjects\\\\Airplanes\\\\IVAO_(\\w+)\\\\aircraft.cfg$",
                                 kRegexFlags);
        const auto paths = withNeighbours({"C:\\C\\" + package + "\\SimObjects\\Airplanes\\IVAO_B738WLfa\\aircraft.cfg",
                                           "\\" + package + "\\simobjects\\AIRPLANES\\ivao_A319fIAEw\\Aircraft.CFG",
                                           "x\\" + package + "\\SimObjects\\Airplanes\\IVAO_\\aircraft.cfg"},
                                          "\\_ \r.");
        for (const std::string& path : paths) {
            EXPECT_EQ(asText(ivaoModelFolder(path, package)), regexGroup(pattern, path, 1))
                << "package " << package << ", path '" << testing::PrintToString(path) << "'";
        }
    }
}

TEST(KeyValue, TakesTheTextBetweenTheFirstTwoDoubleQuotes) {
    EXPECT_EQ(applyQuoteRule("plain"), "plain");
    EXPECT_EQ(applyQuoteRule("\"Airbus A320\" // old"), "Airbus A320");
    EXPECT_EQ(applyQuoteRule("x\"a\"b\"c\""), "a");
    EXPECT_EQ(applyQuoteRule("\"unclosed"), "");
    EXPECT_EQ(applyQuoteRule("\"\""), "");
    EXPECT_EQ(lf_matchKeyValue("title = \"x\" ", "title"), "\"x\"") << "before the quote rule";
    EXPECT_EQ(lf_matchKeyValue("title =", "title"), "");
}

TEST(KeyReaders, ReadNonEmptyValuesAndLeaveTheOutputAloneOtherwise) {
    std::string value = "before";
    EXPECT_FALSE(lf_matchTitle("title=\"\"", value));
    EXPECT_FALSE(lf_matchTitle("texture=x", value));
    EXPECT_EQ(value, "before");
    EXPECT_TRUE(lf_matchTitle("TITLE = \" Airbus \"", value));
    EXPECT_EQ(value, " Airbus ") << "the quote rule keeps blanks inside the quotes";
    EXPECT_TRUE(lf_matchTexture("texture=DLH", value));
    EXPECT_EQ(value, "DLH");
    EXPECT_TRUE(lf_matchAtcParkingTypes("atc_parking_types=GATE,RAMP", value));
    EXPECT_EQ(value, "GATE,RAMP");
}

TEST(HostileKeyLines, AHundredThousandCharacterLineIsReadWhole) {
    const std::string value(100000, 'x');
    std::string read;
    ASSERT_TRUE(lf_matchTitle("title=" + value, read));
    EXPECT_EQ(read, value);
    EXPECT_FALSE(lf_matchTitle("title=" + std::string(50000, 'x') + "\r" + std::string(50000, 'x'), read));
    EXPECT_FALSE(lf_matchTitle(std::string(100000, ' '), read));
    EXPECT_FALSE(fltsimHeaderDigits("[fltsim." + std::string(100000, '7')).has_value());
    EXPECT_EQ(fltsimHeaderDigits("[fltsim." + std::string(100000, '7') + "]")->size(), 100000U);
    EXPECT_EQ(ivaoTitleAirline("B738" + std::string(100000, ' ') + "DLH", "B738", false), "DLH");
}

TEST(HostileKeyLines, ATenMegabyteLineIsReadWithEveryReader) {
    const std::string huge(10U << 20U, '"');
    std::string read;
    EXPECT_FALSE(lf_matchTitle("title=" + huge, read)) << "nothing between the first two quotes";
    EXPECT_TRUE(lf_matchIcaoAirline("icao_airline=" + huge, read));
    EXPECT_EQ(read, "ZZZ");
    const std::string spaces(10U << 20U, ' ');
    EXPECT_FALSE(lf_matchAtcId("atc_id=" + spaces, read));
    EXPECT_FALSE(keyLineValue(spaces + "title", "title").has_value());
    EXPECT_FALSE(ivaoModelFolder(spaces + "\\aircraft.cfg", "IVAO_MTL").has_value());
}

}  // namespace
}  // namespace qvl
