#include "core/fixed_code.h"

#include <stdexcept>

#include "core/strings.h"

namespace qvl {

void throwInvalidFixedCode() { throw std::invalid_argument("FixedCode: invalid string (length/charset)"); }

bool foldCodeChar(char in, char& out) noexcept {
    // ASCII folding only, so bytes of other scripts (and of UTF-8 sequences)
    // are never folded into letters.
    const auto c = static_cast<unsigned char>(lf_toUpperChar(in));
    out = static_cast<char>(c);
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string_view gf_fixedCodeView(const FixedCode4& code) noexcept {
    constexpr std::string_view kUnsetView = "    ";
    return code.isSet() ? code.view() : kUnsetView;
}

}  // namespace qvl
