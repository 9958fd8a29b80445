#include "airports/loaded_park_airport.h"

#include <utility>

#include "airports/apf_resolution.h"

namespace qvl {

ParkingStats ParkingStatsBoard::snapshot() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

void ParkingStatsBoard::setStandCount(std::int32_t count) {
    {
        std::lock_guard lock(mutex_);
        stats_.standCount = count;
    }
    repaint();
}

void ParkingStatsBoard::setPublisher(const std::string& publisher, bool handmade) {
    {
        std::lock_guard lock(mutex_);
        stats_.publisher = publisher;
        stats_.handmade = handmade;
    }
    repaint();
}

void ParkingStatsBoard::setQualityText(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        stats_.qualityText = text;
    }
    repaint();
}

bool ParkingStatsBoard::setUpdates(std::int32_t updates) {
    {
        std::lock_guard lock(mutex_);
        if (stats_.updates == updates) return false;
        stats_.updates = updates;
    }
    repaint();
    return true;
}

void ParkingStatsBoard::setRepaintHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    repaint_ = std::move(hook);
}

void ParkingStatsBoard::reset() {
    std::lock_guard lock(mutex_);
    stats_ = {};
}

void ParkingStatsBoard::repaint() const {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        hook = repaint_;
    }
    if (hook) hook();
}

void LoadedParkAirport::reset() {
    icao = {};
    gf_clearStands(parkStands);
    header = {};
    qualityFactors = {};
    apfHandmade = false;
    rtTrafficWeek = 0;
    elevationFeet = 0.0F;
    apfPathText.clear();
    storedSettings.reset();
    learnedUpdates = 0;
    learnedFileRefused = false;
    stats.reset();
}

std::filesystem::path learnedFilePath(const LoadedParkAirport& park) {
    return lf_archivedApfPath(park.apfPathText, park.header.publisher);
}

}  // namespace qvl
