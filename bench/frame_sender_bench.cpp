// The frame sender with 1,000 queued positions against the stand-in
// simulator: the time one simulator frame costs the SimClient thread.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "core/run_state.h"
#include "platform/sim/stand_in.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_registration.h"
#include "simlink/sim_state.h"
#include "simlink/support/complete_hooks.h"

namespace {

constexpr std::size_t kAircraft = 1000;

struct World {
    qvl::RunState run;
    qvl::SimLinkState link;
    std::shared_ptr<qvl::sim::ManualSimClock> clock = std::make_shared<qvl::sim::ManualSimClock>();
    std::unique_ptr<qvl::sim::StandInSimulator> sim;
    qvl::sim::SimConnection* handle = nullptr;
    std::vector<std::uint32_t> ids;
};

// A connected link with 1,000 AI objects in the world.
World& world() {
    static World w;
    static const bool connected = [] {
        qvl::sim::StandInConfig config;
        config.installedTitles = {"Airbus A320 Lufthansa"};
        config.objectLimit = 2 * kAircraft;
        config.creationFrames = 1;
        w.sim = std::make_unique<qvl::sim::StandInSimulator>(config, w.clock);
        w.sim->open(&w.handle, "Quorvelant", 0);
        w.link.simHandle.store(w.handle);
        qvl::lf_registerSimDefinitions(*w.handle);
        qvl::gf_initSimQueues(w.link);
        w.link.hooks.publish(qvl::test::completeHooks({}));
        w.link.userObjectId.store(config.user.objectId);
        const qvl::sim::InitPosition at{.latitude = 50.0,
                                        .longitude = 8.5,
                                        .altitude = 400.0,
                                        .pitch = 0.0,
                                        .bank = 0.0,
                                        .heading = 90.0,
                                        .onGround = 1,
                                        .airspeed = 0};
        for (std::size_t i = 0; i < kAircraft; ++i) {
            w.handle->aiCreateNonAtcAircraft("Airbus A320 Lufthansa", "B", at, qvl::reqCreateAircraft);
        }
        w.clock->advance(w.sim->frameInterval());
        qvl::dispatchOnce(w.link, w.run, *w.handle);
        w.ids = w.sim->aiObjectIds();
        return true;
    }();
    (void)connected;
    return w;
}

void queuePositions(World& w, int tick) {
    for (std::uint32_t id : w.ids) {
        w.link.queues.appendPosition({.latitude = 50.0 + tick * 1e-6,
                                      .longitude = 8.5,
                                      .pitch = -0.02,
                                      .heading = 1.5,
                                      .altitude = 1500.0,
                                      .verticalSpeed = -3.0,
                                      .trueAirspeed = 160.0,
                                      .objectId = id});
    }
    w.link.queues.exchangePositionBatches();
}

// The frame sender alone; the run thread's queuing is outside the timing.
void BM_FrameSender1000Positions(benchmark::State& state) {
    World& w = world();
    int tick = 0;
    for (auto _ : state) {
        state.PauseTiming();
        queuePositions(w, ++tick);
        state.ResumeTiming();
        qvl::lf_onFrame(w.link, w.run);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(w.ids.size()));
}
BENCHMARK(BM_FrameSender1000Positions)->Unit(benchmark::kMicrosecond);

// One tick of the run thread and one frame: append, exchange, send.
void BM_TickAndFrame1000Positions(benchmark::State& state) {
    World& w = world();
    int tick = 0;
    for (auto _ : state) {
        queuePositions(w, ++tick);
        qvl::lf_onFrame(w.link, w.run);
    }
}
BENCHMARK(BM_TickAndFrame1000Positions)->Unit(benchmark::kMicrosecond);

}  // namespace
