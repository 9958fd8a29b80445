#include "airports/loaded_park_airport.h"

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
    status_.parkingStatsChanged();
}

void ParkingStatsBoard::setPublisher(const std::string& publisher, bool handmade) {
    {
        std::lock_guard lock(mutex_);
        stats_.publisher = publisher;
        stats_.handmade = handmade;
    }
    status_.parkingStatsChanged();
}

void ParkingStatsBoard::setQualityText(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        stats_.qualityText = text;
    }
    status_.parkingStatsChanged();
}

bool ParkingStatsBoard::setUpdates(std::int32_t updates) {
    {
        std::lock_guard lock(mutex_);
        if (stats_.updates == updates) return false;
        stats_.updates = updates;
    }
    status_.parkingStatsChanged();
    return true;
}

void ParkingStatsBoard::reset() {
    std::lock_guard lock(mutex_);
    stats_ = {};
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
