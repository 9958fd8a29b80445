#include "core/version.h"

#include <fmt/format.h>

#include <array>
#include <charconv>
#include <exception>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>

#include "core/log.h"
#include "core/strings.h"

namespace qvl {

namespace {

[[noreturn]] void parseError() { throw std::runtime_error("parse error in version string"); }

bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// A run of ASCII digits at the front of the text, taken off it; empty when
// the text does not begin with a digit.
std::string_view takeDigits(std::string_view& text) {
    std::size_t n = 0;
    while (n < text.size() && isDigit(text[n])) ++n;
    const std::string_view digits = text.substr(0, n);
    text.remove_prefix(n);
    return digits;
}

std::int32_t dottedField(std::string_view digits) {
    std::int32_t value = 0;
    const char* last = digits.data() + digits.size();
    const auto [end, error] = std::from_chars(digits.data(), last, value);
    if (error != std::errc{} || end != last) parseError();
    return value;
}

// The whole text must be three digit runs joined by dots. Matched by hand:
// a regular expression here recurses once per character and a long hostile
// text from the download site would overflow the stack.
std::optional<std::array<std::string_view, 3>> matchDotted(std::string_view text) {
    std::array<std::string_view, 3> fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            if (text.empty() || text.front() != '.') return std::nullopt;
            text.remove_prefix(1);
        }
        fields[i] = takeDigits(text);
        if (fields[i].empty()) return std::nullopt;
    }
    if (!text.empty()) return std::nullopt;
    return fields;
}

// The JSON library would cut 4294967298 down to 2 and 12.7 down to 12
// without a word; a version we cannot hold exactly is unreadable instead.
std::int32_t jsonField(const nlohmann::json& object, const char* name) {
    const nlohmann::json& member = object.at(name);
    if (member.is_number_unsigned()) {
        const auto value = member.get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) parseError();
        return static_cast<std::int32_t>(value);
    }
    if (member.is_number_integer()) {
        const auto value = member.get<std::int64_t>();
        if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
            parseError();
        }
        return static_cast<std::int32_t>(value);
    }
    if (member.is_number_float()) parseError();
    // The library would read true as 1; only numbers are versions.
    throw std::runtime_error(fmt::format("version member '{}' is not a number but {}", name, member.type_name()));
}

VersionRecord readVersion(const std::string& text) {
    if (const auto fields = matchDotted(text)) {
        return {dottedField((*fields)[0]), dottedField((*fields)[1]), dottedField((*fields)[2])};
    }
    const std::string_view trimmed = trimView(text);
    if (!trimmed.empty() && trimmed.front() == '{') {
        const nlohmann::json parsed = nlohmann::json::parse(trimmed);
        if (parsed.is_object()) {
            return {jsonField(parsed, "major"), jsonField(parsed, "minor"), jsonField(parsed, "patch")};
        }
    }
    throw std::runtime_error("invalid version format");
}

}  // namespace

std::string gf_versionToString(const VersionRecord& version) {
    return fmt::format("{}.{}.{}", version.major, version.minor, version.patch);
}

Result<VersionRecord, VersionFault> readVersionQuietly(const std::string& text) {
    try {
        return readVersion(text);
    } catch (const std::exception& e) {
        return fail(VersionFault::unreadable, fmt::format("{} exception: {}", "VersionData", e.what()));
    }
}

std::optional<VersionRecord> tryParseVersion(const std::string& text) {
    auto version = readVersionQuietly(text);
    if (version) return *version;
    gf_log(version.errorText());
    return std::nullopt;
}

// Callers compare the result with other versions: 0.0.0 makes an unreadable
// version older than any real one, so nothing is taken as an update.
VersionRecord gf_parseVersion(const std::string& text) { return tryParseVersion(text).value_or(VersionRecord{}); }

}  // namespace qvl
