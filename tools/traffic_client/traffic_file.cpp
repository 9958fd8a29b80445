#include "tools/traffic_client/traffic_file.h"

#include <fmt/format.h>

#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qvl::standin {
namespace {

constexpr std::size_t kLatitudeField = 2;
constexpr std::size_t kLongitudeField = 3;
constexpr std::size_t kTimeField = 14;

double numberOf(std::string_view text, std::size_t lineNumber) {
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size()) {
        throw std::runtime_error(fmt::format("line {}: '{}' is not a number", lineNumber, text));
    }
    return value;
}

std::string_view nextWord(std::string_view& rest) {
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    const std::size_t end = rest.find(' ');
    const std::string_view word = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    return word;
}

}  // namespace

std::vector<std::string> splitLine(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.emplace_back(
            line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) return fields;
        start = comma + 1;
    }
}

std::string joinLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += ',';
        line += fields[i];
    }
    return line;
}

std::string withTime(std::string_view line, double seconds) {
    auto fields = splitLine(line);
    if (fields.size() <= kTimeField) return std::string(line);
    fields[kTimeField] = fmt::format("{:.2f}", seconds);
    return joinLine(fields);
}

std::string withPositionShift(std::string_view line, double deltaLatitude, double deltaLongitude) {
    auto fields = splitLine(line);
    if (fields.size() <= kLongitudeField) return std::string(line);
    double latitude = 0.0;
    double longitude = 0.0;
    const auto& lat = fields[kLatitudeField];
    const auto& lon = fields[kLongitudeField];
    if (std::from_chars(lat.data(), lat.data() + lat.size(), latitude).ec != std::errc{} ||
        std::from_chars(lon.data(), lon.data() + lon.size(), longitude).ec != std::errc{}) {
        return std::string(line);
    }
    fields[kLatitudeField] = fmt::format("{:.6f}", latitude + deltaLatitude);
    fields[kLongitudeField] = fmt::format("{:.6f}", longitude + deltaLongitude);
    return joinLine(fields);
}

TrafficFile parseTrafficFile(std::string_view text) {
    TrafficFile file;
    bool haveCentre = false;
    std::size_t lineNumber = 0;
    std::istringstream in{std::string(text)};
    std::string raw;
    while (std::getline(in, raw)) {
        ++lineNumber;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::string_view rest = raw;
        const std::string_view tag = nextWord(rest);
        if (tag.empty() || tag.front() == '#') continue;
        if (tag == "C") {
            file.centreLatitude = numberOf(nextWord(rest), lineNumber);
            file.centreLongitude = numberOf(nextWord(rest), lineNumber);
            haveCentre = true;
            continue;
        }
        if (tag != "T" && tag != "Q")
            throw std::runtime_error(fmt::format("line {}: unknown tag '{}'", lineNumber, tag));
        TimedDatagram d;
        d.kind = tag == "T" ? DatagramKind::traffic : DatagramKind::qnh;
        d.offsetSeconds = numberOf(nextWord(rest), lineNumber);
        d.payload = std::string(rest);
        if (d.payload.empty()) throw std::runtime_error(fmt::format("line {}: no datagram", lineNumber));
        if (!haveCentre && d.kind == DatagramKind::traffic) {
            const auto fields = splitLine(d.payload);
            if (fields.size() > kLongitudeField) {
                file.centreLatitude = numberOf(fields[kLatitudeField], lineNumber);
                file.centreLongitude = numberOf(fields[kLongitudeField], lineNumber);
                haveCentre = true;
            }
        }
        file.datagrams.push_back(std::move(d));
    }
    return file;
}

TrafficFile readTrafficFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const std::u8string name = path.u8string();  // UTF-8 on every system
        throw std::runtime_error(fmt::format("cannot read {}", std::string(name.begin(), name.end())));
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parseTrafficFile(text.str());
}

}  // namespace qvl::standin
