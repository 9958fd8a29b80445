// The steps of other parts that a run calls, one function each, so that the
// run's own sequence (start-up, traffic run, main loop, closing down) is
// written once here and driven in tests through a recording implementation.
// The program's implementation (program.cpp) calls the real parts, and for a
// part not built yet its entry in pending_parts.cpp. All are called on the
// run thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "core/fixed_code.h"
#include "core/geodesy.h"

namespace qvl {

class RunServices {
public:
    virtual ~RunServices() = default;

    // --- Start-up ---
    virtual void initParameters() = 0;
    // The version check; false when the run must not go on (a newer program
    // was installed).
    virtual bool checkVersions() = 0;
    virtual bool readDbase() = 0;
    virtual bool readAirports() = 0;
    // Finds the simulator's packages folder when no install path is set.
    virtual bool detectMsfs() = 0;
    virtual void scanLiveries() = 0;
    virtual void processScannedLiveries() = 0;
    virtual void scanAirports() = 0;
    virtual void createFlightPlanFolder() = 0;
    virtual void readMyParkAirports() = 0;
    // The airport of the airport list with the code; none when unknown.
    virtual std::optional<GeoPosition> airportPosition(const FixedCode4& code) = 0;
    virtual void setDestination(const std::string& text, const GeoPosition& position) = 0;
    // The traffic client runs on this PC (its files were found).
    virtual void setRealTrafficLocal(bool local) = 0;

    // --- Traffic run ---
    virtual void darkenLinkLamps() = 0;
    virtual void lightRealTrafficLamp() = 0;
    virtual void initAiTraffic() = 0;
    virtual void initSimQueues() = 0;
    // Starts the simulator client thread; one still held from the previous
    // run is stopped and joined first.
    virtual void startSimClient() = 0;
    // Asks for the user aircraft's data once a second; false when the run
    // closed before it arrived.
    virtual bool requestUserAircraftData() = 0;
    virtual void startTcpServer(const std::string& portText) = 0;
    virtual void waitForRealTraffic() = 0;
    [[nodiscard]] virtual bool realTrafficProfEdition() = 0;
    virtual void clearRealTrafficEdition() = 0;
    virtual void sendSimTime() = 0;
    virtual void setAcceptingTraffic(bool accepting) = 0;
    virtual void startQnhReader() = 0;
    virtual void startTrafficReader() = 0;
    virtual void sendUserPosition() = 0;
    // The user's position becomes the traffic reader's range centre.
    virtual void copyUserPositionToReader() = 0;
    // Seconds since 1970 of the newest traffic line; 0 before the first.
    [[nodiscard]] virtual double trafficClock() = 0;
    [[nodiscard]] virtual std::uint64_t trafficDaySlot() = 0;
    virtual void updateAutoRange() = 0;

    // --- Main loop ---
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
    virtual void fillCallsignComboBox() = 0;
    virtual void updateStaticParking(bool initialPass) = 0;
    virtual void clearReservedStand() = 0;
    // True with a text for the message line when the park airports changed.
    virtual bool checkParkAirports(std::string& text) = 0;
    virtual void startCallsignCollection() = 0;
    virtual void adjustParking() = 0;
    virtual void removeStaticDuplicates() = 0;
    virtual void clearNoMatchList() = 0;
    virtual void writeObjectIdList() = 0;
    virtual void logNoMatchList() = 0;
    virtual void logLiveryMatchSummary() = 0;
    virtual void clearSpawnMap() = 0;
    // One entry of the engine's learned-stand queue.
    virtual void checkNextLearnedStand(std::uint64_t daySlot) = 0;
    // The object id of the active aircraft with the callsign; none when absent.
    virtual std::optional<std::uint32_t> followCallsign(const std::string& callsign) = 0;
    virtual void flushStaticAc() = 0;
    virtual void fillCallsignChoices() = 0;
    // The collision rules around the user aircraft and the taxi paths.
    virtual void clearAroundUser() = 0;
    virtual void clearStaticInTaxiPaths() = 0;
    virtual void removeBlockedCallsign(const std::string& callsign) = 0;
    virtual void showWaitingStaticCount() = 0;

    // --- Closing down ---
    virtual void stopSimClient() = 0;
    virtual void stopReaders() = 0;
    virtual void closeRealTrafficLink() = 0;
    virtual void leaveParkAirport() = 0;
    virtual void removeFlightPlanFolder() = 0;
    virtual void forgetRunTexts() = 0;
    // Joins the simulator client thread and the readers, each within the
    // bound; false when one has not ended (it is then left running).
    virtual bool joinRunThreads(std::chrono::milliseconds bound) = 0;
    // Every part's run state back to its start (the window's texts apart).
    virtual void resetRunParts() = 0;
};

}  // namespace qvl
