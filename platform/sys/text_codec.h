// The one text codec of the program. Text is UTF-8 inside; "wide" text, where
// the Windows side of the program wants it, is UTF-16 in std::u16string
// (wchar_t is 32 bits on Linux, so it is never used for text). The UTF-8 and
// UTF-16 conversions are strict: any malformed input gives no result at all,
// never a half-converted or silently repaired text.
//
// "ANSI" text is the Windows-1252 code page, the one Windows uses for the
// western languages this program's users write their lists in.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qvl::sys {

// The length of the UTF-8 sequence a lead byte announces (1 to 4); 0 for a
// byte that cannot lead: a continuation byte, C0/C1 (always overlong) or
// F5..FF.
std::size_t utf8SequenceLength(unsigned char lead) noexcept;

// UTF-8 -> UTF-16. No value for overlong forms, encoded surrogates, code
// points above U+10FFFF, stray or missing continuation bytes and sequences
// cut by the end of the text. Empty in gives an empty (valid) result.
std::optional<std::u16string> utf8ToUtf16(std::string_view utf8);

// UTF-16 -> UTF-8. No value when a surrogate is not part of a proper
// high-low pair. Empty in gives an empty (valid) result.
std::optional<std::string> utf16ToUtf8(std::u16string_view utf16);

// The code page behind "ANSI" text.
inline constexpr unsigned kAnsiCodePage = 1252;

// Windows-1252 leaves the bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D undefined.
//   strict:  such a byte makes the conversion fail (no value), so a caller
//            can tell that the text is not really Windows-1252.
//   lenient: such a byte becomes the C1 control with the same number
//            (0x81 -> U+0081), as Windows itself does when not asked to check
//            and as web browsers do; every byte then converts, so the lenient
//            mode always gives a value and no byte of the text is lost.
enum class AnsiMode { strict, lenient };

// One Windows-1252 byte as a UTF-16 unit (every defined character of the
// code page lies in the Basic Multilingual Plane).
std::optional<char16_t> ansiByteToUtf16(unsigned char byte, AnsiMode mode);

std::optional<std::u16string> ansiToUtf16(std::string_view bytes, AnsiMode mode);
std::optional<std::string> ansiToUtf8(std::string_view bytes, AnsiMode mode);

}  // namespace qvl::sys
