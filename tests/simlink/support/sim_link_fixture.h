// The simulator link against the stand-in simulator on a manual clock, with
// recording hooks in place of the parts built later and the user's
// application data folders in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/messages.h"
#include "core/run_state.h"
#include "core/settings.h"
#include "platform/sim/stand_in.h"
#include "simlink/sim_client.h"
#include "simlink/sim_hooks.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_registration.h"
#include "simlink/sim_state.h"
#include "simlink/support/complete_hooks.h"
#include "support/log_capture.h"

namespace qvl::test {

struct DataReplyCopy {
    std::uint32_t objectId = 0;
    std::vector<std::byte> data;
};

// What the link handed to the parts above it, and their answers. Only the
// SimClient thread calls the hooks; tests read the record after it has ended.
struct Recorded {
    std::vector<SimObjectEvent> events;
    std::vector<DataReplyCopy> data, byType;
    std::vector<std::string> reservedStands, savedKeys;
    std::vector<SimVersion> switchedTo;
    GeoPosition userPosition{};
    UserAircraftBlock user;
    std::string standName;
    int repaints = 0;
};

inline SimLinkHooks recordingHooks(Recorded& rec) {
    const auto copyOf = [](const SimObjectDataReply& r) {
        return DataReplyCopy{r.objectId, {r.data.begin(), r.data.end()}};
    };
    SimLinkHooks h;
    h.queueSimObjectEvent = [&rec](const SimObjectEvent& e) { rec.events.push_back(e); };
    h.onSimObjectData = [&rec, copyOf](const SimObjectDataReply& r) { rec.data.push_back(copyOf(r)); };
    h.onSimObjectDataByType = [&rec, copyOf](const SimObjectDataReply& r) { rec.byType.push_back(copyOf(r)); };
    h.userPosition = [&rec] { return rec.userPosition; };
    h.userAircraft = [&rec] { return rec.user; };
    h.standNameAtPosition = [&rec](const GeoPosition&) { return rec.standName; };
    h.reserveUserStand = [&rec](const std::string& stand) { rec.reservedStands.push_back(stand); };
    h.repaintWindow = [&rec] { ++rec.repaints; };
    h.setStringParameter = [&rec](StringParameter& setting, const std::string& value) {
        setting.set(value);
        rec.savedKeys.push_back(setting.key());
    };
    // As the program's switch: the choice follows, the run is the program's to end.
    h.switchSimulator = [&rec](SimVersion to) {
        rec.switchedTo.push_back(to);
        SIM_CHOICE.set(std::string(simChoiceName(to)));
    };
    return h;
}

inline CreateAircraftCommand creation(std::string title, std::string callsign, std::uint32_t hexId) {
    return {.position = {.latitude = 50.02,
                         .longitude = 8.51,
                         .altitude = 364.0,
                         .pitch = 0.0,
                         .bank = 0.0,
                         .heading = 90.0,
                         .onGround = 1,
                         .airspeed = 0},
            .callsign = std::move(callsign),
            .liveryTitle = std::move(title),
            .hexId = hexId};
}

// A position for an object; the attitude and speeds do not matter to the tests.
inline PositionCommand positionAt(double latitude, double longitude, std::uint32_t objectId) {
    return {.latitude = latitude, .longitude = longitude, .altitude = 900.0, .objectId = objectId};
}

// A fresh link state and run state per test; Log.txt, the message lines and
// the settings the link reads are the core's and are put back here.
class SimLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("QVL_ROAMING_DIR", roaming.c_str(), 1);
        ::setenv("QVL_LOCAL_DIR", local.c_str(), 1);
        resetCoreSettings();
        attachRunState(&run);
        link.hooks.publish(recordingHooks(rec));
        config.installedTitles = {"Airbus A320 Lufthansa", "Boeing 737 KLM"};
        config.user.latitude = 50.0;
        config.user.longitude = 8.5;
        config.creationFrames = 1;
    }
    void TearDown() override {
        attachRunState(nullptr);
        resetCoreSettings();
        ::unsetenv("QVL_ROAMING_DIR");
        ::unsetenv("QVL_LOCAL_DIR");
    }
    static void resetCoreSettings() {
        resetMessages();
        SIM_CHOICE.set("MSFS 2020");
        MSFS_INSTALL_PATH.set("");
        MSFS_2024_INSTALL_PATH.set("");
        ALL_INSTALL_PATH.set("");
    }

    std::string log() const { return logCapture.text(); }
    bool logHas(const std::string& text) const { return log().find(text) != std::string::npos; }

    void startSim() {
        sim = std::make_unique<sim::StandInSimulator>(config, clock);
        sim->keepTraceInMemory(true);
    }
    // Connected as the SimClient thread connects, with one AI aircraft
    // (`aircraft`) made through the queues.
    void connectWithAircraft() {
        startSim();
        ASSERT_TRUE(sim::succeeded(sim->open(&handle, "Quorvelant", 0)));
        link.simHandle.store(handle);
        lf_registerSimDefinitions(*handle);
        gf_initSimQueues(link);
        link.userObjectId.store(config.user.objectId);
        gf_queueCreateAircraft(link.queues, creation("Airbus A320 Lufthansa", "DLH4AB", 0x3c6586));
        frame();  // sends the creation
        frame();  // brings the object
        const auto added = link.queues.newObjectIds();
        ASSERT_FALSE(added.empty());
        aircraft = added.back();
        ASSERT_TRUE(link.queues.takeNewObjectId(aircraft));
        ASSERT_TRUE(link.queues.takeCreationByCallsign("DLH4AB"));
        sim->clearTrace();
    }
    // The SimClient thread has gone: nothing runs, nothing is connected.
    void expectCleanExit() {
        EXPECT_FALSE(link.simRunning.load());
        const SimLinkStatus status = link.status.snapshot();
        EXPECT_FALSE(status.connected);
        EXPECT_FALSE(status.running);
        EXPECT_EQ(link.simHandle.load(), nullptr);
        EXPECT_EQ(sim->openConnectionCount(), 0u);
    }
    void pump() { ASSERT_TRUE(dispatchOnce(link, run, *handle)); }
    void frame() {
        clock->advance(sim->frameInterval());
        pump();
    }
    // The calls that reached the simulator and name `part`, without the connection prefix.
    std::vector<std::string> calls(const std::string& part = "") {
        std::vector<std::string> out;
        for (const std::string& line : sim->traceLines()) {
            if (line.rfind("c1 ", 0) == 0 && line.find(part) != std::string::npos) out.push_back(line.substr(3));
        }
        return out;
    }
    std::size_t queuedCommands() const {
        const SimQueueSizes s = link.queues.sizes();
        return s.sendPositions + s.events + s.creations + s.removals;
    }

    TempDir dir;
    LogCapture logCapture{dir.path()};
    std::filesystem::path roaming = dir / "roaming", local = dir / "local";  // the user's application data
    Recorded rec;
    RunState run;
    SimLinkState link;
    sim::StandInConfig config;
    std::shared_ptr<sim::ManualSimClock> clock = std::make_shared<sim::ManualSimClock>();
    std::unique_ptr<sim::StandInSimulator> sim;
    sim::SimConnection* handle = nullptr;
    std::uint32_t aircraft = 0;
};

}  // namespace qvl::test
