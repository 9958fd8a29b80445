// The SimClient thread against the stand-in in real time, with the run
// thread's producers and the window's readers on threads of their own.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include <fmt/format.h>

#include "simlink/sim_ids.h"
#include "support/sim_link_fixture.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;

class RealTimeClient : public test::SimLinkTest {};

// The run thread's part: creations, positions, lights, removals and
// requests, paced by ticks of 10 ms.
void produce(const std::stop_token& stop, SimLinkState& link, const sim::StandInSimulator& sim) {
    std::uint32_t tick = 0;
    while (!stop.stop_requested()) {
        ++tick;
        if (link.simRunning.load() && !link.simQueuesPaused.load()) {
            const auto objects = sim.aiObjectIds();
            if (tick % 20 == 0 && objects.size() < 12) {
                gf_queueCreateAircraft(link.queues,
                                       test::creation(tick % 40 == 0 ? "Airbus A320 Lufthansa" : "Boeing 737 KLM",
                                                      fmt::format("T{}", tick), 0x400000 + tick));
            }
            for (std::uint32_t id : objects) {
                link.queues.appendPosition({.latitude = 50.0,
                                            .longitude = 8.5 + 0.0001 * tick,
                                            .heading = 1.0,
                                            .altitude = 500.0,
                                            .trueAirspeed = 150.0,
                                            .objectId = id});
            }
            link.queues.exchangePositionBatches();
            if (tick % 25 == 0 && !objects.empty()) {
                gf_queueLights(link.queues, objects.front(),
                               {.nav = true, .beacon = true, .strobes = true, .logo = true, .cabin = true});
            }
            if (tick % 70 == 0 && objects.size() > 4) link.queues.pushRemoval(objects.front());
            if (tick % 20 == 0) {
                link.withConnection([](sim::SimConnection& connection) {
                    connection.requestDataOnSimObjectType(reqAircraftInRange, defAircraftInRange, 40000,
                                                          sim::kObjectTypeAircraft);
                });
            }
        }
        std::this_thread::sleep_for(10ms);
    }
}

// The status panel's part: it reads what the window paints.
void paint(const std::stop_token& stop, const SimLinkState& link) {
    while (!stop.stop_requested()) {
        (void)link.status.snapshot();
        (void)messageLines();
        std::this_thread::sleep_for(5ms);
    }
}

TEST_F(RealTimeClient, RunsAgainstTheStandInWithProducersOnAnotherThread) {
    config.frameRate = 60.0;
    config.creationFrames = 3;
    config.openFailures = 2;
    sim = std::make_unique<sim::StandInSimulator>(config);  // steady clock
    link.userObjectId.store(config.user.objectId);
    gf_initSimQueues(link);

    std::jthread client = startSimClientThread(link, run, *sim);
    std::jthread producer(produce, std::ref(link), std::cref(*sim));
    std::jthread window(paint, std::cref(link));

    for (int i = 0; i < 60 && !run.isClosing(); ++i) std::this_thread::sleep_for(50ms);  // three seconds
    producer.request_stop();
    producer.join();
    window.request_stop();
    window.join();
    client.request_stop();
    client.join();

    EXPECT_FALSE(run.isClosing()) << restartReasonName(run.restartReason.load());
    const auto objects = sim->aiObjectIds();
    EXPECT_TRUE(std::any_of(objects.begin(), objects.end(),
                            [&](std::uint32_t id) { return sim->object(id)->setDataCount > 0; }));
    EXPECT_TRUE(std::any_of(rec.events.begin(), rec.events.end(),
                            [](const SimObjectEvent& e) { return e.kind == SimObjectEventKind::removed; }));
    EXPECT_FALSE(rec.byType.empty());
    EXPECT_TRUE(logHas("MSFS 2020 (11.0.282174.999) connected\n"));
    expectCleanExit();
}

}  // namespace
}  // namespace qvl
