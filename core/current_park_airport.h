// The current park airport: its code, position and elevation while one is
// chosen, whether its stands are loaded, and the reference elevation its
// stand file gave the traffic filter. The park-airport choice sets and
// clears the airport, the stand-file reader the loaded flag and the
// reference elevation; the engine reads them on the run thread and the
// traffic reader for every line on its own, so each is read and written in
// one piece. It lives in core because the stand files, below the feed and
// the engine, set it.
#pragma once

#include <atomic>
#include <limits>
#include <mutex>
#include <optional>

#include "core/fixed_code.h"
#include "core/geodesy.h"

namespace qvl {

struct CurrentParkAirport {
    FixedCode4 code{};
    GeoPosition position{};
    float elevationFeet = 0.0F;
};

// One object per program, owned with the run's state and passed by
// reference to the engine and the traffic reader (read) and to the
// park-airport choice and the stand files (write).
class CurrentParkAirportState {
public:
    void set(const CurrentParkAirport& airport);
    // No park airport; its stands are no longer loaded.
    void clear();
    // Empty while no park airport is current.
    [[nodiscard]] std::optional<CurrentParkAirport> current() const;

    void setStandsLoaded(bool loaded) noexcept { standsLoaded_.store(loaded); }
    [[nodiscard]] bool standsLoaded() const noexcept { return standsLoaded_.load(); }

    // A non-finite elevation leaves it unset.
    void setReferenceElevation(double feet) noexcept;
    void clearReferenceElevation() noexcept;
    // Empty while no reference elevation is set.
    [[nodiscard]] std::optional<double> referenceElevation() const noexcept;

    // No park airport, nothing loaded, no reference elevation.
    void reset();

private:
    mutable std::mutex mutex_;  // a leaf lock: guards airport_
    std::optional<CurrentParkAirport> airport_;
    std::atomic<bool> standsLoaded_{false};
    // NaN stands for "not set", so value and flag change in one store.
    std::atomic<double> referenceElevationFeet_{std::numeric_limits<double>::quiet_NaN()};
};

}  // namespace qvl
