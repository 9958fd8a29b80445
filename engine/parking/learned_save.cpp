// The learned file of the park airport: what the engine learned there (the
// flights seen at its stands, radii and cargo marks it had to change, the
// stands made by hand) written back, so that the next visit starts with it.
#include "engine/parking/learned_save.h"

#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "airports/apf_file.h"
#include "airports/learned_saves.h"
#include "airports/loaded_park_airport.h"
#include "airports/park_airport.h"
#include "core/file_writer.h"
#include "core/log.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/time_text.h"
#include "engine/base/engine.h"
#include "simlink/sim_version.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

// What the learned file keeps of a stand: the flights learned here (whatever
// index the last selection gave them; those of the stand file are the stand
// file's to keep), and the stand itself only when it was made by hand,
// learned a flight or changed its radius or cargo mark.
std::optional<Stand> learnedPartOf(const Stand& stand) {
    Stand kept = stand;
    std::erase_if(kept.flights, [](const LearnedFlight& flight) { return flight.source == FlightSource::standFile; });
    if (kept.manual || !kept.flights.empty() || kept.radiusChange || kept.cargoChange) return kept;
    return std::nullopt;
}

ApfRecord learnedRecordOf(const LoadedParkAirport& park) {
    ApfRecord record;
    record.icao = park.icao;
    record.airportName = park.header.airportName;
    record.publisher = park.header.publisher;
    record.altitude = park.header.altitudeFeet;
    if (park.apfHandmade) {
        // A handmade learned file stands in for the stand file: all of it.
        record.stands = park.parkStands;
    } else {
        for (const Stand& stand : park.parkStands) {
            if (auto kept = learnedPartOf(stand)) record.stands.push_back(std::move(*kept));
        }
    }
    if (!record.stands.empty()) {
        const QualityFactors factors = gf_computeQualityFactors(record.stands);
        record.qfReal = factors.real;
        record.qfSoft = factors.soft;
    }
    return record;
}

void logFailure(const std::string& fileText) {
    gf_logAttention(fmt::format("{} saving '{}' did not succeed", gf_utcTimeNow(), fileText));
}

// False (logged) when the file's folder is missing and cannot be made.
bool folderReady(const fs::path& file) {
    const fs::path folder = file.parent_path();
    if (folder.empty()) return true;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!ec) return true;
    gf_logAttention(
        fmt::format("{} could not create the folder '{}': {}", gf_utcTimeNow(), gf_pathToUtf8(folder), ec.message()));
    return false;
}

// One save as the loop handed it over: everything it needs, by value, for
// the learned files' writer to build and write on its own thread.
struct LearnedSave {
    ApfRecord record;
    fs::path file;
    ApfSaveOptions options;
    std::int32_t updates = 0;
    // Reads of the file wait for this save until it is destroyed.
    std::unique_ptr<LearnedSaveMark> mark;

    std::error_code carryOut(FileLayer& layer) const {
        const std::string fileText = gf_pathToUtf8(file);
        if (!folderReady(file)) {
            logFailure(fileText);
            return std::make_error_code(std::errc::io_error);
        }
        const std::optional<std::string> bytes = apfBytes(record, options);
        const std::error_code error =
            bytes ? layer.replaceFile(file, *bytes) : std::make_error_code(std::errc::invalid_argument);
        if (error) {
            logFailure(fileText);
            return error;
        }
        gf_log(fmt::format("{}{} '{}' saved with {} update{}", gf_utcTimeNow(), options.handmade ? " handmade" : "",
                           fileText, updates, gf_pluralSuffixInt(updates)));
        return {};
    }
};

void saveLearnedFile(Engine& engine) {
    LoadedParkAirport& park = engine.loadedPark;
    const fs::path file = learnedFilePath(park);
    if (park.learnedFileRefused) {
        // What this visit learned is lost; what the refused file holds is not.
        gf_logAttention(fmt::format("{} '{}' not saved: the learned file there was refused when it was read",
                                    gf_utcTimeNow(), gf_pathToUtf8(file)));
        return;
    }
    if (file.empty()) {
        logFailure(gf_pathToUtf8(gf_apfXmlFileName(park.icao)));
        return;
    }
    const std::int32_t simNumber = engine.link.simVersion.load() == SimVersion::msfs2020 ? 1 : 2;
    // The settings are taken now: the user's own are put back right after.
    auto save = std::make_shared<LearnedSave>(LearnedSave{.record = learnedRecordOf(park),
                                                          .file = file,
                                                          .options = {.mode = ApfMode::learned,
                                                                      .simNumber = simNumber,
                                                                      .handmade = park.apfHandmade,
                                                                      .parkingSettings = currentApfParkingSettings()},
                                                          .updates = park.learnedUpdates,
                                                          .mark = std::make_unique<LearnedSaveMark>(file)});
    park.learnedFiles.perform(file, [save](FileLayer& layer) { return save->carryOut(layer); });
    // Each save logs its own outcome.
    static_cast<void>(park.learnedFiles.takeDone());
}

}  // namespace

void lf_saveAirportFile(Engine& engine) {
    // Called while leaving the park airport, also when a run closes: the
    // save is handed over and the leaving goes on; a failure is logged.
    try {
        saveLearnedFile(engine);
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{} exception: {}", "lf_saveAirportFile", e.what()));
    }
}

}  // namespace qvl
