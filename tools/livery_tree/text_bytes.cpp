#include "tools/livery_tree/text_bytes.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace qvl::livery_tree {
namespace {

std::vector<char32_t> codePoints(std::string_view utf8) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 1;
        char32_t point = lead;
        if (lead >= 0xF0U) {
            length = 4;
            point = lead & 0x07U;
        } else if (lead >= 0xE0U) {
            length = 3;
            point = lead & 0x0FU;
        } else if (lead >= 0xC0U) {
            length = 2;
            point = lead & 0x1FU;
        } else if (lead >= 0x80U) {
            throw std::invalid_argument("generated text is not UTF-8");
        }
        if (i + length > utf8.size()) throw std::invalid_argument("generated text is not UTF-8");
        for (std::size_t k = 1; k < length; ++k) {
            point = (point << 6U) | (static_cast<unsigned char>(utf8[i + k]) & 0x3FU);
        }
        points.push_back(point);
        i += length;
    }
    return points;
}

void appendUnit(std::string& out, std::uint16_t unit, bool bigEndian) {
    const auto high = static_cast<char>(unit >> 8U);
    const auto low = static_cast<char>(unit & 0xFFU);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
}

std::string utf16(const std::vector<char32_t>& points, bool bigEndian, bool bom) {
    std::string out;
    if (bom) appendUnit(out, 0xFEFFU, bigEndian);
    for (const char32_t point : points) {
        if (point >= 0x10000U) {
            const char32_t rest = point - 0x10000U;
            appendUnit(out, static_cast<std::uint16_t>(0xD800U + (rest >> 10U)), bigEndian);
            appendUnit(out, static_cast<std::uint16_t>(0xDC00U + (rest & 0x3FFU)), bigEndian);
        } else {
            appendUnit(out, static_cast<std::uint16_t>(point), bigEndian);
        }
    }
    return out;
}

std::string windows1252(const std::vector<char32_t>& points) {
    std::string out;
    for (const char32_t point : points) {
        if (point < 0x80U || (point >= 0xA0U && point <= 0xFFU)) {
            out += static_cast<char>(point);
        } else if (point == 0x20ACU) {
            out += '\x80';  // the euro sign, where Latin-1 has a control
        } else {
            throw std::invalid_argument("character not generated in Windows-1252");
        }
    }
    return out;
}

std::string withLineEnds(std::string_view text, LineEnd lineEnd) {
    if (lineEnd == LineEnd::lf) return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

std::string encodeText(std::string_view text, TextEncoding encoding, LineEnd lineEnd) {
    std::string lines = withLineEnds(text, lineEnd);
    switch (encoding) {
        case TextEncoding::utf8: return lines;
        case TextEncoding::utf8WithBom: return "\xEF\xBB\xBF" + lines;
        case TextEncoding::utf16LeWithBom: return utf16(codePoints(lines), false, true);
        case TextEncoding::utf16BeWithBom: return utf16(codePoints(lines), true, true);
        case TextEncoding::utf16LeWithoutBom: return utf16(codePoints(lines), false, false);
        case TextEncoding::windows1252: return windows1252(codePoints(lines));
    }
    throw std::invalid_argument("unknown text encoding");
}

}  // namespace qvl::livery_tree
