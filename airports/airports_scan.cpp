#include "airports/airports_scan.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "airports/addon/publishers.h"
#include "airports/addon/tblo.h"
#include "core/files.h"
#include "core/folder_walk.h"
#include "core/log.h"
#include "core/messages.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/user_error.h"
#include "core/xml.h"
#include "platform/sys/cpu_time.h"
#include "refdata/airports.h"
#include "refdata/lookups.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kAttention = "===> ";
constexpr std::string_view kStreamedFolderName = "StreamedPackages";
constexpr std::size_t kLongestPathUnits = 250;

// Streamed packages that hold no airport of their own.
constexpr std::array<std::string_view, 23> kStreamedSkips = {"fs20-",
                                                             "-landingchallenge-",
                                                             "-discovery-",
                                                             "-challenges-",
                                                             "-aircraft-",
                                                             "-certification-",
                                                             "-training-",
                                                             "-activities-",
                                                             "-passiveaircraft-",
                                                             "-trainings-",
                                                             "-fs-base-",
                                                             "-travelbook-",
                                                             "-simobjects-",
                                                             "-modellib-",
                                                             "-texturelib",
                                                             "-textlib",
                                                             "-scenery-",
                                                             "-surface-",
                                                             "-vfx-",
                                                             "-coverage-",
                                                             "-point-of-interest",
                                                             "-proceduralgeneration",
                                                             "-simattachmentlib-"};

// Folders of BGL packages that hold no add-on airport (compared lower-cased).
constexpr std::array<std::string_view, 14> kBglSkips = {
    "fs-base",       "tutorials",           "aircraft",   "bushtrip",
    "discovery",     "point-of-interest",   "simobjects", "vcockpits",
    "aig-aitraffic", "justflight-aircraft", "fsltl",      "gsx-pro",
    "gsx-world",     "landingchallenge"};

// BGL files of these folders are no airports.
constexpr std::array<std::string_view, 3> kBglFileSkips = {"statics", "afcad updates", "_heliports"};

bool containsAny(std::string_view text, std::span<const std::string_view> words) {
    return std::any_of(words.begin(), words.end(),
                       [text](std::string_view word) { return text.find(word) != std::string_view::npos; });
}

std::string lowered(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// The path's length in the UTF-16 units that Windows counts.
std::size_t utf16Units(const std::string& utf8) {
    std::size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0U) != 0x80U) units += byte >= 0xF0U ? 2 : 1;  // a lead byte or an ASCII byte
    }
    return units;
}

// Cheap tests first: the path, then the extension, then the short read of
// the file's section table.
bool isAirportBglCandidate(const WalkEntry& e) {
    std::error_code ec;
    if (!e.entry.is_regular_file(ec) || ec) return false;
    if (lowered(gf_pathToUtf8(e.entry.path().extension())) != ".bgl") return false;
    if (containsAny(e.pathText, kBglFileSkips)) return false;
    return lf_hasAirportSection(e.entry.path());
}

std::string bannerFor(const fs::path& folder, std::string_view what) {
    return fmt::format("\n\n\n+++++++++++++++++ Scanning for {} in:\n{}\n", what, gf_pathToUtf8(folder));
}

}  // namespace

bool lf_isSkippedFolder(const std::string& pathText) {
    return utf16Units(pathText) >= kLongestPathUnits || containsAny(lowered(pathText), kBglSkips);
}

AirportsScanCounts AirportsScan::gf_scanAirports(const AirportsScanPlace& place) {
    gf_showMessage("Scanning for airports ...", MessageLogging::notLogged);
    gf_log("\n++++++++++++++++++++++++ airports scan automatic  starts +++++++++++++++++++++++++++++");
    gf_flushLog();
    if (!fs::exists(kTbloFolder)) {
        fs::create_directory(kTbloFolder);
    } else {
        gf_removeFilesFromDirectory(kTbloFolder);
    }
    cpu_ = {};
    phase_ = Phase::generate;
    phaseStart_ = sys::threadCpuTime();
    FacilityDataReader facilities(parts_.simulator, parts_.run, parts_.facilityTiming);
    Scan scan{.addon = {.scan = state_, .simNumber = place.simNumber}, .facilities = facilities};
    try {
        lf_runAirportsScan(place, scan);
    } catch (...) {
        // The folders hold what this scan produced, as they do after a scan
        // that ended normally. What was written stays safe against a kill as
        // it is; the flush only takes it to the disk.
        settleFolder(state_, kMySimaddonFolder);
        settleFolder(state_, kMyThirdpartyFolder);
        (void)state_.files.flush();
        throw;
    }
    enterPhase(Phase::pack);
    // Every file the scan wrote reaches the disk here, at once.
    (void)state_.files.flush();
    if (state_.tbloFileCount.load() == 0) fs::remove_all(kTbloFolder);
    parts_.status.statusChanged();
    facilities.close();
    gf_log("-------------------------- airports scan ends    ----------------------------\n");
    gf_flushLog();
    AirportsScanCounts counts{.simaddonAirports = gf_countFilesInFolder(kMySimaddonFolder),
                              .thirdpartyAirports = gf_countFilesInFolder(kMyThirdpartyFolder),
                              .unrecognisedAirports = state_.tbloFileCount.load()};
    enterPhase(Phase::pack);
    counts.cpu = cpu_;
    return counts;
}

void AirportsScan::enterPhase(Phase next) {
    const std::chrono::nanoseconds now = sys::threadCpuTime();
    const std::chrono::nanoseconds spent = now - phaseStart_;
    switch (phase_) {
        case Phase::walk: cpu_.walk += spent; break;
        case Phase::generate: cpu_.generate += spent; break;
        case Phase::pack: cpu_.pack += spent; break;
    }
    phase_ = next;
    phaseStart_ = now;
}

void AirportsScan::forgetUnrecognisedAirports() { state_.tbloFileCount.store(0); }

void AirportsScan::lf_runAirportsScan(const AirportsScanPlace& place, Scan& scan) {
    // The folders' files stay until the scan has produced its own: those
    // it produces alike are not written again (see settleFolder).
    state_.earlierFiles.clear();
    noteEarlierFiles(state_, kMySimaddonFolder);
    noteEarlierFiles(state_, kMyThirdpartyFolder);
    if (!lf_scanAirportFolders(place, scan)) {
        gf_showMessage("Warning: Scan has not found any add-on airports", MessageLogging::logged);
    }
    SCAN_AIRPORTS.set(false);
    gf_saveBoolParameter(SCAN_AIRPORTS);
    parts_.status.settingChanged(SCAN_AIRPORTS);
}

bool AirportsScan::lf_scanAirportFolders(const AirportsScanPlace& place, Scan& scan) {
    gf_log(fmt::format("The scan will search {} folder{}", place.folders.size(),
                       gf_pluralSuffixSize(place.folders.size())));
    gf_flushLog();
    std::error_code ec;
    fs::remove(kAirportsScanLogFile, ec);
    if (ec) gf_log(fmt::format("problems with removing previous files (maybe still open?): {}", ec.message()));
    state_.reset();
    pendingBgl_.clear();
    inFlightBgl_.clear();
    lf_scanFolder(place, scan);
    settleFolder(state_, kMySimaddonFolder);
    settleFolder(state_, kMyThirdpartyFolder);
    enterPhase(Phase::pack);
    (void)writeScanLog(state_);
    gf_log(fmt::format("{} written", gf_pathToUtf8(kAirportsScanLogFile)));
    gf_flushLog();
    gf_clearMessage();
    clearScanLog(state_);
    lf_copyThirdpartyFiles(state_);
    (void)lf_zipTbloFolder(state_, parts_.status);
    const std::uint64_t thirdparty = gf_countFilesInFolder(kMyThirdpartyFolder);
    parts_.status.showCount(StatusCount::thirdpartyAirports, thirdparty);
    parts_.status.statusChanged();
    return thirdparty != 0;
}

void AirportsScan::lf_scanFolder(const AirportsScanPlace& place, Scan& scan) {
    for (const fs::path& folder : place.folders) {
        // A package folder is the install path joined with its name; without
        // an install path it would be a folder of the working folder.
        if (folder.empty() || folder.is_relative()) continue;
        const std::string text = gf_pathToUtf8(folder);
        if (!fs::exists(folder)) {
            gf_showMessage(text + " does not exist, skipped!", MessageLogging::logged);
            continue;
        }
        if (!fs::is_directory(folder)) {
            gf_showMessage(text + " is not a folder name, skipped!", MessageLogging::logged);
            continue;
        }
        if (text.find(kStreamedFolderName) != std::string::npos) {
            lf_scanStreamedAirports(folder, scan);
        } else {
            lf_scanBGLAirports(folder, scan);
        }
    }
}

void AirportsScan::lf_scanStreamedAirports(const fs::path& folder, Scan& scan) {
    gf_showMessage("Scanning for streamed airports ...", MessageLogging::notLogged);
    lf_addScanLogLine(state_, bannerFor(folder, "streamed airports"));
    std::uint64_t simaddons = 0;
    // The packages are the folder's first level only: a walk that never
    // enters a folder, and that logs and passes over what cannot be listed.
    walkFolderTree(folder, "airports scan", [&](const WalkEntry& e) {
        if (!e.folder || !checkedPathToUtf8(e.entry.path()) || containsAny(e.pathText, kStreamedSkips)) {
            return WalkStep::skip;
        }
        if (parts_.run.isClosing()) return WalkStep::stop;
        const fs::path& package = e.entry.path();
        const bool simaddon = e.pathText.find("asobo-airport") != std::string::npos ||
                              e.pathText.find("microsoft-airport") != std::string::npos;
        if (simaddon && gf_findAirportInName(package) && ++simaddons % 10 == 0) {
            parts_.status.showCount(StatusCount::simaddonAirports, simaddons);
        }
        if (!scanStreamedPackage(package, e.pathText, scan) || parts_.run.isClosing()) {
            (void)writeScanLog(state_);
            return WalkStep::stop;
        }
        return WalkStep::skip;
    });
    enterPhase(Phase::pack);
    // The folder is settled once, after every search: the Community search
    // still produces files of it, and a kill in between must not leave
    // those of the earlier scan gone. Sending and counting pass over the
    // earlier files that stay until then.
    lf_copySimaddonFiles(state_);
    enterPhase(Phase::generate);
    showSimaddonCount();
}

bool AirportsScan::scanStreamedPackage(const fs::path& package, const std::string& text, Scan& scan) {
    const bool simaddon =
        text.find("asobo-airport") != std::string::npos || text.find("microsoft-airport") != std::string::npos;
    lf_addScanLogLine(state_, "\n" + text);
    const std::optional<FixedCode4> icao = gf_findAirportInName(package);
    if (!icao) {
        if (simaddon) lf_addScanLogLine(state_, "no supported airport ICAO in BGL path");
        return true;
    }
    ApfRecord record{};
    record.icao = *icao;
    record.bglPath = text;
    std::optional<PublisherInfo> details;
    if (simaddon) {
        lf_addScanLogLine(state_, fmt::format("airport has ICAO '{}' in directory path", icao->view()));
        record.publisher = std::string(kSimaddonPublisher);
        record.manufacturer = "microsoft";
        record.creator = "asobo";
    } else {
        lf_addScanLogLine(state_, fmt::format("airport has ICAO '{}' in folder path", icao->view()));
        (void)writeScanLog(state_);
        if (const std::optional<std::string> publisher = gf_publisherFromPath(package)) {
            record.publisher = *publisher;
            lf_addScanLogLine(state_, fmt::format("publisher '{}' found", *publisher));
        } else {
            record.manufacturer = "streamed thirdy party";
            record.creator = "pub not recognised";
            lf_addScanLogLine(state_, "no publisher found");
        }
        (void)writeScanLog(state_);
        details = PublisherInfo{.manufacturer = record.manufacturer, .creator = record.creator, .title = record.title};
    }
    if (link2archive(scan.addon, record, details, package).linked()) return true;
    if (!simaddon) lf_addScanLogLine(state_, "voorbij link2archive");
    return generateFromFacilityData(scan.addon, scan.facilities, record) != AirportFileOutcome::closing;
}

void AirportsScan::lf_scanBGLAirports(const fs::path& folder, Scan& scan) {
    gf_showMessage("Scanning for third party addon airports ...", MessageLogging::notLogged);
    lf_addScanLogLine(state_, bannerFor(folder, "addon  airports"));
    enterPhase(Phase::walk);
    walkFolderTree(folder, "airports scan", [&](const WalkEntry& e) {
        if (lf_isSkippedFolder(e.pathText)) return WalkStep::skip;
        if (e.folder || !isAirportBglCandidate(e)) return WalkStep::go;
        if (parts_.run.isClosing()) return WalkStep::stop;
        try {
            const fs::path bgl = e.entry.path();
            if (!pool_.submit([input = BglTaskInput{.bglPath = bgl, .isKnownAirport = parts_.isKnownAirport}](
                                  const std::stop_token& stop) { return lf_processBGLfile(input, stop); })) {
                return WalkStep::stop;
            }
            noteBglFileOpened(state_, bgl);
            pendingBgl_.push_back(bgl);
            while (pool_.hasSurplus()) {
                enterPhase(Phase::generate);
                takeOldestBgl(folder, true, scan);
                enterPhase(Phase::walk);
            }
        } catch (const std::exception& error) {
            lf_addScanLogLine(state_, fmt::format("{}airports search in folder {} aborted, cause: {}", kAttention,
                                                  gf_pathToUtf8(folder), error.what()));
        }
        return WalkStep::go;
    });
    enterPhase(Phase::generate);
    while (pool_.hasPending()) takeOldestBgl(folder, false, scan);
    (void)lf_processAddonAirport(scan.addon, scan.facilities, inFlightBgl_);
}

void AirportsScan::takeOldestBgl(const fs::path& folder, bool inner, Scan& scan) {
    const fs::path bgl = pendingBgl_.front();
    pendingBgl_.pop_front();
    std::string failure;
    try {
        const Result<void, BglFileError> merged = mergeBglFindings(pool_.takeOldest(), scan);
        if (merged) return;
        failure = merged.errorText();
    } catch (const TaskTimeoutError& timeout) {
        // Its task runs on: the leftover pass must not read its file too.
        inFlightBgl_.insert(bgl);
        failure = timeout.what();
    }
    if (inner) {
        lf_addScanLogLine(state_, fmt::format("{}airports search aborted, futs inner,\n{}\n{}\n{}", kAttention, failure,
                                              pendingBgl_.size(), gf_pathToUtf8(bgl)));
    } else {
        lf_addScanLogLine(state_, fmt::format("{}airports search in {} aborted, futs outer error: {}", kAttention,
                                              gf_pathToUtf8(folder), failure));
    }
}

Result<void, BglFileError> AirportsScan::mergeBglFindings(BglFileFindings&& findings, Scan& scan) {
    cpu_.read += findings.cpu;
    const auto write = [this](std::vector<BglLine>& lines) {
        for (BglLine& line : lines) {
            if (!writeBglLogLine(line)) lf_addScanLogLine(state_, std::move(line.text));
        }
    };
    for (BglAirport& airport : findings.airports) {
        write(airport.linesBefore);
        try {
            const ArchiveLink link = link2archive(scan.addon, airport.record, std::nullopt, findings.bglPath);
            if (link.linked()) {
                noteBglFileHandled(state_, findings.bglPath);
                continue;
            }
            write(airport.standLines);
            if (const std::optional<std::string> line = parkposLine(airport.record, link.archivedStands)) {
                lf_addScanLogLine(state_, *line);
                noteBglFileHandled(state_, findings.bglPath);
            }
            (void)lf_generateAirportFile(scan.addon, airport.record, airport.helipads);
            noteBglFileHandled(state_, findings.bglPath);
        } catch (const std::exception& error) {
            gf_logAttention(exceptionLine(findings.bglPath, error.what()));
            return fail(BglFileError::notLinkedOrGenerated, error.what());
        }
    }
    write(findings.linesAfter);
    return std::move(findings.outcome);
}

void AirportsScan::showSimaddonCount() {
    parts_.status.showCount(StatusCount::simaddonAirports, producedFileCount(state_, kMySimaddonFolder));
    parts_.status.statusChanged();
}

}  // namespace qvl
