#include "core/fixed_code.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/user_error.h"

namespace qvl {
namespace {

TEST(FixedCode, FoldsLowerCaseAndRejectsEverythingElse) {
    EXPECT_EQ(FixedCode("eHam"), FixedCode("EHAM"));
    EXPECT_EQ(gf_fixedCodeView(FixedCode("a32n")), "A32N");
    // Wrong lengths, punctuation, NUL, Latin-1 and UTF-8 bytes (never folded into letters).
    const std::initializer_list<std::string_view> bad{
        "", "EHA", "EHAMX", "EH-M", "EH M", "EH{M", std::string_view("EH\0M", 4), "\xC9HAM", "\xFFHAM", "\xC3\xA9HA"};
    for (const std::string_view text : bad) {
        try {
            FixedCode code(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "FixedCode: invalid string (length/charset)");
        }
    }
}

TEST(FixedCode, UnsetCodeIsAllZeroAndShowsBlanks) {
    EXPECT_FALSE(FixedCode().isSet());
    EXPECT_EQ(gf_fixedCodeView(FixedCode()), "    ");
    EXPECT_TRUE(FixedCode("0000").isSet());
}

TEST(FixedCode, SortsSearchesAndHashesByText) {
    std::vector<FixedCode> codes{FixedCode("EHAM"), FixedCode("A320"), FixedCode("B738"), FixedCode("EGLL")};
    std::sort(codes.begin(), codes.end());
    std::vector<std::string> texts;
    for (const FixedCode& c : codes) texts.emplace_back(gf_fixedCodeView(c));
    EXPECT_EQ(texts, (std::vector<std::string>{"A320", "B738", "EGLL", "EHAM"}));
    EXPECT_TRUE(std::binary_search(codes.begin(), codes.end(), FixedCode("egll")));
    EXPECT_FALSE(std::binary_search(codes.begin(), codes.end(), FixedCode("EGLC")));
    // The first character decides, whatever the byte order of the word.
    EXPECT_LT(FixedCode("AZZZ"), FixedCode("BAAA"));

    const std::unordered_set<FixedCode> seen{FixedCode("KJFK"), FixedCode("kjfk"), FixedCode("KLAX")};
    EXPECT_EQ(seen.size(), 2u);
}

TEST(UserErrorException, TextCarriesTheCodeExceptForCode99) {
    EXPECT_STREQ(UserErrorException(41, "Quorvelant must be run from the x folder!").what(),
                 "41: Quorvelant must be run from the x folder!");
    EXPECT_STREQ(UserErrorException(99, "Just the message").what(), "Just the message");
    const std::string mismatch = UserErrorException(2024, "").what();
    EXPECT_EQ(mismatch, "2024: ");
    EXPECT_EQ(mismatch.size(), 6u);
}

}  // namespace
}  // namespace qvl
