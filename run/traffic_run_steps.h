// The steps of other parts that the traffic run calls (traffic_run.cpp): the
// engine's containers, the simulator client, the traffic client link and the
// readers. The main loop and the closing down call the same feed steps again
// (accepting traffic, the positions and times sent, the traffic clock). All
// are called on the run thread.
#pragma once

#include <cstdint>
#include <string>

namespace qvl {

class TrafficRunSteps {
public:
    virtual ~TrafficRunSteps() = default;

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
};

}  // namespace qvl
