// The steps of other parts that the main loop calls (main_loop.cpp), cut by
// concern: the engine and the simulator link on each tick and second, the
// park airports and static parking, the callsigns the window follows and
// blocks. The feed steps it repeats are the traffic run's. All are called on
// the run thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "core/result.h"
#include "engine/parking/park_airports.h"

namespace qvl {

class MainLoopSteps {
public:
    virtual ~MainLoopSteps() = default;

    // The simulator runs and its queues are not paused.
    [[nodiscard]] virtual bool flightRunning() = 0;
    virtual void engineTick() = 0;
    // The simulator's once-a-second flag: taken, or only looked at.
    virtual bool takeOneSecond() = 0;
    [[nodiscard]] virtual bool oneSecondPending() = 0;
    virtual void clearPositionBatches() = 0;
    virtual void handleSimObjectEvents() = 0;
    virtual void refreshLiveCount() = 0;
    virtual void refreshReaderLamps() = 0;
    [[nodiscard]] virtual bool readerLampStale() = 0;
    // One entry of the engine's learned-stand queue.
    virtual void checkNextLearnedStand(std::uint64_t daySlot) = 0;
    // The collision rules around the user aircraft.
    virtual void clearAroundUser() = 0;
    virtual void clearNoMatchList() = 0;
    virtual void writeObjectIdList() = 0;
    virtual void logNoMatchList() = 0;
    virtual void logLiveryMatchSummary() = 0;
    virtual void clearSpawnMap() = 0;
    // NAV_LIGHTS_WHILE_PARKED changed: the parked aircraft's nav lights follow.
    virtual void switchParkedNavLights(bool on) = 0;
    // Live aircraft in the simulator, not those on their way in or out.
    [[nodiscard]] virtual std::int64_t activeLiveCount() = 0;
    // The active live aircraft farthest from the user goes; false when there
    // was none.
    virtual bool removeFarthestLiveAc() = 0;
};

class ParkingSteps {
public:
    virtual ~ParkingSteps() = default;

    virtual void updateStaticParking(bool initialPass) = 0;
    // Every second: a park airport chosen by an answer that came since.
    virtual void takeParkAirportAnswer() = 0;
    virtual void clearReservedStand() = 0;
    // Re-reads the park airports: the first call starts the read of their
    // files off the loop, and the calls give nothing until it has ended;
    // then true with a text for the message line when the park airports
    // changed.
    virtual std::optional<Result<std::string, ParkAirportsError>> checkParkAirports() = 0;
    // An announced update starts: the parking controls go off and the
    // traffic reader collects the callsigns it sees.
    virtual void startParkingUpdate() = 0;
    virtual void adjustParking() = 0;
    virtual void removeStaticDuplicates() = 0;
    virtual void flushStaticAc() = 0;
    // The collision rule of the taxi paths.
    virtual void clearStaticInTaxiPaths() = 0;
    virtual void showWaitingStaticCount() = 0;
    // The park airport's stands are loaded: static parking runs there.
    [[nodiscard]] virtual bool staticParkingActive() = 0;
    // A destination the user set becomes the last of the park airports.
    virtual void pushParkAirport(const FixedCode4& code, const GeoPosition& position) = 0;
};

class CallsignSteps {
public:
    virtual ~CallsignSteps() = default;

    virtual void fillCallsignComboBox() = 0;
    // The object id of the active aircraft with the callsign; none when absent.
    virtual std::optional<std::uint32_t> followCallsign(const std::string& callsign) = 0;
    virtual void fillCallsignChoices() = 0;
    virtual void removeBlockedCallsign(const std::string& callsign) = 0;
    // The choices emptied and nothing selected ("Block" took the callsign).
    virtual void resetCallsignChoices() = 0;
};

}  // namespace qvl
