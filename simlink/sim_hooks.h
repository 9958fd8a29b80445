// What the simulator link hands to, and asks of, the parts that are built on
// top of it: the AI traffic engine's event queue, the user-aircraft data
// handlers, the park airport's stands, the main window and the saving of
// settings. The program wires every one of them when it starts: a bundle
// with a missing member is refused when it is published, so a hook that was
// forgotten is found at start-up rather than by a feature that quietly never
// happens.
//
// The hooks are replaced whole: SimLinkHookSlot::publish puts a new set in
// place and readers keep the set they took for as long as they use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "core/geodesy.h"
#include "simlink/sim_version.h"
#include "simlink/user_aircraft_block.h"

namespace qvl {

class StringParameter;

// What the simulator tells the engine about one object.
enum class SimObjectEventKind : std::uint32_t {
    created = 0,        // a live aircraft's object: value2 = height above ground
    staticCreated = 1,  // a static parked aircraft's object
    removed = 2,
    groundData = 3,       // value1 = ground altitude, value2 = height above ground
    staticValues = 4,     // value1 = static CG to ground (feet), value2 = static pitch (radians)
    blockedCallsign = 5,  // the aircraft of a blocked callsign goes; nothing queues it yet
    creationFailed = 6,
};

struct SimObjectEvent {
    std::uint32_t objectId = 0;
    std::uint32_t hexId = 0;
    std::uint32_t settling = 0;  // the engine's settling counter; 0 when queued here
    SimObjectEventKind kind = SimObjectEventKind::created;
    double value1 = 0.0;
    double value2 = 0.0;
};

// A data reply, checked against its header: `data` lies within the reply.
struct SimObjectDataReply {
    std::uint32_t requestId = 0;
    std::uint32_t objectId = 0;
    std::uint32_t defineId = 0;
    std::uint32_t entryNumber = 0;
    std::uint32_t outOf = 0;
    std::span<const std::byte> data;
};

struct SimLinkHooks {
    // The engine's event queue (taken under the engine's own mutex).
    std::function<void(const SimObjectEvent&)> queueSimObjectEvent{};
    // Replies of the user-aircraft requests and of the by-type request.
    std::function<void(const SimObjectDataReply&)> onSimObjectData{};
    std::function<void(const SimObjectDataReply&)> onSimObjectDataByType{};
    // The last received user position; 0,0 while none has arrived.
    std::function<GeoPosition()> userPosition{};
    // The user aircraft's latest snapshot.
    std::function<UserAircraftBlock()> userAircraft{};
    // The park airport's stand at a position; empty when none. Called on
    // the simulator client's thread: it must not reach into the engine.
    std::function<std::string(const GeoPosition&)> standNameAtPosition{};
    // The user stands at this stand after a new flight: the park airport
    // keeps it as its reserved stand when it is new. Called on the simulator
    // client's thread; the engine takes the stand over on its own thread.
    std::function<void(const std::string&)> reserveUserStand{};
    // Asks the UI thread to repaint the status panel; must not block.
    std::function<void()> repaintWindow{};
    // Sets a text setting and saves parameters.xml.
    std::function<void(StringParameter&, const std::string&)> setStringParameter{};
    // The simulator that answered is not the chosen one: the program's switch
    // of simulators to it (SIM_CHOICE saved, both scans asked for, the run
    // ended for a restart). Called on the simulator client's thread.
    std::function<void(SimVersion)> switchSimulator{};
};

// Throws std::logic_error naming every member of the bundle that is empty.
void requireCompleteHooks(const SimLinkHooks& hooks);

// The published hook set of one link, and calls through it. Any thread may
// publish or call.
class SimLinkHookSlot {
public:
    // Throws std::logic_error (naming the members) when a hook is missing;
    // the set published before stays.
    void publish(SimLinkHooks hooks);
    // Throws std::logic_error while no set has been published: the link was
    // used before the program wired it.
    [[nodiscard]] std::shared_ptr<const SimLinkHooks> current() const;

    void queueSimObjectEvent(const SimObjectEvent& event) const;
    void repaintWindow() const;
    // 0,0 while no position has arrived.
    [[nodiscard]] GeoPosition userPosition() const;
    void setStringSetting(StringParameter& setting, const std::string& value) const;
    void switchSimulator(SimVersion to) const;

private:
    mutable std::mutex mutex_;  // a leaf lock: guards `hooks_` only
    std::shared_ptr<const SimLinkHooks> hooks_;
};

}  // namespace qvl
