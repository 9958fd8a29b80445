#include "airports/closest_stand.h"

#include <fmt/format.h>
#include <pugixml.hpp>

#include <chrono>
#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>
#include <utility>

#include "airports/apf_file.h"
#include "airports/apf_resolution.h"
#include "core/log.h"
#include "core/text_file.h"
#include "core/xml.h"
#include "refdata/closest_airport.h"

namespace fs = std::filesystem;

namespace qvl {

namespace {

constexpr double kNoStandNm = 100.0;

// A search given up may still be fetching into the one temporary file while
// the next one begins: one at a time fetches, parses and removes it. A leaf
// lock.
std::mutex& temporaryStandFileMutex() {
    static std::mutex temporary;
    return temporary;
}

// Removes the temporary stand file when the search ends, however it ends.
class TemporaryStandFile {
public:
    TemporaryStandFile() = default;
    ~TemporaryStandFile() {
        std::error_code ec;
        fs::remove(kClosestStandTempFile, ec);
        if (ec) gf_logAttention(fmt::format("remove {}: {}", kClosestStandTempFile, ec.message()));
    }
    TemporaryStandFile(const TemporaryStandFile&) = delete;
    TemporaryStandFile& operator=(const TemporaryStandFile&) = delete;
};

double nearestStand(const pugi::xml_node& positions, const GeoPosition& position, std::string& standId) {
    double best = kNoStandNm;
    for (const pugi::xml_node parkpos : positions.children("parkpos")) {
        const GeoPosition stand{.latitude = parkpos.attribute("latitude").as_double(0.0),
                                .longitude = parkpos.attribute("longitude").as_double(0.0)};
        const double distance = gf_distanceNm(position, stand);
        if (distance < best) {
            best = distance;
            standId = parkpos.attribute("id").as_string();
        }
    }
    return best;
}

double nearestStandIn(const fs::path& file, const GeoPosition& position, std::string& standId) {
    pugi::xml_document document;
    if (!loadXmlFile(document, file)) return kNoStandNm;
    const pugi::xml_node positions = parkPositionsOf(document);
    if (!positions) return kNoStandNm;
    return nearestStand(positions, position, standId);
}

double readNearestStand(const FixedCode4& icao, const GeoPosition& position, std::string& standId,
                        const DownloadStop& stop) {
    const std::string pathText = gf_apfPathFor(icao);
    if (pathText.empty()) return kNoStandNm;
    if (pathText.starts_with("airports")) return nearestStandIn(pathFromUtf8(pathText), position, standId);
    const std::lock_guard lock(temporaryStandFileMutex());
    const TemporaryStandFile temporary;
    const fs::path file = kClosestStandTempFile;
    if (!lf_downloadStockApf(pathText, file, stop)) return kNoStandNm;
    return nearestStandIn(file, position, standId);
}

}  // namespace

double gf_readDestApfForClosestStand(const FixedCode4& icao, const GeoPosition& position, std::string& standId,
                                     const DownloadStop& stop) {
    try {
        return readNearestStand(icao, position, standId, stop);
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{}: {}", "gf_readDestApfForClosestStand", e.what()));
        return kNoStandNm;
    }
}

ClosestAirportFindings findClosestAirport(const GeoPosition& position, const DownloadStop& stop) {
    ClosestAirportFindings findings{
        .askedAt = position, .airport = std::nullopt, .hasUserAddonApf = false, .standId = {}};
    try {
        std::map<FixedCode4, std::string> standIds;
        const AirportRec* closest =
            gf_closestAirport(position, [&](const FixedCode4& icao, const GeoPosition& at, std::string& standId) {
                const double distance = gf_readDestApfForClosestStand(icao, at, standId, stop);
                if (!standId.empty()) standIds[icao] = standId;
                return distance;
            });
        if (closest == nullptr) return findings;
        findings.airport = *closest;
        if (const auto found = standIds.find(closest->icao); found != standIds.end()) findings.standId = found->second;
        findings.hasUserAddonApf = gf_hasUserAddonApf(closest->icao);
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{}: {}", "findClosestAirport", e.what()));
    }
    return findings;
}

void ClosestAirportSearch::ask(const GeoPosition& position) {
    question_.start([position](const DownloadStop& stop) { return findClosestAirport(position, stop); });
}

}  // namespace qvl
