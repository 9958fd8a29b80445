#include "airports/park_airport.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

#include "airports/apf_file.h"
#include "airports/apf_resolution.h"
#include "airports/learned_file.h"
#include "airports/learned_saves.h"
#include "core/log.h"
#include "core/meta_info.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "core/user_error.h"
#include "core/xml.h"

namespace fs = std::filesystem;

namespace qvl {

namespace {

constexpr std::string_view kReaderName = "gf_readApf";
// A stand file without a parameter the load needs.
constexpr int kMissingParameterCode = 65;
// The creator name of the simulator maker's own airports, which says nothing
// about who made an add-on.
constexpr std::string_view kStockCreator = "Vardo";
constexpr std::size_t kShortestUsableMaker = 4;

// A park airport's parking share when the airport list gives it one or two
// stands: all of them, or one of the two.
std::int32_t parkingPercentageFor(const FixedCode4& icao) {
    const AirportRec* listed = listedAirport(icao);
    if (listed == nullptr) return 30;
    if (listed->standCount == 1) return 100;
    if (listed->standCount == 2) return 50;
    return 30;
}

StoredParkingSettings currentParkingSettings() {
    return {.maxLiveSel = MAX_LIVE_SEL.value(),
            .maxFit = MAX_FIT.value(),
            .range = RANGE.value(),
            .parkingPercentage = parking_percentage.value(),
            .autoRange = AUTO_RANGE.value(),
            .initialLoadOnly = INITIAL_LOAD_ONLY.value(),
            .parkSoft = PARK_SOFT.value(),
            .week = WEEK.value()};
}

void setBoolShown(BoolControlParameter& setting, bool value, Status& status) {
    setting.set(value);
    status.settingChanged(setting);
}

// Without a learned file, the airport's quality factors decide whether soft
// flights and the whole week are used, and its listed stand count the share
// of stands filled. None of this is saved.
void adjustWithoutLearnedFile(const LoadedParkAirport& park, Status& status) {
    gf_log("learned does not exist");
    gf_flushLog();
    const QualityFactors& factors = park.qualityFactors;
    if (factors.real < 3 && factors.soft >= 1) {
        setBoolShown(PARK_SOFT, true, status);
        setBoolShown(WEEK, true, status);
        MAX_FIT_FL.setFloat(24.0F);
        status.settingChanged(MAX_FIT_FL);
    } else if (factors.real > 45) {
        setBoolShown(PARK_SOFT, false, status);
        setBoolShown(WEEK, false, status);
    }
    parking_percentage.set(parkingPercentageFor(park.icao));
    gf_logContinuation(fmt::format("{:24}: {}%", parking_percentage.key(), parking_percentage.value()));
    status.settingChanged(parking_percentage);
    status.controlUsable(parking_percentage, true);
}

// The file to read: a local stand file in place, an archived one fetched
// into airports/park_airport.xml. Empty with the error text when the fetch
// failed.
struct SourceFile {
    fs::path file;
    std::string error;
};

bool isArchivePath(const std::string& pathText) { return !pathText.starts_with("airports"); }

// Every archived stand file is fetched into the one park_airport.xml, and a
// read given up may still be ending its download while the next one begins:
// one read at a time fetches and parses it. A leaf lock.
std::mutex& fetchedStandFileMutex() {
    static std::mutex fetched;
    return fetched;
}

SourceFile sourceFileFor(const std::string& pathText, const DownloadStop& stop) {
    if (!isArchivePath(pathText)) return {.file = pathFromUtf8(pathText), .error = {}};
    std::error_code ignored;
    fs::create_directories(kAirportsFolder, ignored);
    const auto downloaded = lf_downloadStockApf(pathText, kParkAirportXml, stop);
    if (!downloaded) return {.file = {}, .error = downloaded.errorText()};
    return {.file = kParkAirportXml, .error = {}};
}

void readHeader(const pugi::xml_document& document, LoadedParkAirport& park) {
    park.rtTrafficWeek = gf_readIntParameterXml(document, "RT_traffic_week").value_or(0);
    park.header.publisher = gf_readStringParameterXml(document, "publisher").value_or("");
    const auto altitude = gf_readIntParameterXml(document, "altitude");
    if (!altitude) throw UserErrorException(kMissingParameterCode, fmt::format("Parameter {} not found", "altitude"));
    park.header.altitudeFeet = *altitude;
    park.elevationFeet = static_cast<float>(*altitude);
    park.header.airportName = gf_readStringParameterXml(document, "airport_name").value_or("");
}

void readStoredQualityFactors(const pugi::xml_document& document, LoadedParkAirport& park) {
    const auto real = gf_readIntParameterXml(document, "Qf_real");
    const auto soft = gf_readIntParameterXml(document, "Qf_soft");
    if (real && soft) park.qualityFactors = {.real = *real, .soft = *soft};
}

// The learned file on top of the stand file (its stands are built in). The
// path it was read from, or empty when there is none.
fs::path mergeLearnedFile(const ApfFiles& files, ParkStandsBuild& build, LoadedParkAirport& park,
                          const ParkAirportLinks& links) {
    if (!files.learnedFile || !build.learned) {
        adjustWithoutLearnedFile(park, links.status);
        return {};
    }
    const fs::path& learned = files.learnedPath;
    takeLearned(learned, *files.learnedFile, *build.learned, park, links.range, links.status);
    park.qualityFactors = build.learnedQualityFactors;
    if (park.apfHandmade) gf_log("A handmade airport file overruled the archived file!");
    return learned;
}

void logSummary(LoadedParkAirport& park, const std::string& readFrom) {
    gf_log(fmt::format("Airport file read from '{}' for {}", readFrom, park.header.airportName));
    park.stats.setPublisher(park.header.publisher, park.apfHandmade);
    gf_logContinuation(fmt::format("{:24}: {}", "publisher", park.header.publisher));
    gf_logContinuation(fmt::format("{:24}: {} ft", "altitude", park.header.altitudeFeet));
    gf_logContinuation(fmt::format("{:24}: {}", "num_parkpos", park.parkStands.size()));
    gf_logContinuation(fmt::format("{:24}: {}", "quality factor", gf_qualityFactorText(park.qualityFactors)));
    gf_logContinuation(fmt::format("{:24}: {}", "RT traffic week", park.rtTrafficWeek));
}

ApfLoadResult failed(std::string text) { return fail(ApfLoadError::failed, std::move(text)); }

// The stands built where the files were read, or, when none were (or they
// were taken before), built here into `local`.
ParkStandsBuild& standsToTake(const ApfFiles& files, std::optional<ParkStandsBuild>& local) {
    if (files.stands && !files.stands->taken) {
        files.stands->taken = true;
        return *files.stands;
    }
    return local.emplace(buildParkStands(files));
}

ApfLoadResult loadParkAirport(const ApfFiles& files, LoadedParkAirport& park, const ParkAirportLinks& links) {
    std::optional<ParkStandsBuild> localBuild;
    const std::string& pathText = files.request.pathText;
    if (pathText.empty()) return failed(fmt::format("{}: xml is empty", kReaderName));
    if (!files.request.icao.isSet()) return failed(fmt::format("{}: no park airport set", kReaderName));
    if (!files.error.empty()) return failed(files.error);
    if (!files.standFile) {
        return failed(fmt::format("{}: could not load file: {}", pathText, gf_pathToUtf8(files.source)));
    }
    const pugi::xml_document& document = *files.standFile;
    if (!gf_readMetaInfo(document, SimulatorRow::required)) return failed(fmt::format("{}: refused to load", pathText));
    readHeader(document, park);
    ParkStandsBuild& build = standsToTake(files, localBuild);
    build.standLines.write();
    if (build.standFailure) std::rethrow_exception(build.standFailure);
    // Numbered and linked to their neighbours already.
    park.parkStands = std::move(build.stands);
    readStoredQualityFactors(document, park);
    park.storedSettings = currentParkingSettings();
    const fs::path learned = mergeLearnedFile(files, build, park, links);

    park.stats.setStandCount(static_cast<std::int32_t>(park.parkStands.size()));
    logSummary(park, park.apfHandmade ? gf_pathToUtf8(learned) : pathText);
    // A negative week in a damaged file shows as 0, not as a huge number.
    links.status.showCount(StatusCount::parkTrafficWeek, static_cast<std::uint64_t>(std::max(park.rtTrafficWeek, 0)));

    park.stats.setQualityText(gf_qualityFactorText(park.qualityFactors));
    links.parkAirport.setStandsLoaded(true);
    links.status.controlUsable(FLUSH_STATIC_BUTTON, true);
    links.parkAirport.setReferenceElevation(static_cast<double>(park.header.altitudeFeet));
    if (park.parkStands.empty()) return fail(ApfLoadError::noStands, std::string(kNoStandsFound));
    return {};
}

// A load starts from nothing of the previous airport.
void beginLoad(const ApfLoadRequest& request, LoadedParkAirport& park, const ParkAirportLinks& links) {
    park.icao = request.icao;
    park.apfPathText = request.pathText;
    gf_clearStands(park.parkStands);
    park.header = {};
    park.qualityFactors = {};
    park.apfHandmade = false;
    park.learnedFileRefused = false;
    park.rtTrafficWeek = 0;
    park.elevationFeet = 0.0F;
    links.parkAirport.setStandsLoaded(false);
    park.learnedUpdates = 0;
    park.stats.setUpdates(0);
    links.parkAirport.clearReferenceElevation();
}

// A learned file still being saved (the airport was left a moment ago) is
// read once its save has ended. A save that hangs past the bound is not
// waited for: the read takes the file as it stands.
void waitForSaveOf(const fs::path& learned, std::chrono::milliseconds bound, const DownloadStop& stop) {
    if (waitForLearnedSave(learned, bound, stop)) return;
    if (stop && stop()) return;
    const std::chrono::duration<double> seconds = bound;
    gf_logAttention(fmt::format("'{}' is still being saved after {:g} s; it is read as it stands",
                                gf_pathToUtf8(learned), seconds.count()));
}

// Sets the value in memory; its save is collected for one save of all.
template <typename Setting, typename Value>
bool restore(Setting& setting, Value stored, std::vector<ParameterSave>& saves) {
    if (setting.value() == stored) return false;
    if constexpr (std::is_same_v<Value, bool>) {
        setting.set(stored);
        saves.push_back(boolParameterSave(setting));
    } else {
        setting.set(setting.clamp(stored));
        saves.push_back(intParameterSave(setting));
    }
    return true;
}

}  // namespace

ApfFiles readApfFiles(const ApfLoadRequest& request, const DownloadStop& stop, const ApfReadBounds& bounds) {
    ApfFiles files;
    files.request = request;
    // The load says what is missing.
    if (request.pathText.empty() || !request.icao.isSet()) return files;
    try {
        std::unique_lock fetch(fetchedStandFileMutex(), std::defer_lock);
        if (isArchivePath(request.pathText)) fetch.lock();
        const SourceFile source = sourceFileFor(request.pathText, stop);
        if (!source.error.empty()) {
            files.error = source.error;
            return files;
        }
        files.source = source.file;
        auto document = std::make_shared<pugi::xml_document>();
        if (!loadXmlFile(*document, files.source)) return files;
        if (fetch.owns_lock()) fetch.unlock();
        files.standFile = document;
        const std::string publisher = gf_readStringParameterXml(*document, "publisher").value_or("");
        files.learnedPath = lf_archivedApfPath(request.pathText, publisher);
        if (!files.learnedPath.empty()) waitForSaveOf(files.learnedPath, bounds.learnedSaveWait, stop);
        if (!files.learnedPath.empty() && fs::exists(files.learnedPath)) {
            files.learnedFile = std::make_shared<const LearnedDocument>(loadLearnedDocument(files.learnedPath));
        }
    } catch (const std::exception& e) {
        files.error = fmt::format("{}: {}", kReaderName, e.what());
        return files;
    }
    // A close, or a read no longer wanted, does not wait for the build.
    if (stop && stop()) return files;
    try {
        files.stands = std::make_shared<ParkStandsBuild>(buildParkStands(files));
    } catch (const std::exception&) {
        // The load builds them once more and fails as it would have here.
        files.stands.reset();
    }
    return files;
}

ParkStandsBuild buildParkStands(const ApfFiles& files) {
    ParkStandsBuild build;
    if (!files.standFile) return build;
    try {
        readStandsInto(*files.standFile, build.stands, build.standLines);
    } catch (...) {
        // Thrown again where the load takes the stands in, as if read there.
        build.standFailure = std::current_exception();
        return build;
    }
    if (files.learnedFile) {
        build.learned = buildLearned(files.learnedPath, *files.learnedFile, build.stands);
        build.learnedQualityFactors = gf_computeQualityFactors(build.stands);
    }
    numberStands(build.stands);
    linkNeighbours(build.stands);
    build.stands.shrink_to_fit();
    return build;
}

ApfLoadResult gf_readApf(const ApfLoadRequest& request, LoadedParkAirport& park, const ParkAirportLinks& links) {
    const DownloadStop stop = [&run = links.run] { return run.isClosing(); };
    return applyApfFiles(readApfFiles(request, stop, links.readBounds), park, links);
}

ApfLoadResult applyApfFiles(const ApfFiles& files, LoadedParkAirport& park, const ParkAirportLinks& links) {
    beginLoad(files.request, park, links);
    ApfLoadResult result = failed(fmt::format("{}: not read", kReaderName));
    try {
        result = loadParkAirport(files, park, links);
    } catch (const UserErrorException& e) {
        // A bad stand file is the user's to mend: the text with its code.
        result = failed(e.what());
    } catch (const std::exception& e) {
        result = failed(fmt::format("{}: {}", kReaderName, e.what()));
    }
    if (!result && result.error() == ApfLoadError::failed) {
        gf_clearStands(park.parkStands);
        park.apfHandmade = false;
    }
    return result;
}

void gf_applyApfSettings(const LoadedParkAirport& park, Status& status) {
    if (!park.storedSettings) return;
    const StoredParkingSettings& stored = *park.storedSettings;
    // The loop sets the values; the file is written once, off the loop.
    std::vector<ParameterSave> saves;
    restore(MAX_LIVE_SEL, stored.maxLiveSel, saves);
    if (restore(MAX_FIT, stored.maxFit, saves)) gf_selectMaxFitFl(status);
    if (restore(RANGE, stored.range, saves)) gf_setRange(stored.range, status);
    if (restore(parking_percentage, stored.parkingPercentage, saves)) status.settingChanged(parking_percentage);
    if (restore(AUTO_RANGE, stored.autoRange, saves)) {
        status.settingChanged(AUTO_RANGE);
        status.controlUsable(RANGE, !stored.autoRange);
        status.controlUsable(AR_ABOVE_HEIGHT, stored.autoRange);
    }
    if (restore(INITIAL_LOAD_ONLY, stored.initialLoadOnly, saves)) status.settingChanged(INITIAL_LOAD_ONLY);
    if (restore(PARK_SOFT, stored.parkSoft, saves)) status.settingChanged(PARK_SOFT);
    if (restore(WEEK, stored.week, saves)) status.settingChanged(WEEK);
    parameterSaves().hand(std::move(saves));
}

bool ApfFilesRead::ready(const ApfLoadRequest& request) {
    if (read_.started() && reading_ == request) return read_.answered();
    // Nothing read yet, or the read of an airport no longer wanted: one still
    // running is stopped and left to end on its own, and the new read begins
    // at once.
    reading_ = request;
    read_.start([request, bounds = bounds_](const DownloadStop& stop) { return readApfFiles(request, stop, bounds); });
    return false;
}

std::optional<ApfFiles> ApfFilesRead::take(const ApfLoadRequest& request) {
    if (reading_ != request || !read_.answered()) return std::nullopt;
    reading_.reset();
    return read_.take();
}

void ApfFilesRead::forget() {
    stop();
    reading_.reset();
}

bool lf_isKnownCreator(std::string_view text) { return text == kStockCreator; }

bool lf_readApfPublisherInfo(const fs::path& apfFile) {
    pugi::xml_document document;
    if (!loadXmlFile(document, apfFile)) {
        gf_logAttention(fmt::format("'{}' not found", gf_pathToUtf8(apfFile)));
        return false;
    }
    if (!gf_readStringParameterXml(document, "publisher").value_or("").empty()) return true;
    const auto usableMaker = [&](const char* key) {
        const auto value = gf_readStringParameterXml(document, key);
        return value && value->size() >= kShortestUsableMaker && !lf_isKnownCreator(*value);
    };
    return usableMaker("manufacturer") || usableMaker("creator");
}

}  // namespace qvl
