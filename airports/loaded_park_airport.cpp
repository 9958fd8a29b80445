#include "airports/loaded_park_airport.h"

#include <stdexcept>
#include <utility>

#include "airports/apf_resolution.h"

namespace qvl {
namespace {

std::function<void()> required(std::function<void()> repaint) {
    if (!repaint) throw std::invalid_argument("the parking statistics need a repaint hook");
    return repaint;
}

}  // namespace

ParkingStatsBoard::ParkingStatsBoard(std::function<void()> repaint) : repaint_(required(std::move(repaint))) {}

ParkingStats ParkingStatsBoard::snapshot() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

void ParkingStatsBoard::setStandCount(std::int32_t count) {
    {
        std::lock_guard lock(mutex_);
        stats_.standCount = count;
    }
    repaint_();
}

void ParkingStatsBoard::setPublisher(const std::string& publisher, bool handmade) {
    {
        std::lock_guard lock(mutex_);
        stats_.publisher = publisher;
        stats_.handmade = handmade;
    }
    repaint_();
}

void ParkingStatsBoard::setQualityText(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        stats_.qualityText = text;
    }
    repaint_();
}

bool ParkingStatsBoard::setUpdates(std::int32_t updates) {
    {
        std::lock_guard lock(mutex_);
        if (stats_.updates == updates) return false;
        stats_.updates = updates;
    }
    repaint_();
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
