#include "core/text_file.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "core/files.h"
#include "core/log.h"
#include "platform/sys/text_codec.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// Only the head of a file is tested for UTF-8: long files are data files
// whose first lines tell enough, and reading them whole would be wasted work.
constexpr std::size_t kDetectWindow = 4096;
// A UTF-8 sequence starting in the window's last byte needs 3 more bytes.
constexpr std::size_t kDetectRead = kDetectWindow + 3;
constexpr std::size_t kAnsiLinesReserve = 2048;

// Opens for binary reading. A folder is refused as Windows refuses to open
// one as a file (on Linux the open itself would succeed and the read fail).
bool openBinary(const fs::path& path, std::ifstream& in) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return false;
    in.open(path, std::ios::binary);
    return in.is_open();
}

unsigned char byteAt(std::string_view data, std::size_t i) noexcept { return static_cast<unsigned char>(data[i]); }

// The mark rules on the first (up to) 4 bytes. A UTF-16 file without a mark
// is told by its zero bytes: ASCII text in UTF-16 has a zero in every unit.
std::optional<Charset> charsetFromHead(std::string_view head) {
    const std::size_t n = head.size();
    auto at = [&](std::size_t i) { return i < n ? byteAt(head, i) : 0xFFU; };
    if (head.starts_with(kUtf8Mark)) return Charset::UTF8_with_BOM;
    if (n < 2) return std::nullopt;
    const bool markLE = at(0) == 0xFF && at(1) == 0xFE;
    const bool markBE = at(0) == 0xFE && at(1) == 0xFF;
    if (markLE) return Charset::Unicode;
    if (!markBE && at(1) == 0 && (n < 4 || at(3) == 0)) return Charset::Unicode;
    if (markBE) return Charset::Unicode_big_endian;
    if (at(0) == 0 && (n < 4 || at(2) == 0)) return Charset::Unicode_big_endian;
    return std::nullopt;
}

// The second byte's range for the leads whose range is narrower than 80..BF.
// ED A0..ED BF would encode UTF-16 surrogates, which UTF-8 does not allow: a
// file holding them is not UTF-8 (more likely Windows-1252, where ED A0 is
// "í" and a no-break space), and its lines would fail the strict codec later.
bool secondByteFits(unsigned char lead, unsigned char second) noexcept {
    if (lead == 0xE0U) return second >= 0xA0U;
    if (lead == 0xEDU) return second <= 0x9FU;
    if (lead == 0xF0U) return second >= 0x90U;
    if (lead == 0xF4U) return second <= 0x8FU;
    return true;
}

// True when every sequence that starts in the first `window` bytes is
// well-formed UTF-8. A sequence may run past the window into `data` (which
// holds a few bytes more when the file has them): a character cut only by the
// window is no fault, one cut by the true end of the file is.
bool looksLikeUtf8(std::string_view data, std::size_t window) {
    const std::size_t end = std::min(window, data.size());
    for (std::size_t pos = 0; pos < end;) {
        const unsigned char lead = byteAt(data, pos);
        if (lead < 0x80U) {  // most of a text file: no sequence to check
            ++pos;
            continue;
        }
        const std::size_t length = sys::utf8SequenceLength(lead);
        if (length == 0 || pos + length > data.size()) return false;
        for (std::size_t i = 1; i < length; ++i) {
            if ((byteAt(data, pos + i) & 0xC0U) != 0x80U) return false;
        }
        if (length > 1 && !secondByteFits(lead, byteAt(data, pos + 1))) return false;
        pos += length;
    }
    return true;
}

// Reads up to `limit` bytes from the stream's current position.
std::string readUpTo(std::istream& in, std::size_t limit) {
    std::string data(limit, '\0');
    in.read(data.data(), static_cast<std::streamsize>(limit));
    data.resize(static_cast<std::size_t>(in.gcount()));
    return data;
}

// The whole stream from its start. A stream that cannot seek (a pipe) is
// read from where it stands to its end.
std::string readWholeStream(std::istream& in) {
    if (in.seekg(0, std::ios::end)) {
        const std::streamoff size = in.tellg();
        in.seekg(0, std::ios::beg);
        if (size >= 0 && in) {
            std::string data(static_cast<std::size_t>(size), '\0');
            in.read(data.data(), size);
            if (in.gcount() != size) {
                throw std::runtime_error(fmt::format("read stopped after {} of {} bytes", in.gcount(), size));
            }
            return data;
        }
    }
    in.clear();
    std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) throw std::runtime_error("stream read failed");
    return data;
}

std::u16string utf16Units(std::string_view bytes, bool bigEndian) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned first = byteAt(bytes, i);
        const unsigned second = byteAt(bytes, i + 1);
        units.push_back(static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
    }
    return units;
}

// Appends the lines of `text` by the rules of gf_readStreamLines.
void lf_splitUtf8Lines(std::string_view text, std::vector<std::string>& lines) {
    if (text.starts_with(kUtf8Mark)) text.remove_prefix(kUtf8Mark.size());
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view piece = text.substr(0, newline);
        if (piece.ends_with('\r')) piece.remove_suffix(1);
        lines.emplace_back(piece);
        if (newline == std::string_view::npos) break;
        text.remove_prefix(newline + 1);
    }
}

// Appends the lines of UTF-16 bytes. A byte-order mark (FF FE or FE FF)
// decides the byte order and is skipped; without one, `unmarkedOrder`
// (Charset::Unicode or Charset::Unicode_big_endian, as detected) decides, so
// a UTF-16 list saved without a mark is not lost. A trailing odd byte cannot
// be half a character of the text before it, so it is dropped, not the text.
// False when the stream holds bytes but not one whole UTF-16 unit. Throws
// std::runtime_error "wide_to_utf8: invalid UTF-16" for a lone surrogate.
bool decodeUtf16Lines(std::string_view data, TextFileLines& text, Charset unmarkedOrder) {
    std::string_view payload = data;
    bool bigEndian = unmarkedOrder == Charset::Unicode_big_endian;
    if (payload.starts_with("\xFF\xFE")) {
        bigEndian = false;
        payload.remove_prefix(2);
    } else if (payload.starts_with("\xFE\xFF")) {
        bigEndian = true;
        payload.remove_prefix(2);
    }
    if (payload.size() % 2 != 0) {
        text.notes.push_back(fmt::format("UTF-16 text of odd size ({} bytes): the last byte is dropped", data.size()));
        payload.remove_suffix(1);
        if (payload.empty()) return false;
    }
    lf_splitUtf8Lines(wide_to_utf8(utf16Units(payload, bigEndian)), text.lines);
    return true;
}

// One line of Windows-1252 bytes as UTF-8 (see platform/sys/text_codec.h).
// Strict first: a proper Windows-1252 line converts as it is. A line with
// bytes the code page leaves undefined is not quite Windows-1252, but keeping
// those bytes as C1 controls is better than losing the line.
std::string lf_ansiLineToUtf8(std::string_view line) {
    auto wide = sys::ansiToUtf16(line, sys::AnsiMode::strict);
    if (!wide) wide = sys::ansiToUtf16(line, sys::AnsiMode::lenient);
    if (!wide || wide->empty()) return {};
    return wide_to_utf8(*wide);
}

// The charset's name for messages, also for a value outside the enum.
std::string charsetLabel(Charset charset) {
    try {
        return gf_charsetName(charset);
    } catch (const std::out_of_range&) {
        return fmt::format("{}", static_cast<int>(charset));
    }
}

// The charset was told from the file's head: a file that is UTF-8 there may
// hold Windows-1252 further down (an editor that appended to it). Such a line
// is read as the lines of an ANSI file are, so no line that is no UTF-8
// reaches titles, paths or the files the scan writes.
void mendNonUtf8Lines(std::vector<std::string>& lines) {
    for (std::string& line : lines) {
        if (!isValidUtf8(line)) line = lf_ansiLineToUtf8(line);
    }
}

// The lines of the file's bytes by the rules of gf_readStreamLines (which
// reads the whole stream and splits it).
bool decodeByCharset(Charset charset, std::string_view data, TextFileLines& text) {
    std::vector<std::string>& lines = text.lines;
    switch (charset) {
        case Charset::Unicode:
        case Charset::Unicode_big_endian: return decodeUtf16Lines(data, text, charset);
        case Charset::UTF8_with_BOM:
            lf_splitUtf8Lines(data, lines);
            // A doubled mark (some editors add one to a file that has one).
            if (!lines.empty() && lines.front().starts_with(kUtf8Mark)) {
                lines.front().erase(0, kUtf8Mark.size());
            }
            mendNonUtf8Lines(lines);
            return true;
        case Charset::UTF8_without_BOM:
            lf_splitUtf8Lines(data, lines);
            mendNonUtf8Lines(lines);
            return true;
        case Charset::ANSI: {
            std::vector<std::string> raw;
            raw.reserve(kAnsiLinesReserve);
            lf_splitUtf8Lines(data, raw);
            lines.reserve(raw.size());
            for (const std::string& line : raw) lines.push_back(lf_ansiLineToUtf8(line));
            return true;
        }
        case Charset::none_found: break;
    }
    return false;
}

bool readByCharset(Charset charset, std::ifstream& in, TextFileLines& text) {
    if (!in.good())
        return charset == Charset::UTF8_with_BOM || charset == Charset::UTF8_without_BOM || charset == Charset::ANSI;
    return decodeByCharset(charset, readWholeStream(in), text);
}

bool isReadableCharset(Charset charset) {
    const int value = static_cast<int>(charset);
    return value >= static_cast<int>(Charset::ANSI) && value < static_cast<int>(Charset::none_found);
}

}  // namespace

const std::string& gf_charsetName(Charset charset) {
    static const std::map<Charset, std::string> names = [] {
        const std::pair<Charset, const char*> table[] = {
            {Charset::ANSI, "ANSI"},
            {Charset::Unicode, "Unicode"},
            {Charset::Unicode_big_endian, "Unicode_big_endian"},
            {Charset::UTF8_with_BOM, "UTF8_with_BOM"},
            {Charset::UTF8_without_BOM, "UTF8_without_BOM"},
            {Charset::none_found, "none_found"},
        };
        return std::map<Charset, std::string>(std::begin(table), std::end(table));
    }();
    const auto it = names.find(charset);
    if (it == names.end()) throw std::out_of_range("invalid map<K, T> key");
    return it->second;
}

std::u16string utf8_to_wide(std::string_view utf8) {
    auto wide = sys::utf8ToUtf16(utf8);
    if (!wide) throw std::runtime_error("utf8_to_wide: invalid UTF-8");
    return std::move(*wide);
}

std::string wide_to_utf8(std::u16string_view wide) {
    auto utf8 = sys::utf16ToUtf8(wide);
    if (!utf8) throw std::runtime_error("wide_to_utf8: invalid UTF-16");
    return std::move(*utf8);
}

bool isValidUtf8(std::string_view text) noexcept { return looksLikeUtf8(text, text.size()); }

std::string gf_pathToUtf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::optional<std::string> checkedPathToUtf8(const fs::path& path) {
    std::u8string text;
    try {
        // Throws on Windows for a name with a lone surrogate.
        text = path.u8string();
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    // Here a name is bytes, handed on as they are.
    std::string utf8(text.begin(), text.end());
    if (!isValidUtf8(utf8)) return std::nullopt;
    return utf8;
}

fs::path pathFromUtf8(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::optional<fs::path> pathFromFileText(std::string_view text) {
    if (!isValidUtf8(text)) return std::nullopt;
    return pathFromUtf8(text);
}

Charset gf_detectCharset(const fs::path& path) {
    std::ifstream in;
    if (!openBinary(path, in)) return Charset::none_found;
    return detectCharset(readUpTo(in, kDetectRead));
}

Charset detectCharset(std::string_view bytes) {
    if (const auto marked = charsetFromHead(bytes.substr(0, 4))) return *marked;
    const std::string_view data = bytes.substr(0, kDetectRead);
    if (data.empty()) return Charset::UTF8_without_BOM;
    return looksLikeUtf8(data, kDetectWindow) ? Charset::UTF8_without_BOM : Charset::ANSI;
}

Result<TextFileLines, TextReadError> decodeTextLines(Charset charset, std::string_view bytes,
                                                     std::size_t expectedCount) {
    if (!isReadableCharset(charset)) {
        return fail(TextReadError::unknownCharset, fmt::format("unknown charset: {}", charsetLabel(charset)));
    }
    TextFileLines text;
    text.lines.reserve(expectedCount);
    try {
        if (decodeByCharset(charset, bytes, text)) return text;
        return fail(TextReadError::readFailed, "no whole UTF-16 character in the file");
    } catch (const std::exception& e) {
        return fail(TextReadError::readFailed, e.what());
    }
}

Result<TextFileLines, TextReadError> readTextFileLines(Charset charset, const fs::path& path,
                                                       std::size_t expectedCount) {
    if (!isReadableCharset(charset)) {
        return fail(TextReadError::unknownCharset,
                    fmt::format("file {} has unknown charset: {}", gf_pathToUtf8(path), charsetLabel(charset)));
    }
    std::ifstream in;
    if (!openBinary(path, in)) return fail(TextReadError::openFailed, "it cannot be opened");
    TextFileLines text;
    text.lines.reserve(expectedCount);
    try {
        if (readByCharset(charset, in, text)) return text;
        return fail(TextReadError::readFailed, "no whole UTF-16 character in the file");
    } catch (const std::exception& e) {
        return fail(TextReadError::readFailed, e.what());
    }
}

// Clears `lines` first, so a failed read never leaves an earlier file's
// lines behind for the caller to take as this file's.
bool gf_readTextFileWithCharset(Charset charset, const fs::path& path, std::vector<std::string>& lines) {
    lines.clear();
    auto read = readTextFileLines(charset, path, lines.capacity());
    if (!read) {
        switch (read.error()) {
            case TextReadError::unknownCharset: throw std::runtime_error(read.errorText());
            case TextReadError::openFailed: return false;
            case TextReadError::readFailed:
                gf_log(fmt::format("Read failed for '{}': {}", gf_pathToUtf8(path), read.errorText()));
                return false;
        }
        return false;
    }
    for (const std::string& note : read->notes) gf_log(note);
    lines = std::move(read->lines);
    return true;
}

ReadLinesResult gf_readLines(const fs::path& path, std::size_t expectedCount) {
    ReadLinesResult result;
    std::ifstream in;
    if (!openBinary(path, in)) {
        result.error = ReadLinesError::openFailed;
        return result;
    }
    result.lines.reserve(expectedCount);
    try {
        gf_readStreamLines(in, result.lines);
    } catch (const std::exception& e) {
        gf_log(fmt::format("Read failed for '{}': {}", gf_pathToUtf8(path), e.what()));
        result.lines.clear();
        result.error = ReadLinesError::readFailed;
    }
    return result;
}

void gf_readStreamLines(std::istream& in, std::vector<std::string>& lines) {
    if (!in.good()) return;
    const std::string text = readWholeStream(in);
    if (text.empty()) {
        // Leave an empty stream usable, at its start, for the caller.
        in.clear();
        in.seekg(0, std::ios::beg);
        return;
    }
    lf_splitUtf8Lines(text, lines);
}

// Through a temporary file renamed over the target: a kill or a full disk
// part-way leaves the old file whole, never an empty or a cut one.
bool gf_writeTextFile(std::string_view text, const fs::path& path) {
    std::string bytes;
    bytes.reserve(text.size() + 1);
    bytes.append(text);
    bytes.push_back('\n');
    return writeFileAtomically(path, bytes);
}

bool gf_writeLines(const std::vector<std::string>& lines, const fs::path& path) {
    std::size_t size = 0;
    for (const std::string& line : lines) size += line.size() + 1;
    std::string bytes;
    bytes.reserve(size);
    for (const std::string& line : lines) {
        bytes.append(line);
        bytes.push_back('\n');
    }
    return writeFileAtomically(path, bytes);
}

}  // namespace qvl
