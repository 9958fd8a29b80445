// The ground case of the step set-up: the next ground sample is retimed by
// distance and speed, or by the feed's own timing when it stands still.
// Curves through corners, extra midpoints and the start of parking are not
// made here: a ground aircraft moves straight from sample to sample.
#include <algorithm>
#include <cmath>
#include <exception>

#include <fmt/format.h>

#include "core/log.h"
#include "engine/engine_math.h"
#include "engine/motion/motion.h"
#include "engine/motion/motion_steps.h"

namespace qvl {
namespace {

// A stationary next sample: as long as the feed stood still, counted from
// the front sample's due tick.
void retimeStop(Engine& engine, LiveAc& ac) {
    const std::int64_t frontDue = ac.samples[0].dueTick;
    const std::int64_t nextDue = ac.samples[1].dueTick;
    const std::int64_t stop = std::max<std::int64_t>(nextDue - frontDue, kMinStepTicks);
    const std::int64_t wait = std::max<std::int64_t>(frontDue - engine.now() + stop, kMinStepTicks);
    retimeBy(engine, ac, wait);
}

}  // namespace

void retimeGround(Engine& engine, LiveAc& ac) {
    if (ac.samples[1].stationary != 0) {
        retimeStop(engine, ac);
        return;
    }
    ac.flight.turnStep = ac.flight.groundTurnStep;
    const TrafficSample& front = ac.samples[0];
    const TrafficSample& next = ac.samples[1];
    retimeBy(engine, ac, std::max(ticksForDistance(front, next, estimateSpeed(front, next)), kMinStepTicks));
}

void nextPosGround(Engine& engine, LiveAc& ac) {
    try {
        retimeGround(engine, ac);
    } catch (const std::exception& error) {
        gf_logAttention(
            fmt::format("{}: {}, {}, sz:{}", "nextPosGround", error.what(), ac.flight.callsign, ac.samples.size()));
        throw;
    }
}

}  // namespace qvl
