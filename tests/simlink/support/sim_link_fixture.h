// A test of the simulator link against the stand-in simulator: a log in a
// temporary folder, run flags and link state reset, recording hooks in place
// of the parts built later, and a stand-in on a manual clock.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/messages.h"
#include "core/run_flags.h"
#include "core/settings.h"
#include "platform/sim/stand_in.h"
#include "simlink/sim_client.h"
#include "simlink/sim_hooks.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_registration.h"
#include "simlink/sim_state.h"
#include "simlink/sim_version.h"
#include "support/temp_dir.h"

namespace qvl::test {

struct DataReplyCopy {
    std::uint32_t requestId = 0;
    std::uint32_t objectId = 0;
    std::vector<std::byte> data;
};

// What the link handed to the parts that will sit on top of it.
struct Recorded {
    std::mutex mutex;
    std::vector<SimObjectEvent> events;
    std::vector<DataReplyCopy> data;
    std::vector<DataReplyCopy> byType;
    std::vector<std::string> reservedStands;
    std::vector<std::pair<std::string, std::string>> savedSettings;
    int repaints = 0;
    // Answers of the user-aircraft side.
    GeoPosition userPosition{};
    std::optional<UserGroundState> ground;
    std::string standName;
};

inline DataReplyCopy copyOf(const SimObjectDataReply& r) {
    return {r.requestId, r.objectId, {r.data.begin(), r.data.end()}};
}

inline SimLinkHooks recordingHooks(Recorded& rec) {
    // Every hook works under the record's lock: the SimClient thread calls them.
    const auto locked = [&rec](auto body) {
        return [&rec, body](auto&&... args) {
            std::lock_guard lock(rec.mutex);
            return body(args...);
        };
    };
    SimLinkHooks h;
    h.queueSimObjectEvent = locked([&rec](const SimObjectEvent& e) { rec.events.push_back(e); });
    h.onSimObjectData = locked([&rec](const SimObjectDataReply& r) { rec.data.push_back(copyOf(r)); });
    h.onSimObjectDataByType = locked([&rec](const SimObjectDataReply& r) { rec.byType.push_back(copyOf(r)); });
    h.userPosition = locked([&rec] { return rec.userPosition; });
    h.userGroundState = locked([&rec] { return rec.ground; });
    h.standNameAtPosition = locked([&rec](const GeoPosition&) { return rec.standName; });
    h.reserveUserStand = locked([&rec](const std::string& stand) { rec.reservedStands.push_back(stand); });
    h.repaintWindow = locked([&rec] { ++rec.repaints; });
    h.setStringParameter = [&rec](StringParameter& setting, const std::string& value) {
        setting.set(value);
        std::lock_guard lock(rec.mutex);
        rec.savedSettings.emplace_back(setting.key(), value);
    };
    return h;
}

inline CreateAircraftCommand creation(std::string title, std::string callsign, std::uint32_t hexId) {
    return {{50.02, 8.51, 364.0, 0.0, 0.0, 90.0, 1, 0}, std::move(callsign), std::move(title), hexId};
}

class SimLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        gf_openLogAt(dir / "Log.txt");
        gf_resetRunFlags();
        gf_resetMessages();
        gf_resetSimLink();
        SIM_CHOICE.set("MSFS 2020");
        simIs2020.store(true);
        gf_setSimLinkHooks(recordingHooks(rec));
        config.installedTitles = {"Airbus A320 Lufthansa", "Boeing 737 KLM"};
        config.user.latitude = 50.0;
        config.user.longitude = 8.5;
        config.creationFrames = 1;
    }
    void TearDown() override {
        gf_resetSimLink();
        gf_setSimLinkHooks({});
        gf_resetMessages();
        gf_resetRunFlags();
        SIM_CHOICE.set("MSFS 2020");
        simIs2020.store(true);
        gf_closeLog();
    }

    std::string log() {
        gf_flushLog();
        return readFile(dir / "Log.txt");
    }
    bool logHas(const std::string& text) { return log().find(text) != std::string::npos; }

    void startSim() {
        sim = std::make_unique<sim::StandInSimulator>(config, clock);
        sim->keepTraceInMemory(true);
    }
    // Open, register and take the OPEN reply, as the SimClient thread does.
    void connect() {
        if (!sim) startSim();
        ASSERT_TRUE(sim::succeeded(sim->open(&handle, "Quorvelant", 0)));
        simHandle.store(handle);
        lf_registerSimDefinitions(*handle);
        gf_initSimQueues();
        ASSERT_TRUE(gf_dispatchOnce(*handle));
        sim->clearTrace();
    }
    void frames(int n) { clock->advance(n * sim->frameInterval()); }
    void pump() { ASSERT_TRUE(gf_dispatchOnce(*handle)); }
    void frame() {
        frames(1);
        pump();
    }
    // Creates an aircraft through the queues: the frame sends the creation,
    // the next frame brings the object. Its id, or 0.
    std::uint32_t createThroughQueues(const std::string& title, const std::string& callsign, std::uint32_t hexId) {
        gf_queueCreateAircraft(creation(title, callsign, hexId));
        frame();
        frame();
        return newObjectIds().empty() ? 0 : newObjectIds().back();
    }
    // The calls that reached the simulator, without the connection prefix.
    std::vector<std::string> calls() {
        std::vector<std::string> out;
        for (const std::string& line : sim->traceLines()) {
            if (line.rfind("c1 ", 0) == 0) out.push_back(line.substr(3));
        }
        return out;
    }
    std::vector<std::string> traceWith(const std::string& part) {
        std::vector<std::string> out;
        for (const std::string& line : sim->traceLines()) {
            if (line.find(part) != std::string::npos) out.push_back(line);
        }
        return out;
    }

    TempDir dir;
    Recorded rec;
    sim::StandInConfig config;
    std::shared_ptr<sim::ManualSimClock> clock = std::make_shared<sim::ManualSimClock>();
    std::unique_ptr<sim::StandInSimulator> sim;
    sim::SimConnection* handle = nullptr;
};

// Builds a reply record with its header filled in.
template <class Record>
Record replyOf(std::uint32_t id) {
    Record r{};
    auto* h = reinterpret_cast<sim::RecvHeader*>(&r);
    h->size = sizeof(Record);
    h->version = 1;
    h->id = id;
    return r;
}

// Hands one reply to the dispatch procedure and rethrows what it kept.
template <class Record>
void deliver(const Record& r, std::uint32_t size = sizeof(Record)) {
    DispatchContext context;
    lf_dispatchProc(reinterpret_cast<const sim::RecvHeader*>(&r), size, &context);
    if (context.kept) std::rethrow_exception(context.kept);
}

}  // namespace qvl::test
