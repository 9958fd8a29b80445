// Reading the BGL writer's images from memory with a fixed set of known
// airports, and looking through the lines the reading gave.
#pragma once

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "airports/bgl/bgl_airports.h"
#include "tools/bgl_writer/bgl_writer.h"

namespace qvl::test {

inline const std::set<std::string>& knownBglAirports() {
    static const std::set<std::string> codes{"EHAM", "EGLL", "KJFK", "LFPG"};
    return codes;
}

inline BglReadContext bglContext() {
    return {
        .isKnownAirport = [](const FixedCode4& code) { return knownBglAirports().contains(std::string(code.view())); },
        .bglPathText = "C:/Community/scenery/ap.bgl"};
}

inline BglAirports readImage(const bgl_writer::BglImage& image) {
    const std::vector<std::uint32_t> words = bglWordsFromBytes(image.bytes);
    return readBglAirports(words, bglContext());
}

inline std::vector<std::string> linesOf(const std::vector<BglLine>& lines, BglLineKind kind) {
    std::vector<std::string> texts;
    for (const BglLine& line : lines) {
        if (line.kind == kind) texts.push_back(line.text);
    }
    return texts;
}

inline std::vector<std::string> standIds(const BglAirport& airport) {
    std::vector<std::string> ids;
    for (const Stand& stand : airport.record.stands) ids.push_back(stand.id);
    return ids;
}

inline bool hasLineStarting(const std::vector<BglLine>& lines, const std::string& start) {
    return std::any_of(lines.begin(), lines.end(), [&](const BglLine& line) { return line.text.starts_with(start); });
}

}  // namespace qvl::test
