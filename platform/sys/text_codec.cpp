#include "platform/sys/text_codec.h"

#include <array>
#include <cstdint>

namespace qvl::sys {
namespace {

constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kSurrogateFirst = 0xD800;
constexpr char32_t kSurrogateLast = 0xDFFF;
constexpr char16_t kHighSurrogateFirst = 0xD800;
constexpr char16_t kLowSurrogateFirst = 0xDC00;

bool isContinuation(unsigned char byte) noexcept { return (byte & 0xC0U) == 0x80U; }

bool isSurrogate(char32_t cp) noexcept { return cp >= kSurrogateFirst && cp <= kSurrogateLast; }

// One decoded code point and the number of bytes it took; 0 bytes = invalid.
struct Decoded {
    char32_t codePoint = 0;
    std::size_t length = 0;
};

// The smallest code point that needs `length` bytes; anything below is an
// overlong form, which would let two byte strings mean the same text.
char32_t minimumForLength(std::size_t length) noexcept {
    switch (length) {
        case 2: return 0x80;
        case 3: return 0x800;
        default: return 0x10000;
    }
}

Decoded decodeOne(std::string_view text, std::size_t pos) noexcept {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const std::size_t length = utf8SequenceLength(lead);
    if (length == 0 || pos + length > text.size()) return {};
    if (length == 1) return {lead, 1};

    const unsigned char leadBits[] = {0, 0, 0x1F, 0x0F, 0x07};
    char32_t cp = lead & leadBits[length];
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if (!isContinuation(byte)) return {};
        cp = (cp << 6) | (byte & 0x3FU);
    }
    if (cp < minimumForLength(length) || cp > kMaxCodePoint || isSurrogate(cp)) return {};
    return {cp, length};
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
        return;
    }
    const char32_t offset = cp - 0x10000;
    out.push_back(static_cast<char16_t>(kHighSurrogateFirst + (offset >> 10)));
    out.push_back(static_cast<char16_t>(kLowSurrogateFirst + (offset & 0x3FFU)));
}

void appendUtf8(std::string& out, char32_t cp) {
    auto put = [&out](char32_t byte) { out.push_back(static_cast<char>(byte)); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | (cp >> 18));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
}

bool isHighSurrogate(char16_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Windows-1252 bytes 0x80..0x9F; 0 marks the five bytes the code page leaves
// undefined. Every other byte maps to the code point with its own number.
constexpr std::array<char16_t, 32> kHighControlRange = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};

}  // namespace

std::size_t utf8SequenceLength(unsigned char lead) noexcept {
    if (lead < 0x80U) return 1;
    if (lead >= 0xC2U && lead <= 0xDFU) return 2;
    if (lead >= 0xE0U && lead <= 0xEFU) return 3;
    if (lead >= 0xF0U && lead <= 0xF4U) return 4;
    return 0;
}

std::optional<std::u16string> utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const Decoded d = decodeOne(utf8, pos);
        if (d.length == 0) return std::nullopt;
        appendUtf16(out, d.codePoint);
        pos += d.length;
    }
    return out;
}

std::optional<std::string> utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (isLowSurrogate(unit)) return std::nullopt;
        if (!isHighSurrogate(unit)) {
            appendUtf8(out, unit);
            continue;
        }
        if (i + 1 == utf16.size() || !isLowSurrogate(utf16[i + 1])) return std::nullopt;
        const char32_t high = unit - kHighSurrogateFirst;
        const char32_t low = utf16[++i] - kLowSurrogateFirst;
        appendUtf8(out, 0x10000 + ((high << 10) | low));
    }
    return out;
}

std::optional<char16_t> ansiByteToUtf16(unsigned char byte, AnsiMode mode) {
    if (byte < 0x80U || byte > 0x9FU) return static_cast<char16_t>(byte);
    const char16_t mapped = kHighControlRange[byte - 0x80U];
    if (mapped != 0) return mapped;
    if (mode == AnsiMode::lenient) return static_cast<char16_t>(byte);
    return std::nullopt;
}

std::optional<std::u16string> ansiToUtf16(std::string_view bytes, AnsiMode mode) {
    std::u16string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto unit = ansiByteToUtf16(static_cast<unsigned char>(c), mode);
        if (!unit) return std::nullopt;
        out.push_back(*unit);
    }
    return out;
}

std::optional<std::string> ansiToUtf8(std::string_view bytes, AnsiMode mode) {
    const auto wide = ansiToUtf16(bytes, mode);
    if (!wide) return std::nullopt;
    // Every unit is a BMP non-surrogate, so this cannot fail.
    return utf16ToUtf8(*wide);
}

}  // namespace qvl::sys
