// The park airport's stands as the simulator client's thread sees them, and
// the stand that thread hands back. The stands belong to the engine on the
// run thread, yet the simulator client names the user's stand with every
// user block and, after a new flight, asks for that stand to be kept free.
// So the engine publishes an immutable copy of what the naming needs
// whenever the stands are loaded or cleared, and the client's request waits
// here until the run thread takes it over.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "airports/stand.h"
#include "core/fixed_code.h"
#include "core/geodesy.h"

namespace qvl {

struct NamedStandPosition {
    std::string id;
    GeoPosition position{};
};

// One publication: the airport's stands in the stand list's order.
struct ParkStandPlaces {
    FixedCode4 airport{};  // unset: no stands loaded
    std::vector<NamedStandPosition> stands;
};

// The stand the user stood on after a new flight, named from the stands of
// `airport` as they were published then.
struct UserStandHandOver {
    FixedCode4 airport{};
    std::string stand;
};

// The name of the nearest stand within 55 m of the position (the first of
// equals); empty when none is that close.
std::string nearestStandName(const ParkStandPlaces& places, GeoPosition position);

class UserStandExchange {
public:
    // --- Run thread ---
    // The airport's stands were loaded: they are published whole.
    void publish(const FixedCode4& airport, const std::vector<Stand>& stands);
    // The stands were cleared: no stand has a name any more.
    void clearStands();
    // The stand handed over since the last call, if any.
    [[nodiscard]] std::optional<UserStandHandOver> takeHandOver();
    // No stands and nothing handed over.
    void reset();

    // --- Any thread ---
    // The publication a reader keeps for as long as it uses it.
    [[nodiscard]] std::shared_ptr<const ParkStandPlaces> places() const;
    [[nodiscard]] std::string standNameAt(GeoPosition position) const;

    // --- Simulator client thread ---
    // Pairs the stand with the airport whose stands are published now; a
    // later hand-over replaces one not taken yet.
    void handOverUserStand(const std::string& stand);

private:
    // A leaf lock: guards places_ and handOver_ only. A stand is named
    // outside it, on the publication taken.
    mutable std::mutex mutex_;
    std::shared_ptr<const ParkStandPlaces> places_ = std::make_shared<const ParkStandPlaces>();
    std::optional<UserStandHandOver> handOver_;
};

}  // namespace qvl
