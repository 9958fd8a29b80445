// Text encodings and text files.
//
// Text is UTF-8 inside the program. Text files that come from outside (users'
// lists, registration-code files, package files) may be ANSI (Windows-1252),
// UTF-16 in either byte order with or without a byte-order mark, or UTF-8 with
// or without a mark; they are detected from their first bytes and read as
// UTF-8 lines. The program's own text files are written as UTF-8 with "\n"
// line ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

namespace qvl {

// The detected encoding of a text file. The numbers are fixed.
enum class Charset : int {
    ANSI = 0,
    Unicode = 1,             // UTF-16 little-endian
    Unicode_big_endian = 2,  // UTF-16 big-endian
    UTF8_with_BOM = 3,
    UTF8_without_BOM = 4,
    none_found = 5,  // the file could not be opened
};

// "ANSI", "Unicode", ... as above. Another value throws std::out_of_range.
const std::string& gf_charsetName(Charset charset);

// Strict UTF-8 <-> UTF-16 ("wide") conversion. Any invalid sequence throws
// std::runtime_error "utf8_to_wide: invalid UTF-8" / "wide_to_utf8: invalid
// UTF-16"; empty in gives empty out.
std::u16string utf8_to_wide(std::string_view utf8);
std::string wide_to_utf8(std::u16string_view wide);

// True when the text is well-formed UTF-8 (no overlong form, no encoded
// surrogate, nothing above U+10FFFF, no cut sequence).
[[nodiscard]] bool isValidUtf8(std::string_view text) noexcept;

// The path as UTF-8 text, for log lines, settings and files that name it.
// (No path is turned into text of the system's code page: on Windows that
// loses every letter the ANSI code page lacks.)
std::string gf_pathToUtf8(const std::filesystem::path& path);
// The same for a name met in a folder, which the program did not choose:
// none when the name is no text (bytes that are no UTF-8, a lone UTF-16
// surrogate on Windows). Never throws on such a name; the caller logs and
// skips the entry.
[[nodiscard]] std::optional<std::string> checkedPathToUtf8(const std::filesystem::path& path);
// UTF-8 text (a setting, a line of a file) as a path. The path's own
// constructor from a narrow string would read the text in the ANSI code page
// on Windows and turn every accented letter into another.
std::filesystem::path pathFromUtf8(std::string_view utf8);
// The same for text read from a file: none when it is no UTF-8 (Windows would
// throw on the conversion). Never throws on such text; the caller logs and
// skips the entry.
[[nodiscard]] std::optional<std::filesystem::path> pathFromFileText(std::string_view text);

Charset gf_detectCharset(const std::filesystem::path& path);
// The same rules on a file's bytes already read (only its head is looked at).
[[nodiscard]] Charset detectCharset(std::string_view bytes);

// Replaces `lines` with the file's lines as UTF-8 texts without line ends.
// A UTF-16 file's byte-order mark decides its byte order, whichever of the
// two UTF-16 charsets is asked for; a trailing odd byte is dropped with a log
// line. ANSI bytes that Windows-1252 leaves undefined become the C1 controls
// of the same number, so no byte is lost. The charset is told from the
// file's head only: a line of a UTF-8 file that is no UTF-8 is read as an
// ANSI line, so every line given is UTF-8.
// False when the file cannot be opened or read (a read failure is logged).
// Throws std::runtime_error for Charset::none_found or an unknown value.
bool gf_readTextFileWithCharset(Charset charset, const std::filesystem::path& path, std::vector<std::string>& lines);

enum class TextReadError : std::uint8_t {
    unknownCharset,  // Charset::none_found or a value outside the enum
    openFailed,      // the file cannot be opened (missing, a folder, no rights)
    readFailed,      // it opened but could not be read or decoded to its end
};

struct TextFileLines {
    std::vector<std::string> lines;
    // What was mended on the way (a dropped odd byte), for the log.
    std::vector<std::string> notes;
};

// gf_readTextFileWithCharset without the log: for a caller (a scan task)
// that keeps its log lines for later. `expectedCount` only sizes the vector.
[[nodiscard]] Result<TextFileLines, TextReadError> readTextFileLines(Charset charset, const std::filesystem::path& path,
                                                                     std::size_t expectedCount = 0);

// readTextFileLines on a file's bytes already read, so that a caller that
// detects the charset too opens and reads the file once.
[[nodiscard]] Result<TextFileLines, TextReadError> decodeTextLines(Charset charset, std::string_view bytes,
                                                                   std::size_t expectedCount = 0);

// Why gf_readLines gave no lines.
enum class ReadLinesError : std::uint8_t {
    none,
    openFailed,  // the file cannot be opened (missing, a folder, no rights)
    readFailed,  // it opened but could not be read to its end (logged)
};

// The result of gf_readLines: either the lines, or the error with no lines.
struct ReadLinesResult {
    std::vector<std::string> lines;
    ReadLinesError error = ReadLinesError::none;

    bool ok() const noexcept { return error == ReadLinesError::none; }
    explicit operator bool() const noexcept { return ok(); }
};

// The file's lines as they stand (no charset conversion; a UTF-8 mark is
// dropped; "\r\n" and "\n" both end a line). `expectedCount` only sizes the
// vector up front.
ReadLinesResult gf_readLines(const std::filesystem::path& path, std::size_t expectedCount);

// Appends the whole stream's lines: a leading UTF-8 mark is skipped, the text
// is split at every "\n", one "\r" before it is dropped, empty lines in the
// middle are kept, and a final "\n" does not make an empty last line.
// Throws std::runtime_error when the stream cannot be read to its end.
void gf_readStreamLines(std::istream& in, std::vector<std::string>& lines);

// Write `text` and "\n" (or every line followed by "\n") to the file, bytes
// as they are, replacing it whole: the bytes go to a temporary file that is
// renamed over the target (writeFileAtomically), so the file holds either
// its old or its new content. False, with the old file untouched, when any
// step fails; the caller tells the user. Throw nothing.
bool gf_writeTextFile(std::string_view text, const std::filesystem::path& path);
bool gf_writeLines(const std::vector<std::string>& lines, const std::filesystem::path& path);

}  // namespace qvl
