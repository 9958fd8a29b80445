// The line patterns of aircraft.cfg files and of the IVAO package paths,
// matched by hand in one pass.
//
// aircraft.cfg files come from any package a user installs, so a line may be
// megabytes long; a backtracking regular expression on such a line recurses
// once per character and overflows the stack. Each function here gives
// exactly what a whole-line, case-insensitive ECMAScript std::regex match of
// its pattern gives on char in the "C" locale: `\s` is blank, \t, \n, \v, \f
// and \r; `\w` is [A-Za-z0-9_]; `\d` is [0-9]; `.` is any character but \n
// and \r; letters of the pattern match either case (ASCII only).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qvl {

constexpr bool isPatternSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
constexpr bool isPatternDigit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr bool isPatternWord(char c) noexcept {
    return isPatternDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
// What `.` does not match.
constexpr bool isPatternLineBreak(char c) noexcept { return c == '\n' || c == '\r'; }

// `\s*(<key>)\s*=\s*(.*\S)\s*`: the value (group 2), which is never empty;
// none when the line does not match. The key holds letters, digits and '_'.
std::optional<std::string_view> keyLineValue(std::string_view line, std::string_view key);

// The quote rule of key values: a value with a double quote becomes the text
// between its first double quote and the next one (empty when there is no
// second one); a value without one stays as it is.
std::string_view applyQuoteRule(std::string_view value);

// `\s*(\[fltsim\.)(\d+)\]\s*`: the digits.
std::optional<std::string_view> fltsimHeaderDigits(std::string_view line);

// `<model>W\s*(\w\w\w).*` with the W only when asked for: the three word
// characters (an IVAO title names its airline right after the type code).
// The model code holds word characters only.
std::optional<std::string_view> ivaoTitleAirline(std::string_view title, std::string_view model, bool wAfterModel);

// `.+\\<package>\\SimObjects\\Airplanes\\IVAO_(\w+)\\aircraft.cfg`, each
// `\\` one backslash: the type folder's name after "IVAO_" (group 1). The
// path text must use backslashes as its separators.
std::optional<std::string_view> ivaoModelFolder(std::string_view pathText, std::string_view package);

// The key readers of a fltsim section. Each reads one line; a value is
// stored only when the reader returns true.

// keyLineValue as a text, empty when the line does not match (before the
// quote rule).
std::string lf_matchKeyValue(std::string_view line, std::string_view key);
// "title", "texture", "atc_parking_types": true with a non-empty value.
bool lf_matchTitle(std::string_view line, std::string& value);
bool lf_matchTexture(std::string_view line, std::string& value);
bool lf_matchAtcParkingTypes(std::string_view line, std::string& value);
// "atc_id": true with a value of 5 or more characters.
bool lf_matchAtcId(std::string_view line, std::string& value);
// "icao_airline": true whenever the line matches; the value is "ZZZ" when it
// is empty or exactly "ZZZZ", else upper-cased.
bool lf_matchIcaoAirline(std::string_view line, std::string& value);
// Plain, case-sensitive searches for a second key of a section.
bool lf_hasAtcIdKey(std::string_view line);
bool lf_hasAtcParkingTypesKey(std::string_view line);

}  // namespace qvl
