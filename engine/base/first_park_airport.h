// The head of the park-airport list as other threads see it. The list is the
// run thread's; the automatic radius needs the distance to its first entry on
// the window's thread too (the AUTO_RANGE box), so the run thread publishes
// where that entry lies.
#pragma once

#include <mutex>
#include <optional>

#include "core/geodesy.h"

namespace qvl {

class FirstParkAirportBoard {
public:
    // Run thread: empty when the list is.
    void publish(std::optional<GeoPosition> position);
    // Any thread: as last published.
    [[nodiscard]] std::optional<GeoPosition> position() const;
    void reset() { publish(std::nullopt); }

private:
    mutable std::mutex mutex_;  // a leaf lock: guards position_
    std::optional<GeoPosition> position_;
};

}  // namespace qvl
