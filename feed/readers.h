// The program's two readers and their threads: what run control does with
// them at the start of a run (reset, start), at its end (stop) and on every
// tick of the main loop (the status lamps' refresh).
#pragma once

#include <cstdint>
#include <stop_token>
#include <thread>

#include "core/current_park_airport.h"
#include "core/run_state.h"
#include "feed/feed_state.h"
#include "feed/qnh_reader.h"
#include "feed/traffic_queue.h"
#include "feed/traffic_reader.h"

namespace qvl {

inline constexpr std::uint16_t kTrafficPort = 49005;
inline constexpr std::uint16_t kQnhPort = 49004;

// Thread bodies. The QNH Reader reads rtLocal itself.
void lf_trafficReaderThread(const std::stop_token& stop, TrafficReader& reader, std::uint16_t port,
                            ClientLocation client);
void lf_qnhReaderThread(const std::stop_token& stop, QnhReader& reader, std::uint16_t port);

// Owns both readers and the thread of each. A reader's thread runs from its
// start until stop() (or the owner's end), which stops and joins it.
class Readers {
public:
    Readers(TrafficQueue& queue, FeedState& feed, RunState& run, const CurrentParkAirportState& filter);
    ~Readers();
    Readers(const Readers&) = delete;
    Readers& operator=(const Readers&) = delete;

    // Each starts its reader's thread; a thread still running from before is
    // stopped and joined first. Port 0 takes an ephemeral port (tests).
    void startQnhReader(std::uint16_t port = kQnhPort);
    void startTrafficReader(std::uint16_t port = kTrafficPort);

    // Both readers back to their start state: QNH 1013, traffic clock 0, no
    // collected callsigns, stop flags clear, counters 0, lamps' receiving flags set.
    void resetTrafficSide();
    // The traffic client has gone: the traffic queue drops what it holds and
    // takes nothing until the client returns.
    void holdTrafficUntilClientReturns();
    void trafficClientReturned();
    // Raises both readers' stop flags; each thread ends within its receive
    // time-out and is joined by stop().
    void requestStop();
    // Stops both readers and joins their threads; each ends at once.
    void stop();

    [[nodiscard]] TrafficReader& traffic() noexcept { return traffic_; }
    [[nodiscard]] QnhReader& qnh() noexcept { return qnh_; }

private:
    friend void gf_refreshReaderLamps(Readers& readers);
    // Either reader's lamp is stale.
    [[nodiscard]] bool readerLampStale(const FeedState& feed);

    FeedState& feed_;
    TrafficQueue& queue_;
    TrafficReader traffic_;
    QnhReader qnh_;
    // Declared last: they end (stopped and joined) before the readers they run.
    std::jthread qnhThread_;
    std::jthread trafficThread_;
};

// The main loop's periodic lamp look, while a client is connected: a lamp
// goes stale when its reader received nothing since the last look, and back
// on with the next datagram.
void gf_refreshReaderLamps(Readers& readers);
// Either reader's lamp is stale.
[[nodiscard]] bool readerLampStale(const FeedState& feed);

}  // namespace qvl
