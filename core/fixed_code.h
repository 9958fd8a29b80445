// FixedCode: a 4-character code of letters and digits (an ICAO airport code,
// an aircraft type code) kept in four bytes, so that codes compare and hash
// as one 32-bit word.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace qvl {

class FixedCode {
public:
    // The unset code: all four bytes 0.
    constexpr FixedCode() noexcept = default;

    // Exactly 4 characters; a-z are folded to A-Z, then each must be A-Z or
    // 0-9. Anything else throws std::invalid_argument
    // "FixedCode: invalid string (length/charset)".
    explicit FixedCode(std::string_view text);

    [[nodiscard]] bool isSet() const noexcept { return word() != 0; }

    // The four bytes as one word (byte 0 first in memory).
    [[nodiscard]] std::uint32_t word() const noexcept;

    friend bool operator==(const FixedCode& a, const FixedCode& b) noexcept { return a.word() == b.word(); }

    // Byte by byte, so that lists sorted by code come out in the order of the
    // codes' texts (and binary searches over them agree with that order).
    friend std::strong_ordering operator<=>(const FixedCode& a, const FixedCode& b) noexcept;

    // The 4 characters, or 4 blanks when unset. The view points into the code
    // itself: keep the code alive while the view is used.
    friend std::string_view gf_fixedCodeView(const FixedCode& code) noexcept;

private:
    char bytes_[4] = {0, 0, 0, 0};
};

std::string_view gf_fixedCodeView(const FixedCode& code) noexcept;

}  // namespace qvl

template <>
struct std::hash<qvl::FixedCode> {
    std::size_t operator()(const qvl::FixedCode& code) const noexcept {
        return std::hash<std::uint32_t>{}(code.word());
    }
};
