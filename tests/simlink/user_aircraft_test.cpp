// The user aircraft's replies: the block and its teleport test, the title,
// the model and its half wingspan, and the aircraft-in-range reply that ties
// new objects to their creations.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/geodesy.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "refdata/lookups.h"
#include "simlink/sim_ids.h"
#include "simlink/user_aircraft.h"
#include "support/sim_link_fixture.h"

namespace qvl::test {
namespace {

void loadReferenceData() {
    static std::once_flag once;
    std::call_once(once, [] {
        TempDir folder;
        const auto previous = std::filesystem::current_path();
        const auto data = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "data";
        std::filesystem::current_path(folder.path());
        std::filesystem::create_directories("input");
        const bool read =
            streamEncrypt(data / "dbase.xml", std::filesystem::path("input") / "dbase.enc") && gf_readDbase();
        std::filesystem::current_path(previous);
        if (!read) throw std::runtime_error("the shipped reference database could not be read");
    });
}

template <class T>
std::vector<std::byte> bytesOf(const T& value) {
    std::vector<std::byte> out(sizeof value);
    std::memcpy(out.data(), &value, sizeof value);
    return out;
}

// The user record as the simulator sends it: eight doubles, four integers.
std::vector<std::byte> recordBytes(const UserAircraftBlock& block) {
    std::vector<std::byte> out;
    const auto put = [&out](const auto& value) {
        const auto* bytes = reinterpret_cast<const std::byte*>(&value);
        out.insert(out.end(), bytes, bytes + sizeof value);
    };
    for (double d : {block.latitude, block.longitude, block.pitch, block.bank, block.heading, block.altitude,
                     block.aboveGround, block.groundSpeed}) {
        put(d);
    }
    for (std::int64_t i : {block.zuluTime, block.zuluDayOfYear, block.zuluYear, block.lightStates}) put(i);
    return out;
}

std::vector<std::byte> inRangeBlock(double aboveGround, double groundAltitude, std::int64_t onGround,
                                    const std::string& atc) {
    std::vector<std::byte> out(kAircraftInRangeBlockSize);
    std::memcpy(out.data(), &aboveGround, 8);
    std::memcpy(out.data() + 8, &groundAltitude, 8);
    std::memcpy(out.data() + 16, &onGround, 8);
    std::memcpy(out.data() + 24, atc.data(), std::min<std::size_t>(atc.size(), 31));
    return out;
}

class UserAircraftTest : public ::testing::Test {
protected:
    void SetUp() override {
        loadReferenceData();
        resetMessages();
        SimLinkHooks hooks;
        hooks.queueSimObjectEvent = [this](const SimObjectEvent& e) { events.push_back(e); };
        link.hooks.publish(test::completeHooks(std::move(hooks)));
    }
    void TearDown() override { resetMessages(); }

    void sendBlock(double latitude, double longitude, double altitude = 1000.0, std::uint32_t objectId = 1) {
        UserAircraftBlock block{.latitude = latitude, .longitude = longitude, .altitude = altitude};
        const auto data = recordBytes(block);
        lf_onSimObjectData(link, run, user,
                           {.requestId = reqUserBlock, .objectId = objectId, .defineId = defUserBlock, .data = data});
    }
    // A user block at a fixed position with the given date and time fields.
    void sendZulu(UserAircraftBlock block) {
        block.latitude = 50.0;
        block.longitude = 8.5;
        const auto data = recordBytes(block);
        lf_onSimObjectData(link, run, user, {.requestId = reqUserBlock, .objectId = 1, .data = data});
    }
    void inRange(std::uint32_t objectId, const std::vector<std::byte>& data) {
        lf_onSimObjectDataByType(link, user, {.requestId = reqAircraftInRange, .objectId = objectId, .data = data});
    }

    TempDir dir;
    LogCapture logCapture{dir.path()};
    SimLinkState link;
    RunState run;
    UserAircraftState user;
    std::vector<SimObjectEvent> events;
};

TEST_F(UserAircraftTest, ABlockBelowZeroFeetIsStoredAtZeroAndNamesTheUserObject) {
    sendBlock(50.0, 8.5, -12.0, 7);
    EXPECT_EQ(user.block().altitude, 0.0);
    EXPECT_EQ(link.userObjectId.load(), 7U);
}

TEST_F(UserAircraftTest, OnlyAJumpOfMoreThanTenMilesIsATeleportAndTheFirstBlockNeverIs) {
    sendBlock(50.0, 8.5);
    EXPECT_FALSE(run.isClosing());
    const GeoPosition ten = gf_destinationPoint({50.0, 8.5}, 0.0, 9.99 * 6076.12);
    sendBlock(ten.latitude, ten.longitude);
    EXPECT_FALSE(run.isClosing());
    const GeoPosition more = gf_destinationPoint(ten, 0.0, 10.1 * 6076.12);
    sendBlock(more.latitude, more.longitude);
    EXPECT_TRUE(run.isClosing());
    EXPECT_EQ(run.restartReason.load(), RestartReason::newFlight);
    EXPECT_EQ(run.restartDelay.load(), 45);
    EXPECT_NE(logCapture.text().find("Teleport"), std::string::npos);
}

TEST_F(UserAircraftTest, TheOnGroundStateCountsOnlyOnceAPositionHasArrived) {
    const std::int64_t one = 1;
    const auto data = bytesOf(one);
    lf_onSimObjectData(link, run, user, {.requestId = reqUserOnGround, .data = data});
    EXPECT_FALSE(user.onGround().has_value());
    EXPECT_TRUE(user.takeOneSecond());
    sendBlock(50.0, 8.5);
    lf_onSimObjectData(link, run, user, {.requestId = reqUserOnGround, .data = data});
    EXPECT_EQ(user.onGround(), std::optional<bool>(true));
}

TEST_F(UserAircraftTest, ANewRecordKeepsWhatTheLinkHoldsBesideIt) {
    sendBlock(50.0, 8.5);
    const std::int64_t one = 1;
    lf_onSimObjectData(link, run, user, {.requestId = reqUserOnGround, .data = bytesOf(one)});
    lf_onUserTitle(link, user, "Aerosoft A320 Lufthansa");
    lf_onUserModel(link, user, "A320");
    sendBlock(50.001, 8.501, 1200.0);
    const UserAircraftBlock block = user.block();
    EXPECT_DOUBLE_EQ(block.latitude, 50.001);
    EXPECT_DOUBLE_EQ(block.altitude, 1200.0);
    EXPECT_EQ(block.onGround, std::optional<bool>(true));
    EXPECT_EQ(block.title, "Aerosoft A320 Lufthansa");
    EXPECT_TRUE(block.modelLamp);
    EXPECT_TRUE(block.wingspan.valid);
}

TEST_F(UserAircraftTest, TheSimulatorsUtcDayCountsFrom1970) {
    user.setProfEdition(true);
    UserAircraftBlock block{.latitude = 50.0, .longitude = 8.5, .zuluTime = 3600, .zuluDayOfYear = 1, .zuluYear = 1970};
    sendZulu(block);
    EXPECT_EQ(user.simUtcSeconds(), 3600);
    block.zuluYear = 2024;
    block.zuluDayOfYear = 153;  // 1 June 2024
    sendZulu(block);
    EXPECT_EQ(user.simUtcSeconds(), 1717200000 + 3600);
    // The calendar's ends: 1 January of year 1, 31 December 9999 at 23:59:59.
    sendZulu({.zuluTime = 0, .zuluDayOfYear = 1, .zuluYear = 1});
    EXPECT_EQ(user.simUtcSeconds(), -62135596800);
    sendZulu({.zuluTime = 86399, .zuluDayOfYear = 365, .zuluYear = 9999});
    EXPECT_EQ(user.simUtcSeconds(), 253402300799);
}

TEST_F(UserAircraftTest, ImplausibleDateOrTimeFieldsKeepThePreviousUtcTime) {
    user.setProfEdition(true);
    const UserAircraftBlock good{.zuluTime = 3600, .zuluDayOfYear = 153, .zuluYear = 2024};
    sendZulu(good);
    const std::int64_t before = user.simUtcSeconds();
    ASSERT_EQ(before, 1717200000 + 3600);
    constexpr std::int64_t kHuge = std::int64_t{1} << 62;
    const std::vector<UserAircraftBlock> bad = {
        {.zuluTime = 3600, .zuluDayOfYear = 153, .zuluYear = kHuge},
        {.zuluTime = 3600, .zuluDayOfYear = 153, .zuluYear = -kHuge},
        {.zuluTime = 3600, .zuluDayOfYear = 153, .zuluYear = 0},
        {.zuluTime = 3600, .zuluDayOfYear = 153, .zuluYear = 10000},
        {.zuluTime = 3600, .zuluDayOfYear = 0, .zuluYear = 2024},
        {.zuluTime = 3600, .zuluDayOfYear = 367, .zuluYear = 2024},
        {.zuluTime = 3600, .zuluDayOfYear = kHuge, .zuluYear = 2024},
        {.zuluTime = -1, .zuluDayOfYear = 153, .zuluYear = 2024},
        {.zuluTime = 86400, .zuluDayOfYear = 153, .zuluYear = 2024},
        {.zuluTime = std::numeric_limits<std::int64_t>::max(), .zuluDayOfYear = 153, .zuluYear = 2024},
    };
    for (const UserAircraftBlock& block : bad) {
        sendZulu(block);
        EXPECT_EQ(user.simUtcSeconds(), before)
            << block.zuluYear << " " << block.zuluDayOfYear << " " << block.zuluTime;
    }
    // Day 366 of any year and the last second of a day still count.
    sendZulu({.zuluTime = 86399, .zuluDayOfYear = 366, .zuluYear = 2024});
    EXPECT_EQ(user.simUtcSeconds(), 1735689600 - 1);
}

TEST_F(UserAircraftTest, TheUtcTimeIsKeptOnlyWhileTheProfEditionIsOn) {
    const UserAircraftBlock block{.zuluTime = 3600, .zuluDayOfYear = 1, .zuluYear = 1970};
    sendZulu(block);
    EXPECT_EQ(user.simUtcSeconds(), 0);
    // Turned on after the handshake: the block already there gives the time at once.
    user.setProfEdition(true);
    EXPECT_TRUE(user.profEdition());
    EXPECT_EQ(user.simUtcSeconds(), 3600);
    user.setProfEdition(false);
    EXPECT_EQ(user.simUtcSeconds(), 0);
    sendZulu(block);
    EXPECT_EQ(user.simUtcSeconds(), 0);
    user.setProfEdition(true);
    user.reset();
    EXPECT_FALSE(user.profEdition());
    EXPECT_EQ(user.simUtcSeconds(), 0);
}

TEST_F(UserAircraftTest, TitleIsCutAndModelsAreCorrectedBeforeTheirSpanIsLookedUp) {
    lf_onUserTitle(link, user, std::string(60, 'T'));
    EXPECT_EQ(user.block().title, std::string(48, 'T'));
    EXPECT_EQ(correctUserModel("$$:B738", ""), "B738");
    EXPECT_EQ(correctUserModel("$$:A", ""), "$$:A");
    EXPECT_EQ(correctUserModel("A350-900", ""), "A359");
    EXPECT_EQ(correctUserModel("A320.0.text", ""), "A320");
    EXPECT_EQ(correctUserModel("737", "PMDG DG 737-800 livery"), "B738");
    EXPECT_EQ(correctUserModel("737", "some 737"), "737");
    lf_onUserModel(link, user, "A320");
    EXPECT_TRUE(user.block().modelLamp);
    EXPECT_NEAR(user.wingspan().halfSpan, gf_halfWingspan(gf_modelId("A320")), 1e-12);
    EXPECT_TRUE(user.wingspan().valid);
}

TEST_F(UserAircraftTest, AnUnknownShortModelWithoutASpanIsDeducedFromTheTitleOrTakesTheMaximum) {
    lf_onUserTitle(link, user, "Aerosoft A321 Lufthansa");
    lf_onUserModel(link, user, "ZZ9Q");
    EXPECT_TRUE(user.block().modelLamp);
    EXPECT_NEAR(user.wingspan().halfSpan, gf_halfWingspan(gf_modelId("A321")), 1e-12);

    UserAircraftState other;
    lf_onUserModel(link, other, "ZZ8Q");
    EXPECT_FALSE(other.block().modelLamp);
    EXPECT_EQ(other.wingspan().halfSpan, maxHalfWingspan());
    EXPECT_TRUE(other.wingspan().valid);
}

TEST_F(UserAircraftTest, ANewObjectNamingACreationIsReleasedFrozenAndReportedCreated) {
    link.userObjectId.store(1);
    link.queues.noteNewObjectId(120);
    link.queues.rememberCreation({.packetId = 5, .hexId = 0x3c6586, .callsign = "DLH4AB"});
    inRange(120, inRangeBlock(0.0, 364.0, 1, "DLH4AB"));
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(events[0].kind, SimObjectEventKind::created);
    EXPECT_EQ(events[0].hexId, 0x3c6586U);
    EXPECT_EQ(link.queues.sizes().events, 3U);
    EXPECT_TRUE(link.queues.pendingCreations().empty());
    // A known object reports its ground data.
    inRange(120, inRangeBlock(0.0, 364.0, 1, "DLH4AB"));
    ASSERT_EQ(events.size(), 2U);
    EXPECT_EQ(events[1].kind, SimObjectEventKind::groundData);
    EXPECT_EQ(events[1].hexId, 1U);  // the on-ground flag, an integer in the reply
    EXPECT_EQ(events[1].value1, 364.0);
}

TEST_F(UserAircraftTest, TheSimulatorsOwnTrafficIsNotedOncePerProcess) {
    link.userObjectId.store(1);
    link.queues.noteNewObjectId(130);
    link.queues.noteNewObjectId(131);
    inRange(130, inRangeBlock(0.0, 0.0, 1, "AS-GEN"));
    inRange(131, inRangeBlock(0.0, 0.0, 1, "AS-GEN"));
    const std::string log = logCapture.text();
    const auto first = log.find("Spawned by Asobo");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("Spawned by Asobo", first + 1), std::string::npos);
    EXPECT_TRUE(events.empty());
}

// Against the stand-in simulator: the waits of the request dispatch its
// replies, as the SimClient thread would between them.
class UserAircraftStandIn : public SimLinkTest {
protected:
    UserAircraftState user;
};

TEST_F(UserAircraftStandIn, TheUserIsKnownOncePositionAndGroundStateHaveArrived) {
    loadReferenceData();
    config.frameRate = 100.0;
    startSim();
    ASSERT_TRUE(sim::succeeded(sim->open(&handle, "Quorvelant", 0)));
    link.simHandle.store(handle);
    lf_registerSimDefinitions(*handle);
    gf_initSimQueues(link);
    SimLinkHooks hooks;
    hooks.onSimObjectData = [&](const SimObjectDataReply& r) { lf_onSimObjectData(link, run, user, r); };
    link.hooks.publish(test::completeHooks(std::move(hooks)));
    int waits = 0;
    const auto sleep = [&](std::chrono::milliseconds d) {
        ++waits;
        if (waits == 3) link.simRunning.store(true);
        if (waits > 100) run.endRun(RestartReason::simWasClosed, 0);  // never hang
        clock->advance(d);
        pump();
    };
    ASSERT_TRUE(lf_requestUserAircraftData(link, run, user, sleep));
    EXPECT_NEAR(user.block().latitude, 50.0, 1e-6);
    EXPECT_TRUE(user.onGround().has_value());
    EXPECT_GE(waits, 3);
    frame();  // the title and the model follow
    EXPECT_FALSE(user.block().title.empty());
    EXPECT_TRUE(user.wingspan().valid);
}

TEST_F(UserAircraftStandIn, TheWaitEndsWhenTheRunCloses) {
    int waits = 0;
    EXPECT_FALSE(lf_requestUserAircraftData(link, run, user, [&](std::chrono::milliseconds) {
        if (++waits == 5) run.endRun(RestartReason::simWasClosed, 0);
    }));
    EXPECT_EQ(waits, 5);
}

}  // namespace
}  // namespace qvl::test
