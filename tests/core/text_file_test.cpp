#include "core/text_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "core/files.h"
#include "support/logged_folder.h"

namespace qvl {
namespace {

using test::readFile;
using testing::ElementsAre;
using testing::ThrowsMessage;
using Lines = std::vector<std::string>;

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

class TextFile : public test::LoggedFolder {
protected:
    std::filesystem::path file(const std::string& name, const std::string& content) {
        test::writeFile(dir / name, content);
        return dir / name;
    }
};

TEST_F(TextFile, DetectsTheCharset) {
    const std::string head(4095, 'x');
    using C = Charset;
    const std::pair<std::string, Charset> cases[] = {
        {"", C::UTF8_without_BOM},
        {"\xEF\xBB\xBF"
         "abc",
         C::UTF8_with_BOM},
        {"\xFF\xFE", C::Unicode},
        {std::string("A\0B", 3), C::Unicode},
        {"\xFE\xFF", C::Unicode_big_endian},
        {std::string("\0A\0B", 4), C::Unicode_big_endian},
        {std::string("A\0BC", 4), C::UTF8_without_BOM},  // a zero second byte with a non-zero fourth
        {"ab\xF0\x9F\x98\x80", C::UTF8_without_BOM},
        {"ab\xED\x9F\xBF", C::UTF8_without_BOM},
        {"ab\xED\xA0\x80", C::ANSI},
        {"L\xED\xA0\xA4nea", C::ANSI},  // UTF-8 has no surrogates
        {"caf\xE9 au lait", C::ANSI},
        {"\xC0\x80", C::ANSI},
        {"\xE0\x80\x80", C::ANSI},
        {"\xF0\x8F\xBF\xBF", C::ANSI},
        {"\xF4\x90\x80\x80", C::ANSI},
        {"ab\xE2\x82", C::ANSI},
        // Only the end of the file cuts a sequence, never the 4096-byte window.
        {head + "\xC3\xA9" + "tail", C::UTF8_without_BOM},
        {head + "\xF0\x9F\x98\x80", C::UTF8_without_BOM},
        {head + "\xC3", C::ANSI},
        {head + "\xF0\x9F\x98", C::ANSI},
        {head + "\xC3" + "A", C::ANSI},
        {head + "x\xE9", C::UTF8_without_BOM},  // past the window nothing is tested
    };
    for (const auto& [content, expected] : cases) {
        EXPECT_EQ(gf_detectCharset(file("probe.txt", content)), expected) << testing::PrintToString(content);
    }
    EXPECT_EQ(gf_detectCharset(dir / "missing.txt"), Charset::none_found);
    EXPECT_EQ(gf_detectCharset(dir.path()), Charset::none_found);
}

TEST_F(TextFile, ReadsUtf8AndAnsiLines) {
    Lines lines{"stale"};
    ASSERT_TRUE(gf_readTextFileWithCharset(Charset::UTF8_with_BOM,
                                           file("a.txt",
                                                "\xEF\xBB\xBF"
                                                "caf\xC3\xA9\r\nb\n"),
                                           lines));
    EXPECT_THAT(lines, ElementsAre("caf\xC3\xA9", "b"));
    ASSERT_TRUE(gf_readTextFileWithCharset(Charset::UTF8_without_BOM, file("e.txt", ""), lines));
    EXPECT_TRUE(lines.empty());
    ASSERT_TRUE(gf_readTextFileWithCharset(Charset::ANSI,
                                           file("ansi.txt",
                                                "caf\xE9\r\n\x80 5\n\n\x81"
                                                "end"),
                                           lines));
    EXPECT_THAT(lines, ElementsAre("caf\xC3\xA9", "\xE2\x82\xAC 5", "",
                                   "\xC2\x81"
                                   "end"));
    const auto accented = file("accented.txt", "L\xED\xA0\xA4nea");
    ASSERT_TRUE(gf_readTextFileWithCharset(gf_detectCharset(accented), accented, lines));
    EXPECT_THAT(lines, ElementsAre("L\xC3\xAD\xC2\xA0\xC2\xA4nea"));
}

// The charset check reads the head only; a line further down that is no
// UTF-8 is read as Windows-1252, so every line given is UTF-8.
TEST_F(TextFile, LinesOfAUtf8FileThatAreNoUtf8AreReadAsAnsi) {
    const std::string head(5000, 'x');
    const std::string tail = "\ncaf\xE9\nna\xC3\xAFve\n\xED\xA0\x80\n\xC3\n";
    Lines lines;
    for (const auto& [name, bytes] : {std::pair<const char*, std::string>{"plain.txt", head + tail},
                                      {"marked.txt", "\xEF\xBB\xBF" + head + tail}}) {
        const auto path = file(name, bytes);
        ASSERT_TRUE(gf_readTextFileWithCharset(gf_detectCharset(path), path, lines)) << name;
        EXPECT_THAT(lines, ElementsAre(head, "caf\xC3\xA9", "na\xC3\xAFve", "\xC3\xAD\xC2\xA0\xE2\x82\xAC", "\xC3\x83"))
            << name;
    }
    EXPECT_TRUE(isValidUtf8("na\xC3\xAFve \xF0\x9F\x98\x80"));
    EXPECT_FALSE(isValidUtf8("caf\xE9"));
    EXPECT_FALSE(isValidUtf8("\xC3"));
}

// Text and names from outside may be no text at all: the checked
// conversions say so instead of throwing (as Windows' conversions do).
TEST(PathText, TextThatIsNoUtf8GivesNoPathAndNoText) {
    EXPECT_EQ(pathFromFileText("Z\xC3\xBCrich"), std::filesystem::path(u8"Z\u00FCrich"));
    EXPECT_FALSE(pathFromFileText("Z\xFCrich"));
    EXPECT_EQ(checkedPathToUtf8(pathFromUtf8("Zo\xC3\xAB")), "Zo\xC3\xAB");
    EXPECT_FALSE(checkedPathToUtf8(std::filesystem::path("Zo\xEB")));
}

// UTF-8 text and paths convert both ways without losing a letter (on Windows
// the path's narrow constructor would read the text in the ANSI code page).
TEST(PathText, Utf8TextAndPathsConvertBothWays) {
    const std::filesystem::path path = pathFromUtf8("Z\xC3\xBCrich/Zo\xC3\xAB.xml");
    EXPECT_EQ(path, std::filesystem::path(u8"Z\u00FCrich/Zo\u00EB.xml"));
    EXPECT_EQ(path.filename(), std::filesystem::path(u8"Zo\u00EB.xml"));
    EXPECT_EQ(gf_pathToUtf8(path), "Z\xC3\xBCrich/Zo\xC3\xAB.xml");
    EXPECT_EQ(gf_pathToUtf8(pathFromUtf8("")), "");
}

TEST(TextFileLines, SplitRules) {
    const std::pair<std::string, Lines> cases[] = {
        {"a\r\n\r\nb\n", {"a", "", "b"}}, {"", {}}, {"\xEF\xBB\xBF", {}}, {"\r\n", {""}}, {"a\n\n", {"a", ""}},
        {"a\r\r\nb\rc", {"a\r", "b\rc"}},  // one "\r" per line end
    };
    for (const auto& [text, expected] : cases) {
        Lines lines;
        std::istringstream in(text);
        gf_readStreamLines(in, lines);
        EXPECT_EQ(lines, expected) << testing::PrintToString(text);
    }
}

TEST_F(TextFile, ReadsUtf16InEitherOrderWithOrWithoutMark) {
    const std::u16string text = u"caf\u00e9\r\n\U0001F600\r\n";
    for (const bool bigEndian : {false, true}) {
        for (const bool withMark : {true, false}) {
            SCOPED_TRACE(testing::Message() << "big endian " << bigEndian << ", mark " << withMark);
            const auto path = file("u16.txt", utf16Bytes(text, bigEndian, withMark));
            const Charset expected = bigEndian ? Charset::Unicode_big_endian : Charset::Unicode;
            ASSERT_EQ(gf_detectCharset(path), expected);
            Lines lines{"stale"};
            ASSERT_TRUE(gf_readTextFileWithCharset(expected, path, lines));
            EXPECT_THAT(lines, ElementsAre("caf\xC3\xA9", "\xF0\x9F\x98\x80"));
        }
    }
    Lines lines;
    const auto marked = file("be.txt", utf16Bytes(u"be", true, true));  // the mark wins over the charset asked for
    ASSERT_TRUE(gf_readTextFileWithCharset(Charset::Unicode, marked, lines));
    EXPECT_THAT(lines, ElementsAre("be"));
}

TEST_F(TextFile, Utf16OddByteIsDroppedWithALogLine) {
    Lines lines;
    const auto odd = file("odd.txt", utf16Bytes(u"ab\nc", false, true) + "\x7F");
    ASSERT_TRUE(gf_readTextFileWithCharset(Charset::Unicode, odd, lines));
    EXPECT_THAT(lines, ElementsAre("ab", "c"));
    EXPECT_TRUE(logged("UTF-16 text of odd size (11 bytes): the last byte is dropped"));
    EXPECT_TRUE(gf_readTextFileWithCharset(Charset::Unicode, file("m.txt", "\xFF\xFE"), lines));
    EXPECT_TRUE(lines.empty());
}

TEST_F(TextFile, FailedReadsGiveFalseAndNoLines) {
    const auto surrogate = file("bad16.txt", utf16Bytes(u"ok\n" + std::u16string(1, char16_t(0xD800)), false, true));
    const std::pair<Charset, std::filesystem::path> cases[] = {
        {Charset::Unicode, file("m.txt", "\xFF\xFE\x41")},  // nothing decoded
        {Charset::Unicode, surrogate},
        {Charset::UTF8_without_BOM, dir / "missing.txt"},
    };
    for (const auto& [charset, path] : cases) {
        Lines lines{"stale"};
        EXPECT_FALSE(gf_readTextFileWithCharset(charset, path, lines)) << path;
        EXPECT_TRUE(lines.empty());
    }
    EXPECT_TRUE(logged("Read failed for '" + surrogate.string() + "': wide_to_utf8: invalid UTF-16"));
    Lines lines;
    EXPECT_THAT([&] { gf_readTextFileWithCharset(Charset::none_found, surrogate, lines); },
                ThrowsMessage<std::runtime_error>("file " + surrogate.string() + " has unknown charset: none_found"));
    EXPECT_THROW(gf_readTextFileWithCharset(static_cast<Charset>(9), surrogate, lines), std::runtime_error);
    EXPECT_THROW(gf_charsetName(static_cast<Charset>(6)), std::out_of_range);
    EXPECT_THAT([] { utf8_to_wide("\xE2\x82"); }, ThrowsMessage<std::runtime_error>("utf8_to_wide: invalid UTF-8"));
}

TEST_F(TextFile, ReadLinesAndStreamLines) {
    for (const auto& unopenable : {dir / "missing.txt", dir.path()}) {
        const auto failed = gf_readLines(unopenable, 4);
        EXPECT_EQ(failed.error, ReadLinesError::openFailed) << unopenable;
        EXPECT_FALSE(failed);
    }
    const auto read = gf_readLines(file("l.txt",
                                        "\xEF\xBB\xBF"
                                        "one\r\ntwo\n\nthree"),
                                   100);
    EXPECT_EQ(read.error, ReadLinesError::none);
    EXPECT_THAT(read.lines, ElementsAre("one", "two", "", "three"));

    Lines lines{"kept"};
    std::istringstream in("x\ny\n");
    gf_readStreamLines(in, lines);
    EXPECT_THAT(lines, ElementsAre("kept", "x", "y"));
    std::istringstream empty("");
    gf_readStreamLines(empty, lines);
    EXPECT_TRUE(empty.good());  // an empty stream stays usable
}

TEST_F(TextFile, WritesTextAndLinesAndReportsFailures) {
    const auto path = file("out.txt", "a much longer old content that must go\n");
    ASSERT_TRUE(gf_writeTextFile("caf\xC3\xA9", path));
    EXPECT_EQ(readFile(path), "caf\xC3\xA9\n");
    ASSERT_TRUE(gf_writeLines({"one", "", "x\xE9y"}, path));  // bytes are written as given
    EXPECT_EQ(readFile(path), "one\n\nx\xE9y\n");

    EXPECT_FALSE(gf_writeTextFile("x", dir / "no-such-folder" / "out.txt"));
    EXPECT_FALSE(gf_writeLines({"x"}, dir / "no-such-folder" / "out.txt"));
    EXPECT_FALSE(gf_writeTextFile("x", dir.path()));
}

// What the target holds when the new content is about to replace it: a kill
// at any moment before that point leaves it so.
std::string targetBeforeTheRename;
bool refuseRename(const std::filesystem::path&, const std::filesystem::path& to) {
    targetBeforeTheRename = readFile(to);
    return false;
}

TEST_F(TextFile, AWriteThatIsCutShortLeavesTheOldFileWhole) {
    const auto folder = dir / "errors";
    std::filesystem::create_directory(folder);
    const auto path = folder / "InvalidAirlineCodes.txt";
    test::writeFile(path, "old line\n");
    setRenameFunctionForTests(&refuseRename);
    const bool linesWritten = gf_writeLines({"new line 1", "new line 2"}, path);
    const std::string beforeLines = targetBeforeTheRename;
    const bool textWritten = gf_writeTextFile("new text", path);
    setRenameFunctionForTests(nullptr);
    EXPECT_FALSE(linesWritten);
    EXPECT_FALSE(textWritten);
    EXPECT_EQ(beforeLines, "old line\n") << "the old file is whole until the new one is complete";
    EXPECT_EQ(targetBeforeTheRename, "old line\n");
    EXPECT_EQ(readFile(path), "old line\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "no temporary file left";
}

// The scan's workers read a file once and detect and decode its bytes: the
// bytes give the charset and lines that the reads from the path give.
TEST_F(TextFile, BytesReadOnceGiveTheCharsetAndLinesOfTheFile) {
    struct Case {
        std::string bytes;
        Charset charset;
        Lines lines;
    };
    const std::vector<Case> cases{
        {"", Charset::UTF8_without_BOM, {}},
        {"plain\r\nlines\n\nend", Charset::UTF8_without_BOM, {"plain", "lines", "", "end"}},
        {"\xEF\xBB\xBF\xEF\xBB\xBFtwice marked\n", Charset::UTF8_with_BOM, {"twice marked"}},
        {"caf\xE9\n", Charset::ANSI, {"caf\xC3\xA9"}},
        {"utf8 \xC3\xA9\n" + std::string(4096, 'x') + "\nthen ansi \xE9\n",
         Charset::UTF8_without_BOM,
         {"utf8 \xC3\xA9", std::string(4096, 'x'), "then ansi \xC3\xA9"}},
        {std::string(4094, 'a') + "\xC3\xA9", Charset::UTF8_without_BOM, {std::string(4094, 'a') + "\xC3\xA9"}},
        {utf16Bytes(u"le\r\nmarked", false, true), Charset::Unicode, {"le", "marked"}},
        {utf16Bytes(u"be unmarked\n", true, false), Charset::Unicode_big_endian, {"be unmarked"}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const auto path = file("bytes" + std::to_string(i) + ".txt", c.bytes);
        EXPECT_EQ(detectCharset(c.bytes), c.charset) << "case " << i;
        EXPECT_EQ(gf_detectCharset(path), c.charset) << "case " << i;
        const auto decoded = decodeTextLines(c.charset, c.bytes);
        ASSERT_TRUE(decoded) << "case " << i;
        EXPECT_EQ(decoded->lines, c.lines) << "case " << i;
        const auto read = readTextFileLines(c.charset, path);
        ASSERT_TRUE(read) << "case " << i;
        EXPECT_EQ(read->lines, c.lines) << "case " << i;
    }
    const auto odd = decodeTextLines(Charset::Unicode, utf16Bytes(u"odd", false, true) + "x");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->lines, Lines{"odd"});
    EXPECT_EQ(odd->notes.size(), 1U);
    EXPECT_EQ(decodeTextLines(Charset::Unicode, std::string("\xFF\xFE", 2) + "x").error(), TextReadError::readFailed);
    EXPECT_EQ(decodeTextLines(Charset::none_found, "x").error(), TextReadError::unknownCharset);
}

}  // namespace
}  // namespace qvl
