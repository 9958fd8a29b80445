// The program's two readers and what run control does with them: the thread
// bodies, the reset of the traffic side before a run, the stop at its end,
// and the status lamps' refresh.
#pragma once

#include <cstdint>

#include "feed/qnh_reader.h"
#include "feed/traffic_reader.h"

namespace qvl {

inline constexpr std::uint16_t kTrafficPort = 49005;
inline constexpr std::uint16_t kQnhPort = 49004;

TrafficReader& trafficReader();
QnhReader& qnhReader();

// Thread bodies. The QNH Reader reads rtLocal itself.
void lf_trafficReaderThread(std::uint16_t port, bool local);
void lf_qnhReaderThread(std::uint16_t port);

// Both readers back to their start state: QNH 1013, traffic clock 0, no
// collected callsigns, stop flags clear, counters 0, lamps' receiving flags set.
void resetTrafficSide();
// Raises both stop flags; each reader ends at once.
void stopReaders();
// The main loop's periodic lamp look, while a client is connected: a lamp
// goes stale when its reader received nothing since the last look, and back
// on with the next datagram.
void gf_refreshReaderLamps();

}  // namespace qvl
