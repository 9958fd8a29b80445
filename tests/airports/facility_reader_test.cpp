// The facility-data reader with the stand-in simulator: what an airport's
// facility data become, and every way a read can end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/geodesy.h"
#include "platform/units.h"
#include "support/facility_fixture.h"

namespace qvl::test {
namespace {

using Outcome = FacilityReadOutcome;

class FacilityReader : public FacilityFixture {};

TEST_F(FacilityReader, StandsAreNamedByNumberAndHelipadsCountedApart) {
    config.airports[0].parkings.push_back(parking(9, 12));  // fuel: no stand
    config.airports[0].parkings.push_back(parking(9, 13));  // vehicles: no stand
    config.airports[0].parkings.push_back(parking(9, 0));
    config.airports[0].helipads.push_back(helipad(3, 20.0f));
    start();
    const auto result = read("eddf");
    ASSERT_EQ(result.outcome, Outcome::standsRead);
    EXPECT_EQ(standIds(record), (std::vector<std::string>{"7", "7a", "8", "7b", "9", "helipad1", "helipad2"}));
    EXPECT_EQ(helipads, 2);
    EXPECT_EQ(record.icao, FixedCode4("EDDF"));
    EXPECT_EQ(record.airportName, "Frankfurt Main");
    EXPECT_EQ(record.altitude, 364);  // 111 m
    EXPECT_TRUE(record.filled);
    const Stand& first = record.stands[0];
    EXPECT_EQ(first.number, 7u);
    EXPECT_EQ(first.type, 8u);
    EXPECT_DOUBLE_EQ(first.heading, 90.0 * kDegToRad);
    EXPECT_DOUBLE_EQ(first.radius, 20.0 / kMetresPerNm);
    EXPECT_FALSE(first.heli);
    // A square pad is 0.7 of its width across, any other half of it.
    EXPECT_TRUE(record.stands[5].heli);
    EXPECT_NEAR(record.stands[5].radius * kMetresPerNm, 14.0, 1e-5);
    EXPECT_NEAR(record.stands[6].radius * kMetresPerNm, 10.0, 1e-5);
    EXPECT_DOUBLE_EQ(record.stands[6].latitude, 50.04);
    EXPECT_DOUBLE_EQ(record.stands[6].heading, kPi);
}

TEST_F(FacilityReader, ParkingsLieAtTheirBiasFromTheReferencePoint) {
    config.airports[1].parkings = {parking(1, 8, -100.0f, 50.0f), parking(2)};
    start();
    ASSERT_EQ(read("EGLL").outcome, Outcome::standsRead);
    const GeoPosition reference{51.47, -0.46};
    const GeoPosition west = gf_destinationPoint(reference, 3 * kPi / 2, 328.08399);
    const GeoPosition expected = gf_destinationPoint(west, 0.0, 164.041995);
    EXPECT_NEAR(record.stands[0].latitude, expected.latitude, 1e-9);
    EXPECT_NEAR(record.stands[0].longitude, expected.longitude, 1e-9);
    EXPECT_LT(record.stands[0].longitude, reference.longitude);
    EXPECT_DOUBLE_EQ(record.stands[1].latitude, reference.latitude);
    EXPECT_DOUBLE_EQ(record.stands[1].longitude, reference.longitude);
}

TEST(FacilityStandNames, RepeatsCountInBijectiveBase26) {
    FacilityRequest request;
    for (int i = 0; i < 704; ++i) {
        Stand& s = request.stands.emplace_back();
        s.number = 5;
    }
    std::int32_t pads = -1;
    lf_nameFacilityStands(request, pads);
    EXPECT_EQ(pads, 0);
    EXPECT_EQ(request.stands[0].id, "5");
    EXPECT_EQ(request.stands[1].id, "5a");
    EXPECT_EQ(request.stands[26].id, "5z");
    EXPECT_EQ(request.stands[27].id, "5aa");
    EXPECT_EQ(request.stands[28].id, "5ab");
    EXPECT_EQ(request.stands[702].id, "5zz");
    EXPECT_EQ(request.stands[703].id, "5aaa");
}

TEST_F(FacilityReader, BadPositionsAndSizesAreSkippedWithAScanLogLine) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto noRadius = parking(2);
    noRadius.radius = 0.0f;
    auto noHeading = parking(3);
    noHeading.heading = nan;
    config.airports[1].parkings = {parking(1), noRadius, noHeading, parking(4, 8, nan, 0.0f)};
    config.airports[1].helipads = {helipad(2, 0.0f)};
    start();
    const auto result = read("EGLL");
    ASSERT_EQ(result.outcome, Outcome::standsRead);
    EXPECT_EQ(standIds(record), std::vector<std::string>{"1"});
    EXPECT_EQ(helipads, 0);
    EXPECT_EQ(std::count_if(result.scanLogLines.begin(), result.scanLogLines.end(),
                            [](const std::string& l) { return l.starts_with("Skipped position with radius"); }),
              4);
}

TEST_F(FacilityReader, ASecondReadReusesTheConnectionUntilItIsClosed) {
    start();
    ASSERT_EQ(read("EDDF").outcome, Outcome::standsRead);
    ASSERT_EQ(read("EGLL").outcome, Outcome::standsRead);
    EXPECT_EQ(standIds(record), std::vector<std::string>{"1"});  // nothing of the first airport
    EXPECT_EQ(traced("Open \"PARKING_DATA_RDR\""), 1u);
    EXPECT_EQ(traced("AddToFacilityDefinition 1001"), 30u);
    EXPECT_EQ(traced("RequestFacilityData 1001 2001"), 2u);
    EXPECT_EQ(sim->openConnectionCount(), 1u);

    reader->close();
    EXPECT_FALSE(reader->isOpen());
    EXPECT_EQ(sim->openConnectionCount(), 0u);
    const std::string text = log.text();
    EXPECT_NE(text.find("SimConnect closed ok\nSimConnect (PARKING_DATA_RDR) closed\n"), std::string::npos);
    ASSERT_EQ(read("EGLL").outcome, Outcome::standsRead);
    EXPECT_EQ(traced("Open \"PARKING_DATA_RDR\""), 2u);
    reader.reset();  // the end of the scan without close()
    EXPECT_EQ(sim->openConnectionCount(), 0u);
}

TEST_F(FacilityReader, AFailingCloseIsLoggedAndTheConnectionForgotten) {
    start();
    ASSERT_EQ(read("EGLL").outcome, Outcome::standsRead);
    sim->failCalls("Close", 1);
    reader->close();
    EXPECT_FALSE(reader->isOpen());
    EXPECT_NE(log.text().find("==> Closing SimConnect failed?!\nSimConnect (PARKING_DATA_RDR) closed\n"),
              std::string::npos);
}

TEST_F(FacilityReader, AnAirportWithoutStandOrHelipadIsItsOwnOutcome) {
    start();
    auto result = read("EMPT");
    EXPECT_EQ(result.outcome, Outcome::noStands);
    EXPECT_FALSE(endsScanForConnection(result.outcome));
    EXPECT_TRUE(record.filled);
    EXPECT_EQ(record.airportName, "No stands");
    EXPECT_EQ(helipads, 0);
    EXPECT_TRUE(holdsLine(result.scanLogLines, "No stand and no helipad in the facility data of EMPT, no file"));
    EXPECT_EQ(read("ZZZZ").outcome, Outcome::noStands);  // unknown to the simulator: only the end item
}

TEST_F(FacilityReader, AConnectionThatCannotBeOpenedOrARefusedRequestEndsTheScan) {
    config.openFailures = 1;
    start();
    auto result = read("EDDF");
    EXPECT_EQ(result.outcome, Outcome::connectFailed);
    EXPECT_TRUE(endsScanForConnection(result.outcome));
    EXPECT_FALSE(record.filled);
    EXPECT_EQ(helipads, -1);
    EXPECT_NE(log.text().find("==> SimConnect_Open (PARKING_DATA_RDR) FAILED hr=0x80004005\n"), std::string::npos);

    sim->failCalls("RequestFacilityData", 1);
    result = read("EDDF");
    EXPECT_EQ(result.outcome, Outcome::requestFailed);
    EXPECT_TRUE(endsScanForConnection(result.outcome));
    EXPECT_TRUE(record.stands.empty());
    EXPECT_NE(log.text().find("==> RequestFacilityData failed for EDDF\n"), std::string::npos);

    sim->failCalls("AddToFacilityDefinition", 1);  // a definition with a hole would misread every item
    reader->close();
    EXPECT_EQ(read("EDDF").outcome, Outcome::connectFailed);
    EXPECT_FALSE(reader->isOpen());
    EXPECT_EQ(read("EDDF").outcome, Outcome::standsRead);
}

TEST_F(FacilityReader, TheSimulatorsExceptionRejectsOnlyThatAirport) {
    start();
    ASSERT_EQ(read("EDDF").outcome, Outcome::standsRead);
    sim->injectException(sim::exceptionNameUnrecognized, 42, 3, kFacilityConnectionName);
    const auto result = read("EGLL");
    EXPECT_EQ(result.outcome, Outcome::rejected);
    EXPECT_FALSE(endsScanForConnection(result.outcome));
    EXPECT_TRUE(holdsLine(result.scanLogLines, "SimConnect EXCEPTION id=7 sendID=42 index=3 for EGLL, no file"));
    EXPECT_FALSE(record.filled);
    EXPECT_TRUE(record.stands.empty());
    EXPECT_NE(log.text().find("==> SimConnect EXCEPTION id=7 sendID=42 index=3\n"), std::string::npos);
    EXPECT_EQ(read("EGLL").outcome, Outcome::standsRead);
    EXPECT_EQ(read("AB-1").outcome, Outcome::rejected);  // not a code: never asked for
}

TEST_F(FacilityReader, TheWaitEndsAfterItsBoundWithoutAnItem) {
    config.facilityNeverEnds = true;
    start();
    const auto result = read("EDDF");
    EXPECT_EQ(result.outcome, Outcome::timedOut);
    EXPECT_TRUE(endsScanForConnection(result.outcome));
    EXPECT_GE(clock->now(), std::chrono::milliseconds(50));
    EXPECT_LE(clock->now(), std::chrono::milliseconds(52));
    EXPECT_TRUE(holdsLine(result.scanLogLines, "No facility data for EDDF within 0.05 seconds"));
    EXPECT_TRUE(record.stands.empty());
    EXPECT_FALSE(reader->isOpen());  // no late item reaches the next read
    EXPECT_EQ(sim->openConnectionCount(), 0u);
}

TEST_F(FacilityReader, TheRunClosingEndsTheWait) {
    config.facilityNeverEnds = true;
    start();
    atPause = [this](int n) {
        if (n == 3) run.closeRequested = true;
    };
    EXPECT_EQ(read("EDDF").outcome, Outcome::closing);
    EXPECT_EQ(pauses, 3);
    EXPECT_FALSE(reader->isOpen());
    EXPECT_EQ(read("EGLL").outcome, Outcome::closing);  // and no new connection
    EXPECT_EQ(traced("Open \"PARKING_DATA_RDR\""), 1u);
}

TEST_F(FacilityReader, TheSimulatorQuittingEndsTheWait) {
    config.facilityNeverEnds = true;
    start();
    atPause = [this](int n) {
        if (n == 2) sim->quit();
    };
    const auto result = read("EDDF");
    EXPECT_EQ(result.outcome, Outcome::simulatorQuit);
    EXPECT_TRUE(endsScanForConnection(result.outcome));
    EXPECT_EQ(pauses, 2);
    EXPECT_FALSE(reader->isOpen());
    EXPECT_EQ(read("EDDF").outcome, Outcome::connectFailed);
}

// Replies built by hand: an item's record, then `dataBytes` of its fields.
std::vector<std::byte> item(std::uint32_t type, std::size_t dataBytes, std::uint32_t request = 2001) {
    std::vector<std::byte> bytes(sizeof(sim::RecvFacilityData) + dataBytes);
    sim::RecvFacilityData record{};
    record.header = {.size = static_cast<std::uint32_t>(bytes.size()), .version = 1, .id = sim::recvFacilityData};
    record.userRequestId = request;
    record.type = type;
    std::memcpy(bytes.data(), &record, sizeof record);
    const float radius = 20.0f;  // a usable parking when it is read whole
    if (type == sim::facilityTaxiParking && dataBytes >= 32) std::memcpy(bytes.data() + 40 + 28, &radius, 4);
    return bytes;
}

void dispatch(FacilityDispatchContext& context, const std::vector<std::byte>& bytes, std::size_t given) {
    // A block of exactly the given size, so a read past it shows under the sanitizer.
    std::vector<std::byte> block(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(given));
    lf_facilityDispatch(reinterpret_cast<const sim::RecvHeader*>(block.data()), static_cast<std::uint32_t>(given),
                        &context);
}

TEST(FacilityDispatch, ItemsShorterThanTheirLayoutAreSkipped) {
    TempDir dir;
    LogCapture log(dir.path());
    FacilityRequest request{.icao = "EDDF"};
    FacilityDispatchContext context{.request = &request};
    const auto whole = item(sim::facilityTaxiParking, kFacilityTaxiParkingBytes);
    dispatch(context, whole, whole.size());
    ASSERT_EQ(request.stands.size(), 1u);
    dispatch(context, whole, whole.size() - 1);  // the block is cut
    auto lying = item(sim::facilityTaxiParking, kFacilityTaxiParkingBytes);
    const std::uint32_t claimed = 200;  // the header claims more than the block holds
    std::memcpy(lying.data(), &claimed, 4);
    dispatch(context, lying, lying.size() - 4);
    dispatch(context, item(sim::facilityHelipad, kFacilityHelipadBytes - 1), 40 + kFacilityHelipadBytes - 1);
    dispatch(context, item(sim::facilityAirport, kFacilityAirportBytes - 8), 40 + kFacilityAirportBytes - 8);
    dispatch(context, whole, 30);  // not even the record
    EXPECT_EQ(request.stands.size(), 1u);
    EXPECT_EQ(context.items, 5u);
    EXPECT_EQ(context.scanLogLines.size(), 5u);
    EXPECT_TRUE(holdsLine(context.scanLogLines, "Facility taxi parking item for EDDF holds 39 bytes, its layout 40"));
    EXPECT_TRUE(holdsLine(context.scanLogLines, "Facility item of 30 bytes for EDDF is shorter than its record"));

    dispatch(context, item(sim::facilityTaxiParking, kFacilityTaxiParkingBytes, 2002), whole.size());
    EXPECT_EQ(context.items, 5u);  // another request's item
    sim::RecvHeader exception{.size = 12, .version = 1, .id = sim::recvException};
    std::vector<std::byte> shortException(sizeof exception);
    std::memcpy(shortException.data(), &exception, sizeof exception);
    dispatch(context, shortException, shortException.size());
    EXPECT_TRUE(context.exception.has_value());  // too short to say why, yet a refusal
    lf_facilityDispatch(reinterpret_cast<const sim::RecvHeader*>(whole.data()), 80, nullptr);  // no context: nothing
}

}  // namespace
}  // namespace qvl::test
