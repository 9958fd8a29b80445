// Shared ground for the feed's tests: Log.txt in a temporary folder, and a
// fresh run state, feed state, park airport filter, queue and readers for
// each test; the settings the parser reads are put back around each test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/current_park_airport.h"
#include "core/messages.h"
#include "core/run_state.h"
#include "core/settings.h"
#include "feed/feed_state.h"
#include "feed/readers.h"
#include "support/fake_status.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "tools/traffic_client/traffic_file.h"

namespace qvl::test {

using namespace std::chrono_literals;

// The message lines and the settings are the core's, shared by the process.
inline void resetSharedSettings() {
    resetMessages();
    AIRBORNE_ONLY.set(false);
    rangeNm.store(40.0);
}

inline constexpr GeoPosition kOwnPosition{48.11, 16.57};

class FeedTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSharedSettings();
        queue.setAccepting(true);
        traffic.setOwnPosition(kOwnPosition);
    }
    void TearDown() override {
        readers.stop();
        resetSharedSettings();
    }
    bool logHas(std::string_view text) const { return log.text().find(text) != std::string::npos; }

    TempDir dir;
    LogCapture log{dir.path()};
    RunState run;
    // What a test has done when the traffic client goes; the feed's hook calls it.
    std::function<void()> realTrafficGone = [] {};
    test::FakeStatus status;
    FeedState feed{status, {.realTrafficGone = [this] { realTrafficGone(); }}};
    CurrentParkAirportState filter;
    TrafficQueue queue;
    Readers readers{queue, feed, run, filter};
    TrafficReader& traffic = readers.traffic();
    QnhReader& qnh = readers.qnh();
};

// Polls until the condition holds; the limit only bounds a broken test.
inline bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20000ms) {
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A traffic line of 30 fields for an airborne A320 near the own position.
class LineBuilder {
public:
    LineBuilder& set(std::size_t field, std::string value) {
        if (field >= fields_.size()) fields_.resize(field + 1);
        fields_[field] = std::move(value);
        return *this;
    }
    LineBuilder& truncate(std::size_t fieldCount) {
        fields_.resize(fieldCount);
        return *this;
    }
    [[nodiscard]] std::string text() const { return standin::joinLine(fields_); }

    static constexpr std::size_t hexId = 1, lat = 2, lon = 3, alt = 4, vs = 5, track = 7, gs = 8, callsign = 9,
                                 type = 10, reg = 11, origin = 12, destination = 13, time = 14, source = 17, tas = 20,
                                 roll = 23, trueHeading = 25, category = 28;

private:
    std::vector<std::string> fields_ = standin::splitLine(
        "QVL,4490501,48.12,16.60,5000,-640,1000,290.0,180,QVA123,A320,OE-QVA,HAM,VIE,"
        "1767225600.00,,,adsb_icao,,,200,,,10,,291.5,,,A3,");
};

}  // namespace qvl::test
