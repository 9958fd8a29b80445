#include "feed/realtraffic_link.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <utility>

#include "core/geodesy.h"
#include "core/log.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/strings.h"
#include "core/time_text.h"
#include "feed/socket_error.h"

namespace qvl {
namespace {

constexpr std::string_view kVersionRequest = "Qs999=version\r\n";
constexpr std::string_view kExitLine = "exit\r\n";
constexpr double kNoPositionDegrees = 0.0001;

// The edition number of the reply's "level" (0 when missing); any other kind
// of value is a malformed reply.
bool isProfessionalLevel(const nlohmann::json& reply) {
    const auto level = reply.find("level");
    if (level == reply.end() || level->is_null()) return false;
    if (level->is_number_integer()) return level->get<std::int64_t>() == 2;
    if (level->is_number_unsigned()) return level->get<std::uint64_t>() == 2;
    if (level->is_number_float()) return level->get<double>() == 2.0;
    throw std::invalid_argument(fmt::format("level is {}", level->type_name()));
}

std::string versionText(const nlohmann::json& reply) {
    const auto version = reply.find("version");
    if (version == reply.end() || version->is_null()) return {};
    return version->get<std::string>();  // any other type throws
}

}  // namespace

std::string userStateLine(const UserState& user) {
    // Whole numbers with "{:.0f}": a general format with precision 0 keeps one
    // significant digit, and 35000 ft would reach the client as 4e+07.
    return fmt::format("Qs121={:.0f};{:.0f};{:.6f};{:.0f};{};{:.6f};{:.6f}\r\n", user.pitch * 100000.0,
                       user.bank * 100000.0, user.heading, user.altitude * 1000.0, user.groundSpeed * 1000.0,
                       user.latitude * kDegToRad, user.longitude * kDegToRad);
}

std::size_t completeJsonObjectLength(std::string_view text) noexcept {
    std::size_t i = text.find_first_not_of(kWhiteSpace);
    if (i == std::string_view::npos || text[i] != '{') return 0;
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0) return i + 1;
        }
    }
    return 0;
}

RealTrafficLink::RealTrafficLink(FeedState& feed, RunState& run, Readers& readers, LinkTimeouts timeouts)
    : feed_(feed), run_(run), readers_(readers), timeouts_(timeouts) {}

void RealTrafficLink::logUnlessClosing(const std::string& line) const {
    // While the run ends its sockets fail on purpose; nothing to report.
    if (!run_.isClosing()) gf_log(line);
}

RealTrafficLink::~RealTrafficLink() { closeSockets(ExitLine::skip); }

std::shared_ptr<net::TcpListener> RealTrafficLink::currentListener() const {
    std::lock_guard lock(socketMutex_);
    return listener_;
}

std::shared_ptr<net::TcpStream> RealTrafficLink::currentClient() const {
    std::lock_guard lock(socketMutex_);
    return client_;
}

std::uint16_t RealTrafficLink::listeningPort() const {
    const auto listener = currentListener();
    return listener ? listener->localPort() : 0;
}

void RealTrafficLink::startTcpServer(const std::string& portText) {
    std::uint16_t port = 0;
    if (const int e = net::resolvePort(portText, port); e != 0) {
        throw SocketError(SocketStep::resolve, e, fmt::format("getaddrinfo failed with error {}", e));
    }
    auto listener = std::make_shared<net::TcpListener>();
    if (const int e = listener->create(); e != 0) {
        throw SocketError(SocketStep::create, e, "socket failed with error " + gf_socketErrorText(e));
    }
    // On a throw below the listener closes as it goes out of scope.
    if (const int e = listener->setReuseAddress(); e != 0) {
        throw SocketError(SocketStep::reuseAddress, e, "setsockopt(SO_REUSEADDR) failed");
    }
    // The client runs on this PC: nothing outside it may reach the port.
    if (const int e = listener->bind(net::Address::loopback, port); e != 0) {
        throw SocketError(SocketStep::bind, e,
                          "Bind failed at port " + portText + " with error " + gf_socketErrorText(e));
    }
    if (const int e = listener->listen(); e != 0) {
        throw SocketError(SocketStep::listen, e, "listen failed with error " + gf_socketErrorText(e));
    }
    std::shared_ptr<net::TcpListener> previous;
    {
        std::lock_guard lock(socketMutex_);
        previous = std::exchange(listener_, std::move(listener));
    }
    if (previous) previous->close();
}

bool RealTrafficLink::adoptClient(const std::shared_ptr<net::TcpListener>& listener,
                                  std::shared_ptr<net::TcpStream> client) {
    std::shared_ptr<net::TcpStream> previous;
    {
        std::lock_guard lock(socketMutex_);
        // Closed (or restarted) while we accepted: the client is not ours to keep.
        if (listener_ != listener || listener->isClosed()) {
            client->close();
            return false;
        }
        previous = std::exchange(client_, std::move(client));
        connected_.store(true);
    }
    if (previous) previous->close();
    readers_.trafficClientReturned();
    return true;
}

bool RealTrafficLink::waitForClient(ClientWait wait) {
    if (connected_.load()) return false;
    const auto listener = currentListener();
    if (!listener) return false;
    const auto slice = wait == ClientWait::noWait ? std::chrono::milliseconds{0} : timeouts_.poll;
    for (;;) {
        if (run_.isClosing()) return false;
        net::TcpListener::Accepted accepted = listener->accept(slice);
        switch (accepted.result.status) {
            case net::IoStatus::ok: {
                if (const int e = accepted.stream->setNoDelay(); e != 0) {
                    accepted.stream->close();
                    logUnlessClosing(fmt::format("waitForClient interrupted: {} setsockopt failed with error {}",
                                                 gf_utcTimeNow(), gf_socketErrorText(e)));
                    return false;
                }
                return adoptClient(listener, std::move(accepted.stream));
            }
            case net::IoStatus::timedOut:
                if (wait == ClientWait::noWait) return false;
                continue;
            case net::IoStatus::error:
                logUnlessClosing(
                    fmt::format("waitForClient interrupted: {}", gf_socketErrorText(accepted.result.error)));
                return false;
            default: return false;  // the link was closed
        }
    }
}

void RealTrafficLink::waitForRealTraffic() {
    if (!feed_.rtLocal.load()) return;
    gf_showMessage(fmt::format("Waiting for RealTraffic to connect to {} ...", kProductName), MessageLogging::logged);
    gf_flushLog();
    readers_.resetTrafficSide();
    // A client that is gone before it hears the request is not the one to
    // ask: wait for the next.
    do {
        if (!waitForClient()) return;
    } while (!sendDataPacket(kVersionRequest));
    processRTVersion(receiveVersionReply());
    feed_.realTrafficDisplay.store(true);
    feed_.repaint();
    feed_.waitingForRealTraffic.store(false);
    gf_log("RealTraffic connected");
    gf_clearMessage();
}

void RealTrafficLink::processRTVersion(std::string_view reply) {
    if (reply.find_first_not_of(kWhiteSpace) == std::string_view::npos) {
        gf_showMessage("No RealTraffic version received?", MessageLogging::logged);
        return;
    }
    try {
        const nlohmann::json json = nlohmann::json::parse(reply);
        if (json.is_object()) {
            const bool professional = isProfessionalLevel(json);
            const std::string version = versionText(json);
            feed_.time.rtEdition.store(professional);
            feed_.setRealTrafficText(fmt::format("RT {} edition: {}", professional ? "prof" : "stnd", version));
            feed_.repaint();
            return;
        }
    } catch (const std::exception& e) {
        gf_log(fmt::format("lf_processRTVersion: JSON parse failed: {}", e.what()));
    }
    feed_.time.rtEdition.store(false);
    feed_.setRealTrafficText({});
    feed_.repaint();
}

std::string RealTrafficLink::receive(std::chrono::milliseconds timeout) {
    const auto client = currentClient();
    if (!client) return {};
    std::array<char, kReceiveBufferSize> buffer{};
    const net::IoResult r = client->receive(buffer, timeout);
    if (r.status == net::IoStatus::error) {
        logUnlessClosing(fmt::format("receive: {}", gf_socketErrorText(r.error)));
        return {};
    }
    if (r.status != net::IoStatus::ok) return {};
    if (r.bytes >= kReceiveBufferSize) {
        logUnlessClosing(fmt::format("receive: buffer overrun: {}", r.bytes));
        return {};
    }
    return std::string(buffer.data(), r.bytes);
}

std::string RealTrafficLink::receiveVersionReply() {
    const auto client = currentClient();
    if (!client) return {};
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + timeouts_.versionReply;
    std::string reply;
    std::array<char, kReceiveBufferSize> buffer{};
    while (!run_.isClosing()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
        if (left.count() <= 0) break;
        const net::IoResult r = client->receive(buffer, std::min(left, timeouts_.poll));
        if (r.status == net::IoStatus::timedOut) continue;
        if (r.status == net::IoStatus::error) {
            logUnlessClosing(fmt::format("receive: {}", gf_socketErrorText(r.error)));
            return {};
        }
        if (r.status != net::IoStatus::ok) break;  // the client closed
        reply.append(buffer.data(), r.bytes);
        if (reply.size() >= kReceiveBufferSize) {
            logUnlessClosing(fmt::format("receive: buffer overrun: {}", reply.size()));
            return {};
        }
        if (const std::size_t length = completeJsonObjectLength(reply); length > 0) return reply.substr(0, length);
        // Not the start of an object: no use waiting for the rest.
        const std::size_t first = reply.find_first_not_of(kWhiteSpace);
        if (first != std::string::npos && reply[first] != '{') break;
    }
    return reply;
}

bool RealTrafficLink::dropClient(const std::shared_ptr<net::TcpStream>& client) {
    const bool wasConnected = connected_.exchange(false);
    {
        std::lock_guard lock(socketMutex_);
        if (client_ == client) client_.reset();
    }
    if (client) client->close();
    return wasConnected;
}

bool RealTrafficLink::sendDataPacket(std::string_view text) {
    const auto client = currentClient();
    const net::IoResult r = client ? client->send(text) : net::IoResult{.status = net::IoStatus::closed};
    if (r.status == net::IoStatus::ok) return true;
    const int error = r.status == net::IoStatus::error ? r.error : kWsaShutdown;
    logUnlessClosing(fmt::format("sendDataPacket to RealTraffic failed: {}", gf_socketErrorText(error)));
    const bool wasConnected = dropClient(client);
    logUnlessClosing("RealTraffic client socket closed");
    // A client is mourned once, by the send that found it gone.
    if (wasConnected) mournClient();
    return false;
}

void RealTrafficLink::mournClient() {
    feed_.realTrafficDisplay.store(false);
    feed_.repaint();
    // While the run ends its aircraft stay for the end of the run.
    if (run_.isClosing()) return;
    // What the client sent before it went would make aircraft for a feed
    // that is no more: it goes, and nothing is taken until a client returns.
    readers_.holdTrafficUntilClientReturns();
    feed_.onRealTrafficGone();
    readers_.resetTrafficSide();
    gf_showMessage(fmt::format("{} RealTraffic gone? Wait for RealTraffic to re-connect ...", gf_utcTimeNow()),
                   MessageLogging::logged);
}

void RealTrafficLink::sendUserPosition(const UserState& user) {
    if (!feed_.rtLocal.load()) return;
    if (std::fabs(user.latitude) <= kNoPositionDegrees && std::fabs(user.longitude) <= kNoPositionDegrees) return;
    if (connected_.load()) {
        sendDataPacket(userStateLine(user));  // a failure mourns the client
        return;
    }
    if (run_.restartReason.load() != RestartReason::notYetSet) return;
    // Called about once a second from the run thread: a wait here would
    // stop the main loop, and with it the removals the gone client started.
    // A client that comes back is not asked for its version again.
    if (waitForClient(ClientWait::noWait)) {
        feed_.realTrafficDisplay.store(true);
        feed_.repaint();
        gf_showMessage(fmt::format("{} RealTraffic re-connected", gf_utcTimeNow()), MessageLogging::logged);
        gf_clearMessage();
    }
}

void RealTrafficLink::sendQs123(std::int64_t seconds) {
    if (!connected_.load() || seconds < 1) return;
    if (seconds > std::numeric_limits<std::int64_t>::max() / 1000) return;
    sendDataPacket(fmt::format("Qs123={}\r\n", seconds * 1000));
}

void RealTrafficLink::closeSockets(ExitLine exitLine) {
    std::shared_ptr<net::TcpListener> listener;
    std::shared_ptr<net::TcpStream> client;
    {
        std::lock_guard lock(socketMutex_);
        listener = std::exchange(listener_, nullptr);
        client = std::exchange(client_, nullptr);
    }
    // Cleared on every close, so the next run's first client gets the handshake again.
    const bool wasConnected = connected_.exchange(false);
    if (exitLine == ExitLine::send && wasConnected && client) client->send(kExitLine);
    if (client) client->close();
    if (listener) listener->close();
}

void RealTrafficLink::close() { closeSockets(ExitLine::send); }

void lf_startTcpServer(RealTrafficLink& link, const std::string& portText) {
    try {
        link.startTcpServer(portText);
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{} exception: {}", "lf_startTcpServer", e.what()));
    }
}
bool waitForClient(RealTrafficLink& link, ClientWait wait) { return link.waitForClient(wait); }
void lf_waitForRealTraffic(RealTrafficLink& link) { link.waitForRealTraffic(); }
void lf_processRTVersion(RealTrafficLink& link, std::string_view reply) { link.processRTVersion(reply); }
bool sendDataPacket(RealTrafficLink& link, std::string_view text) { return link.sendDataPacket(text); }
void lf_sendUserPosition(RealTrafficLink& link, const UserState& user) { link.sendUserPosition(user); }
void lf_sendQs123(RealTrafficLink& link, std::int64_t seconds) { link.sendQs123(seconds); }
void lf_closeRealTrafficLink(RealTrafficLink& link) { link.close(); }

}  // namespace qvl
