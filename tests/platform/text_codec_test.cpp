#include "platform/sys/text_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace qvl::sys {
namespace {

TEST(TextCodec, RoundTripsEveryLengthAndItsBoundaries) {
    const std::u16string samples[] = {
        u"",
        u"plain ASCII \t\r\n",
        u"caf\u00e9 \u20ac",
        u"\u007f\u0080\u07ff\u0800\uffff",
        u"\U00010000\U0001F600\U0010FFFF",
        std::u16string(1, u'\0') + u"nul inside",
    };
    for (const std::u16string& wide : samples) {
        const auto utf8 = utf16ToUtf8(wide);
        ASSERT_TRUE(utf8.has_value());
        const auto back = utf8ToUtf16(*utf8);
        ASSERT_TRUE(back.has_value()) << *utf8;
        EXPECT_EQ(*back, wide);
    }
}

TEST(TextCodec, EncodesKnownBytes) {
    EXPECT_EQ(utf16ToUtf8(u"\u00e9\u20ac\U0001F600"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}

TEST(TextCodec, RejectsEveryClassOfMalformedUtf8) {
    const char* const bad[] = {
        "\xC0\x80",          // overlong NUL
        "\xC1\xBF",          // overlong 2-byte
        "\xE0\x80\x80",      // overlong 3-byte
        "\xE0\x9F\xBF",      // overlong 3-byte, highest
        "\xF0\x8F\xBF\xBF",  // overlong 4-byte
        "\xED\xA0\x80",      // high surrogate encoded
        "\xED\xBF\xBF",      // low surrogate encoded
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xF5\x80\x80\x80",  // lead byte beyond the range
        "\xFE",
        "\xFF",
        "\x80",       // stray continuation
        "a\xBF\x62",  // stray continuation between letters ('b' as \x62 ends the escape)
        "\xC3\x41",   // missing continuation
        "\xE2\x82",   // cut by the end
        "\xF0\x9F\x98",
        "ok\xE9",  // Windows-1252 text is not UTF-8
    };
    for (const char* text : bad) {
        EXPECT_FALSE(utf8ToUtf16(text).has_value()) << testing::PrintToString(std::string(text));
    }
}

TEST(TextCodec, RejectsSurrogatesOutsideAPair) {
    const std::u16string bad[] = {
        std::u16string(1, char16_t(0xD800)),
        std::u16string(1, char16_t(0xDC00)),
        std::u16string{char16_t(0xD83D), u'a'},
        std::u16string{char16_t(0xDE00), char16_t(0xD83D)},  // pair in the wrong order
        std::u16string{u'x', char16_t(0xD83D), char16_t(0xDE00), char16_t(0xDBFF)},
    };
    for (const std::u16string& wide : bad) {
        EXPECT_FALSE(utf16ToUtf8(wide).has_value());
    }
}

TEST(TextCodec, AnsiMapsTheWindows1252Specials) {
    EXPECT_EQ(ansiByteToUtf16(0x80, AnsiMode::strict), u'\u20ac');
    EXPECT_EQ(ansiByteToUtf16(0x99, AnsiMode::strict), u'\u2122');
    EXPECT_EQ(ansiByteToUtf16(0x9F, AnsiMode::strict), u'\u0178');
    EXPECT_EQ(ansiByteToUtf16(0xE9, AnsiMode::strict), u'\u00e9');
    EXPECT_EQ(ansiToUtf8("caf\xE9 \x80 \x93q\x94", AnsiMode::strict),
              "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D");
    EXPECT_EQ(ansiToUtf16("", AnsiMode::strict), u"");
}

TEST(TextCodec, AnsiUndefinedBytesFailStrictAndKeepTheirNumberLenient) {
    const unsigned char undefined[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
    for (const unsigned char byte : undefined) {
        EXPECT_FALSE(ansiByteToUtf16(byte, AnsiMode::strict).has_value()) << int(byte);
        EXPECT_EQ(ansiByteToUtf16(byte, AnsiMode::lenient), static_cast<char16_t>(byte));
    }
    EXPECT_FALSE(ansiToUtf8("ok\x81", AnsiMode::strict).has_value());
    EXPECT_EQ(ansiToUtf8("ok\x81", AnsiMode::lenient), "ok\xC2\x81");
}

TEST(TextCodec, EveryAnsiByteConvertsLenientlyToValidText) {
    std::string all;
    for (unsigned byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
    const auto utf8 = ansiToUtf8(all, AnsiMode::lenient);
    ASSERT_TRUE(utf8.has_value());
    const auto wide = utf8ToUtf16(*utf8);
    ASSERT_TRUE(wide.has_value());
    ASSERT_EQ(wide->size(), 256U);
    for (unsigned byte = 0; byte < 256; ++byte) {
        if (byte < 0x80 || byte > 0x9F) {
            EXPECT_EQ((*wide)[byte], static_cast<char16_t>(byte));  // Latin-1
        }
    }
    // No two bytes give the same character, so the lenient mode loses nothing.
    std::u16string sorted = *wide;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
}

}  // namespace
}  // namespace qvl::sys
