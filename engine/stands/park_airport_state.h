// The park airport as the motion and the intake read it: its code, position
// and elevation, and whether its stands are loaded. The park-airport choice
// sets it and clears it when it leaves the airport; the stand-file reader
// raises the loaded flag. Read together, so kept together.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>

#include "core/fixed_code.h"
#include "core/geodesy.h"

namespace qvl {

struct CurrentParkAirport {
    FixedCode4 code;
    GeoPosition position;
    float elevationFeet = 0.0f;
};

class ParkAirportState {
public:
    void set(const CurrentParkAirport& airport);
    // No park airport; the stands are no longer loaded.
    void clear();
    // Empty while no park airport is current.
    [[nodiscard]] std::optional<CurrentParkAirport> current() const;

    void setStandsLoaded(bool loaded) noexcept { standsLoaded_.store(loaded); }
    [[nodiscard]] bool standsLoaded() const noexcept { return standsLoaded_.load(); }

    void reset() { clear(); }

private:
    mutable std::mutex mutex_;  // a leaf lock: guards airport_
    std::optional<CurrentParkAirport> airport_;
    std::atomic<bool> standsLoaded_{false};
};

}  // namespace qvl
