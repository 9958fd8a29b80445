// Small shared text helpers: comma lists, trimming, case, plural suffixes,
// number texts and the texts of socket errors.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <vector>

namespace qvl {

// Blank, tab, newline, carriage return.
inline constexpr std::string_view kWhiteSpace = " \t\n\r";

// True when the needle occurs in the text; an empty needle is always found.
bool gf_contains(const std::string& text, const char* needle);

// The text without leading and trailing white space, as a view into it.
std::string_view trimView(std::string_view text);
// The same as a copy.
std::string lf_trimCopy(std::string_view text);

enum class EmptyPieces : std::uint8_t {
    drop,  // empty pieces are left out
    keep,  // empty pieces keep their positions (an empty text still gives none)
};

// The pieces between separators, each trimmed, in their original order.
std::vector<std::string> lf_splitTrimmed(std::string_view text, char separator = ',',
                                         EmptyPieces empties = EmptyPieces::drop);
// Same as lf_splitTrimmed at ','; an empty text gives no pieces.
std::vector<std::string> gf_splitCommaView(std::string_view text);
std::vector<std::string> gf_splitCommaTrimmed(const std::string& text);
// The comma pieces as a set: trimmed, sorted byte-wise, each piece once.
// Callers that need the original order use lf_splitTrimmed.
std::list<std::string> gf_splitComma(const std::string& text);

// Tidies a comma list in place: each piece trimmed, empty pieces dropped,
// the rest joined with ','. A text without white space is left alone.
// (For a plain trim of both ends, use lf_trimCopy.)
void gf_trim(std::string& text);

// ASCII upper-casing through unsigned char; other bytes stay as they are.
char lf_toUpperChar(char c);
void toUpperInPlace(std::string& text);
// True when the text, upper-cased, equals the (upper-case) view, e.g. ".XML".
bool gf_upperEquals(const std::string& text, std::string_view upper);

// "" for 1 and for negative counts, else "s".
std::string_view gf_pluralSuffix(std::int64_t count);
std::string_view gf_pluralSuffixInt(std::int32_t count);
// "" for 1, else "s".
std::string_view gf_pluralSuffixSize(std::uint64_t count);

// round(part * 100 / whole); 0 when whole < 1. A result beyond the 32-bit
// range is clamped to it rather than overflowing.
std::int32_t gf_percent(std::int64_t part, std::int64_t whole);

// "2.5" for a value with a fraction, "2" for a whole value.
std::string gf_numberText(float value);

// A simulator object id as the chosen simulator writes it: decimal for
// "MSFS 2020", lower-case hexadecimal for "MSFS 2024".
std::string gf_objectIdText(std::uint32_t objectId);

// "<code> <text>" for a socket error number in the Winsock numbering.
std::string gf_socketErrorText(int code);

}  // namespace qvl
