#include "platform/net/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qvl::net {
namespace {

struct ErrnoToWinsock {
    int errnoValue;
    int winsock;
};

constexpr ErrnoToWinsock kErrnoToWinsock[] = {
    {EINTR, kWsaEIntr},
    {EBADF, kWsaEBadF},
    {EACCES, kWsaEAcces},
    {EFAULT, kWsaEFault},
    {EINVAL, kWsaEInval},
    {EMFILE, kWsaEMFile},
    {ENFILE, kWsaEMFile},
    {EWOULDBLOCK, kWsaEWouldBlock},
    {EINPROGRESS, kWsaEInProgress},
    {EALREADY, kWsaEAlready},
    {ENOTSOCK, kWsaENotSock},
    {EDESTADDRREQ, kWsaEDestAddrReq},
    {EMSGSIZE, kWsaEMsgSize},
    {EPROTOTYPE, kWsaEPrototype},
    {ENOPROTOOPT, kWsaENoProtoOpt},
    {EPROTONOSUPPORT, kWsaEProtoNoSupport},
    {ESOCKTNOSUPPORT, kWsaESocktNoSupport},
    {EOPNOTSUPP, kWsaEOpNotSupp},
    {EPFNOSUPPORT, kWsaEPfNoSupport},
    {EAFNOSUPPORT, kWsaEAfNoSupport},
    {EADDRINUSE, kWsaEAddrInUse},
    {EADDRNOTAVAIL, kWsaEAddrNotAvail},
    {ENETDOWN, kWsaENetDown},
    {ENETUNREACH, kWsaENetUnreach},
    {ENETRESET, kWsaENetReset},
    {ECONNABORTED, kWsaEConnAborted},
    {ECONNRESET, kWsaEConnReset},
    {EPIPE, kWsaEConnReset},  // a write to a connection the peer has reset
    {ENOBUFS, kWsaENoBufs},
    {EISCONN, kWsaEIsConn},
    {ENOTCONN, kWsaENotConn},
    {ESHUTDOWN, kWsaEShutdown},
    {ETOOMANYREFS, kWsaETooManyRefs},
    {ETIMEDOUT, kWsaETimedOut},
    {ECONNREFUSED, kWsaEConnRefused},
    {ELOOP, kWsaELoop},
    {ENAMETOOLONG, kWsaENameTooLong},
    {EHOSTDOWN, kWsaEHostDown},
    {EHOSTUNREACH, kWsaEHostUnreach},
    {ENOTEMPTY, kWsaENotEmpty},
    {EUSERS, kWsaEUsers},
    {EDQUOT, kWsaEDQuot},
    {ESTALE, kWsaEStale},
    {EREMOTE, kWsaERemote},
};

constexpr std::uint32_t kClosedBit = 0x80000000u;

// The Winsock number of an errno value; values without one are returned as they are.
int winsockErrorOf(int errnoValue) noexcept {
    if (errnoValue == EAGAIN) errnoValue = EWOULDBLOCK;
    for (const auto& e : kErrnoToWinsock) {
        if (e.errnoValue == errnoValue) return e.winsock;
    }
    return errnoValue;
}

// The Winsock number of a getaddrinfo result (EAI_*).
int winsockErrorOfResolve(int eaiValue) noexcept {
    switch (eaiValue) {
        case 0: return 0;
        case EAI_NONAME: return kWsaHostNotFound;
        case EAI_AGAIN: return kWsaTryAgain;
        case EAI_SERVICE: return kWsaTypeNotFound;
        case EAI_FAMILY: return kWsaEAfNoSupport;
        case EAI_SOCKTYPE: return kWsaESocktNoSupport;
        case EAI_BADFLAGS: return kWsaEInval;
        case EAI_MEMORY: return kWsaNotEnoughMemory;
        case EAI_SYSTEM: return winsockErrorOf(errno);
        default: return kWsaNoRecovery;
    }
}

int lastError() noexcept { return winsockErrorOf(errno); }

sockaddr_in addressOf(Address address, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address == Address::loopback ? INADDR_LOOPBACK : INADDR_ANY);
    return a;
}

std::uint16_t localPortOf(int fd) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) return 0;
    return ntohs(a.sin_port);
}

int bindTo(int fd, Address address, std::uint16_t port) {
    const sockaddr_in a = addressOf(address, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return lastError();
    return 0;
}

timeval timevalOf(std::chrono::milliseconds timeout) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
    return tv;
}

// A blocked send must end too: a peer that stops reading cannot hold a thread for ever.
constexpr std::chrono::milliseconds kSendTimeout{5000};

void setSendTimeout(int fd) {
    const timeval tv = timevalOf(kSendTimeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

int createSocket(SocketHandle& handle, int type, int protocol) {
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, protocol);
    if (fd < 0) return lastError();
    if (!handle.assign(fd)) return kWsaEBadF;
    return 0;
}

// Waits until the descriptor is readable. ok, timedOut, or error.
IoResult waitReadable(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    const int timeoutMs = timeout.count() < 0 ? 0 : static_cast<int>(timeout.count());
    const int n = ::poll(&p, 1, timeoutMs);
    if (n > 0) return {IoStatus::ok, 0, 0};
    if (n == 0 || errno == EINTR) return {IoStatus::timedOut, 0, 0};
    return {IoStatus::error, 0, lastError()};
}

}  // namespace

// ---- SocketHandle -------------------------------------------------------

SocketHandle::Use::Use(SocketHandle& handle) noexcept : handle_(handle) {
    const std::uint32_t before = handle_.state_.fetch_add(1);
    if ((before & kClosedBit) == 0) fd_ = handle_.fd_.load();
}

SocketHandle::Use::~Use() { handle_.endUse(); }

SocketHandle::~SocketHandle() { close(); }

bool SocketHandle::assign(int fd) noexcept {
    Use use(*this);
    fd_.store(fd);
    // A close that came first left the descriptor to us: the last use releases it.
    return (state_.load() & kClosedBit) == 0;
}

void SocketHandle::close() noexcept {
    Use use(*this);
    const std::uint32_t before = state_.fetch_or(kClosedBit);
    if ((before & kClosedBit) != 0) return;
    // Our own use keeps the descriptor open, so the shutdown cannot hit a reused number.
    const int fd = fd_.load();
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

void SocketHandle::endUse() noexcept {
    const std::uint32_t before = state_.fetch_sub(1);
    if (before == (kClosedBit | 1u)) release();
}

void SocketHandle::release() noexcept {
    const int fd = fd_.exchange(-1);
    if (fd >= 0) ::close(fd);
}

// ---- resolve ------------------------------------------------------------

int resolvePort(const std::string& portText, std::uint16_t& port) {
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* result = nullptr;
    const int rc = ::getaddrinfo(nullptr, portText.c_str(), &hints, &result);
    if (rc != 0) return winsockErrorOfResolve(rc);
    int error = winsockErrorOfResolve(EAI_SERVICE);
    for (const addrinfo* a = result; a != nullptr; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr != nullptr) {
            port = ntohs(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_port);
            error = 0;
            break;
        }
    }
    ::freeaddrinfo(result);
    return error;
}

// ---- UdpSocket ----------------------------------------------------------

int UdpSocket::create() { return createSocket(handle_, SOCK_DGRAM, IPPROTO_UDP); }

int UdpSocket::bind(Address address, std::uint16_t port) {
    SocketHandle::Use use(handle_);
    if (!use) return kWsaEBadF;
    return bindTo(use.fd(), address, port);
}

int UdpSocket::setReceiveTimeout(std::chrono::milliseconds timeout) {
    SocketHandle::Use use(handle_);
    if (!use) return kWsaEBadF;
    const timeval tv = timevalOf(timeout);
    if (::setsockopt(use.fd(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) return lastError();
    return 0;
}

std::uint16_t UdpSocket::localPort() {
    SocketHandle::Use use(handle_);
    return localPortOf(use.fd());
}

IoResult UdpSocket::receive(std::span<char> buffer) {
    SocketHandle::Use use(handle_);
    if (!use) return {IoStatus::closed, 0, 0};
    // MSG_TRUNC makes the call report the datagram's real size, so a datagram
    // that does not fit is recognised instead of being cut silently.
    const ssize_t n = ::recvfrom(use.fd(), buffer.data(), buffer.size(), MSG_TRUNC, nullptr, nullptr);
    if (handle_.isClosed()) return {IoStatus::closed, 0, 0};
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return {IoStatus::timedOut, 0, 0};
        return {IoStatus::error, 0, lastError()};
    }
    const auto size = static_cast<std::size_t>(n);
    if (size >= buffer.size()) return {IoStatus::oversized, size, 0};
    return {IoStatus::ok, size, 0};
}

IoResult UdpSocket::sendTo(std::string_view bytes, std::uint16_t port) {
    SocketHandle::Use use(handle_);
    if (!use) return {IoStatus::closed, 0, 0};
    const sockaddr_in a = addressOf(Address::loopback, port);
    const ssize_t n =
        ::sendto(use.fd(), bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    if (n < 0) return {IoStatus::error, 0, lastError()};
    return {IoStatus::ok, static_cast<std::size_t>(n), 0};
}

// ---- TcpStream ----------------------------------------------------------

std::shared_ptr<TcpStream> TcpStream::connectTo(std::uint16_t port, int& error) {
    auto stream = std::make_shared<TcpStream>();
    error = createSocket(stream->handle_, SOCK_STREAM, IPPROTO_TCP);
    if (error != 0) return nullptr;
    SocketHandle::Use use(stream->handle_);
    const sockaddr_in a = addressOf(Address::loopback, port);
    if (::connect(use.fd(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        error = lastError();
        return nullptr;
    }
    setSendTimeout(use.fd());
    return stream;
}

int TcpStream::setNoDelay() {
    SocketHandle::Use use(handle_);
    if (!use) return kWsaEBadF;
    const int on = 1;
    if (::setsockopt(use.fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) return lastError();
    return 0;
}

IoResult TcpStream::send(std::string_view bytes) {
    SocketHandle::Use use(handle_);
    if (!use) return {IoStatus::closed, 0, 0};
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(use.fd(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (handle_.isClosed()) return {IoStatus::closed, sent, 0};
            if (errno == EINTR) continue;
            return {IoStatus::error, sent, lastError()};
        }
        sent += static_cast<std::size_t>(n);
    }
    return {IoStatus::ok, sent, 0};
}

IoResult TcpStream::receive(std::span<char> buffer, std::chrono::milliseconds timeout) {
    SocketHandle::Use use(handle_);
    if (!use) return {IoStatus::closed, 0, 0};
    const IoResult ready = waitReadable(use.fd(), timeout);
    if (handle_.isClosed()) return {IoStatus::closed, 0, 0};
    if (ready.status != IoStatus::ok) return ready;
    const ssize_t n = ::recv(use.fd(), buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (handle_.isClosed()) return {IoStatus::closed, 0, 0};
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return {IoStatus::timedOut, 0, 0};
        return {IoStatus::error, 0, lastError()};
    }
    if (n == 0) return {IoStatus::closed, 0, 0};
    return {IoStatus::ok, static_cast<std::size_t>(n), 0};
}

// ---- TcpListener --------------------------------------------------------

// Non-blocking underneath: accept runs only after poll reported a
// connection, and a connection withdrawn meanwhile must not block it.
int TcpListener::create() { return createSocket(handle_, SOCK_STREAM | SOCK_NONBLOCK, IPPROTO_TCP); }

int TcpListener::setReuseAddress() {
    SocketHandle::Use use(handle_);
    if (!use) return kWsaEBadF;
    const int on = 1;
    if (::setsockopt(use.fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return lastError();
    return 0;
}

int TcpListener::bind(Address address, std::uint16_t port) {
    SocketHandle::Use use(handle_);
    if (!use) return kWsaEBadF;
    return bindTo(use.fd(), address, port);
}

int TcpListener::listen() {
    SocketHandle::Use use(handle_);
    if (!use) return kWsaEBadF;
    if (::listen(use.fd(), SOMAXCONN) != 0) return lastError();
    return 0;
}

std::uint16_t TcpListener::localPort() {
    SocketHandle::Use use(handle_);
    return localPortOf(use.fd());
}

TcpListener::Accepted TcpListener::accept(std::chrono::milliseconds timeout) {
    SocketHandle::Use use(handle_);
    if (!use) return {{IoStatus::closed, 0, 0}, nullptr};
    const IoResult ready = waitReadable(use.fd(), timeout);
    if (handle_.isClosed()) return {{IoStatus::closed, 0, 0}, nullptr};
    if (ready.status != IoStatus::ok) return {ready, nullptr};
    const int fd = ::accept4(use.fd(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        if (handle_.isClosed()) return {{IoStatus::closed, 0, 0}, nullptr};
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) {
            return {{IoStatus::timedOut, 0, 0}, nullptr};
        }
        return {{IoStatus::error, 0, lastError()}, nullptr};
    }
    auto stream = std::make_shared<TcpStream>();
    stream->handle_.assign(fd);
    setSendTimeout(fd);
    return {{IoStatus::ok, 0, 0}, std::move(stream)};
}

}  // namespace qvl::net
