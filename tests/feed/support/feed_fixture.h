// Shared ground for the feed's tests: a Log.txt in a temporary folder and
// every program-wide value the feed touches put back to its start value
// before and after each test.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "feed/traffic_record.h"
#include "support/temp_dir.h"

namespace qvl::test {

void resetFeedGlobals();

class FeedTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Log.txt as written so far.
    std::string log();
    bool logHas(std::string_view text) { return log().find(text) != std::string::npos; }

    TempDir dir;
    std::atomic<int> repaints{0};
};

// Polls until the condition holds; false when it still does not after the
// limit. The limit only bounds a broken test, it measures nothing.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::milliseconds(20000));

// A traffic line of 30 fields for an airborne A320 near 48.11 N, 16.57 E.
class LineBuilder {
public:
    LineBuilder();
    LineBuilder& set(std::size_t field, std::string value);
    LineBuilder& truncate(std::size_t fieldCount);
    [[nodiscard]] std::string text() const;

    // Field numbers.
    static constexpr std::size_t hexId = 1, lat = 2, lon = 3, alt = 4, vs = 5, track = 7, gs = 8, callsign = 9,
                                 type = 10, reg = 11, origin = 12, destination = 13, time = 14, source = 17,
                                 tas = 20, roll = 23, trueHeading = 25, category = 28;

private:
    std::vector<std::string> fields_;
};

inline constexpr double kTestLatitude = 48.11;
inline constexpr double kTestLongitude = 16.57;
inline constexpr double kTestTime = 1767225600.0;

}  // namespace qvl::test
