// The park airport's loaded stand-file state: its stands, what its stand
// file said of it, the user's parking settings to restore when it is left,
// and what the main window's parking statistics show. One per program, owned
// with the run's state and passed by reference to the loader, the learned
// flights and the engine; tests make a fresh one.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "airports/stand.h"
#include "core/file_writer.h"
#include "core/fixed_code.h"
#include "core/status.h"

namespace qvl {

// What the park airport's stand file says of the airport.
struct ParkAirportHeader {
    std::string airportName;
    std::string publisher;
    std::int32_t altitudeFeet = 0;
};

// Percentages of how well the learned flights cover the airport's stands;
// -1 marks a factor that has not been determined.
struct QualityFactors {
    std::int32_t real = -1;
    std::int32_t soft = -1;

    friend bool operator==(const QualityFactors&, const QualityFactors&) = default;
};

// The eight parking settings as the user had them before a park airport's
// stand file could change them.
struct StoredParkingSettings {
    std::int32_t maxLiveSel = 0;
    std::int32_t maxFit = 0;
    std::int32_t range = 0;
    std::int32_t parkingPercentage = 0;
    bool autoRange = false;
    bool initialLoadOnly = false;
    bool parkSoft = false;
    bool week = false;
};

// The main window's parking statistics.
struct ParkingStats {
    std::int32_t standCount = 0;
    std::int32_t updates = 0;  // learned flights added since the stands were loaded
    std::string publisher;
    bool handmade = false;
    std::string qualityText;
};

// The statistics the window paints, written by the run thread and read by
// the UI thread. Every change is reported to the status given at
// construction, which has the window repaint them.
class ParkingStatsBoard {
public:
    explicit ParkingStatsBoard(Status& status) : status_(status) {}

    [[nodiscard]] ParkingStats snapshot() const;
    void setStandCount(std::int32_t count);
    void setPublisher(const std::string& publisher, bool handmade);
    void setQualityText(const std::string& text);
    // False (and no repaint) when the count was already shown.
    bool setUpdates(std::int32_t updates);
    // Empty statistics; the status stays.
    void reset();

private:
    Status& status_;            // told outside the lock
    mutable std::mutex mutex_;  // a leaf lock: guards stats_
    ParkingStats stats_;
};

struct LoadedParkAirport {
    // `status` hears of every change of the parking statistics; `files` is
    // what the learned file is written through.
    explicit LoadedParkAirport(Status& status, std::shared_ptr<FileLayer> files = std::make_shared<DiskFileLayer>())
        : stats(status), learnedFiles(std::move(files)) {}
    LoadedParkAirport(const LoadedParkAirport&) = delete;
    LoadedParkAirport& operator=(const LoadedParkAirport&) = delete;

    FixedCode4 icao;  // unset: no park airport
    std::vector<Stand> parkStands;
    ParkAirportHeader header;
    QualityFactors qualityFactors;
    // The learned file replaced the stand file's stands.
    bool apfHandmade = false;
    std::int32_t rtTrafficWeek = 0;
    float elevationFeet = 0.0F;
    // The stand file as resolved ("airports/..." or an archive path); the
    // learned file's path is made from it and the publisher, at load and save.
    std::string apfPathText;
    std::optional<StoredParkingSettings> storedSettings;
    // Learned flights added since the stands were loaded.
    std::int32_t learnedUpdates = 0;
    // The learned file there was refused when read: leaving the airport
    // must not write over it.
    bool learnedFileRefused = false;
    ParkingStatsBoard stats;
    // The learned file is built and written here, off the loop, one save
    // after another. It outlives every visit: reset() leaves it alone.
    FileWriter learnedFiles;

    // No park airport and nothing loaded; the statistics' status stays.
    void reset();
};

// The learned file of the loaded park airport, or an empty path when its
// stand file and publisher name none.
std::filesystem::path learnedFilePath(const LoadedParkAirport& park);

}  // namespace qvl
