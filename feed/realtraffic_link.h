// The traffic client's TCP link. The program is the server: it listens on
// 127.0.0.1 only (the client runs on this PC), accepts one client at a
// time, asks for its version and edition, then sends the user aircraft's
// state about once a second ("Qs121=") and, for the "prof" edition, the
// simulator's time ("Qs123="); "exit" ends the link. Lines end in "\r\n".
//
// Every wait (for a client, for the version reply) is cut into short polls
// and ends when the run is closing; the link may be closed from another
// thread (the window's close), which wakes any wait at once. Only the first
// connection is waited for; a client that comes back later is looked for
// without waiting, so the main loop goes on ticking while it is away.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/run_state.h"
#include "feed/feed_state.h"
#include "feed/readers.h"
#include "platform/net/socket.h"

namespace qvl {

// The user aircraft as the traffic client wants it.
struct UserState {
    double latitude = 0.0;     // degrees
    double longitude = 0.0;    // degrees
    double pitch = 0.0;        // radians
    double bank = 0.0;         // radians
    double heading = 0.0;      // radians
    double altitude = 0.0;     // feet
    double groundSpeed = 0.0;  // knots
};

// "Qs121=pitch;bank;heading;altitude;groundspeed;lat;lon\r\n": pitch and bank
// x 100000, altitude x 1000 as whole numbers, ground speed x 1000, heading
// and the position in radians with six decimals.
std::string userStateLine(const UserState& user);

// The length of the first complete JSON object at the front of the text
// (leading blanks included); 0 while it is incomplete or when the text does
// not start with one.
std::size_t completeJsonObjectLength(std::string_view text) noexcept;

// Whether waitForClient waits for a client or only takes one that is there.
enum class ClientWait : std::uint8_t { untilConnected, noWait };

struct LinkTimeouts {
    // Slice of every wait; the closing flags are looked at between slices.
    std::chrono::milliseconds poll{100};
    // How long the client may take to answer the version request.
    std::chrono::milliseconds versionReply{5000};
};

class RealTrafficLink {
public:
    static constexpr std::size_t kReceiveBufferSize = 16384;

    // The readers' traffic side is reset before each wait for a client; the
    // state and the readers must outlive the link.
    RealTrafficLink(FeedState& feed, RunState& run, Readers& readers, LinkTimeouts timeouts = {});
    ~RealTrafficLink();
    RealTrafficLink(const RealTrafficLink&) = delete;
    RealTrafficLink& operator=(const RealTrafficLink&) = delete;

    // lf_startTcpServer: listens on 127.0.0.1 at the port text ("0" takes an
    // ephemeral port). Throws SocketError (a std::runtime_error) with the
    // step's text.
    void startTcpServer(const std::string& portText);
    [[nodiscard]] std::uint16_t listeningPort() const;

    // Accepts one client; false when one is connected already, when the run
    // is closing or the link was closed meanwhile, or on an error. With
    // noWait it also gives false at once when no client is knocking.
    bool waitForClient(ClientWait wait = ClientWait::untilConnected);
    // lf_waitForRealTraffic: the first connection and the version handshake
    // (only while rtLocal is set). A client that is gone before it could be
    // asked for its version is mourned, and the next one waited for.
    void waitForRealTraffic();
    // lf_processRTVersion: the edition and version of the client's JSON reply.
    void processRTVersion(std::string_view reply);
    // One line to the client. Whatever the line, a failure means the client
    // is gone: its socket is closed and, unless the run is closing, the
    // traffic queue is emptied and holds no traffic until a client returns,
    // the engine takes the live aircraft away and the next client is looked
    // for. Only the send that finds the client gone does so.
    bool sendDataPacket(std::string_view text);
    // lf_receive: what one receive brings within the time-out; empty on a
    // time-out, an error, a closed connection or a full buffer.
    std::string receive(std::chrono::milliseconds timeout);
    // The client's answer to "Qs999=version": received until it holds a
    // complete JSON object, the client closes, the time-out passes or the run
    // is closing.
    std::string receiveVersionReply();
    // lf_sendUserPosition: the user state line while a client is connected;
    // otherwise (no end reason for the run yet) it takes a client that has
    // come back, without waiting for one. A re-connected client is not asked
    // for its version again.
    void sendUserPosition(const UserState& user);
    // lf_sendQs123: the simulator's UTC time, seconds since 1970.
    void sendQs123(std::int64_t seconds);
    // lf_closeRealTrafficLink: "exit" to a connected client, then both
    // sockets closed. Idempotent, from any thread.
    void close();

    [[nodiscard]] bool connected() const noexcept { return connected_.load(); }

private:
    std::shared_ptr<net::TcpListener> currentListener() const;
    std::shared_ptr<net::TcpStream> currentClient() const;
    bool adoptClient(const std::shared_ptr<net::TcpListener>& listener, std::shared_ptr<net::TcpStream> client);
    // Whether a client counted as connected until now.
    bool dropClient(const std::shared_ptr<net::TcpStream>& client);
    // After a failed send: the display goes dark and, unless the run is
    // closing, the live aircraft go and the traffic side starts afresh.
    void mournClient();
    // "exit" goes to a connected client only on a close of the link, not
    // when the link object ends.
    enum class ExitLine : std::uint8_t { send, skip };
    void closeSockets(ExitLine exitLine);
    void logUnlessClosing(const std::string& line) const;

    FeedState& feed_;
    RunState& run_;
    Readers& readers_;
    const LinkTimeouts timeouts_;
    mutable std::mutex socketMutex_;  // leaf lock: guards listener_ and client_
    std::shared_ptr<net::TcpListener> listener_;
    std::shared_ptr<net::TcpStream> client_;
    std::atomic<bool> connected_{false};
};

// The link's operations under their usual names. A server that cannot start
// is logged; the run goes on without the traffic client.
void lf_startTcpServer(RealTrafficLink& link, const std::string& portText);
bool waitForClient(RealTrafficLink& link, ClientWait wait = ClientWait::untilConnected);
void lf_waitForRealTraffic(RealTrafficLink& link);
void lf_processRTVersion(RealTrafficLink& link, std::string_view reply);
bool sendDataPacket(RealTrafficLink& link, std::string_view text);
void lf_sendUserPosition(RealTrafficLink& link, const UserState& user);
void lf_sendQs123(RealTrafficLink& link, std::int64_t seconds);
void lf_closeRealTrafficLink(RealTrafficLink& link);

}  // namespace qvl
