// The program's steps of each phase: every one forwards to the folder that
// owns the work, over the parts the program owns.
#pragma once

#include <future>
#include <optional>
#include <string>

#include "engine/parking/park_airports.h"
#include "run/closing_down_steps.h"
#include "run/main_loop_steps.h"
#include "run/run_clock.h"
#include "run/start_up_steps.h"
#include "run/traffic_run_steps.h"

namespace qvl {

struct ProgramParts;

class ProgramStartUp final : public StartUpSteps {
public:
    explicit ProgramStartUp(ProgramParts& parts) : p_(parts) {}

    void initParameters() override;
    void chooseSimulator(SimVersion version) override;
    bool checkVersions() override;
    bool readDbase() override;
    bool readAirports() override;
    bool detectMsfs() override;
    void setRealTrafficLocal(bool local) override;
    void scanLiveries() override;
    void processScannedLiveries() override;
    void scanAirports() override;
    void createFlightPlanFolder() override;
    void readMyParkAirports() override;
    std::optional<GeoPosition> airportPosition(const FixedCode4& code) override;
    void setDestination(const std::string& text, const GeoPosition& position) override;

private:
    ProgramParts& p_;
};

class ProgramTrafficRun final : public TrafficRunSteps {
public:
    ProgramTrafficRun(ProgramParts& parts, RunClock& clock) : p_(parts), clock_(clock) {}

    void darkenLinkLamps() override;
    void lightRealTrafficLamp() override;
    void initAiTraffic() override;
    void initSimQueues() override;
    void startSimClient() override;
    bool requestUserAircraftData() override;
    void startTcpServer(const std::string& portText) override;
    void waitForRealTraffic() override;
    bool realTrafficProfEdition() override;
    void clearRealTrafficEdition() override;
    void sendSimTime() override;
    void setAcceptingTraffic(bool accepting) override;
    void startQnhReader() override;
    void startTrafficReader() override;
    void sendUserPosition() override;
    void copyUserPositionToReader() override;
    double trafficClock() override;
    std::uint64_t trafficDaySlot() override;
    void updateAutoRange() override;

private:
    ProgramParts& p_;
    RunClock& clock_;
};

class ProgramMainLoop final : public MainLoopSteps {
public:
    explicit ProgramMainLoop(ProgramParts& parts) : p_(parts) {}

    bool flightRunning() override;
    void engineTick() override;
    bool takeOneSecond() override;
    bool oneSecondPending() override;
    void clearPositionBatches() override;
    void handleSimObjectEvents() override;
    void refreshLiveCount() override;
    void refreshReaderLamps() override;
    bool readerLampStale() override;
    void checkNextLearnedStand(std::uint64_t daySlot) override;
    void clearAroundUser() override;
    void clearNoMatchList() override;
    void writeObjectIdList() override;
    void logNoMatchList() override;
    void logLiveryMatchSummary() override;
    void clearSpawnMap() override;
    void switchParkedNavLights(bool on) override;
    std::int64_t activeLiveCount() override;
    bool removeFarthestLiveAc() override;

private:
    ProgramParts& p_;
};

class ProgramParking final : public ParkingSteps {
public:
    explicit ProgramParking(ProgramParts& parts) : p_(parts) {}

    void updateStaticParking(bool initialPass) override;
    void takeParkAirportAnswer() override;
    void clearReservedStand() override;
    std::optional<Result<std::string, ParkAirportsError>> checkParkAirports() override;
    void startParkingUpdate() override;
    void adjustParking() override;
    void removeStaticDuplicates() override;
    void flushStaticAc() override;
    void clearStaticInTaxiPaths() override;
    void showWaitingStaticCount() override;
    bool staticParkingActive() override;
    void pushParkAirport(const FixedCode4& code, const GeoPosition& position) override;

private:
    ProgramParts& p_;
    // The re-read's files, read on a thread of their own.
    std::future<ParkAirportsFile> parkAirportsRead_;
};

class ProgramCallsigns final : public CallsignSteps {
public:
    explicit ProgramCallsigns(ProgramParts& parts) : p_(parts) {}

    void fillCallsignComboBox() override;
    std::optional<std::uint32_t> followCallsign(const std::string& callsign) override;
    void fillCallsignChoices() override;
    void removeBlockedCallsign(const std::string& callsign) override;
    void resetCallsignChoices() override;

private:
    ProgramParts& p_;
};

class ProgramClosingDown final : public ClosingDownSteps {
public:
    explicit ProgramClosingDown(ProgramParts& parts) : p_(parts) {}

    void stopSimClient() override;
    void stopReaders() override;
    void closeRealTrafficLink() override;
    void leaveParkAirport() override;
    void removeFlightPlanFolder() override;
    void forgetRunTexts() override;
    bool joinRunThreads(std::chrono::milliseconds bound) override;
    void resetRunParts() override;

private:
    ProgramParts& p_;
};

// The six, built over the same parts.
struct ProgramSteps {
    ProgramSteps(ProgramParts& parts, RunClock& clock)
        : startUp(parts),
          trafficRun(parts, clock),
          mainLoop(parts),
          parking(parts),
          callsigns(parts),
          closingDown(parts) {}

    ProgramStartUp startUp;
    ProgramTrafficRun trafficRun;
    ProgramMainLoop mainLoop;
    ProgramParking parking;
    ProgramCallsigns callsigns;
    ProgramClosingDown closingDown;
};

// The livery tables from the scanned liveries, once per process; the
// window's livery counter shows how many were read.
void processScannedLiveries(ProgramParts& parts);

}  // namespace qvl
