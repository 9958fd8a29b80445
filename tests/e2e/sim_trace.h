// The stand-in simulator's trace file read back: what became of each AI
// object, frame by frame.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qvl::test {

struct TracedPosition {
    std::uint64_t frame = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;  // feet
    double heading = 0.0;   // radians
};

struct TracedEvent {
    std::uint64_t frame = 0;
    std::string name{};
    std::uint32_t data = 0;
};

struct TracedObject {
    std::uint32_t id = 0;
    std::string title;
    std::string atcId;
    std::uint64_t addedFrame = 0;
    std::optional<std::uint64_t> removedFrame;
    std::vector<TracedPosition> positions;  // set by the position definition
    std::vector<TracedEvent> events;
    // Frames at which the simulator's ground contact changed: true = on ground.
    std::vector<std::pair<std::uint64_t, bool>> contact;

    [[nodiscard]] std::size_t eventCount(const std::string& name) const;
    [[nodiscard]] std::optional<std::uint64_t> firstEvent(const std::string& name) const;
};

struct SimTrace {
    std::map<std::uint32_t, TracedObject> objects;
    std::uint64_t lastFrame = 0;

    // The objects created with this ATC ID, in order of creation.
    [[nodiscard]] std::vector<const TracedObject*> byAtcId(const std::string& atcId) const;
};

// Reads "<frame> <text>" lines; lines it does not know are skipped.
SimTrace readSimTrace(const std::filesystem::path& file, std::uint32_t positionDefinition);

}  // namespace qvl::test
