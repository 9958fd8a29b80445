#include "airports/addon/addon_airport.h"

#include <fmt/format.h>

#include <algorithm>
#include <exception>
#include <iterator>
#include <memory>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

#include "airports/apf_file.h"
#include "core/files.h"
#include "core/paths.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/user_error.h"
#include "refdata/airports.h"
#include "refdata/dbase.h"
#include "refdata/lookups.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kAttention = "===> ";

bool isSimaddon(std::string_view publisher) { return publisher == kSimaddonPublisher; }

fs::path airportFolderFor(std::string_view publisher) {
    return isSimaddon(publisher) ? kMySimaddonFolder : kMyThirdpartyFolder;
}

const TextSet& archivedSimaddons(const AddonAirportParts& parts) {
    return parts.simNumber == 2 ? dbaseTables().simaddonAirports24 : dbaseTables().simaddonAirports20;
}

const std::vector<ThirdpartyEntry>& archivedThirdparties(const AddonAirportParts& parts) {
    return parts.simNumber == 2 ? dbaseTables().thirdparties24 : dbaseTables().thirdparties20;
}

std::string blanksAsPercent20(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == ' ') {
            out += "%20";
        } else {
            out += c;
        }
    }
    return out;
}

// One line, the archive path, through a temporary file; a link file that
// is not on disk must not count as a link.
bool writeLinkFile(AirportsScanState& state, const fs::path& folder, const FixedCode4& icao,
                   const std::string& archivePath) {
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    return writeProducedFile(state, folder / lf_apfTxtFileName(icao), archivePath + "\n");
}

ArchiveLink linkTo(const AddonAirportParts& parts, const ApfRecord& record, const std::string& archivePath,
                   std::int32_t archivedStands) {
    const bool simaddon = isSimaddon(record.publisher);
    const fs::path folder = airportFolderFor(record.publisher);
    if (!writeLinkFile(parts.scan, folder, record.icao, archivePath)) {
        lf_addScanLogLine(parts.scan, fmt::format("{}link file {} could not be written, the airport gets its own file",
                                                  kAttention, gf_pathToUtf8(folder / lf_apfTxtFileName(record.icao))));
        return {.outcome = LinkOutcome::linkNotWritten, .archivedStands = archivedStands};
    }
    if (simaddon) {
        lf_addScanLogLine(parts.scan, fmt::format("{} airport {} linked to {}\n", kSimaddonPublisher,
                                                  record.icao.view(), archivePath));
    } else {
        lf_addScanLogLine(parts.scan,
                          fmt::format("thirdparty airport {} linked to {}\n", record.icao.view(), archivePath));
    }
    return {.outcome = LinkOutcome::linked, .archivedStands = archivedStands};
}

// How the facility data answered. The reader tells a failed read by false;
// a read that gave no stand at all is no failure of the connection.
std::optional<FixedCode4> icaoFromStem(AirportsScanState& state, const fs::path& bglFile) {
    const std::string stem = gf_pathToUtf8(bglFile.stem());
    if (stem.size() != 4) return std::nullopt;
    const FixedCode4 code(stem);  // throws for a character other than a letter or digit
    if (gf_isKnownAirport(code)) {
        lf_addScanLogLine(state, fmt::format("ICAO code '{}' as BGL stem", code.view()));
        return code;
    }
    lf_addScanLogLine(
        state, fmt::format("no supported airport ICAO code '{}' as BGL stem {}", code.view(), gf_pathToUtf8(bglFile)));
    return std::nullopt;
}

DetectedAirport detectAirport(AirportsScanState& state, const fs::path& bglFile) {
    DetectedAirport found;
    if ((found.icao = icaoFromStem(state, bglFile))) return found;
    found.manifest = gf_searchManifest(state, bglFile);
    if (!found.manifest) return found;
    if ((found.icao = gf_findAirportByCode(found.manifest->title))) {
        lf_addScanLogLine(state, fmt::format("airport has ICAO '{}' in title of manifest", found.icao->view()));
        return found;
    }
    lf_addScanLogLine(state, "no supported airport ICAO in title of manifest");
    if ((found.icao = gf_findAirportInName(bglFile))) {
        lf_addScanLogLine(state, fmt::format("airport has ICAO '{}' in BGL path", found.icao->view()));
        return found;
    }
    lf_addScanLogLine(state, "no supported airport ICAO in BGL path");
    return found;
}

void sortUnique(std::vector<fs::path>& paths) {
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
}

}  // namespace

std::optional<std::string> lf_existsAsSimaddon(const AddonAirportParts& parts, const FixedCode4& icao) {
    if (archivedSimaddons(parts).contains(icao.view())) {
        return fmt::format("archive/{}/{}.xml", kSimaddonPublisher, icao.view());
    }
    lf_addScanLogLine(parts.scan, fmt::format("{} does not exist as simaddon", icao.view()));
    return std::nullopt;
}

std::optional<std::string> lf_existsAsThirdparty(const AddonAirportParts& parts, std::string_view publisher,
                                                 const FixedCode4& icao, std::int32_t& archivedStands) {
    archivedStands = 0;
    for (const ThirdpartyEntry& row : archivedThirdparties(parts)) {
        if (row.publisher != publisher) continue;
        for (const std::string& entry : row.airports) {
            if (gf_parseCodeNumber(publisher, icao, archivedStands, entry)) {
                return fmt::format("archive/thirdparty/{}/{}.xml", blanksAsPercent20(publisher), icao.view());
            }
        }
    }
    lf_addScanLogLine(parts.scan, fmt::format("thirdparty {} {} does not exist", publisher, icao.view()));
    return std::nullopt;
}

ArchiveLink link2archive(const AddonAirportParts& parts, ApfRecord& record, const std::optional<PublisherInfo>& details,
                         const fs::path& path) {
    record.bglPath = gf_pathToUtf8(path);
    if (record.publisher.empty()) {
        AddonPublisher found = lf_findPublisher(parts.scan, path, details);
        record.publisher = std::move(found.publisher);
        record.manufacturer = std::move(found.manufacturer);
        record.creator = std::move(found.creator);
        record.title = std::move(found.title);
    }
    if (record.publisher.empty()) return {};
    if (isSimaddon(record.publisher)) {
        const auto archivePath = lf_existsAsSimaddon(parts, record.icao);
        if (!archivePath) return {};
        return linkTo(parts, record, *archivePath, 0);
    }
    std::int32_t archivedStands = 0;
    const auto archivePath = lf_existsAsThirdparty(parts, record.publisher, record.icao, archivedStands);
    if (!archivePath) return {};
    return linkTo(parts, record, *archivePath, archivedStands);
}

AirportFileOutcome lf_generateAirportFile(const AddonAirportParts& parts, ApfRecord& record, std::int32_t helipads) {
    const std::size_t n = record.stands.size();
    if (n == 0) return AirportFileOutcome::noStands;
    const fs::path folder = airportFolderFor(record.publisher);
    const fs::path fileName = gf_apfXmlFileName(record.icao);
    const std::string helipadText =
        helipads >= 1 ? fmt::format(", of which {} helipad{}\n", helipads, gf_pluralSuffixInt(helipads)) : "";
    lf_addScanLogLine(parts.scan, fmt::format("Generated {}: {} position{}{}", gf_pathToUtf8(fileName), n,
                                              gf_pluralSuffixSize(n), helipadText));
    // The BGL reader hands its stands sorted already; a look costs less
    // than a sort.
    const auto byId = [](const Stand& a, const Stand& b) { return a.id < b.id; };
    if (!std::is_sorted(record.stands.begin(), record.stands.end(), byId)) {
        std::stable_sort(record.stands.begin(), record.stands.end(), byId);
    }
    fs::create_directories(folder);
    const fs::path target = folder / fileName;
    std::optional<std::string> bytes = apfBytes(record, {.mode = ApfMode::generated, .simNumber = parts.simNumber});
    if (!bytes || !writeProducedFile(parts.scan, target, *bytes)) {
        lf_addScanLogLine(parts.scan,
                          fmt::format("{}Generating {} did not succeed", kAttention, gf_pathToUtf8(target)));
        return AirportFileOutcome::failed;
    }
    // Kept as written: tblo.zip is packed from these bytes, never from a copy.
    parts.scan.generatedFiles.insert_or_assign(
        target, GeneratedStandFile{.icao = record.icao,
                                   .publisher = record.publisher,
                                   .manufacturer = record.manufacturer,
                                   .creator = record.creator,
                                   .bytes = std::make_shared<const std::string>(std::move(*bytes))});
    return AirportFileOutcome::written;
}

AirportFileOutcome generateFromFacilityData(const AddonAirportParts& parts, FacilityParkingSource& facilities,
                                            ApfRecord& record) {
    std::int32_t helipads = 0;
    FacilityReadResult read = facilities.readFacilityParking(std::string(record.icao.view()), record, helipads);
    addScanLogLines(parts.scan, std::move(read.scanLogLines));
    if (endsScanForConnection(read.outcome)) {
        lf_addScanLogLine(
            parts.scan,
            fmt::format("Reading Facilites data for {} via SimConnect failed, is MSFS connected?", record.icao.view()));
        (void)writeScanLog(parts.scan);
        throw UserErrorException(kFacilityDataUnavailableCode,
                                 "MSFS must be connected to get addon airport data via SimConnect");
    }
    switch (read.outcome) {
        case FacilityReadOutcome::standsRead: return lf_generateAirportFile(parts, record, helipads);
        case FacilityReadOutcome::closing: return AirportFileOutcome::closing;
        // No stand and no helipad, or the simulator refused the airport: its
        // line is in the scan log and the scan goes on.
        default: return AirportFileOutcome::noStands;
    }
}

DetectedAirport lf_detectAirportICAO(AirportsScanState& state, const fs::path& bglFile) {
    try {
        return detectAirport(state, bglFile);
    } catch (const std::exception& e) {
        lf_addScanLogLine(state, fmt::format("Exception {}", e.what()));
        return {};
    }
}

LeftoverPassCounts lf_processAddonAirport(const AddonAirportParts& parts, FacilityParkingSource& facilities,
                                          const std::set<fs::path>& inFlight) {
    AirportsScanState& state = parts.scan;
    // The order of AirportsScanState: opened, then handled; the scan-log
    // mutex is taken inside, for each line.
    const std::scoped_lock lists(state.bglPathsMutex, state.bglHandledMutex);
    sortUnique(state.bglFilesOpened);
    sortUnique(state.bglFilesHandled);
    std::vector<fs::path> unread;
    std::set_difference(state.bglFilesOpened.begin(), state.bglFilesOpened.end(), state.bglFilesHandled.begin(),
                        state.bglFilesHandled.end(), std::back_inserter(unread));

    LeftoverPassCounts counts{.unread = unread.size()};
    if (!unread.empty()) {
        lf_addScanLogLine(state, fmt::format("\n\n\n ******************** Could not read {} BGL file{}", unread.size(),
                                             gf_pluralSuffixSize(unread.size())));
    }
    for (const fs::path& bglFile : unread) {
        const std::string bglText = gf_pathToUtf8(bglFile);
        if (inFlight.contains(bglFile)) {
            // Its task may still hand in the airport; reading it here too
            // would write the same files twice.
            lf_addScanLogLine(state, fmt::format("\nBGL: {} is still being read, left out", bglText));
            ++counts.inFlight;
            continue;
        }
        lf_addScanLogLine(state, fmt::format("\nBGL: {}", bglText));
        ApfRecord record{.bglPath = bglText};
        const DetectedAirport detected = lf_detectAirportICAO(state, bglFile);
        if (!detected.icao) {
            lf_addScanLogLine(state, "==> airport could not be detected");
            continue;
        }
        record.icao = *detected.icao;
        const ArchiveLink link = link2archive(parts, record, detected.manifest, bglFile);
        if (link.linked()) {
            ++counts.linked;
            continue;
        }
        // An unarchived simulator add-on gets no file of its own.
        if (link.outcome == LinkOutcome::notArchived && isSimaddon(record.publisher)) continue;
        const AirportFileOutcome generated = generateFromFacilityData(parts, facilities, record);
        if (generated == AirportFileOutcome::closing) break;
        if (generated == AirportFileOutcome::written) ++counts.generated;
        if (generated == AirportFileOutcome::noStands) ++counts.noStands;
    }
    state.bglFilesOpened.clear();
    state.bglFilesHandled.clear();
    return counts;
}

}  // namespace qvl
