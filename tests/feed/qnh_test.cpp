#include <tuple>

#include "feed/readers.h"
#include "feed/support/feed_fixture.h"

namespace qvl {
namespace {

using Qnh = test::FeedTest;

TEST_F(Qnh, ConversionsAndClamps) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {R"({"QNH": 1016})", 1016},      {R"({"QNH": 2992})", 1013},  // inches of mercury x 100: 1013.2499...
        {R"({"QNH": "850"})", 900},                                   // clamped
        {R"({"QNH": "1013hPa"})", 1013},                              // the text's leading digits
        {R"({"QNH": 1200.4})", 900},                                  // 1200 taken as inches: 406, clamped
        {R"({"QNH": 1012.5})", 1013},    {R"({"QNH": 3500})", 1100},  // 1185 hPa, clamped
        {R"({"QNH": 1100})", 1100},      {R"({"QNH": 1101})", 900},   // 373 hPa
    };
    for (const auto& [datagram, expected] : cases) {
        EXPECT_EQ(qnhOfDatagram(datagram), std::optional<std::int32_t>(expected)) << datagram;
    }
}

TEST_F(Qnh, DatagramsWithoutAUsableQnhAreLogged) {
    using R = QnhRefusal;
    const std::tuple<const char*, R, const char*> cases[] = {
        {R"({"qnh": 1013})", R::noQnh, "no QNH {\"qnh\": 1013}"},
        {R"({"QNH": null})", R::noQnh, "no QNH {\"QNH\": null}"},
        {R"({"QNH": [1013]})", R::noQnh, "no QNH {\"QNH\": [1013]}"},
        {R"({"QNH": "high"})", R::badText, "==> QNH string parse error: high in {\"QNH\": \"high\"}"},
        {R"({"QNH": 10)", R::unreadable, "Exception [json.exception.parse_error"},
        // No 32-bit number holds these: a narrowing error, never an undefined conversion.
        {R"({"QNH": 1e300})", R::unreadable, "Exception narrowing_error, in {\"QNH\": 1e300}"},
        {R"({"QNH": 3000000000})", R::unreadable, "Exception narrowing_error, in {\"QNH\": 3000000000}"},
    };
    for (const auto& [datagram, refusal, logText] : cases) {
        EXPECT_EQ(qnhOfDatagram(datagram), std::nullopt) << datagram;
        const auto read = readQnhDatagram(datagram);
        ASSERT_FALSE(read.ok()) << datagram;
        EXPECT_EQ(read.error(), refusal) << datagram;
        qnh.onQnhDatagram(datagram);
        EXPECT_TRUE(logHas(logText)) << logText;
    }
    // A flood of them logs the first few.
    for (int i = 0; i < 1000; ++i) qnh.onQnhDatagram(R"({"QNH": "low"})");
    EXPECT_TRUE(logHas("further QNH datagrams with a QNH text that is no number are only counted"));
    EXPECT_EQ(log.text().find("low in", log.text().find("further QNH datagrams")), std::string::npos);
}

TEST_F(Qnh, StandardPressureIsPublishedEveryTimeOthersOnChange) {
    feed.weatherLamp.store(ReaderLamp::stale);
    qnh.onQnhDatagram(R"({"QNH": 1002})");
    EXPECT_EQ(feed.publishedQnh.load(), 1002);
    EXPECT_EQ(feed.displayedQnh.load(), 1002);
    EXPECT_EQ(traffic.qnh(), 1002);
    EXPECT_EQ(feed.weatherLamp.load(), ReaderLamp::receiving);
    feed.publishedQnh.store(999);
    feed.weatherLamp.store(ReaderLamp::stopped);
    qnh.onQnhDatagram(R"({"QNH": 1002})");  // unchanged: not published again
    EXPECT_EQ(feed.publishedQnh.load(), 999);
    qnh.onQnhDatagram(R"({"QNH": 2992})");
    EXPECT_EQ(feed.weatherLamp.load(), ReaderLamp::stopped);  // only a stale lamp comes back
    feed.publishedQnh.store(999);
    qnh.onQnhDatagram(R"({"QNH": 1013})");  // the standard pressure always is
    EXPECT_EQ(feed.publishedQnh.load(), 1013);
}

}  // namespace
}  // namespace qvl
