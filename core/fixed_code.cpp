#include "core/fixed_code.h"

#include <cstring>
#include <stdexcept>

#include "core/strings.h"

namespace qvl {

namespace {

constexpr std::size_t kCodeLength = 4;
constexpr std::string_view kUnsetView = "    ";

[[noreturn]] void lf_fixedCodeError() {
    throw std::invalid_argument("FixedCode: invalid string (length/charset)");
}

bool isCodeChar(unsigned char c) noexcept {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

FixedCode::FixedCode(std::string_view text) {
    if (text.size() != kCodeLength) {
        lf_fixedCodeError();
    }
    for (std::size_t i = 0; i < kCodeLength; ++i) {
        // ASCII folding only, so bytes of other scripts (and of UTF-8
        // sequences) are never folded into letters.
        const auto c = static_cast<unsigned char>(lf_toUpperChar(text[i]));
        if (!isCodeChar(c)) {
            lf_fixedCodeError();
        }
        bytes_[i] = static_cast<char>(c);
    }
}

std::uint32_t FixedCode::word() const noexcept {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes_, sizeof value);
    return value;
}

std::strong_ordering operator<=>(const FixedCode& a, const FixedCode& b) noexcept {
    // memcmp compares as unsigned bytes, first character first.
    const int order = std::memcmp(a.bytes_, b.bytes_, kCodeLength);
    return order <=> 0;
}

std::string_view gf_fixedCodeView(const FixedCode& code) noexcept {
    return code.isSet() ? std::string_view(code.bytes_, kCodeLength) : kUnsetView;
}

}  // namespace qvl
