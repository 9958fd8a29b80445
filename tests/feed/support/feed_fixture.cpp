#include "feed/support/feed_fixture.h"

#include <thread>

#include "core/log.h"
#include "core/messages.h"
#include "core/run_flags.h"
#include "core/settings.h"
#include "core/time_text.h"
#include "feed/feed_status.h"
#include "core/park_airport_filter.h"
#include "feed/traffic_queue.h"
#include "tools/traffic_client/traffic_file.h"

namespace qvl::test {

void resetFeedGlobals() {
    gf_resetRunFlags();
    gf_resetMessages();
    trafficClock.store(0.0);
    rtEdition.store(false);
    rtLocal.store(false);
    waitingForRealTraffic.store(true);
    realTrafficDisplay.store(false);
    trafficLamp.store(ReaderLamp::stopped);
    weatherLamp.store(ReaderLamp::stopped);
    publishedQnh.store(kStandardQnh);
    displayedQnh.store(kStandardQnh);
    gf_setRealTrafficText({});
    gf_setFeedRepaintHook(nullptr);
    gf_setRealTrafficGoneHandler(nullptr);
    gf_clearReferenceElevation();
    gf_clearFilterParkAirport();
    AIRBORNE_ONLY.set(false);
    rangeNm.store(40.0);
    tickCounter.store(0);
}

void FeedTest::SetUp() {
    resetFeedGlobals();
    gf_setFeedRepaintHook([this] { ++repaints; });
    gf_openLogAt(dir / "Log.txt");
}

void FeedTest::TearDown() {
    gf_closeLog();
    resetFeedGlobals();
}

std::string FeedTest::log() {
    gf_flushLog();
    return readFile(dir / "Log.txt");
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

LineBuilder::LineBuilder()
    : fields_(standin::splitLine("QVL,4490501,48.12,16.60,5000,-640,1000,290.0,180,QVA123,A320,OE-QVA,HAM,VIE,"
                                 "1767225600.00,,,adsb_icao,,,200,,,10,,291.5,,,A3,")) {}

LineBuilder& LineBuilder::set(std::size_t field, std::string value) {
    if (field >= fields_.size()) fields_.resize(field + 1);
    fields_[field] = std::move(value);
    return *this;
}

LineBuilder& LineBuilder::truncate(std::size_t fieldCount) {
    fields_.resize(fieldCount);
    return *this;
}

std::string LineBuilder::text() const { return standin::joinLine(fields_); }

}  // namespace qvl::test
