// Writing stand files, generated and learned.
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <exception>
#include <gsl/narrow>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "airports/apf_file.h"
#include "core/log.h"
#include "core/meta_info.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/rounding.h"
#include "core/settings.h"
#include "core/xml.h"
#include "platform/units.h"
#include "refdata/code_table.h"

namespace fs = std::filesystem;

namespace qvl {

namespace {

std::string metresText(double nauticalMiles) { return fmt::format("{:.1f}", nauticalMiles * kMetresPerNm); }

// MAX_FIT as the hours of MAX_FIT_FL give it: 0.5 hours is 0, 24 hours 47.
std::int32_t maxFitFromHours(float hours) { return roundToInt32(2.0 * static_cast<double>(hours)) - 1; }

bool writeParkingSettings(pugi::xml_node parameters, const ApfParkingSettings& settings) {
    bool ok = gf_appendIntParameterXml(parameters, RANGE.key(), settings.range);
    ok = gf_appendBoolParameterXml(parameters, AUTO_RANGE.key(), settings.autoRange) && ok;
    ok = gf_appendBoolParameterXml(parameters, WEEK.key(), settings.week) && ok;
    ok = gf_appendBoolParameterXml(parameters, PARK_SOFT.key(), settings.parkSoft) && ok;
    ok = gf_appendIntParameterXml(parameters, parking_percentage.key(), settings.parkingPercentage) && ok;
    ok = gf_appendBoolParameterXml(parameters, INITIAL_LOAD_ONLY.key(), settings.initialLoadOnly) && ok;
    ok = gf_appendIntParameterXml(parameters, MAX_FIT.key(), settings.maxFit) && ok;
    ok = gf_appendIntParameterXml(parameters, MAX_LIVE_SEL.key(), settings.maxLiveSel) && ok;
    return ok;
}

bool writeChangeBlock(pugi::xml_node parkpos, const Stand& stand) {
    bool ok = true;
    if (stand.radiusChange) {
        ok = gf_appendAttribute(parkpos, "radius_change", "true") && ok;
        ok = gf_appendAttribute(parkpos, "radius", metresText(stand.radius)) && ok;
    }
    if (stand.cargoChange) {
        ok = gf_appendAttribute(parkpos, "cargo_change", "true") && ok;
        ok = gf_appendAttribute(parkpos, "cargo", stand.cargo ? "true" : "false") && ok;
    }
    return ok;
}

bool writeGeometry(pugi::xml_node parkpos, const Stand& stand) {
    bool ok = gf_appendAttribute(parkpos, "latitude", fmt::format("{:.6f}", stand.latitude));
    ok = gf_appendAttribute(parkpos, "longitude", fmt::format("{:.6f}", stand.longitude)) && ok;
    ok = gf_appendAttribute(parkpos, "heading", fmt::format("{:.1f}", stand.heading * kRadToDeg)) && ok;
    ok = gf_appendAttribute(parkpos, "radius", metresText(stand.radius)) && ok;
    if (stand.heli) {
        ok = gf_appendAttribute(parkpos, "heli", "true") && ok;
    } else {
        ok = gf_appendAttribute(parkpos, "type", std::to_string(static_cast<int>(stand.type))) && ok;
    }
    if (stand.manual) ok = gf_appendAttribute(parkpos, "manual", "true") && ok;
    return ok;
}

// The hours as one run ("3:5", "7"), or as a list when they are not one run;
// none for the empty set.
std::optional<std::string> hoursText(const HalfHourSlots& hours) {
    if (auto range = gf_bitsetToRange(hours)) return range;
    return gf_bitsetToList(hours);
}

bool keptAtSave(const LearnedFlight& flight) {
    // Ordinal 0 only says that the last selection left the flight out: a
    // flight learned here is kept whatever its ordinal; one that came from
    // the stand file itself is dropped.
    if (flight.ordinal == 0 && flight.source == FlightSource::standFile) return false;
    return !flight.registration.empty();
}

bool writeOpt(pugi::xml_node parkpos, const LearnedFlight& flight) {
    if (!keptAtSave(flight)) return true;
    const auto hours = hoursText(flight.hours);
    if (!hours) {
        gf_logAttention(fmt::format("bit set problem: {} {} {}", flight.registration, flight.callsign1,
                                    flightCodeText(flight.ids)));
        return true;
    }
    pugi::xml_node opt = parkpos.append_child("opt");
    if (!opt) return false;
    bool ok = gf_appendAttribute(opt, "reg", flight.registration);
    if (!flight.hasDbaseIds()) {
        ok = gf_appendAttribute(opt, "airl", airlineCodeOf(flight.ids.airlineId)) && ok;
        ok = gf_appendAttribute(opt, "type", modelCodeOf(flight.ids.modelId)) && ok;
    }
    if (!flight.real) ok = gf_appendAttribute(opt, "soft", "true") && ok;
    ok = gf_appendAttribute(opt, "day", std::to_string(flight.day)) && ok;
    ok = gf_appendAttribute(opt, "hh", *hours) && ok;
    if (!flight.callsign1.empty()) {
        const std::string cs =
            flight.callsign2.empty() ? flight.callsign1 : fmt::format("{}:{}", flight.callsign1, flight.callsign2);
        ok = gf_appendAttribute(opt, "cs", cs) && ok;
    }
    if (flight.cpl) ok = gf_appendAttribute(opt, "cpl", "true") && ok;
    return ok;
}

bool writeStand(pugi::xml_node positions, const Stand& stand, const ApfSaveOptions& options) {
    pugi::xml_node parkpos = positions.append_child("parkpos");
    if (!parkpos) return false;
    bool ok = gf_appendAttribute(parkpos, "id", stand.id);
    const bool learned = options.mode == ApfMode::learned;
    const bool changed = stand.radiusChange || stand.cargoChange;
    if (learned && !stand.manual && changed) {
        ok = writeChangeBlock(parkpos, stand) && ok;
    } else if (!learned || stand.manual || options.handmade) {
        ok = writeGeometry(parkpos, stand) && ok;
    }
    if (!learned) return ok;
    for (const LearnedFlight& flight : stand.flights) ok = writeOpt(parkpos, flight) && ok;
    return ok;
}

// The text pugixml writes for an attribute value between double quotes.
void appendAttributeText(std::string& out, std::string_view text) {
    text = text.substr(0, text.find('\0'));  // the document keeps C strings
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 32 && c != '&' && c != '<' && c != '"';
    });
    if (plain) {
        out += text;
        return;
    }
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32) {
            out += "&#";
            out += static_cast<char>('0' + byte / 10);
            out += static_cast<char>('0' + byte % 10);
            out += ';';
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '"') {
            out += "&quot;";
        } else {
            out += c;
        }
    }
}

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Wide;  // NOLINT(modernize-use-using): the extension needs a typedef
#endif

// The text of "{:.Nf}" for a value with N decimals (N at most 9): the exact
// binary value rounded half to even, as printf and fmt round it. Values below
// 2^53 in magnitude are rounded here in integers, at a fraction of the cost
// of a general formatter; any other value (and a platform without 128-bit
// integers) takes fmt's own way, so every value gives fmt's text.
void appendFixed(std::string& out, double value, int decimals) {
#if defined(__SIZEOF_INT128__)
    constexpr std::array<std::uint64_t, 10> kPowersOfTen{1,      10,      100,      1000,      10000,
                                                         100000, 1000000, 10000000, 100000000, 1000000000};
    constexpr int kMantissaBits = 52;
    constexpr int kExponentBias = 1075;  // the bias and the mantissa's bits
    constexpr int kLargestShift = 100;   // smaller values take the general way
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto biased = static_cast<int>((bits >> kMantissaBits) & 0x7FFU);
    const int shift = kExponentBias - biased;  // value = mantissa / 2^shift
    if (decimals >= 0 && decimals <= 9 && biased != 0 && shift >= 0 && shift <= kLargestShift) {
        const std::uint64_t mantissa =
            (bits & ((std::uint64_t{1} << kMantissaBits) - 1)) | (std::uint64_t{1} << kMantissaBits);
        const Wide scaled = static_cast<Wide>(mantissa) * kPowersOfTen[static_cast<std::size_t>(decimals)];
        Wide whole = scaled >> shift;
        if (shift > 0) {
            const Wide rest = scaled - (whole << shift);
            const Wide half = static_cast<Wide>(1) << (shift - 1);
            if (rest > half || (rest == half && (whole & 1U) != 0)) ++whole;
        }
        if ((whole >> 64) == 0) {
            // The digits from the last on, at least one before the point.
            std::array<char, 32> text{};
            char* const end = text.data() + text.size();
            char* first = end;
            auto rounded = static_cast<std::uint64_t>(whole);
            const auto places = static_cast<std::size_t>(decimals);
            std::size_t count = 0;
            while (rounded != 0 || count <= places) {
                *--first = static_cast<char>('0' + rounded % 10);
                rounded /= 10;
                if (++count == places) *--first = '.';
            }
            if ((bits >> 63) != 0) *--first = '-';
            out.append(first, end);
            return;
        }
    }
#endif
    fmt::format_to(std::back_inserter(out), "{:.{}f}", value, decimals);
}

// A generated file's parkpos element as the document would write it, at
// its depth, with writeGeometry's rows in their order.
void appendGeneratedStand(std::string& out, const Stand& stand) {
    out += "    <parkpos id=\"";
    appendAttributeText(out, stand.id);
    out += "\" latitude=\"";
    appendFixed(out, stand.latitude, 6);
    out += "\" longitude=\"";
    appendFixed(out, stand.longitude, 6);
    out += "\" heading=\"";
    appendFixed(out, stand.heading * kRadToDeg, 1);
    out += "\" radius=\"";
    appendFixed(out, stand.radius * kMetresPerNm, 1);
    out += '"';
    if (stand.heli) {
        out += " heli=\"true\"";
    } else {
        std::array<char, 8> type{};
        const auto written = std::to_chars(type.data(), type.data() + type.size(), static_cast<int>(stand.type));
        out += " type=\"";
        out.append(type.data(), written.ptr);
        out += '"';
    }
    if (stand.manual) out += " manual=\"true\"";
    out += " />\n";
}

bool buildDocument(pugi::xml_document& document, const ApfRecord& record, const ApfSaveOptions& options,
                   bool withStands = true) {
    MetaInfo meta;
    meta.version = gf_versionToString(programVersion());
    meta.sim = options.simNumber;
    if (!gf_writeMetaInfo(document, meta)) return false;
    pugi::xml_node root = document.child("root");
    if (!root) root = document.append_child("root");
    if (!root || !lf_writeApfParameters(root, record, options)) return false;
    pugi::xml_node positions = root.append_child("parkpositions");
    if (!positions) return false;
    if (!withStands) return true;
    for (const Stand& stand : record.stands) {
        if (!writeStand(positions, stand, options)) return false;
    }
    return true;
}

}  // namespace

ApfParkingSettings currentApfParkingSettings() {
    return {.range = RANGE.value(),
            .autoRange = AUTO_RANGE.value(),
            .week = WEEK.value(),
            .parkSoft = PARK_SOFT.value(),
            .parkingPercentage = parking_percentage.value(),
            .initialLoadOnly = INITIAL_LOAD_ONLY.value(),
            .maxFit = maxFitFromHours(MAX_FIT_FL.floatValue()),
            .maxLiveSel = MAX_LIVE_SEL.value()};
}

bool lf_writeApfParameters(pugi::xml_node root, const ApfRecord& record, const ApfSaveOptions& options) {
    pugi::xml_node parameters = root.append_child("parameters");
    if (!parameters) return false;
    const bool generated = options.mode == ApfMode::generated;
    bool ok = gf_appendStringParameterXml(parameters, "airport_name", record.airportName);
    ok = gf_appendStringParameterXml(parameters, "publisher", record.publisher) && ok;
    if (options.handmade) ok = gf_appendBoolParameterXml(parameters, "handmade", true) && ok;
    if (options.handmade || generated) ok = gf_appendIntParameterXml(parameters, "altitude", record.altitude) && ok;
    if (generated) {
        ok = gf_appendStringParameterXml(parameters, "num_parkpos", std::to_string(record.stands.size())) && ok;
    }
    if (options.handmade) {
        ok = gf_appendIntParameterXml(parameters, "Qf_real", record.qfReal) && ok;
        ok = gf_appendIntParameterXml(parameters, "Qf_soft", record.qfSoft) && ok;
    }
    if (record.publisher.empty()) {
        ok = gf_appendStringParameterXml(parameters, "BGLpath", record.bglPath) && ok;
        ok = gf_appendStringParameterXml(parameters, "manufacturer", record.manufacturer) && ok;
        ok = gf_appendStringParameterXml(parameters, "creator", record.creator) && ok;
    }
    if (!generated)
        ok = writeParkingSettings(parameters, options.parkingSettings.value_or(currentApfParkingSettings())) && ok;
    return ok;
}

std::optional<std::string> apfBytes(const ApfRecord& record, const ApfSaveOptions& options) {
    try {
        pugi::xml_document document;
        // A scan generates files of thousands of stands: their rows are
        // written as text, the same bytes the document gives, at a fraction
        // of the cost of a node and formatted strings per attribute.
        const bool standsAsText = options.mode == ApfMode::generated && !record.stands.empty();
        if (!buildDocument(document, record, options, !standsAsText)) return std::nullopt;
        std::optional<std::string> bytes = xmlDocumentText(document);
        if (!bytes || !standsAsText) return bytes;
        constexpr std::string_view kEmptyEnd = "  <parkpositions />\n</root>\n";
        if (!bytes->ends_with(kEmptyEnd)) return std::nullopt;
        bytes->resize(bytes->size() - kEmptyEnd.size());
        bytes->reserve(bytes->size() + record.stands.size() * 120 + 64);
        *bytes += "  <parkpositions>\n";
        for (const Stand& stand : record.stands) appendGeneratedStand(*bytes, stand);
        *bytes += "  </parkpositions>\n</root>\n";
        return bytes;
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{}: {}", "apfBytes", e.what()));
        return std::nullopt;
    }
}

bool gf_saveApf(const ApfRecord& record, const fs::path& target, const ApfSaveOptions& options) {
    try {
        pugi::xml_document document;
        if (!buildDocument(document, record, options) || target.empty()) return false;
        std::error_code ignored;
        fs::create_directories(target.parent_path(), ignored);
        return gf_saveXmlDocument(document, target);
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{}: {}", "gf_saveApf", e.what()));
        return false;
    }
}

}  // namespace qvl
