#include "core/geodesy.h"
#include "feed/support/feed_fixture.h"
#include "refdata/code_table.h"

namespace qvl {
namespace {

using L = test::LineBuilder;

class TrafficLine : public test::FeedTest {
protected:
    void SetUp() override {
        FeedTest::SetUp();
        feed.tickCounter.store(700);
    }
    LineOutcome offer(const L& line) { return traffic.onTrafficDatagram(line.text()); }
    // The record of a line that must be queued.
    TrafficRecord only(const L& line) {
        queue.clear();
        EXPECT_EQ(offer(line), LineOutcome::queued) << line.text();
        std::vector<TrafficRecord> out;
        queue.takeFront(out, 1);
        return out.empty() ? TrafficRecord{} : out.front();
    }
    void parkHere() {
        filter.set({.position = test::kOwnPosition, .elevationFeet = 600});
        filter.setReferenceElevation(600.0);
    }
    std::size_t logCount(std::string_view text) const {
        std::size_t count = 0;
        const std::string all = log.text();
        for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++count;
        return count;
    }
};

TEST_F(TrafficLine, AcceptedLineConvertsEveryField) {
    const TrafficRecord r = only(L{});
    EXPECT_EQ(r.hexId, 4490501u);
    EXPECT_EQ(r.ids, static_cast<std::uint64_t>(gf_modelId("A320")) << 32);
    EXPECT_EQ(r.origin.view(), "HAM");
    EXPECT_EQ(r.destination.view(), "VIE");
    EXPECT_EQ(r.callsign, "QVA123");
    EXPECT_EQ(r.registration, "OE-QVA");
    EXPECT_DOUBLE_EQ(r.time, 1767225600.0);
    EXPECT_DOUBLE_EQ(feed.time.trafficClock.load(), 1767225600.0);
    const TrafficSample& s = r.sample;
    EXPECT_EQ((std::vector<double>{s.latitude, s.longitude, s.altitude, s.verticalSpeed, s.track, s.groundSpeed,
                                   s.trueAirspeed}),
              (std::vector<double>{48.12, 16.60, 5000.0, -640.0, 290.0, 180.0, 200.0}));
    EXPECT_EQ(s.dueTick, 3700u);
    EXPECT_EQ(s.airborne + s.rollValid + s.trueHeadingValid + s.trueHeadingUsed, 4);
    EXPECT_DOUBLE_EQ(s.roll, -10.0 * kDegToRad);
    EXPECT_DOUBLE_EQ(s.trueHeading, 291.5 * kDegToRad);
    // Unsigned, so a counter near its top wraps instead of overflowing.
    feed.tickCounter.store(2147483000);
    EXPECT_EQ(only(L{}).sample.dueTick, 2147486000u);
}

TEST_F(TrafficLine, OutcomesByReason) {
    using O = LineOutcome;
    const std::vector<std::tuple<std::size_t, std::string, O>> cases = {
        {L::callsign, "OPS VEH", O::vehicle},
        {L::callsign, "VEH1", O::queued},  // no leading blank
        {L::lat, "49.5", O::outOfRange},
        {L::reg, "OE-QVA123456X", O::longRegistration},
        {L::reg, "OE-QVA12345X", O::queued},
        {L::type, "null", O::notAircraft},
        {L::type, "GLID", O::notAircraft},
        {L::type, "A320X", O::notAircraft},
        {L::category, "C2", O::notAircraft},
        {L::category, "B3", O::queued},
        {L::type, "TWR", O::notAircraft},
        {L::type, "gnd", O::queued},  // the list is case-sensitive
        {L::hexId, "10000", O::lowHexId},
        {L::hexId, "10001", O::queued},
        {L::hexId, "4294967295x", O::queued},
        {L::gs, "180kt", O::queued},  // numbers end at their text
        {L::callsign, "ERARMTR1", O::placeholderCallsign},
        {L::callsign, "00000000", O::placeholderCallsign},
        {L::alt, "0", O::groundAway},
        {L::callsign, "QVA\n12", O::controlCharacter},
        {L::reg, "OE\tQVA", O::controlCharacter},
        {L::callsign, std::string(31, 'Q'), O::queued},
        {L::callsign, std::string(32, 'Q'), O::longCallsign},
    };
    for (const auto& [field, text, outcome] : cases) EXPECT_EQ(offer(L{}.set(field, text)), outcome) << text;
    EXPECT_EQ(offer(L{}.set(L::callsign, "null").set(L::reg, "null")), O::noIdentity);
    EXPECT_EQ(offer(L{}.set(L::callsign, "@").set(L::reg, "null")), O::noIdentity);
    // Drops are silent, except the overlong callsign, which can never match the simulator's ATC id.
    EXPECT_FALSE(logHas("exception"));
    EXPECT_TRUE(logHas("callsign of 32 bytes dropped, the simulator takes 31 at most: " + std::string(32, 'Q')));
}

TEST_F(TrafficLine, FieldErrorsAreLoggedAndTheLineDropped) {
    using O = LineOutcome;
    const std::vector<std::tuple<std::size_t, std::string, O, std::string>> cases = {
        {L::lat, "90.5", O::badPosition, "invalid lalo: 90.500000,16.600000"},
        {L::lon, "-181", O::badPosition, "invalid lalo: 48.120000,-181.000000"},
        {L::lat, "nan", O::badNumber, "lat:nan"},
        {L::lon, "", O::badNumber, "lon:"},
        {L::hexId, "4294967296", O::badHexId, "hexid incorrect4294967296"},
        {L::hexId, "-5", O::badHexId, "hexid incorrect-5"},
        {L::gs, "-inf", O::badNumber, "gs:-inf"},
        {L::gs, "1e999", O::badNumber, "gs:1e999"},
        {L::track, "inf", O::badTrack, "track incorrect inf"},
        {L::vs, " 12", O::badNumber, "vs: 12"},
        {L::gs, "+12", O::badNumber, "gs:+12"},
        {L::roll, "infinity", O::badNumber, "roll:infinity"},
        {L::tas, "?", O::badTrueAirspeed, "TAS incorrect?"},
        {L::trueHeading, "361", O::badTrueHeading, "trueheading: 361.00"},
        {L::trueHeading, "nan", O::badNumber, "trueheading:nan"},
        {L::alt, "high", O::badAltitude, "altitude high incorrect, from: QVL,4490501,48.12,16.60,high,"},
    };
    for (const auto& [field, text, outcome, logText] : cases) {
        EXPECT_EQ(offer(L{}.set(field, text)), outcome) << text;
        EXPECT_TRUE(logHas("exception in processLineSub: " + logText)) << logText;
    }
    EXPECT_EQ(offer(L{}.set(L::lat, "0.00005").set(L::lon, "-0.00003")), O::badPosition);
    EXPECT_TRUE(logHas("exception in processLineSub: invalid lalo: 0.000050,-0.000030"));
    EXPECT_EQ(queue.size(), 0u);
}

TEST_F(TrafficLine, OnlyAPlausibleTimeMovesTheTrafficClock) {
    for (const char* absurd : {"nan", "inf", "0", "1e12", "946684799"}) {
        EXPECT_EQ(offer(L{}.set(L::time, absurd)), LineOutcome::badTimestamp) << absurd;
        EXPECT_TRUE(logHas(std::string("exception in processLineSub: timestamp:") + absurd));
    }
    EXPECT_DOUBLE_EQ(feed.time.trafficClock.load(), 0.0);
    // A plausible time moves the clock even when the line is dropped later.
    EXPECT_EQ(offer(L{}.set(L::time, "1767225601.5").set(L::type, "BALL")), LineOutcome::notAircraft);
    EXPECT_DOUBLE_EQ(feed.time.trafficClock.load(), 1767225601.5);
}

TEST_F(TrafficLine, ShortLinesNeverReadPastTheirFields) {
    // Missing fields read as empty (an address-sanitizer build stops on any read past them):
    // from 26 fields on, the true heading (field 25) is there and the missing category is empty.
    for (std::size_t fields = 0; fields <= 29; ++fields) {
        const LineOutcome outcome = offer(L{}.truncate(fields));
        EXPECT_TRUE(fields <= 25 ? isBadField(outcome) : outcome == LineOutcome::queued) << fields;
    }
    // Without "adsb_icao" the true heading is not needed.
    EXPECT_EQ(offer(L{}.set(L::source, "mlat").truncate(24)), LineOutcome::queued);
    EXPECT_EQ(offer(L{}.set(90, "extra")), LineOutcome::queued);
}

TEST_F(TrafficLine, HeadingTrackAndRoll) {
    TrafficRecord r = only(L{}.set(L::trueHeading, "0").set(L::track, "0"));
    EXPECT_DOUBLE_EQ(r.sample.trueHeading, kTwoPi);
    EXPECT_DOUBLE_EQ(r.sample.track, 360.0);
    EXPECT_EQ(only(L{}.set(L::trueHeading, "-1")).sample.trueHeadingValid, 0);
    // Another source: field 25 is not read at all.
    EXPECT_EQ(only(L{}.set(L::source, "adsb_other").set(L::trueHeading, "x")).sample.trueHeadingValid, 0);
    EXPECT_DOUBLE_EQ(only(L{}.set(L::track, "").set(L::source, "mlat")).sample.track, 0.0);

    EXPECT_EQ(only(L{}.set(L::roll, "0")).sample.rollValid, 0);
    r = only(L{}.set(L::roll, "-1"));
    EXPECT_EQ(r.sample.rollValid, 0);
    EXPECT_DOUBLE_EQ(r.sample.roll, -1.0);
    parkHere();  // on the ground the roll is not read
    r = only(L{}.set(L::alt, "0").set(L::gs, "12").set(L::roll, "x"));
    EXPECT_EQ(r.sample.airborne + r.sample.rollValid, 0);
}

TEST_F(TrafficLine, TrueAirspeedTableForMissingSpeeds) {
    const std::vector<std::tuple<const char*, const char*, double>> cases = {
        {"2000", "-1", 180.0},  {"2001", "-1", 220.0},  {"5001", "-1", 250.0},  {"10000", "-1", 250.0},
        {"10001", "-1", 350.0}, {"20000", "-1", 350.0}, {"20001", "-1", 430.0}, {"12000", "-1.5", -1.5},
    };
    for (const auto& [altitude, tas, expected] : cases) {
        EXPECT_DOUBLE_EQ(only(L{}.set(L::alt, altitude).set(L::tas, tas)).sample.trueAirspeed, expected) << altitude;
    }
}

TEST_F(TrafficLine, GroundRulePairs) {
    parkHere();
    enum class Verdict { ground, airborne };
    constexpr Verdict G = Verdict::ground;
    constexpr Verdict A = Verdict::airborne;
    // Altitude (ft, the park airport at 600 ft) and ground speed (kt).
    const std::vector<std::tuple<const char*, const char*, Verdict>> cases = {
        {"642", "120", G}, {"642", "121", A},  {"643", "80", G},  {"643", "81", A},
        {"708", "43", G},  {"708", "44", A},   {"709", "36", A},  {"590", "200", G},
        {"5000", "35", G}, {"14000", "30", G}, {"-50", "200", G},
    };
    for (const auto& [altitude, speed, verdict] : cases) {
        const bool onGround = verdict == Verdict::ground;
        const TrafficRecord r = only(L{}.set(L::alt, altitude).set(L::gs, speed));
        EXPECT_EQ(r.sample.airborne == 0, onGround) << altitude << " ft, " << speed << " kt";
        EXPECT_EQ(r.sample.altitude == 0.0, onGround) << altitude;
    }
    // Without a reference elevation the height is the altitude + 1000: 100 ft at 100 kt stays airborne.
    filter.clearReferenceElevation();
    EXPECT_DOUBLE_EQ(only(L{}.set(L::alt, "100").set(L::gs, "100")).sample.altitude, 100.0);
}

TEST_F(TrafficLine, ParkAirportRangeCodesAndAcceptance) {
    const L ground = L{}.set(L::alt, "0").set(L::gs, "15");
    const GeoPosition aircraft{48.12, 16.60};
    filter.set({.position = gf_destinationPoint(aircraft, 0.0, 4.9 * kFeetPerNm), .elevationFeet = 600});
    EXPECT_EQ(offer(ground), LineOutcome::queued);
    filter.set({.position = gf_destinationPoint(aircraft, 0.0, 5.1 * kFeetPerNm), .elevationFeet = 600});
    EXPECT_EQ(offer(ground), LineOutcome::groundAway);

    AIRBORNE_ONLY.set(true);  // more than 150 ft above the park airport
    EXPECT_EQ(offer(L{}.set(L::alt, "750")), LineOutcome::altitudeRule);
    EXPECT_EQ(offer(L{}.set(L::alt, "751")), LineOutcome::queued);
    filter.clear();
    EXPECT_EQ(offer(L{}.set(L::alt, "150")), LineOutcome::altitudeRule);
    AIRBORNE_ONLY.set(false);

    const L far = L{}.set(L::lat, "48.90");  // about 47 nm north
    EXPECT_EQ(offer(far), LineOutcome::outOfRange);
    rangeNm.store(60.0);
    EXPECT_EQ(offer(far), LineOutcome::queued);

    const TrafficRecord r = only(L{}.set(L::origin, "ams").set(L::destination, "null").set(L::reg, "null"));
    EXPECT_EQ(r.origin.view(), "AMS");
    EXPECT_FALSE(r.destination.isSet());
    EXPECT_EQ(r.registration, "");
    EXPECT_EQ(only(L{}.set(L::callsign, "QVA@1")).callsign, "");

    queue.setAccepting(false);
    EXPECT_EQ(offer(L{}), LineOutcome::notAccepting);
    EXPECT_EQ(queue.size(), 0u);
}

TEST_F(TrafficLine, UnreadableAirportCodesReadAsNoneAndAreNotedOncePerFlight) {
    // Other traffic tools leave the field empty: none, as "null", without a note.
    TrafficRecord r = only(L{}.set(L::origin, "").set(L::destination, ""));
    EXPECT_FALSE(r.origin.isSet());
    EXPECT_FALSE(r.destination.isSet());
    EXPECT_EQ(logCount("no three-character code"), 0u);

    // Four-letter codes: the aircraft is kept with no code, one note for its flight.
    r = only(L{}.set(L::origin, "LOWW").set(L::destination, "EDDF"));
    EXPECT_FALSE(r.origin.isSet());
    EXPECT_FALSE(r.destination.isSet());
    EXPECT_EQ(r.callsign, "QVA123");
    r = only(L{}.set(L::origin, "ams").set(L::destination, "V-E"));
    EXPECT_EQ(r.origin.view(), "AMS");
    EXPECT_FALSE(r.destination.isSet());
    EXPECT_EQ(logCount("no three-character code"), 1u);
    EXPECT_TRUE(logHas("hexid 4490501: origin LOWW is no three-character code, read as none"));
    // Another flight gets its own note.
    only(L{}.set(L::hexId, "4490502").set(L::destination, "EDDF"));
    EXPECT_TRUE(logHas("hexid 4490502: destination EDDF is no three-character code, read as none"));
    EXPECT_FALSE(logHas("exception"));

    // Many flights with such codes are noted only as the first few of a flood.
    for (std::uint32_t n = 0; n < TrafficReader::kMaxAirportCodeNotes; ++n) {
        only(L{}.set(L::hexId, std::to_string(5000000 + n)).set(L::origin, "LOWW"));
    }
    only(L{}.set(L::origin, "LOWW"));
    EXPECT_EQ(logCount("no three-character code"), 5u);
    EXPECT_TRUE(logHas("further traffic lines with an airport code read as none are only counted"));
}

TEST_F(TrafficLine, AFloodOfRefusedLinesLogsTheFirstFewOfEachKindAndACountAMinute) {
    std::chrono::steady_clock::time_point now{};
    TrafficReader reader{queue, feed, run, filter, [&now] { return now; }};
    reader.setOwnPosition(test::kOwnPosition);
    for (int i = 0; i < 10000; ++i)
        EXPECT_EQ(reader.onTrafficDatagram(L{}.set(L::lat, "nan").text()), LineOutcome::badNumber);
    // Another kind is news of its own.
    EXPECT_EQ(reader.onTrafficDatagram(L{}.set(L::lon, "nan").text()), LineOutcome::badNumber);
    EXPECT_EQ(reader.onTrafficDatagram(L{}.set(L::callsign, std::string(32, 'C')).text()), LineOutcome::longCallsign);
    EXPECT_EQ(logCount("exception in processLineSub: lat:nan"), 5u);
    EXPECT_EQ(logCount("exception in processLineSub: lon:nan"), 1u);
    EXPECT_EQ(logCount("callsign of 32 bytes dropped"), 1u);
    EXPECT_EQ(logCount("further refused traffic lines (lat) are only counted, one count line every 60 s"), 1u);
    now += std::chrono::seconds(60);
    reader.onTrafficDatagram(L{}.set(L::lat, "nan").text());
    EXPECT_TRUE(logHas(" 9995 more refused traffic lines (lat) in the last 60 s\n"));
    EXPECT_EQ(logCount("exception in processLineSub: lat:nan"), 5u);
    EXPECT_EQ(queue.size(), 0u);
}

TEST_F(TrafficLine, CallsignsAreCollectedOnlyWhileAsked) {
    offer(L{}.set(L::callsign, "EARLY1"));
    traffic.startCallsignCollection();
    for (const char* cs : {"QVB2", "QV@5", "null", "QV\x01", "QVB2"}) offer(L{}.set(L::callsign, cs));
    offer(L{}.set(L::callsign, "QVC3").set(L::type, "GRND"));  // collected, then dropped
    offer(L{}.set(L::callsign, "QVD4").set(L::lat, "60"));     // out of range first
    EXPECT_EQ(traffic.takeCollectedCallsigns(), (std::set<std::string>{"QVB2", "QVC3"}));
    offer(L{}.set(L::callsign, "LATE6"));
    EXPECT_TRUE(traffic.takeCollectedCallsigns().empty());
}

// The program-wide model table, emptied around each test.
class ModelTable : public TrafficLine {
protected:
    void SetUp() override {
        TrafficLine::SetUp();
        modelCodes().clear();
    }
    void TearDown() override {
        modelCodes().clear();
        TrafficLine::TearDown();
    }
    // A distinct type code that passes the aircraft test but no database knows: a digit and three more.
    static std::string junkType(std::size_t n) {
        constexpr std::string_view kDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        std::string code(4, '0');
        for (std::size_t i = 3; i > 0; --i, n /= kDigits.size()) code[i] = kDigits[n % kDigits.size()];
        code[0] = kDigits[n % 10];
        return code;
    }
};

TEST_F(ModelTable, DroppedLinesNeverFillIt) {
    std::set<std::string> distinct;
    for (std::size_t n = 0; n < CodeTable::kMaxCodes; ++n) distinct.insert(junkType(n));
    ASSERT_EQ(distinct.size(), CodeTable::kMaxCodes);
    const L dropped[] = {L{}.set(L::hexId, "10000"), L{}.set(L::callsign, "ERARMTR1"), L{}.set(L::alt, "0"),
                         L{}.set(L::roll, "x")};
    const std::size_t before = modelCodes().size();
    for (std::size_t n = 0; n < CodeTable::kMaxCodes; ++n) {
        const L& line = dropped[n % std::size(dropped)];
        ASSERT_NE(offer(L{line}.set(L::type, junkType(n))), LineOutcome::queued) << n;
    }
    EXPECT_EQ(modelCodes().size(), before);
    const TrafficRecord r = only(L{}.set(L::type, "C25C"));
    EXPECT_EQ(modelCodeOf(r.modelId()), "C25C");
}

TEST_F(ModelTable, ANearlyFullTableTakesOnlyKnownTypes) {
    const CodeId a320 = gf_modelId("A320");
    for (std::size_t n = 0; modelCodes().size() < CodeTable::kMaxCodes - CodeTable::kInternReserve; ++n) {
        gf_modelId(junkType(n));
    }
    const std::size_t full = modelCodes().size();
    EXPECT_EQ(offer(L{}.set(L::type, "ZZ9Z")), LineOutcome::unknownModel);
    EXPECT_EQ(offer(L{}.set(L::type, "ZZ8Z")), LineOutcome::unknownModel);
    EXPECT_EQ(modelCodes().size(), full);
    EXPECT_EQ(logCount("model code table nearly full"), 1u);
    EXPECT_TRUE(logHas("unknown aircraft type ZZ9Z"));
    EXPECT_EQ(only(L{}.set(L::type, "A320")).modelId(), a320);
}

}  // namespace
}  // namespace qvl
