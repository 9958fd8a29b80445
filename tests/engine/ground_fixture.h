// Aircraft on the ground built by hand on the engine harness, with stands
// added to the park airport's stand list.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "core/geodesy.h"
#include "engine/base/engine_math.h"
#include "engine/base/motion_tables.h"
#include "engine/motion/motion_steps.h"
#include "platform/units.h"
#include "support/engine_harness.h"

namespace qvl::test {

inline TrafficSample groundSample(double latitude, double longitude, double groundSpeed, std::int64_t due) {
    TrafficSample s;
    s.latitude = latitude;
    s.longitude = longitude;
    s.groundSpeed = groundSpeed;
    s.trueAirspeed = groundSpeed;
    s.dueTick = static_cast<std::uint32_t>(due);
    return s;
}

// The point at a distance (nm) and bearing (degrees) from the position.
inline GeoPosition offset(GeoPosition from, double bearingDeg, double nm) {
    return gf_destinationPoint(from, bearingDeg * kDegToRad, nm * kFeetPerNm);
}

class GroundTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        feed.tickCounter.store(100001);
    }
    [[nodiscard]] std::int64_t now() const { return engine.now(); }

    // An active taxiing aircraft at its front sample, heading for the next one.
    LiveAc& make(std::initializer_list<TrafficSample> samples, AircraftCategory category = AircraftCategory::Large) {
        const CategoryMotion& m = categoryMotion(category);
        FlightRec f;
        f.callsign = "TST123";
        f.registration = "D-AINA";
        f.hexId = 0x400001 + static_cast<std::uint32_t>(state.liveAircraft.size());
        f.category = category;
        f.halfSpan = 0.0096;  // about 17.8 m
        f.groundTurnStep = m.groundTurnStepDeg * kDegToRad;
        f.turnStep = f.groundTurnStep;
        f.standApproachSpeed = m.standApproachSpeed;
        LiveAc ac = makeLiveAc(*samples.begin(), f, 1.7e9);
        for (auto it = samples.begin() + 1; it != samples.end(); ++it) ac.samples.push_back(*it);
        const TrafficSample& front = ac.samples.front();
        ac.objectId = 700 + static_cast<std::uint32_t>(state.liveAircraft.size());
        ac.status = SimStatus::active;
        ac.position.latitude = front.latitude;
        ac.position.longitude = front.longitude;
        ac.onGround = true;
        ac.phase = GroundPhase::taxi;
        ac.previousPhase = GroundPhase::flying;
        if (ac.samples.size() > 1) ac.heading = gf_initialBearing(positionOf(front), positionOf(ac.samples[1]));
        state.liveAircraft.push_back(std::move(ac));
        return state.liveAircraft.back();
    }

    Stand& addStand(std::uint32_t number, GeoPosition at, double headingDeg, double radiusNm) {
        return stands.add(number, "A" + std::to_string(number),
                          {.latitude = at.latitude, .longitude = at.longitude, .heading = headingDeg * kDegToRad},
                          radiusNm);
    }

    // Parked on the stand as the arrival leaves it.
    void parkOn(LiveAc& ac, const Stand& stand) {
        ac.stand = {.position = {.latitude = stand.latitude, .longitude = stand.longitude}, .heading = stand.heading};
        ac.standNumber = stand.number;
        ac.position.latitude = stand.latitude;
        ac.position.longitude = stand.longitude;
        ac.heading = stand.heading;
        ac.phase = GroundPhase::parked;
        ac.previousPhase = GroundPhase::parking;
    }
};

}  // namespace qvl::test
