#include "core/fixed_code.h"

#include <gmock/gmock.h>
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
    EXPECT_EQ(gf_fixedCodeView(FixedCode4("a32n")), "A32N");
    EXPECT_FALSE(FixedCode4().isSet());
    EXPECT_TRUE(FixedCode4("0000").isSet());
    EXPECT_EQ(gf_fixedCodeView(FixedCode4()), "    ");
    // Wrong lengths, punctuation, NUL, Latin-1 and UTF-8 bytes (never folded into letters).
    for (const std::string_view text :
         {std::string_view(""), std::string_view("EHAMX"), std::string_view("EH M"), std::string_view("EH{M"),
          std::string_view("EH\0M", 4), std::string_view("\xC9HAM"), std::string_view("\xC3\xA9HA")}) {
        EXPECT_THAT([&] { FixedCode4 code(text); },
                    testing::ThrowsMessage<std::invalid_argument>("FixedCode: invalid string (length/charset)"))
            << text;
    }
}

TEST(FixedCode, SortsSearchesAndHashesByText) {
    std::vector<FixedCode4> codes{FixedCode4("EHAM"), FixedCode4("A320"), FixedCode4("EGLL")};
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<FixedCode4>{FixedCode4("A320"), FixedCode4("EGLL"), FixedCode4("EHAM")}));
    EXPECT_TRUE(std::binary_search(codes.begin(), codes.end(), FixedCode4("egll")));
    EXPECT_LT(FixedCode4("AZZZ"), FixedCode4("BAAA"));  // the first character decides, whatever the byte order
    EXPECT_EQ((std::unordered_set<FixedCode4>{FixedCode4("KJFK"), FixedCode4("kjfk"), FixedCode4("KLAX")}.size()), 2u);
}

TEST(FixedCode, ThreeCharacterCodesFollowTheSameRule) {
    EXPECT_EQ(FixedCode3("ams").view(), "AMS");
    EXPECT_EQ(FixedCode3().view(), "");  // unlike the four-character blanks
    EXPECT_LT(FixedCode3("AZZ"), FixedCode3("BAA"));
    EXPECT_THROW(FixedCode3("EHAM"), std::invalid_argument);
    EXPECT_THROW(FixedCode3("A-S"), std::invalid_argument);
}

TEST(UserErrorException, TextCarriesTheCodeExceptForCode99) {
    EXPECT_STREQ(UserErrorException(41, "Quorvelant must be run from the x folder!").what(),
                 "41: Quorvelant must be run from the x folder!");
    EXPECT_STREQ(UserErrorException(99, "Just the message").what(), "Just the message");
}

// Handlers decide by the code, also for code 99 whose text does not show it.
TEST(UserErrorException, CodeSurvivesTheThrowWhateverTheText) {
    for (const int code : {99, 2024, -7}) {
        try {
            throw UserErrorException(code, "2024: looks like another code");
        } catch (const std::runtime_error& e) {
            const auto* userError = dynamic_cast<const UserErrorException*>(&e);
            ASSERT_NE(userError, nullptr);
            EXPECT_EQ(userError->code(), code);
        }
    }
}

}  // namespace
}  // namespace qvl
