#include "airports/closest_stand.h"

#include <fmt/format.h>
#include <pugixml.hpp>

#include <exception>
#include <filesystem>
#include <system_error>

#include "airports/apf_file.h"
#include "airports/apf_resolution.h"
#include "core/log.h"
#include "core/text_file.h"

namespace fs = std::filesystem;

namespace qvl {

namespace {

constexpr double kNoStandNm = 100.0;

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

double readNearestStand(const FixedCode4& icao, const GeoPosition& position, std::string& standId,
                        const RunState& run) {
    const std::string pathText = gf_apfPathFor(icao);
    if (pathText.empty()) return kNoStandNm;
    fs::path file = pathFromUtf8(pathText);
    if (!pathText.starts_with("airports")) {
        file = kClosestStandTempFile;
        if (!lf_downloadStockApf(pathText, file, [&run] { return run.isClosing(); })) return kNoStandNm;
    }
    pugi::xml_document document;
    if (!document.load_file(file.c_str())) return kNoStandNm;
    const pugi::xml_node positions = parkPositionsOf(document);
    if (!positions) return kNoStandNm;
    return nearestStand(positions, position, standId);
}

}  // namespace

double gf_readDestApfForClosestStand(const FixedCode4& icao, const GeoPosition& position, std::string& standId,
                                     const RunState& run) {
    try {
        const TemporaryStandFile temporary;
        return readNearestStand(icao, position, standId, run);
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{}: {}", "gf_readDestApfForClosestStand", e.what()));
        return kNoStandNm;
    }
}

}  // namespace qvl
