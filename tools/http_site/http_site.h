// A small HTTP/1.1 server on 127.0.0.1, one connection at a time: a request
// head read from a connection, the head of an answer, and a folder answered
// as a download site. The demonstration's download site and the tests'
// loopback server are both built on it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

#include "platform/net/socket.h"

namespace qvl::site {

struct Request {
    std::string method;
    std::string target;  // as sent: "/versions.json", maybe with "?query"
    std::string head;    // the request line and the headers, up to the blank line

    // The first header of that name (any case), trimmed; empty when absent.
    [[nodiscard]] std::string header(std::string_view name) const;
};

// A head longer than this is no request of a download client.
inline constexpr std::size_t kMaxRequestHead = 16384;

// The head of one request; none when the peer closes, sends nothing for the
// time-out, or sends a head that is too long or has no request line.
std::optional<Request> readRequest(net::TcpStream& stream, std::chrono::milliseconds timeout);

// "HTTP/1.1 <status> <reason>", the body's length, and the connection's end.
std::string responseHead(int status, std::size_t contentLength);
// The same head without the length: the body ends with the connection.
std::string responseHeadWithoutLength(int status);

// Listens on 127.0.0.1 at a port the system picks (so it is free) and hands
// each request to the handler on the server's own thread; the connection
// closes when the handler returns. The stop token ends with the server.
class LoopbackServer {
public:
    using Handler = std::function<void(net::TcpStream&, const Request&, const std::stop_token&)>;

    // Throws std::runtime_error when no socket can listen.
    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    [[nodiscard]] std::uint16_t port() const { return port_; }

private:
    void serve(const std::stop_token& stop);

    net::TcpListener listener_;
    Handler handler_;
    std::uint16_t port_ = 0;
    std::jthread thread_;  // last: stopped and joined before the rest goes
};

struct Reply {
    int status = 404;
    std::string body;
};

// What a site serving the folder answers to a GET of the target: the file
// the path names, or 404. Only files inside the folder are served: a path
// with an empty, "." or ".." part, a backslash, a colon or a NUL answers 404.
Reply folderReply(const std::filesystem::path& folder, std::string_view target);

// A folder served as a download site: GET answers with folderReply, any
// other method with 405. Each request is told to onRequest (on the server's
// thread) as "<method> <target> <status>".
class FolderSite {
public:
    using RequestSeen = std::function<void(const std::string& line)>;

    // Throws std::runtime_error when no socket can listen.
    FolderSite(std::filesystem::path folder, RequestSeen onRequest);

    [[nodiscard]] std::uint16_t port() const { return server_.port(); }

private:
    void answer(net::TcpStream& stream, const Request& request) const;

    std::filesystem::path folder_;
    RequestSeen onRequest_;
    LoopbackServer server_;  // last: its thread reads the members above
};

}  // namespace qvl::site
