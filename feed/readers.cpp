#include "feed/readers.h"

#include "core/time_text.h"

namespace qvl {

// The reader threads are detached and may still be leaving when the process
// ends, so the readers are never destroyed.
TrafficReader& trafficReader() {
    static TrafficReader& reader = *new TrafficReader;
    return reader;
}

QnhReader& qnhReader() {
    static QnhReader& reader = *new QnhReader(trafficReader());
    return reader;
}

void lf_trafficReaderThread(std::uint16_t port, bool local) { trafficReader().threadBody(port, local); }

void lf_qnhReaderThread(std::uint16_t port) { qnhReader().threadBody(port, rtLocal.load()); }

void resetTrafficSide() {
    TrafficReader& traffic = trafficReader();
    QnhReader& qnh = qnhReader();
    traffic.setQnh(kStandardQnh);
    trafficClock.store(0.0);
    traffic.clearCollectedCallsigns();
    traffic.clearStop();
    qnh.clearStop();
    qnh.setLastQnh(kStandardQnh);
    traffic.resetCounters();
    qnh.resetCounters();
}

void stopReaders() {
    trafficReader().requestStop();
    qnhReader().requestStop();
}

void gf_refreshReaderLamps() {
    if (!realTrafficDisplay.load()) return;
    qnhReader().refreshLamp();
    trafficReader().refreshLamp();
}

}  // namespace qvl
