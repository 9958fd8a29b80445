#include "liveries/key_line.h"

#include <algorithm>

#include "core/strings.h"

namespace qvl {
namespace {

constexpr char lowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

bool endsWithNoCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && equalsNoCase(text.substr(text.size() - tail.size()), tail);
}

bool hasLineBreak(std::string_view text) { return std::any_of(text.begin(), text.end(), isPatternLineBreak); }

// Walks a text from the front. Every step is greedy and never gives back,
// which is exact for these patterns: no element can take a character that
// the next one needs.
class Cursor {
public:
    explicit Cursor(std::string_view text) : rest_(text) {}

    void skipSpaces() {
        while (!rest_.empty() && isPatternSpace(rest_.front())) rest_.remove_prefix(1);
    }
    // The literal text, letters in either case.
    bool take(std::string_view literal) {
        if (rest_.size() < literal.size() || !equalsNoCase(rest_.substr(0, literal.size()), literal)) return false;
        rest_.remove_prefix(literal.size());
        return true;
    }
    // The longest run of characters of the class (possibly empty).
    template <typename Class>
    std::string_view run(Class inClass) {
        std::size_t n = 0;
        while (n < rest_.size() && inClass(rest_[n])) ++n;
        const std::string_view taken = rest_.substr(0, n);
        rest_.remove_prefix(n);
        return taken;
    }
    [[nodiscard]] std::string_view rest() const { return rest_; }

private:
    std::string_view rest_;
};

// `(.*\S)\s*` up to the end: the text up to its last non-space character,
// which `.` must be able to cover.
std::optional<std::string_view> valueUpToTrailingSpaces(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && isPatternSpace(text[end - 1])) --end;
    if (end == 0) return std::nullopt;
    const std::string_view value = text.substr(0, end);
    if (hasLineBreak(value)) return std::nullopt;
    return value;
}

std::optional<std::string_view> quotedValue(std::string_view line, std::string_view key) {
    const auto value = keyLineValue(line, key);
    if (!value) return std::nullopt;
    return applyQuoteRule(*value);
}

bool readNonEmpty(std::string_view line, std::string_view key, std::string& value, std::size_t minimumSize) {
    const auto found = quotedValue(line, key);
    if (!found || found->empty() || found->size() < minimumSize) return false;
    value.assign(*found);
    return true;
}

}  // namespace

std::optional<std::string_view> keyLineValue(std::string_view line, std::string_view key) {
    Cursor cursor(line);
    cursor.skipSpaces();
    if (!cursor.take(key)) return std::nullopt;
    cursor.skipSpaces();
    if (!cursor.take("=")) return std::nullopt;
    cursor.skipSpaces();
    return valueUpToTrailingSpaces(cursor.rest());
}

std::string_view applyQuoteRule(std::string_view value) {
    const std::size_t first = value.find('"');
    if (first == std::string_view::npos) return value;
    const std::size_t second = value.find('"', first + 1);
    if (second == std::string_view::npos) return {};
    return value.substr(first + 1, second - first - 1);
}

std::optional<std::string_view> fltsimHeaderDigits(std::string_view line) {
    Cursor cursor(line);
    cursor.skipSpaces();
    if (!cursor.take("[fltsim.")) return std::nullopt;
    const std::string_view digits = cursor.run(isPatternDigit);
    if (digits.empty() || !cursor.take("]")) return std::nullopt;
    cursor.skipSpaces();
    if (!cursor.rest().empty()) return std::nullopt;
    return digits;
}

std::optional<std::string_view> ivaoTitleAirline(std::string_view title, std::string_view model, bool wAfterModel) {
    Cursor cursor(title);
    if (!cursor.take(model) || (wAfterModel && !cursor.take("W"))) return std::nullopt;
    cursor.skipSpaces();
    const std::string_view rest = cursor.rest();
    if (rest.size() < 3 || !std::all_of(rest.begin(), rest.begin() + 3, isPatternWord)) return std::nullopt;
    if (hasLineBreak(rest.substr(3))) return std::nullopt;
    return rest.substr(0, 3);
}

std::optional<std::string_view> ivaoModelFolder(std::string_view pathText, std::string_view package) {
    // `\\aircraft.cfg` at the end: its '.' is any character but a line break.
    constexpr std::size_t kTailSize = 13;
    if (pathText.size() < kTailSize) return std::nullopt;
    const std::string_view tail = pathText.substr(pathText.size() - kTailSize);
    if (tail[0] != '\\' || !equalsNoCase(tail.substr(1, 8), "aircraft") || isPatternLineBreak(tail[9]) ||
        !equalsNoCase(tail.substr(10), "cfg")) {
        return std::nullopt;
    }
    // The type folder holds no backslash, so it follows the last one.
    const std::string_view head = pathText.substr(0, pathText.size() - kTailSize);
    const std::size_t slash = head.rfind('\\');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string_view folder = head.substr(slash + 1);
    constexpr std::string_view kFolderStart = "IVAO_";
    if (folder.size() <= kFolderStart.size() || !equalsNoCase(folder.substr(0, kFolderStart.size()), kFolderStart) ||
        !std::all_of(folder.begin(), folder.end(), isPatternWord)) {
        return std::nullopt;
    }
    // `.+` before "\<package>\SimObjects\Airplanes\".
    const std::string_view parents = head.substr(0, slash);
    const std::string middle = "\\" + std::string(package) + "\\SimObjects\\Airplanes";
    if (!endsWithNoCase(parents, middle)) return std::nullopt;
    const std::string_view lead = parents.substr(0, parents.size() - middle.size());
    if (lead.empty() || hasLineBreak(lead)) return std::nullopt;
    return folder.substr(kFolderStart.size());
}

std::string lf_matchKeyValue(std::string_view line, std::string_view key) {
    const auto value = keyLineValue(line, key);
    return value ? std::string(*value) : std::string();
}

bool lf_matchTitle(std::string_view line, std::string& value) { return readNonEmpty(line, "title", value, 1); }

bool lf_matchTexture(std::string_view line, std::string& value) { return readNonEmpty(line, "texture", value, 1); }

bool lf_matchAtcParkingTypes(std::string_view line, std::string& value) {
    return readNonEmpty(line, "atc_parking_types", value, 1);
}

bool lf_matchAtcId(std::string_view line, std::string& value) { return readNonEmpty(line, "atc_id", value, 5); }

bool lf_matchIcaoAirline(std::string_view line, std::string& value) {
    const auto found = quotedValue(line, "icao_airline");
    if (!found) return false;
    // "ZZZZ" is tested before upper-casing: "zzzz" is a code of its own.
    if (found->empty() || *found == "ZZZZ") {
        value.assign("ZZZ");
    } else {
        value.assign(*found);
        toUpperInPlace(value);
    }
    return true;
}

bool lf_hasAtcIdKey(std::string_view line) { return line.find("atc_id=") != std::string_view::npos; }

bool lf_hasAtcParkingTypesKey(std::string_view line) {
    return line.find("atc_parking_types") != std::string_view::npos;
}

}  // namespace qvl
