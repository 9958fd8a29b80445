#include "core/text_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;
using testing::ElementsAre;
using testing::HasSubstr;
using Lines = std::vector<std::string>;

std::string bytes(std::initializer_list<unsigned> values) {
    std::string out;
    for (const unsigned v : values) out.push_back(static_cast<char>(v));
    return out;
}

// UTF-16 bytes of `text` in the given order, optionally with a mark.
std::string utf16Bytes(std::u16string_view text, bool bigEndian, bool withMark) {
    std::string out;
    auto put = [&](char16_t unit) {
        const char hi = static_cast<char>(unit >> 8);
        const char lo = static_cast<char>(unit & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    };
    if (withMark) put(0xFEFF);
    for (const char16_t unit : text) put(unit);
    return out;
}

template <class Call>
std::string thrownText(Call call) {
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no exception";
}

// A temporary folder with Log.txt open in it, for checking logged lines.
class TextFileTest : public testing::Test {
protected:
    std::filesystem::path file(const std::string& name, const std::string& content) {
        writeFile(dir / name, content);
        return dir / name;
    }
    Charset detect(const std::string& content) { return gf_detectCharset(file("probe.txt", content)); }
    TempDir dir;
    test::LogCapture log{dir.path()};
};

TEST(TextFileNames, CharsetNamesAndNumbersAreFixed) {
    EXPECT_EQ(gf_charsetName(Charset::ANSI), "ANSI");
    EXPECT_EQ(gf_charsetName(Charset::Unicode), "Unicode");
    EXPECT_EQ(gf_charsetName(Charset::Unicode_big_endian), "Unicode_big_endian");
    EXPECT_EQ(gf_charsetName(Charset::UTF8_with_BOM), "UTF8_with_BOM");
    EXPECT_EQ(gf_charsetName(Charset::UTF8_without_BOM), "UTF8_without_BOM");
    EXPECT_EQ(gf_charsetName(Charset::none_found), "none_found");
    EXPECT_EQ(static_cast<int>(Charset::none_found), 5);
    EXPECT_THROW(gf_charsetName(static_cast<Charset>(6)), std::out_of_range);
}

TEST(TextFileNames, WideConversionThrowsTheProgramsTexts) {
    EXPECT_EQ(utf8_to_wide(""), u"");
    EXPECT_EQ(wide_to_utf8(u""), "");
    for (const char* bad : {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"}) {
        EXPECT_EQ(thrownText([&] { utf8_to_wide(bad); }), "utf8_to_wide: invalid UTF-8");
    }
    EXPECT_EQ(thrownText([] { wide_to_utf8(std::u16string(1, char16_t(0xDC00))); }),
              "wide_to_utf8: invalid UTF-16");
}

TEST_F(TextFileTest, DetectsMarksAndZeroBytes) {
    EXPECT_EQ(gf_detectCharset(dir / "missing.txt"), Charset::none_found);
    EXPECT_EQ(gf_detectCharset(dir.path()), Charset::none_found);
    EXPECT_EQ(detect(""), Charset::UTF8_without_BOM);
    EXPECT_EQ(detect("\xEF\xBB\xBF" "abc"), Charset::UTF8_with_BOM);
    EXPECT_EQ(detect(bytes({0xFF, 0xFE})), Charset::Unicode);
    EXPECT_EQ(detect(bytes({0x41, 0x00, 0x42, 0x00})), Charset::Unicode);
    EXPECT_EQ(detect(bytes({0x41, 0x00, 0x42})), Charset::Unicode);
    EXPECT_EQ(detect(bytes({0xFE, 0xFF})), Charset::Unicode_big_endian);
    EXPECT_EQ(detect(bytes({0x00, 0x41, 0x00, 0x42})), Charset::Unicode_big_endian);
    // A zero second byte with a non-zero fourth is not UTF-16.
    EXPECT_EQ(detect(bytes({0x41, 0x00, 0x42, 0x43})), Charset::UTF8_without_BOM);
}

TEST_F(TextFileTest, DetectsUtf8AndAnsiByTheirSequences) {
    EXPECT_EQ(detect("A"), Charset::UTF8_without_BOM);
    EXPECT_EQ(detect("\xC3\xA9"), Charset::UTF8_without_BOM);
    EXPECT_EQ(detect("\xE9"), Charset::ANSI);
    EXPECT_EQ(detect("caf\xE9 au lait"), Charset::ANSI);
    EXPECT_EQ(detect("\xC0\x80"), Charset::ANSI);
    EXPECT_EQ(detect("\xE0\x80\x80"), Charset::ANSI);
    EXPECT_EQ(detect("\xF0\x8F\xBF\xBF"), Charset::ANSI);
    EXPECT_EQ(detect("\xF4\x90\x80\x80"), Charset::ANSI);
    EXPECT_EQ(detect("ab\xED\xA0\x80"), Charset::UTF8_without_BOM);
    EXPECT_EQ(detect("ab\xF0\x9F\x98\x80"), Charset::UTF8_without_BOM);
    EXPECT_EQ(detect("ab\xE2\x82"), Charset::ANSI);  // cut by the end of the file
}

TEST_F(TextFileTest, OnlyTheEndOfTheFileCutsASequenceNotTheWindow) {
    const std::string head(4095, 'x');
    // The character straddles byte 4096 and the file goes on: valid UTF-8.
    EXPECT_EQ(detect(head + "\xC3\xA9" + "tail"), Charset::UTF8_without_BOM);
    EXPECT_EQ(detect(head + "\xC3\xA9"), Charset::UTF8_without_BOM);
    EXPECT_EQ(detect(head + "\xF0\x9F\x98\x80" + "tail"), Charset::UTF8_without_BOM);
    // The file ends inside the character.
    EXPECT_EQ(detect(head + "\xC3"), Charset::ANSI);
    EXPECT_EQ(detect(head + "\xF0\x9F\x98"), Charset::ANSI);
    // A faulty straddling sequence is still a fault.
    EXPECT_EQ(detect(head + "\xC3" + "A"), Charset::ANSI);
    // Past the window nothing is tested.
    EXPECT_EQ(detect(std::string(4096, 'x') + "\xE9"), Charset::UTF8_without_BOM);
}

TEST_F(TextFileTest, ReadsUtf8WithAndWithoutMark) {
    Lines lines{"stale"};
    ASSERT_TRUE(gf_readTextFileWithCharset(Charset::UTF8_with_BOM,
                                           file("a.txt", "\xEF\xBB\xBF" "caf\xC3\xA9\r\nb\n"), lines));
    EXPECT_THAT(lines, ElementsAre("caf\xC3\xA9", "b"));
    ASSERT_TRUE(gf_readTextFileWithCharset(Charset::UTF8_without_BOM,
                                           file("c.txt", "a\r\n\r\nb\n"), lines));
    EXPECT_THAT(lines, ElementsAre("a", "", "b"));
    ASSERT_TRUE(gf_readTextFileWithCharset(Charset::UTF8_without_BOM, file("d.txt", ""), lines));
    EXPECT_TRUE(lines.empty());
}

TEST_F(TextFileTest, ReadsAnsiLinesAsWindows1252) {
    Lines lines;
    const auto path = file("ansi.txt", "caf\xE9\r\n\x80 5\n\n\x81" "end");
    ASSERT_EQ(gf_detectCharset(path), Charset::ANSI);
    ASSERT_TRUE(gf_readTextFileWithCharset(Charset::ANSI, path, lines));
    EXPECT_THAT(lines, ElementsAre("caf\xC3\xA9", "\xE2\x82\xAC 5", "", "\xC2\x81" "end"));
    EXPECT_EQ(lf_ansiLineToUtf8(""), "");
    EXPECT_EQ(lf_ansiLineToUtf8("\x9D"), "\xC2\x9D");
}

TEST_F(TextFileTest, ReadsUtf16InEitherOrderWithOrWithoutMark) {
    const std::u16string text = u"caf\u00e9\r\n\U0001F600\r\n";
    struct Case {
        bool bigEndian;
        bool withMark;
        Charset expected;
    };
    for (const Case c : {Case{false, true, Charset::Unicode}, Case{true, true, Charset::Unicode_big_endian},
                         Case{false, false, Charset::Unicode}, Case{true, false, Charset::Unicode_big_endian}}) {
        SCOPED_TRACE(testing::Message() << "big endian " << c.bigEndian << ", mark " << c.withMark);
        const auto path = file("u16.txt", utf16Bytes(text, c.bigEndian, c.withMark));
        ASSERT_EQ(gf_detectCharset(path), c.expected);
        Lines lines{"stale"};
        ASSERT_TRUE(gf_readTextFileWithCharset(c.expected, path, lines));
        EXPECT_THAT(lines, ElementsAre("caf\xC3\xA9", "\xF0\x9F\x98\x80"));
    }
}

TEST_F(TextFileTest, Utf16OddByteIsDroppedWithALogLine) {
    const auto path = file("odd.txt", utf16Bytes(u"ab\nc", false, true) + "\x7F");
    Lines lines;
    ASSERT_TRUE(gf_readTextFileWithCharset(Charset::Unicode, path, lines));
    EXPECT_THAT(lines, ElementsAre("ab", "c"));
    EXPECT_THAT(log.text(), HasSubstr("UTF-16 text of odd size (11 bytes): the last byte is dropped"));
}

TEST_F(TextFileTest, Utf16MarkOnlyIsEmptyButAMarkAndOneByteFails) {
    Lines lines{"stale"};
    EXPECT_TRUE(gf_readTextFileWithCharset(Charset::Unicode, file("m.txt", bytes({0xFF, 0xFE})), lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(gf_readTextFileWithCharset(Charset::Unicode, file("m.txt", bytes({0xFF, 0xFE, 0x41})), lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_THAT(log.text(), HasSubstr("Read failed for '"));
}

TEST_F(TextFileTest, Utf16LoneSurrogateFailsTheReadAndIsLogged) {
    std::u16string text = u"ok\n";
    text.push_back(char16_t(0xD800));
    const auto path = file("bad16.txt", utf16Bytes(text, false, true));
    Lines lines{"stale"};
    EXPECT_FALSE(gf_readTextFileWithCharset(Charset::Unicode, path, lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_THAT(log.text(), HasSubstr("Read failed for '" + path.string() + "': wide_to_utf8: invalid UTF-16"));
}

TEST_F(TextFileTest, UnreadableOrUnknownCharsetGivesFalseOrThrows) {
    Lines lines{"stale"};
    EXPECT_FALSE(gf_readTextFileWithCharset(Charset::UTF8_without_BOM, dir / "missing.txt", lines));
    EXPECT_TRUE(lines.empty());
    const auto path = file("x.txt", "x");
    lines = {"stale"};
    EXPECT_EQ(thrownText([&] { gf_readTextFileWithCharset(Charset::none_found, path, lines); }),
              "file " + path.string() + " has unknown charset: none_found");
    EXPECT_TRUE(lines.empty());
    EXPECT_THROW(gf_readTextFileWithCharset(static_cast<Charset>(9), path, lines), std::runtime_error);
}

TEST_F(TextFileTest, ReadLinesGivesLinesOrTheOpenError) {
    const auto missing = gf_readLines(dir / "missing.txt", 4);
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.error, "open_failed");
    EXPECT_EQ(gf_readLines(dir.path(), 4).error, "open_failed");

    const auto read = gf_readLines(file("l.txt", "\xEF\xBB\xBF" "one\r\ntwo\n\nthree"), 100);
    ASSERT_TRUE(read.ok());
    EXPECT_THAT(read.lines, ElementsAre("one", "two", "", "three"));
    EXPECT_GE(read.lines.capacity(), 100U);
}

TEST(TextFileLines, SplitRules) {
    auto split = [](std::string_view text) {
        Lines lines;
        lf_splitUtf8Lines(text, lines);
        return lines;
    };
    EXPECT_THAT(split("a\r\n\r\nb\n"), ElementsAre("a", "", "b"));
    EXPECT_TRUE(split("").empty());
    EXPECT_TRUE(split("\xEF\xBB\xBF").empty());
    EXPECT_THAT(split("\n"), ElementsAre(""));
    EXPECT_THAT(split("\r\n"), ElementsAre(""));
    EXPECT_THAT(split("a"), ElementsAre("a"));
    EXPECT_THAT(split("a\n\n"), ElementsAre("a", ""));
    EXPECT_THAT(split("a\r\r\nb\rc"), ElementsAre("a\r", "b\rc"));  // one "\r" per line end
}

TEST(TextFileLines, StreamLinesAppendAndLeaveAnEmptyStreamUsable) {
    Lines lines{"kept"};
    std::istringstream in("x\ny\n");
    gf_readStreamLines(in, lines);
    EXPECT_THAT(lines, ElementsAre("kept", "x", "y"));

    std::istringstream empty("");
    gf_readStreamLines(empty, lines);
    EXPECT_EQ(lines.size(), 3U);
    EXPECT_TRUE(empty.good());
    EXPECT_EQ(empty.tellg(), 0);

    std::istringstream failed("z");
    failed.setstate(std::ios::failbit);
    gf_readStreamLines(failed, lines);
    EXPECT_EQ(lines.size(), 3U);
}

TEST(TextFileLines, Utf16StreamUsesTheMarkOverTheDetectedOrder) {
    Lines lines;
    std::istringstream marked(utf16Bytes(u"be", true, true));
    ASSERT_TRUE(lf_readUtf16Lines(marked, lines, Charset::Unicode));
    EXPECT_THAT(lines, ElementsAre("be"));

    std::istringstream single("A");
    EXPECT_FALSE(lf_readUtf16Lines(single, lines, Charset::Unicode));
    EXPECT_EQ(lines.size(), 1U);
}

TEST_F(TextFileTest, WritesTextAndLinesWithNewlines) {
    const auto path = file("out.txt", "a much longer old content that must go\n");
    ASSERT_TRUE(gf_writeTextFile("caf\xC3\xA9", path));
    EXPECT_EQ(readFile(path), "caf\xC3\xA9\n");
    ASSERT_TRUE(gf_writeLines({"one", "", "two"}, path));
    EXPECT_EQ(readFile(path), "one\n\ntwo\n");
    ASSERT_TRUE(gf_writeLines({"x\xE9y", "z"}, path));  // bytes are written as given
    const auto back = gf_readLines(path, 2);
    EXPECT_THAT(back.lines, ElementsAre("x\xE9y", "z"));
}

TEST_F(TextFileTest, WriteFailuresAreReported) {
    EXPECT_FALSE(gf_writeTextFile("x", dir / "no-such-folder" / "out.txt"));
    EXPECT_FALSE(gf_writeLines({"x"}, dir / "no-such-folder" / "out.txt"));
    EXPECT_FALSE(gf_writeTextFile("x", dir.path()));

    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    EXPECT_FALSE(gf_writeTextFile("short text", "/dev/full"));
    EXPECT_FALSE(gf_writeLines({"a", "b"}, "/dev/full"));
    EXPECT_THAT(log.text(), HasSubstr("Write failed for '/dev/full'"));
}

}  // namespace
}  // namespace qvl
