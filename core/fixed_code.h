// FixedCode<N>: a code of N letters and digits kept in N bytes, so that codes
// compare and hash as one 32-bit word. Four characters: an ICAO airport code,
// an aircraft type code. Three characters: an airline, origin or destination
// code. An all-zero code is unset.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>

namespace qvl {

// Throws std::invalid_argument "FixedCode: invalid string (length/charset)".
[[noreturn]] void throwInvalidFixedCode();
// ASCII a-z folded to A-Z; true when the result is A-Z or 0-9.
bool foldCodeChar(char in, char& out) noexcept;

template <std::size_t N>
class FixedCode {
    static_assert(N == 3 || N == 4, "codes have three or four characters");

public:
    // The unset code: all bytes 0.
    constexpr FixedCode() noexcept = default;
    // Exactly N characters; a-z are folded to A-Z, then each must be A-Z or
    // 0-9. Anything else throws std::invalid_argument
    // "FixedCode: invalid string (length/charset)".
    explicit FixedCode(std::string_view text) {
        if (text.size() != N) throwInvalidFixedCode();
        for (std::size_t i = 0; i < N; ++i) {
            if (!foldCodeChar(text[i], bytes_[i])) throwInvalidFixedCode();
        }
    }

    [[nodiscard]] bool isSet() const noexcept { return word() != 0; }
    // The bytes as one word (byte 0 first in memory, unused bytes 0).
    [[nodiscard]] std::uint32_t word() const noexcept {
        std::uint32_t value = 0;
        std::memcpy(&value, bytes_.data(), N);
        return value;
    }
    // The N characters, or the empty text when unset. The view points into
    // the code itself: keep the code alive while the view is used.
    [[nodiscard]] std::string_view view() const noexcept {
        return isSet() ? std::string_view(bytes_.data(), N) : std::string_view{};
    }

    friend bool operator==(const FixedCode& a, const FixedCode& b) noexcept { return a.bytes_ == b.bytes_; }
    // Byte by byte, so that lists sorted by code come out in the order of the
    // codes' texts (and binary searches over them agree with that order).
    friend std::strong_ordering operator<=>(const FixedCode& a, const FixedCode& b) noexcept {
        return std::memcmp(a.bytes_.data(), b.bytes_.data(), N) <=> 0;
    }

private:
    std::array<char, N> bytes_{};
};

using FixedCode3 = FixedCode<3>;
using FixedCode4 = FixedCode<4>;

// The 4 characters, or 4 blanks when unset. The view points into the code
// itself: keep the code alive while the view is used.
std::string_view gf_fixedCodeView(const FixedCode4& code) noexcept;

}  // namespace qvl

template <std::size_t N>
struct std::hash<qvl::FixedCode<N>> {
    std::size_t operator()(const qvl::FixedCode<N>& code) const noexcept {
        return std::hash<std::uint32_t>{}(code.word());
    }
};
