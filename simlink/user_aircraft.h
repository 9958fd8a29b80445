// The user's own aircraft as the simulator reports it (one snapshot, see
// user_aircraft_block.h), kept for the run's threads. Also the reply that
// lists the aircraft in range, which ties each new simulator object to the
// creation it answers.
//
// Replies are handled on the SimClient thread; the run thread takes copies.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/geodesy.h"
#include "simlink/sim_hooks.h"
#include "simlink/user_aircraft_block.h"

namespace qvl {

struct RunState;
struct SimLinkState;

class UserAircraftState {
public:
    // --- Written by the SimClient thread ---
    // Takes the record's fields of `block`; what the link keeps beside the
    // record stays.
    void storeBlock(const UserAircraftBlock& block);
    // The whole snapshot.
    [[nodiscard]] UserAircraftBlock block() const;
    void setOnGround(bool onGround);
    // Nothing until the first on-ground reply that came with a position.
    [[nodiscard]] std::optional<bool> onGround() const;

    // Set by every on-ground reply; the main loop takes it once a second.
    bool takeOneSecond() noexcept { return oneSecond_.exchange(false); }
    void markOneSecond() noexcept { oneSecond_.store(true); }

    void setWingspan(const UserAircraftBlock::Wingspan& wingspan);
    [[nodiscard]] UserAircraftBlock::Wingspan wingspan() const;
    void setTitle(const std::string& title);
    void setStand(const std::string& stand);
    void setModelLamp(bool on);

    // The simulator's UTC time is kept only while the traffic client reports
    // its "prof" edition. Turned on, it is taken at once from the block
    // already received, so that the line sent right after the handshake has it.
    void setProfEdition(bool prof);
    [[nodiscard]] bool profEdition() const;
    // Seconds since 1970; 0 until known. A block with implausible date or
    // time fields leaves it as it was.
    [[nodiscard]] std::int64_t simUtcSeconds() const;

    // Back to the start of a run. The once-per-process "AS-GEN" note stays.
    void reset();

    // The previous position of the teleport test: run through the SimClient thread only.
    GeoPosition previousPosition{};
    std::atomic<bool> asGenLogged{false};

private:
    mutable std::mutex mutex_;  // a leaf lock: guards everything below
    UserAircraftBlock block_{};
    bool profEdition_ = false;
    std::int64_t simUtcSeconds_ = 0;
    std::atomic<bool> oneSecond_{false};
};

// The model the ATC MODEL text stands for, after the known corrections.
std::string correctUserModel(std::string model, std::string_view title);

// The SIMOBJECT_DATA replies: static values of a new AI object (102), user
// title (106), model (107), on ground (108), the user block (109).
void lf_onSimObjectData(SimLinkState& link, RunState& run, UserAircraftState& user, const SimObjectDataReply& reply);
// The aircraft-in-range reply (101).
void lf_onSimObjectDataByType(SimLinkState& link, UserAircraftState& user, const SimObjectDataReply& reply);
void lf_onUserTitle(SimLinkState& link, UserAircraftState& user, std::string title);
void lf_onUserModel(SimLinkState& link, UserAircraftState& user, std::string model);

// Requests the title and the model once.
void gf_requestUserTitleModel(SimLinkState& link, RunState& run);
// Once the simulator runs: asks for the on-ground state every second and
// waits until it and a position have arrived, then for the title and model.
// False when the run closes first. `sleep` waits; tests pass their own.
bool lf_requestUserAircraftData(SimLinkState& link, RunState& run, UserAircraftState& user,
                                const std::function<void(std::chrono::milliseconds)>& sleep);

// Requests the user block once (unless paused); returns the last one received.
UserAircraftBlock gf_requestUserPosition(SimLinkState& link, RunState& run, const UserAircraftState& user);

}  // namespace qvl
