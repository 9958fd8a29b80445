// A socket failure of the feed: the text the log and the message line show,
// with the step that failed and its Winsock number, so callers look at the
// step and the number, never at the text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qvl {

// Winsock numbers the feed reports on its own; the socket layer maps system
// errors to these numbers but has no names for them.
inline constexpr int kWsaBadFile = 10009;    // WSAEBADF: the socket was closed under a call
inline constexpr int kWsaNotSocket = 10038;  // WSAENOTSOCK: there is no socket to use
inline constexpr int kWsaShutdown = 10058;   // WSAESHUTDOWN: no send after the socket was shut down

enum class SocketStep : std::uint8_t {
    resolve,       // the port text
    create,        // the socket
    reuseAddress,  // SO_REUSEADDR
    bind,
    listen,
    receive,
};

class SocketError : public std::runtime_error {
public:
    SocketError(SocketStep step, int code, const std::string& text)
        : std::runtime_error(text), step_(step), code_(code) {}

    [[nodiscard]] SocketStep step() const noexcept { return step_; }
    // The Winsock number of the failure.
    [[nodiscard]] int code() const noexcept { return code_; }

private:
    SocketStep step_;
    int code_;
};

}  // namespace qvl
