#include "engine/base/client_events.h"

#include <array>

#include <fmt/format.h>

#include "core/log.h"
#include "core/random.h"
#include "core/settings.h"
#include "engine/base/engine.h"
#include "simlink/sim_ids.h"

namespace qvl {
namespace {

constexpr std::array<std::uint32_t, 5> kThrottleData{0, 4914, 8191, 11468, 16383};
constexpr std::array<std::uint32_t, 5> kFlapsData{0, 3072, 10240, 16383, 0};
constexpr std::uint32_t kSpoilersOn = 16383;

bool isRotorcraft(const AcRecord& ac) { return ac.flight.category == AircraftCategory::Rotorcraft; }

// Object id 0 names the user's own aircraft in the simulator's calls: an AI
// aircraft without its object yet gets nothing.
void queueEvent(Engine& engine, const AcRecord& ac, SimEventId event, std::uint32_t data) {
    if (ac.objectId == 0) return;
    const EventCommand command{.objectId = ac.objectId, .eventId = event, .data = data};
    engine.link.queues.pushEvents(std::span(&command, 1));
}

}  // namespace

void gf_setThrottle(Engine& engine, AcRecord& ac, std::uint32_t step) {
    const bool send = step < kThrottleData.size() && step != ac.throttleStep;
    ac.throttleStep = step;
    if (send) queueEvent(engine, ac, evThrottleSet, kThrottleData[step]);
}

void gf_setFlaps(Engine& engine, AcRecord& ac, std::uint32_t index) {
    if (isRotorcraft(ac) || index == ac.flapsIndex) return;
    if (index >= kFlapsData.size()) {
        gf_logAttention("gf_setFlaps: invalid flaps index");
        ac.flapsIndex = index;
        return;
    }
    ac.flapsIndex = index;
    queueEvent(engine, ac, evFlapsSet, kFlapsData[index]);
}

void gf_setSpoilers(Engine& engine, AcRecord& ac, bool on) {
    if (isRotorcraft(ac)) return;
    queueEvent(engine, ac, evSpoilersSet, on ? kSpoilersOn : 0);
}

void gf_setGear(Engine& engine, AcRecord& ac, bool down) {
    if (isRotorcraft(ac)) return;
    queueEvent(engine, ac, evGearSet, down ? 1U : 0U);
}

void setParkedConfiguration(Engine& engine, AcRecord& ac) {
    gf_setThrottle(engine, ac, 0);
    gf_setFlaps(engine, ac, 0);
    if (ac.objectId == 0) return;
    gf_queueEngineShutdown(engine.link.queues, ac.objectId);
    const bool cabin = ac.standFlag == 0 && (!RANDOM.value() || gf_randomIndex(10) < 9);
    gf_queueLights(engine.link.queues, ac.objectId,
                   {.nav = NAV_LIGHTS_WHILE_PARKED.value(), .logo = true, .cabin = cabin});
}

void switchParkedNavLights(Engine& engine, bool on) {
    for (const StaticAc& ac : engine.state.staticAircraft) {
        if (ac.status == SimStatus::active && ac.objectId != 0) gf_queueNavLights(engine.link.queues, ac.objectId, on);
    }
    for (const LiveAc& ac : engine.state.liveAircraft) {
        if (ac.status == SimStatus::active && ac.phase == GroundPhase::parked && ac.objectId != 0) {
            gf_queueNavLights(engine.link.queues, ac.objectId, on);
        }
    }
}

void writeSpoilersThrottles(Engine& engine, const AcRecord& ac, const SpoilersThrottles& values) {
    if (ac.objectId == 0 || engine.link.simQueuesPaused.load()) return;
    const std::array<double, 3> block{values.spoilersPercent, values.throttle1Percent, values.throttle2Percent};
    sim::HResult hr = sim::kOk;
    const bool connected = engine.link.withConnection([&](sim::SimConnection& connection) {
        hr = connection.setDataOnSimObject(defSpoilersThrottles, ac.objectId, 0, 0, sizeof(block), block.data());
    });
    if (connected && sim::failed(hr)) {
        gf_logAttention(fmt::format("SimConnect set spoilers and throttles fails, objectid {}", ac.objectId));
        gf_onSimConnectRequestError(engine.link, engine.run);
    }
}

}  // namespace qvl
