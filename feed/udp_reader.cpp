#include "feed/udp_reader.h"

#include <fmt/format.h>

#include <chrono>
#include <exception>
#include <utility>

#include "core/log.h"
#include "core/messages.h"
#include "core/strings.h"
#include "feed/socket_error.h"

namespace qvl {
namespace {

constexpr std::chrono::milliseconds kReceiveTimeout{1000};
constexpr std::int32_t kReaderErrorRestartSeconds = 15;

SocketError receiveError(int code) {
    return {SocketStep::receive, code, fmt::format("receive error: {}", gf_socketErrorText(code))};
}

void lf_logReaderConnected(const std::string& name) { gf_logContinuation(fmt::format("{} connected", name)); }

void lf_logReaderDisconnected(const std::string& name) { gf_logContinuation(fmt::format("{} disconnected", name)); }

}  // namespace

void gf_readerStopped(RunState& run, const std::string& readerName, const std::string& error) {
    gf_showMessage(fmt::format("The {} has stopped with error: {}", readerName, error), MessageLogging::logged);
    run.endRun(RestartReason::readerError, kReaderErrorRestartSeconds);
}

namespace {

std::vector<std::string> withOversized(const std::string& readerName, std::vector<std::string> derivedKinds) {
    std::vector<std::string> kinds{fmt::format("oversized datagrams to the {}", readerName)};
    for (std::string& kind : derivedKinds) kinds.push_back(std::move(kind));
    return kinds;
}

}  // namespace

UdpReader::UdpReader(std::string name, FeedState& feed, RunState& run, std::atomic<ReaderLamp>& lamp,
                     std::vector<std::string> refusalKinds, SteadyNow now)
    : feed_(feed),
      run_(run),
      lamp_(lamp),
      name_(std::move(name)),
      refused_(withOversized(name_, std::move(refusalKinds)), std::move(now)) {}

UdpReader::~UdpReader() = default;

void UdpReader::threadBody(const std::stop_token& stop, std::uint16_t port, ClientLocation client) {
    std::lock_guard body(bodyMutex_);
    // The thread's stop ends the body as the stop flag does.
    const std::stop_callback onStop(stop, [this] { requestStop(); });
    try {
        open(port, client);
        onOpened();
        lf_logReaderConnected(name_);
        receiveLoop(client);
    } catch (const std::exception& e) {
        reportFailure(e.what());
    } catch (...) {
        reportFailure("Unknown exception");
    }
    closeSocket();
    boundPort_.store(0);
    onLeaving();
    lf_logReaderDisconnected(name_);
}

void UdpReader::open(std::uint16_t port, ClientLocation client) {
    auto socket = std::make_shared<net::UdpSocket>();
    if (const int e = socket->create(); e != 0) {
        throw SocketError(SocketStep::create, e,
                          fmt::format("failed to create the socket, error: {}", gf_socketErrorText(e)));
    }
    {
        std::lock_guard lock(socketMutex_);
        socket_ = socket;
    }
    const net::Address address = client == ClientLocation::thisPc ? net::Address::loopback : net::Address::any;
    if (const int e = socket->bind(address, port); e != 0) {
        socket->close();
        throw SocketError(SocketStep::bind, e,
                          fmt::format("bind to stream socket failed, error: {}", gf_socketErrorText(e)));
    }
    boundPort_.store(socket->localPort());
}

void UdpReader::reportFailure(const std::string& error) {
    // A stop that closed the socket while it was being set up is no error.
    if (stopFlag_.load()) {
        onStopped();
        return;
    }
    gf_readerStopped(run_, name_, error);
}

std::shared_ptr<net::UdpSocket> UdpReader::currentSocket() {
    std::lock_guard lock(socketMutex_);
    return socket_;
}

void UdpReader::closeSocket() {
    if (auto socket = currentSocket()) socket->close();
}

void UdpReader::requestStop() {
    stopFlag_.store(true);
    closeSocket();
}

void UdpReader::resetCounters() noexcept {
    packetCount_.store(0);
    lampCount_.store(0);
    lampReceiving_.store(true);
}

void UdpReader::refreshLamp() {
    const std::uint32_t count = packetCount_.load();
    bool changed = false;
    if (count == lampCount_.load()) {
        changed = lamp_.exchange(ReaderLamp::stale) != ReaderLamp::stale;
        lampReceiving_.store(false);
    } else if (!lampReceiving_.exchange(true)) {
        changed = lamp_.exchange(ReaderLamp::receiving) != ReaderLamp::receiving;
    }
    lampCount_.store(count);
    if (changed) feed_.repaint();
}

void UdpReader::handleDatagram(std::size_t size, ClientLocation client) {
    buffer_[size] = '\0';
    const std::string_view datagram(buffer_.data(), size);
    // From another PC the client may send a line more than once; on this PC
    // every datagram counts.
    if (client == ClientLocation::otherPc) {
        if (datagram == previous_) return;
        previous_.assign(datagram);
    }
    packetCount_.fetch_add(1);
    onData(datagram);
}

void UdpReader::receiveLoop(ClientLocation client) {
    const auto socket = currentSocket();
    if (!socket) throw receiveError(kWsaNotSocket);
    socket->setReceiveTimeout(kReceiveTimeout);
    // A new body starts a new run: the last datagram of the previous run is
    // no repeat, or unchanged weather would never be published again.
    previous_.clear();
    if (stopFlag_.load()) {
        onStopped();
        return;
    }
    int error = 0;
    for (;;) {
        const net::IoResult r = socket->receive(buffer_);
        switch (r.status) {
            case net::IoStatus::ok:
                if (r.bytes > 0) handleDatagram(r.bytes, client);
                break;
            case net::IoStatus::timedOut: break;
            case net::IoStatus::oversized:
                // Too big for any traffic line: dropped, and the reader goes on.
                if (!run_.isClosing()) {
                    refused_.log(kOversizedKind, [&r] { return fmt::format("buffer overrun: {} bytes", r.bytes); });
                }
                break;
            case net::IoStatus::closed: error = stopFlag_.load() ? 0 : kWsaBadFile; break;
            case net::IoStatus::error: error = r.error; break;
        }
        // At least once a second (the receive's time-out), also while a flood of bad input has stopped.
        refused_.writeDueCounts();
        if (stopFlag_.load()) {
            onStopped();
            return;
        }
        if (error != 0) break;
    }
    throw receiveError(error);
}

}  // namespace qvl
