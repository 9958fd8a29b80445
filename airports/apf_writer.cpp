// Writing stand files, generated and learned.
#include <fmt/compile.h>
#include <fmt/format.h>

#include <cmath>
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

bool writeParkingSettings(pugi::xml_node parameters) {
    bool ok = gf_appendIntParameterXml(parameters, RANGE.key(), RANGE.value());
    ok = gf_appendBoolParameterXml(parameters, AUTO_RANGE.key(), AUTO_RANGE.value()) && ok;
    ok = gf_appendBoolParameterXml(parameters, WEEK.key(), WEEK.value()) && ok;
    ok = gf_appendBoolParameterXml(parameters, PARK_SOFT.key(), PARK_SOFT.value()) && ok;
    ok = gf_appendIntParameterXml(parameters, parking_percentage.key(), parking_percentage.value()) && ok;
    ok = gf_appendBoolParameterXml(parameters, INITIAL_LOAD_ONLY.key(), INITIAL_LOAD_ONLY.value()) && ok;
    ok = gf_appendIntParameterXml(parameters, MAX_FIT.key(), maxFitFromHours(MAX_FIT_FL.floatValue())) && ok;
    ok = gf_appendIntParameterXml(parameters, MAX_LIVE_SEL.key(), MAX_LIVE_SEL.value()) && ok;
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

// A generated file's parkpos element as the document would write it, at
// its depth, with writeGeometry's rows in their order.
void appendGeneratedStand(std::string& out, const Stand& stand) {
    out += "    <parkpos id=\"";
    appendAttributeText(out, stand.id);
    // Formats compiled once: the same texts as the document's, without
    // parsing a format string for every stand.
    fmt::memory_buffer numbers;
    fmt::format_to(std::back_inserter(numbers),
                   FMT_COMPILE("\" latitude=\"{:.6f}\" longitude=\"{:.6f}\" heading=\"{:.1f}\" radius=\"{:.1f}\""),
                   stand.latitude, stand.longitude, stand.heading * kRadToDeg, stand.radius * kMetresPerNm);
    if (stand.heli) {
        fmt::format_to(std::back_inserter(numbers), FMT_COMPILE(" heli=\"true\""));
    } else {
        fmt::format_to(std::back_inserter(numbers), FMT_COMPILE(" type=\"{}\""), static_cast<int>(stand.type));
    }
    out.append(numbers.data(), numbers.size());
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
    if (!generated) ok = writeParkingSettings(parameters) && ok;
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
