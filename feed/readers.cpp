#include "feed/readers.h"

namespace qvl {

void lf_trafficReaderThread(const std::stop_token& stop, TrafficReader& reader, std::uint16_t port,
                            ClientLocation client) {
    reader.threadBody(stop, port, client);
}

void lf_qnhReaderThread(const std::stop_token& stop, QnhReader& reader, std::uint16_t port) {
    reader.threadBody(stop, port, reader.clientLocation());
}

Readers::Readers(TrafficQueue& queue, FeedState& feed, RunState& run, const CurrentParkAirportState& filter)
    : feed_(feed), queue_(queue), traffic_(queue, feed, run, filter), qnh_(traffic_, feed, run) {}

Readers::~Readers() { stop(); }

void Readers::startQnhReader(std::uint16_t port) {
    // The assignment stops and joins a thread still running from before.
    qnhThread_ = std::jthread([this, port](const std::stop_token& stop) { lf_qnhReaderThread(stop, qnh_, port); });
}

void Readers::startTrafficReader(std::uint16_t port) {
    const ClientLocation client = traffic_.clientLocation();
    trafficThread_ = std::jthread(
        [this, port, client](const std::stop_token& stop) { lf_trafficReaderThread(stop, traffic_, port, client); });
}

void Readers::resetTrafficSide() {
    traffic_.setQnh(kStandardQnh);
    feed_.time.trafficClock.store(0.0);
    traffic_.clearCollectedCallsigns();
    traffic_.clearStop();
    qnh_.clearStop();
    qnh_.setLastQnh(kStandardQnh);
    traffic_.resetCounters();
    qnh_.resetCounters();
}

void Readers::holdTrafficUntilClientReturns() { queue_.holdUntilClientReturns(); }

void Readers::trafficClientReturned() { queue_.clientReturned(); }

void Readers::requestStop() {
    traffic_.requestStop();
    qnh_.requestStop();
}

void Readers::stop() {
    // The stop flags stay raised until the next run's reset, also for a reader not running now.
    traffic_.requestStop();
    qnh_.requestStop();
    for (std::jthread* thread : {&trafficThread_, &qnhThread_}) {
        thread->request_stop();
        if (thread->joinable()) thread->join();
    }
}

void gf_refreshReaderLamps(Readers& readers) {
    if (!readers.feed_.realTrafficDisplay.load()) return;
    readers.qnh_.refreshLamp();
    readers.traffic_.refreshLamp();
}

bool readerLampStale(const FeedState& feed) {
    return feed.trafficLamp.load() == ReaderLamp::stale || feed.weatherLamp.load() == ReaderLamp::stale;
}

}  // namespace qvl
