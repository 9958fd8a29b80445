// The engine's stand service over the park airport as the stand-file reader
// loaded it: the stands, their learned flights and marks live in the
// LoadedParkAirport, and every change the engine makes to them (a learned
// flight, a learned size, a cargo mark) is counted in its learned updates so
// that the learned file and the main window see it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "airports/loaded_park_airport.h"
#include "airports/stand.h"
#include "engine/base/engine.h"

namespace qvl {

class ParkAirportStands final : public StandService {
public:
    // The park airport outlives the service; its stands may be loaded and
    // cleared again while the service is in use.
    explicit ParkAirportStands(LoadedParkAirport& park) : park_(park) {}

    std::string standIdText(std::uint32_t standNumber) override;
    void setStandOccupied(std::uint32_t standNumber, bool occupied) override;

    [[nodiscard]] std::size_t standCount() override;
    [[nodiscard]] const Stand* standAt(std::size_t index) override;
    [[nodiscard]] const Stand* findStand(std::uint32_t standNumber) override;
    [[nodiscard]] std::vector<StandOption> standOptions(std::uint32_t standNumber) override;
    [[nodiscard]] const std::vector<Stand>& standList() override { return park_.parkStands; }
    [[nodiscard]] std::span<Stand> selectionStands() override { return park_.parkStands; }
    void learnStandSize(std::uint32_t standNumber, double radiusNm) override;
    void clearCargoFlag(std::uint32_t standNumber) override;
    StandOptionAdded addStandOption(std::uint32_t standNumber, LiveryKey ids, WeekTime time,
                                    const std::string& callsign, const std::string& keyText,
                                    std::uint8_t flag) override;
    void setOptionCallsign(std::uint32_t standNumber, std::uint32_t optionIndex, const std::string& callsign) override;
    bool updateOptions(std::uint32_t standNumber, const std::vector<std::uint32_t>& slots,
                       std::uint32_t optionIndex) override;
    bool updateOptionsWrapped(std::uint32_t standNumber, const std::vector<std::uint32_t>& slots,
                              std::uint32_t optionIndex, std::uint32_t nextDayIndex) override;
    void markSeenWhileParked(std::uint32_t standNumber, std::uint32_t optionIndex) override;
    void countStandChange() override;

private:
    // The stand with that number (binary search, the list being sorted by
    // number); nullptr for 0 and unknown numbers.
    Stand* stand(std::uint32_t standNumber);

    LoadedParkAirport& park_;
};

}  // namespace qvl
