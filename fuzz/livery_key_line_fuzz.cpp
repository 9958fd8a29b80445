// One line of an aircraft.cfg (or a package path, or a livery title) through
// the hand matchers of the liveries scan. Lines short enough for std::regex
// are also matched with the patterns the matchers stand for, and the two
// must agree; every line must come back in time linear in its length.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

#include "liveries/key_line.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;

// std::regex recurses per character; beyond this it may exhaust the stack.
constexpr std::size_t kRegexLimit = 256;
constexpr auto kFlags = std::regex::ECMAScript | std::regex::icase;

std::optional<std::string> regexGroup(const std::regex& pattern, const std::string& line, std::size_t group) {
    std::smatch match;
    if (!std::regex_match(line, match, pattern)) return std::nullopt;
    return match[group].str();
}

std::optional<std::string> asText(std::optional<std::string_view> value) {
    return value ? std::optional<std::string>(std::string(*value)) : std::nullopt;
}

void expectSoundValue(std::string_view line, std::optional<std::string_view> value) {
    if (!value) return;
    expect(!value->empty(), "a matched value is never empty");
    expect(value->data() >= line.data() && value->data() + value->size() <= line.data() + line.size(),
           "a value is a piece of its line");
    expect(!isPatternSpace(value->front()) && !isPatternSpace(value->back()), "a value has no surrounding space");
    expect(value->find_first_of("\r\n") == std::string_view::npos, "a value holds no line break");
    const std::string_view quoted = applyQuoteRule(*value);
    expect(quoted.empty() ||
               (quoted.data() >= value->data() && quoted.data() + quoted.size() <= value->data() + value->size()),
           "the quote rule keeps a piece of the value");
}

void compareWithRegex(const std::string& line) {
    static const std::regex title("\\s*(title)\\s*=\\s*(.*\\S)\\s*", kFlags);
    static const std::regex header("\\s*(\\[fltsim\\.)(\\d+)\\]\\s*", kFlags);
    static const std::regex ivaoTitle("B738W\\s*(\\w\\w\\w).*$", kFlags);
    static const std::regex ivaoPath(".+\\\\IVAO_MTL\\\\SimObjects\\\\Airplanes\\\\IVAO_(\\w+)\\\\aircraft.cfg$",
                                     kFlags);
    expect(asText(keyLineValue(line, "title")) == regexGroup(title, line, 2), "key line as the pattern");
    expect(asText(fltsimHeaderDigits(line)) == regexGroup(header, line, 2), "fltsim header as the pattern");
    expect(asText(ivaoTitleAirline(line, "B738", true)) == regexGroup(ivaoTitle, line, 1), "IVAO title as the pattern");
    expect(asText(ivaoModelFolder(line, "IVAO_MTL")) == regexGroup(ivaoPath, line, 1), "IVAO path as the pattern");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(fuzz::bytesOf(data, size));
    for (const std::string_view key : {"title", "atc_id", "icao_airline", "atc_parking_types", "texture"}) {
        expectSoundValue(line, keyLineValue(line, key));
    }
    std::string value;
    if (lf_matchTitle(line, value)) expect(!value.empty(), "a title is never empty");
    if (lf_matchAtcId(line, value)) expect(value.size() >= 5, "an atc_id has five characters or more");
    if (lf_matchIcaoAirline(line, value)) expect(!value.empty(), "an airline is never empty");
    (void)lf_matchTexture(line, value);
    (void)lf_matchAtcParkingTypes(line, value);
    (void)lf_hasAtcIdKey(line);
    (void)lf_hasAtcParkingTypesKey(line);
    if (line.size() <= kRegexLimit) compareWithRegex(line);
    return 0;
}
