// POSIX sockets behind small RAII types: UDP bind/receive with a receive
// time-out, TCP listen/accept/send/receive. Every socket may be closed from
// any thread: the close shuts the socket down first, so a blocked receive or
// accept wakes, and the descriptor itself is released only when no call is
// using it any more, so a descriptor number is never reused under a running
// call. Errors are reported as the Winsock numbers that the program's
// messages name (kWsaETimedOut for a time-out, kWsaEMsgSize for a datagram
// that is too big; see wsa_error.h).
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/net/wsa_error.h"

namespace qvl::net {

enum class Address : std::uint8_t {
    loopback,  // 127.0.0.1
    any,       // every interface
};

enum class IoStatus : std::uint8_t {
    ok,         // data or a connection arrived
    timedOut,   // nothing within the time-out (an interrupted call counts as one)
    closed,     // our side closed the socket, or the peer ended the connection
    oversized,  // a datagram larger than the buffer: dropped, bytes holds its real size
    error,      // error holds the Winsock number
};

struct IoResult {
    IoStatus status = IoStatus::error;
    std::size_t bytes = 0;
    int error = 0;
};

// A descriptor shared between the thread that uses it and threads that may
// close it. Lock-free: one word holds the count of calls in progress and the
// closed bit; the descriptor is released when the word drops to "closed, no
// call", so whichever of the close and the last call comes last releases it.
class SocketHandle {
public:
    SocketHandle() = default;
    ~SocketHandle();
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;

    // Keeps the descriptor open while alive; fd() is -1 when the handle is closed.
    class Use {
    public:
        explicit Use(SocketHandle& handle) noexcept;
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        [[nodiscard]] int fd() const noexcept { return fd_; }
        explicit operator bool() const noexcept { return fd_ >= 0; }

    private:
        SocketHandle& handle_;
        int fd_ = -1;
    };

    // Takes ownership of a new descriptor. When the handle was closed
    // meanwhile the descriptor is released at once and the result is false.
    bool assign(int fd) noexcept;
    // Shuts the socket down (waking blocked calls) and releases the
    // descriptor once no call uses it. Idempotent, from any thread.
    void close() noexcept;
    [[nodiscard]] bool isClosed() const noexcept { return (state_.load() & 0x80000000u) != 0; }

private:
    void endUse() noexcept;
    void release() noexcept;

    std::atomic<int> fd_{-1};
    std::atomic<std::uint32_t> state_{0};  // bit 31: closed; below: calls in progress
};

// The port number of a port text ("10747"); 0 or a Winsock number.
int resolvePort(const std::string& portText, std::uint16_t& port);

class UdpSocket {
public:
    UdpSocket() = default;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Each step returns 0 or the Winsock number of its failure.
    int create();
    int bind(Address address, std::uint16_t port);
    int setReceiveTimeout(std::chrono::milliseconds timeout);
    // The bound port (an ephemeral one when bound to port 0); 0 when unbound.
    [[nodiscard]] std::uint16_t localPort();

    // One datagram, waiting at most the receive time-out. A datagram of
    // buffer.size() bytes or more is reported as oversized with its real size.
    IoResult receive(std::span<char> buffer);
    // One datagram to 127.0.0.1:port.
    IoResult sendTo(std::string_view bytes, std::uint16_t port);

    void close() noexcept { handle_.close(); }
    [[nodiscard]] bool isClosed() const noexcept { return handle_.isClosed(); }

private:
    SocketHandle handle_;
};

class TcpStream {
public:
    TcpStream() = default;
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;

    // A connection to 127.0.0.1:port; null with the Winsock number in error.
    static std::shared_ptr<TcpStream> connectTo(std::uint16_t port, int& error);

    int setNoDelay();
    // The whole text, in as many sends as the system needs; never raises SIGPIPE.
    IoResult send(std::string_view bytes);
    // What has arrived, waiting at most the time-out; closed when the peer
    // ended the connection.
    IoResult receive(std::span<char> buffer, std::chrono::milliseconds timeout);

    void close() noexcept { handle_.close(); }
    [[nodiscard]] bool isClosed() const noexcept { return handle_.isClosed(); }

private:
    friend class TcpListener;
    SocketHandle handle_;
};

class TcpListener {
public:
    TcpListener() = default;
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Each step returns 0 or the Winsock number of its failure.
    int create();
    int setReuseAddress();
    int bind(Address address, std::uint16_t port);
    int listen();
    [[nodiscard]] std::uint16_t localPort();

    struct Accepted {
        IoResult result;
        std::shared_ptr<TcpStream> stream;  // set when result.status is ok
    };
    // One connection, waiting at most the time-out.
    Accepted accept(std::chrono::milliseconds timeout);

    void close() noexcept { handle_.close(); }
    [[nodiscard]] bool isClosed() const noexcept { return handle_.isClosed(); }

private:
    SocketHandle handle_;
};

}  // namespace qvl::net
