// Live traffic end to end, in real time: the stand-in traffic client replays
// an arrival that lands and parks, a departure that pushes back from its
// stand and takes off, and an overflight, on loopback; the program's
// readers and traffic client link take them in; the engine is ticked every
// 10 ms on the steady clock; the SimClient thread carries its commands to
// the stand-in simulator, whose trace file is then read back for where the
// aircraft went, while when the program sent them is judged by the program's
// own clock (sent_calls.h). The liveries
// and the stands are the real services over files written by their own
// writers. With QVL_E2E_KEEP naming a folder, the trace and Log.txt are
// copied there for a look after the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "airports/apf_file.h"
#include "airports/loaded_park_airport.h"
#include "airports/park_airport.h"
#include "airports/stand.h"
#include "core/current_park_airport.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/messages.h"
#include "core/range_control.h"
#include "core/run_state.h"
#include "core/settings.h"
#include "engine/base/engine.h"
#include "engine/base/engine_state.h"
#include "engine/catalogue_liveries.h"
#include "engine/engine_tick.h"
#include "engine/flight_plans.h"
#include "engine/object_events.h"
#include "engine/stands/park_airport_stands.h"
#include "feed/feed_state.h"
#include "feed/readers.h"
#include "feed/realtraffic_link.h"
#include "feed/traffic_queue.h"
#include "liveries/liveries_file.h"
#include "liveries/livery_data.h"
#include "liveries/livery_matching.h"
#include "liveries/livery_tables.h"
#include "platform/sim/stand_in.h"
#include "platform/units.h"
#include "refdata/code_table.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "sent_calls.h"
#include "sim_trace.h"
#include "simlink/flight_plan.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_state.h"
#include "simlink/support/complete_hooks.h"
#include "simlink/user_aircraft.h"
#include "support/fake_status.h"
#include "support/log_capture.h"
#include "support/settings_scope.h"
#include "support/temp_dir.h"
#include "tools/traffic_client/stand_in_client.h"
#include "traffic_script.h"

namespace qvl::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr GeoPosition kAirport{.latitude = 48.11, .longitude = 16.57};
constexpr double kFramesPerSecond = 100.0;
constexpr auto kTick = 10ms;
// The engine flies a sample 3000 ticks after its line arrived.
constexpr double kDelaySeconds = 30.0;
// The user's aircraft stands south-west of the airport, facing away from it;
// the range is small, so that the departure and the overflight leave it.
const GeoPosition kUser = pointFrom(kAirport, 225.0, 0.6);
constexpr double kRangeNm = 3.0;
const FixedCode4 kAirportCode("LOWW");

struct ScannedLivery {
    const char* airline;
    const char* model;
    const char* title;
};
// The installed liveries; each flight's airline and type find exactly one.
constexpr ScannedLivery kLiveries[] = {
    {"DLH", "A320", "Airbus A320 Lufthansa Quorvelant Test"},
    {"KLM", "B738", "Boeing 737-800 KLM Quorvelant Test"},
    {"BAW", "B77W", "Boeing 777-300ER British Quorvelant Test"},
    {"DLH", "B738", "Boeing 737-800 Lufthansa Quorvelant Test"},
};

std::string titleFor(const std::string& airline, const std::string& model) {
    for (const ScannedLivery& l : kLiveries) {
        if (airline == l.airline && model == l.model) return l.title;
    }
    return {};
}

std::filesystem::path sourceDataFolder() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "data";
}

// The shipped reference database, read as the program reads it at start-up.
void loadReferenceData() {
    static std::once_flag once;
    std::call_once(once, [] {
        TempDir folder;
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(folder.path());
        std::filesystem::create_directories("input");
        const bool read =
            streamEncrypt(sourceDataFolder() / "dbase.xml", std::filesystem::path("input") / "dbase.enc") &&
            gf_readDbase();
        std::filesystem::current_path(previous);
        if (!read) throw std::runtime_error("the shipped reference database could not be read");
    });
}

class PlanFolder : public FlightPlanFolder {
public:
    explicit PlanFolder(const std::filesystem::path& folder) { set(folder); }
};

// The arrival's stand lies at the end of its taxi, the departure is born on its own.
struct StandPlace {
    std::string id;
    GeoPosition at;
    double headingDeg = 0.0;
};
const StandPlace kDepartureStand{.id = "B3", .at = pointFrom(kAirport, 0.0, 0.15), .headingDeg = 180.0};
constexpr double kStandRadiusMetres = 22.0;  // a push-back goes 2.5 radii
constexpr const char* kArrivalStandId = "A12";

ScriptedFlight arrival() {
    ScriptedFlight f{.hexId = 4490601,
                     .callsign = "DLH4AB",
                     .model = "A320",
                     .registration = "D-AIZA",  // known to the reference data, so its stand learns it
                     .origin = "FRA",
                     .destination = "VIE"};
    const GeoPosition touchdown = pointFrom(kAirport, 270.0, 0.3);
    f.start = pointFrom(touchdown, 270.0, 140.0 * 40.0 / 3600.0);
    f.altitudeFt = 800.0 * 40.0 / 60.0;
    f.legs = {{.seconds = 40.0, .groundSpeedKt = 140.0, .trackDeg = 90.0, .verticalSpeedFpm = -800.0},
              {.seconds = 16.0, .groundSpeedKt = 100.0, .trackDeg = 90.0},
              {.seconds = 20.0, .groundSpeedKt = 40.0, .trackDeg = 90.0},
              {.seconds = 20.0, .groundSpeedKt = 15.0, .trackDeg = 0.0},
              {.seconds = 20.0, .groundSpeedKt = 15.0, .trackDeg = 270.0},
              {.seconds = 10.0, .groundSpeedKt = 3.0, .trackDeg = 270.0},
              {.seconds = 16.0, .groundSpeedKt = 0.0, .trackDeg = 270.0}};
    return f;
}

ScriptedFlight departure() {
    ScriptedFlight f{.hexId = 4490602,
                     .callsign = "KLM1234",
                     .model = "B738",
                     .registration = "PH-BXA",
                     .origin = "VIE",
                     .destination = "MAD"};
    f.start = kDepartureStand.at;
    f.startOffsetSeconds = 1.0;
    // Standing, pushed back (nose south, moving north), holding, taxiing
    // east, the take-off run and the climb out of range.
    f.legs = {{.seconds = 32.0, .groundSpeedKt = 0.0, .trackDeg = 180.0},
              {.seconds = 24.0, .groundSpeedKt = 3.0, .trackDeg = 0.0, .headingDeg = 180.0},
              {.seconds = 20.0, .groundSpeedKt = 0.0, .trackDeg = 90.0},
              {.seconds = 16.0, .groundSpeedKt = 15.0, .trackDeg = 90.0},
              {.seconds = 10.0, .groundSpeedKt = 40.0, .trackDeg = 90.0},
              {.seconds = 10.0, .groundSpeedKt = 80.0, .trackDeg = 90.0},
              {.seconds = 10.0, .groundSpeedKt = 150.0, .trackDeg = 90.0},
              {.seconds = 30.0, .groundSpeedKt = 180.0, .trackDeg = 90.0, .verticalSpeedFpm = 2000.0}};
    return f;
}

// Straight out of range: its last report lies within half a mile of the
// range's edge, where the engine does not carry an aircraft on.
ScriptedFlight overflight() {
    ScriptedFlight f{.hexId = 4490603,
                     .callsign = "BAW789",
                     .model = "B77W",
                     .registration = "G-QVLC",
                     .origin = "LHR",
                     .destination = "DXB"};
    f.start = pointFrom(kUser, 45.0, 0.5);
    f.altitudeFt = 4000.0;
    f.startOffsetSeconds = 0.5;
    f.legs = {{.seconds = 34.0, .groundSpeedKt = 250.0, .trackDeg = 45.0}};
    return f;
}

// The traffic reader's callsigns are not collected here: no parking update runs.
class NoCallsigns final : public CallsignCollection {
public:
    void startCallsignCollection() override {}
    std::set<std::string> takeCollectedCallsigns() override { return {}; }
};

class LiveTrafficEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        loadReferenceData();
        resetAllSettings();
        resetMessages();
        attachRunState(&run);
        previousFolder = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());  // the program's folder
        loadLiveries();
        loadStands();
        parkAirport.set({.code = kAirportCode, .position = kAirport, .elevationFeet = 0.0f});
        parkAirport.setStandsLoaded(true);
        rangeNm.store(kRangeNm);
        readers.traffic().setOwnPosition(kUser);
        queue.setAccepting(true);
    }
    void TearDown() override {
        simClient = {};
        rtLink.close();
        readers.stop();
        std::filesystem::current_path(previousFolder);
        attachRunState(nullptr);
        resetMessages();
        if (const char* keep = std::getenv("QVL_E2E_KEEP"); keep != nullptr) {
            (void)log.text();  // flushed
            std::filesystem::copy_file(tracePath, std::filesystem::path(keep) / "trace.txt",
                                       std::filesystem::copy_options::overwrite_existing);
            std::filesystem::copy_file(dir.path() / "Log.txt", std::filesystem::path(keep) / "Log.txt",
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }

    static GeoPosition arrivalStandAt() { return pointFrom(arrival().end(), 270.0, 0.002); }

    // LiveriesScanned.xml as the scan writes it, read back into the catalogue
    // as a start-up does.
    void loadLiveries() {
        LiveryList scanned;
        for (const auto& [airline, model, title] : kLiveries) {
            scanned.push_back({.title = title,
                               .registration = {},
                               .key = {.airlineId = gf_airlineId(airline), .modelId = gf_modelId(model)},
                               .folderIndex = 1});
        }
        const std::filesystem::path file = dir.path() / "LiveriesScanned.xml";
        ASSERT_TRUE(lf_writeLiveriesScanned(scanned, 1, file));
        LiveryList read;
        lf_readLiveriesScanned(read, file);
        ASSERT_EQ(read.size(), scanned.size());
        sortLiveries(read);
        lf_buildAirlineModelMap(read, tables);
        lf_buildCatalogue(tables);
        lf_buildModelTables(tables);
    }

    // The airport's stand file as the stand-file writer makes it, loaded as the park airport.
    void loadStands() {
        const auto stand = [](const std::string& id, GeoPosition at, double headingDeg) {
            return Stand(id, {},
                         {.latitude = at.latitude, .longitude = at.longitude, .heading = headingDeg * kDegToRad},
                         kStandRadiusMetres, {});
        };
        ApfRecord record;
        record.icao = kAirportCode;
        record.airportName = "Quorvelant Test Field";
        record.publisher = "Test";
        record.altitude = 0;
        record.stands = {stand(kArrivalStandId, arrivalStandAt(), 270.0),
                         stand(kDepartureStand.id, kDepartureStand.at, kDepartureStand.headingDeg)};
        const std::string file = "airports/my_simaddon/LOWW.xml";
        ASSERT_TRUE(gf_saveApf(record, file, {.mode = ApfMode::generated, .simNumber = 1, .handmade = false}));
        ASSERT_TRUE(gf_readApf({.pathText = file, .icao = kAirportCode}, loadedPark, parkLinks).ok());
        ASSERT_EQ(loadedPark.parkStands.size(), 2U);
    }

    // The stand-in simulator in real time with its trace file; the user's
    // aircraft parked south of the airport, clear of the traffic's paths.
    // The stand-in answers on the caller's thread, so that whatever it waits
    // for (its trace file on a busy disk) holds the program inside its calls,
    // where the recorded calls count it as the simulator's time; on a thread
    // of its own its wait would hold back the frames that the program sends
    // at and look like the program's.
    void startSimulator() {
        sim::StandInConfig config;
        config.frameRate = kFramesPerSecond;
        config.creationFrames = 3;
        config.aiGroundContact = true;
        config.user.latitude = kUser.latitude;
        config.user.longitude = kUser.longitude;
        config.user.headingDeg = 225.0;
        config.user.onGround = true;
        for (const auto& [airline, model, title] : kLiveries) config.installedTitles.insert(title);
        sim = std::make_unique<sim::StandInSimulator>(config);
        ASSERT_TRUE(sim->setTraceFile(tracePath));
        gf_initSimQueues(simLink);
        SimLinkHooks hooks;
        hooks.queueSimObjectEvent = [this](const SimObjectEvent& e) { gf_queueSimObjectEvent(state, e); };
        hooks.onSimObjectData = [this](const SimObjectDataReply& r) { lf_onSimObjectData(simLink, run, user, r); };
        hooks.onSimObjectDataByType = [this](const SimObjectDataReply& r) {
            lf_onSimObjectDataByType(simLink, user, r);
        };
        hooks.userPosition = [this] { return user.block().position(); };
        simLink.hooks.publish(test::completeHooks(std::move(hooks)));
        sent = std::make_unique<SentCalls>(*sim, defAiPosition);
        simClient = startSimClientThread(simLink, run, *sent);
        ASSERT_TRUE(lf_requestUserAircraftData(simLink, run, user,
                                               [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); }));
    }

    // The readers on free ports and the traffic client link, as a run starts them.
    void startFeed() {
        feed.rtLocal.store(true);
        readers.startQnhReader(0);
        readers.startTrafficReader(0);
        const auto giveUp = Clock::now() + 10s;
        while ((readers.traffic().boundPort() == 0 || readers.qnh().boundPort() == 0) && Clock::now() < giveUp) {
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_NE(readers.traffic().boundPort(), 0);
        rtLink.startTcpServer("0");
    }

    // Every live aircraft has gone or stands parked, and nothing waits for the simulator.
    bool settled() const {
        const bool allParked = std::all_of(state.liveAircraft.begin(), state.liveAircraft.end(), [](const LiveAc& ac) {
            return ac.status == SimStatus::active && ac.phase == GroundPhase::parked;
        });
        return allParked && state.removalQueue.empty() && simLink.queues.sizes().removals == 0;
    }

    // The main loop's part: one engine tick every 10 ms of the steady clock
    // until the condition holds or the time is up; a late tick is not made up
    // in a burst, as the main loop waits for its next slot. The times of the
    // ticks are kept.
    template <class Done>
    void tickUntil(Done&& done, Clock::time_point giveUp) {
        auto next = Clock::now();
        while (Clock::now() < giveUp && !done()) {
            if (simLink.simRunning.load()) {
                tickTimes.push_back(Clock::now());
                lf_handleAddingStack(engine);
            }
            next += kTick;
            const auto now = Clock::now();
            if (next < now) next = now;
            std::this_thread::sleep_until(next);
        }
    }

    SettingsScope settings;
    std::filesystem::path previousFolder;
    TempDir dir;
    LogCapture log{dir.path()};
    std::filesystem::path tracePath = dir.path() / "trace.txt";
    RunState run;
    test::FakeStatus status;
    FeedState feed{status, {.realTrafficGone = [] {}}};
    CurrentParkAirportState parkAirport;
    TrafficQueue queue;
    Readers readers{queue, feed, run, parkAirport};
    RealTrafficLink rtLink{feed, run, readers, {.poll = 20ms, .versionReply = 5000ms}};
    SimLinkState simLink;
    UserAircraftState user;
    EngineState state;
    LiveryTables tables;
    LiveryMatchCounters counters;
    CatalogueLiveries liveries{tables, state, counters};
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};
    ParkAirportLinks parkLinks{.parkAirport = parkAirport, .range = range, .status = status, .run = run};
    LoadedParkAirport loadedPark{status};
    ParkAirportStands stands{loadedPark};
    PlanFolder planFolder{dir.path()};
    FolderFlightPlans plans{planFolder, std::make_shared<DiskFileLayer>()};
    NoCallsigns callsigns;
    Engine engine{makeEngine({.state = state,
                              .feed = feed,
                              .traffic = queue,
                              .link = simLink,
                              .run = run,
                              .parkAirport = parkAirport,
                              .loadedPark = loadedPark,
                              .range = range,
                              .liveries = liveries,
                              .stands = stands,
                              .flightPlans = plans,
                              .status = status,
                              .callsigns = callsigns,
                              .userAircraft = linkedUserAircraft(user, rtLink, simLink, run)})};
    std::unique_ptr<sim::StandInSimulator> sim;
    std::unique_ptr<SentCalls> sent;  // the program's calls of `sim`
    std::vector<Clock::time_point> tickTimes;
    std::jthread simClient;
};

// The program sent the object's position after nearly every tick from its
// first position to its last, and never let half a second of its own time
// pass without one: the simulator's share of a gap (calls that waited for
// it) is not the program's. An aircraft in the air was somewhere else at
// every position that reached the simulator.
void expectMovedEveryTick(const std::vector<SentCall>& sentPositions, const std::vector<Clock::time_point>& ticks,
                          const TracedObject& o, const std::string& callsign) {
    ASSERT_FALSE(sentPositions.empty()) << callsign;
    ASSERT_FALSE(o.positions.empty()) << callsign;
    Clock::duration longestGap{};
    for (std::size_t i = 1; i < sentPositions.size(); ++i) {
        longestGap = std::max(longestGap, ownTimeBetween(sentPositions[i - 1], sentPositions[i]));
    }
    const auto ticksRun = std::count_if(ticks.begin(), ticks.end(), [&](Clock::time_point t) {
        return t >= sentPositions.front().at && t <= sentPositions.back().at;
    });
    std::size_t standingInTheAir = 0;
    for (std::size_t i = 1; i < o.positions.size(); ++i) {
        const TracedPosition& a = o.positions[i - 1];
        const TracedPosition& b = o.positions[i];
        if (a.altitude > 50.0 && b.altitude > 50.0 && a.latitude == b.latitude && a.longitude == b.longitude) {
            ++standingInTheAir;
        }
    }
    // A tick's positions may miss the frame and go with the next tick's.
    EXPECT_GE(static_cast<double>(sentPositions.size()), 0.6 * static_cast<double>(ticksRun)) << callsign;
    EXPECT_LE(std::chrono::duration<double>(longestGap).count(), 0.5) << callsign;
    EXPECT_EQ(standingInTheAir, 0U) << callsign;
}

TEST_F(LiveTrafficEndToEnd, ReplayedFlightsAreCreatedFlownAndEndedInTheSimulator) {
    const std::vector<ScriptedFlight> flights{arrival(), departure(), overflight()};
    const std::filesystem::path replayFile = dir.path() / "replay.txt";
    {
        std::ofstream out(replayFile, std::ios::binary);
        out << replayFileText(kAirport, flights);
    }
    startSimulator();
    startFeed();
    gf_initAiTraffic(engine);

    standin::Options options;
    options.tcpPort = rtLink.listeningPort();
    options.trafficPort = readers.traffic().boundPort();
    options.qnhPort = readers.qnh().boundPort();
    options.connectRetry = 10ms;
    options.connectTimeout = 20000ms;
    options.traffic = standin::readTrafficFile(replayFile);
    options.shiftTime = true;
    options.recordFile = dir.path() / "received.txt";
    standin::StandInClient client(options);
    ASSERT_TRUE(client.connect());
    rtLink.waitForRealTraffic();
    ASSERT_TRUE(feed.time.rtEdition.load());

    double lastReport = 0.0;
    for (const ScriptedFlight& f : flights) lastReport = std::max(lastReport, f.lastReportSeconds());
    std::atomic<bool> replayed{false};
    const Clock::time_point replayStart = Clock::now();
    std::jthread replay([&] {
        client.replay();
        replayed.store(true);
    });
    const auto lastDue = replayStart + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(lastReport + kDelaySeconds + 2.0));
    tickUntil([&] { return replayed.load() && Clock::now() > lastDue && settled(); }, lastDue + 60s);
    // A second more, so that the last removals reach the simulator.
    tickUntil([] { return false; }, Clock::now() + 1s);
    ASSERT_TRUE(settled()) << log.text();
    simClient = {};
    rtLink.close();
    EXPECT_TRUE(client.waitForExit(5000ms));
    readers.stop();

    const SimTrace trace = readSimTrace(tracePath, defAiPosition);
    std::map<std::string, const TracedObject*> byCallsign;
    for (const ScriptedFlight& f : flights) {
        const auto created = trace.byAtcId(f.callsign);
        ASSERT_EQ(created.size(), 1U) << f.callsign << "\n" << log.text();
        const TracedObject& o = *created.front();
        byCallsign[f.callsign] = &o;
        EXPECT_EQ(o.title, titleFor(f.callsign.substr(0, 3), f.model)) << f.callsign;
        EXPECT_EQ(o.eventCount("ALL_LIGHTS_TOGGLE"), 2U) << f.callsign;
        expectMovedEveryTick(sent->positions(o.id), tickTimes, o, f.callsign);
    }

    // The arrival touched down, taxied in and stands on its stand with its engines off.
    const TracedObject& arrived = *byCallsign.at(arrival().callsign);
    EXPECT_FALSE(arrived.removedFrame.has_value());
    EXPECT_TRUE(std::any_of(arrived.contact.begin(), arrived.contact.end(), [](const auto& c) { return c.second; }));
    ASSERT_FALSE(arrived.positions.empty());
    const TracedPosition& parkedAt = arrived.positions.back();
    EXPECT_LE(gf_distanceNm({parkedAt.latitude, parkedAt.longitude}, arrivalStandAt()) * kMetresPerNm, 2.0);
    EXPECT_EQ(arrived.eventCount("ENGINE_AUTO_SHUTDOWN"), 1U);
    // Each stand learned the flight that stood on it.
    for (const char* id : {kArrivalStandId, kDepartureStand.id.c_str()}) {
        const auto stand = std::find_if(loadedPark.parkStands.begin(), loadedPark.parkStands.end(),
                                        [&](const Stand& s) { return s.id == id; });
        ASSERT_NE(stand, loadedPark.parkStands.end());
        EXPECT_EQ(stand->flights.size(), 1U) << id;
    }

    // The departure stood on its stand, left the ground and climbed away.
    const TracedObject& departed = *byCallsign.at(departure().callsign);
    ASSERT_FALSE(departed.positions.empty());
    EXPECT_LE(
        gf_distanceNm({departed.positions.front().latitude, departed.positions.front().longitude}, kDepartureStand.at) *
            kMetresPerNm,
        2.0);
    ASSERT_FALSE(departed.contact.empty());
    EXPECT_FALSE(departed.contact.back().second);
    EXPECT_GT(departed.positions.back().altitude, 300.0);

    // Each aircraft that did not park flew its data to the end and then left
    // the simulator: the program asked for its removal not before its last
    // report was sent, and at the latest a while after that report fell due.
    // (A departure is flown ahead of its due ticks, so it may leave well
    // before.)
    for (const ScriptedFlight& f : {departure(), overflight()}) {
        const TracedObject& o = *byCallsign.at(f.callsign);
        EXPECT_TRUE(o.removedFrame.has_value()) << f.callsign;
        const std::optional<SentCall> removal = sent->removal(o.id);
        ASSERT_TRUE(removal.has_value()) << f.callsign;
        const double removedAfter = std::chrono::duration<double>(removal->at - replayStart).count();
        EXPECT_GE(removedAfter, f.lastReportSeconds()) << f.callsign;
        EXPECT_LE(removedAfter, f.lastReportSeconds() + kDelaySeconds + 20.0) << f.callsign;
        const TracedPosition& last = o.positions.back();
        EXPECT_LE(gf_distanceNm({last.latitude, last.longitude}, f.end()), 0.75) << f.callsign;
    }
}

}  // namespace
}  // namespace qvl::test
