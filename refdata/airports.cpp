#include "refdata/airports.h"

#include <fmt/format.h>
#include <pugixml.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>
#include <unordered_set>

#include "core/log.h"
#include "core/paths.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/user_error.h"
#include "core/xml.h"
#include "refdata/data_file.h"

namespace qvl {

namespace {

constexpr int kAirportListErrorCode = 88;
constexpr std::size_t kAirportReserve = 15000;

struct AirportTables {
    std::vector<AirportRec> list;
    std::unordered_set<FixedCode4> codes;
    std::atomic<bool> loaded{false};
};

AirportTables& airportTables() {
    static AirportTables tables;
    return tables;
}

bool isCodeChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// The first N characters folded to upper case; none when the text is shorter
// or one of them is not a letter or digit.
template <std::size_t N>
std::optional<std::array<char, N>> foldCode(std::string_view text) {
    if (text.size() < N) return std::nullopt;
    std::array<char, N> code{};
    for (std::size_t i = 0; i < N; ++i) {
        code[i] = lf_toUpperChar(text[i]);
        if (!isCodeChar(code[i])) return std::nullopt;
    }
    return code;
}

// A known airport's code from the first four characters of the text.
std::optional<FixedCode4> knownAirportAt(std::string_view text) {
    const auto folded = foldCode<4>(text);
    if (!folded) return std::nullopt;
    const FixedCode4 code(std::string_view(folded->data(), folded->size()));
    if (!gf_isKnownAirport(code)) return std::nullopt;
    return code;
}

// Coordinates are read as the list has always been read: the leading
// number, trailing text ignored, an empty text 0. The finite check also
// turns away the "nan" and "inf" that the number reader accepts.
bool validPosition(double latitude, double longitude) {
    return std::isfinite(latitude) && std::isfinite(longitude) && std::fabs(latitude) <= 90.0 &&
           std::fabs(longitude) <= 180.0;
}

// Why an airport of the list is not stored.
enum class StoreFault { invalidPosition, invalidCode3 };

constexpr std::string_view storeFaultText(StoreFault fault) {
    switch (fault) {
        case StoreFault::invalidPosition: return "invalid position";
        case StoreFault::invalidCode3: return "invalid 3-character code";
    }
    return "?";
}

std::optional<StoreFault> readPosition(const pugi::xml_node node, AirportRec& airport) {
    const double latitude = node.attribute("la").as_double(0.0);
    const double longitude = node.attribute("lo").as_double(0.0);
    if (!validPosition(latitude, longitude)) return StoreFault::invalidPosition;
    airport.latitude = latitude;
    airport.longitude = longitude;
    return std::nullopt;
}

// An absent "i" keeps "XXX".
std::optional<StoreFault> readCode3(const pugi::xml_attribute code3, AirportRec& airport) {
    if (!code3) return std::nullopt;
    const std::string_view text = code3.as_string();
    const auto parsed = text.size() == 3 ? foldCode<3>(text) : std::nullopt;
    if (!parsed) return StoreFault::invalidCode3;
    airport.code3 = *parsed;
    return std::nullopt;
}

void lf_readAirport(const pugi::xml_node node, const FixedCode4& code, std::vector<AirportRec>& list,
                    std::unordered_set<FixedCode4>& codes) {
    const std::string_view codeText = gf_fixedCodeView(code);
    if (!node.attribute("la") || !node.attribute("lo")) {
        gf_logAttention(fmt::format("Missing latLons for airport '{}'", codeText));
        return;
    }
    if (!node.attribute("a")) {
        gf_logAttention(fmt::format("Missing alt for airport '{}'", codeText));
        return;
    }
    if (!node.attribute("s")) gf_logAttention(fmt::format("Missing stands for airport '{}'", codeText));

    AirportRec airport{
        .icao = code, .altitude = node.attribute("a").as_float(0.0f), .standCount = node.attribute("s").as_int(0)};
    const pugi::xml_attribute code3 = node.attribute("i");
    std::optional<StoreFault> fault = readPosition(node, airport);
    if (!fault) fault = readCode3(code3, airport);
    if (fault) {
        gf_log(fmt::format("Error storing airport '{}' '{}': {}", codeText, code3.as_string(), storeFaultText(*fault)));
        return;
    }
    list.push_back(airport);
    codes.insert(code);
}

// Steps that may fail; the list is built aside and taken over only whole.
void loadAirports(std::vector<AirportRec>& list, std::unordered_set<FixedCode4>& codes) {
    const std::string xmlPath = gf_pathToUtf8(kAirportsXml);
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = loadXmlFile(document, kAirportsXml);
    if (!parsed) throw std::runtime_error(xmlPath + " not loaded: " + parsed.description());
    const pugi::xml_node airports = document.child("root").child("airports");
    if (!airports) throw std::runtime_error("Missing <airports> root in: " + xmlPath);
    list.reserve(kAirportReserve);
    for (const pugi::xml_node node : airports.children("ap")) {
        // An invalid code ends the whole read: FixedCode4 throws.
        const FixedCode4 code(node.attribute("c").as_string());
        lf_readAirport(node, code, list, codes);
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const AirportRec& a, const AirportRec& b) { return a.icao < b.icao; });
    list.shrink_to_fit();
}

}  // namespace

const std::vector<AirportRec>& airportList() { return airportTables().list; }

bool gf_readAirports() {
    AirportTables& tables = airportTables();
    if (tables.loaded.load(std::memory_order_acquire)) return !tables.list.empty();

    const PlainFileGuard plainFile(kAirportsXml);
    try {
        // A failed decryption leaves no plain file and shows up as a failed load.
        gf_streamDecrypt(kAirportsEnc, kAirportsXml);
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{} exception : {}", "gf_readAirports", e.what()));
        throw;
    }
    std::vector<AirportRec> list;
    std::unordered_set<FixedCode4> codes;
    try {
        loadAirports(list, codes);
    } catch (const std::exception& e) {
        throw UserErrorException(kAirportListErrorCode, e.what());
    }
    gf_log(fmt::format("{:5} airports read", list.size()));
    tables.list = std::move(list);
    tables.codes = std::move(codes);
    tables.loaded.store(true, std::memory_order_release);
    return !tables.list.empty();
}

bool gf_isKnownAirport(const FixedCode4& code) { return airportTables().codes.contains(code); }

std::optional<FixedCode4> gf_findAirportByCode(std::string_view text) { return knownAirportAt(text); }

std::optional<FixedCode4> gf_findAirportInName(const std::filesystem::path& path) {
    // Every "-XXXX-" in the text is a candidate; of those that are airports
    // the smallest code is the first one a walk of the sorted list would meet.
    const std::string text = gf_pathToUtf8(path);
    std::optional<FixedCode4> best;
    for (std::size_t i = 0; i + 5 < text.size(); ++i) {
        if (text[i] != '-' || text[i + 5] != '-') continue;
        const auto candidate = knownAirportAt(std::string_view(text).substr(i + 1, 4));
        if (candidate && (!best || *candidate < *best)) best = candidate;
    }
    return best;
}

std::string gf_airportLabel(const AirportRec& airport) {
    std::string label = airport.icao.isSet() ? std::string(gf_fixedCodeView(airport.icao)) : std::string("?");
    if (airport.code3View() != "XXX") label += fmt::format(" ({})", airport.code3View());
    return label;
}

void resetAirportList() {
    AirportTables& tables = airportTables();
    tables.list.clear();
    tables.codes.clear();
    tables.loaded.store(false, std::memory_order_release);
}

std::optional<GeoPosition> airportPosition(const FixedCode4& code) {
    for (const AirportRec& airport : airportList()) {
        if (airport.icao == code) return GeoPosition{.latitude = airport.latitude, .longitude = airport.longitude};
    }
    return std::nullopt;
}

}  // namespace qvl
