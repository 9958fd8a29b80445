// The user's aircraft as the engine sees it: the latest block of the
// simulator link, taken every 100 ticks (distances to the user, the clearance
// rules, the state sent to the traffic client).
#pragma once

namespace qvl {

struct UserAircraft {
    double latitude = 0.0;           // degrees; 0,0 while unknown
    double longitude = 0.0;          // degrees
    double altitude = 0.0;           // feet
    double pitch = 0.0;              // radians
    double bank = 0.0;               // radians
    double heading = 0.0;            // radians true
    double groundSpeed = 0.0;        // knots
    double heightAboveGround = 0.0;  // feet
    double halfSpan = 0.0;           // nm
    bool onGround = false;
    bool onGroundKnown = false;  // the simulator's on-ground reply has arrived

    // A position within 0.0001 degrees of 0,0 stands for "not yet known".
    [[nodiscard]] bool positionKnown() const noexcept {
        return latitude > 0.0001 || latitude < -0.0001 || longitude > 0.0001 || longitude < -0.0001;
    }
};

}  // namespace qvl
