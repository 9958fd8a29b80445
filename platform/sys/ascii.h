// ASCII case folding, the one the program uses for codes, file extensions and
// the window's list lookups. Only the basic Latin letters fold: bytes of
// other scripts and of UTF-8 sequences never turn into letters, whatever the
// locale.
#pragma once

#include <algorithm>
#include <string_view>

namespace qvl::sys {

constexpr char asciiUpper(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True when the text begins with the prefix, ASCII letters compared without case.
constexpr bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) noexcept {
    return prefix.size() <= text.size() && std::equal(prefix.begin(), prefix.end(), text.begin(),
                                                      [](char a, char b) { return asciiUpper(a) == asciiUpper(b); });
}

}  // namespace qvl::sys
