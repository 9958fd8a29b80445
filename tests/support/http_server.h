// A small HTTP/1.1 server on 127.0.0.1 for download tests. Each route
// answers in one of a few ways: the whole body, an error status, a body cut
// short of its announced length, a body sent slowly, a stall (for good, or until released), a trickle
// without end, no answer at all, or a body whose length is not announced.
// A response that would go on for good ends when the client goes away, so
// the next request is answered.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "tools/http_site/http_site.h"

namespace qvl::test {

struct HttpResponse {
    enum class Kind { body, status, cut, slow, stall, held, trickle, silence, unannounced };
    Kind kind = Kind::body;
    int status = 200;
    std::string body;
    std::chrono::milliseconds delay{0};  // slow: between chunks of 16 bytes

    static HttpResponse ok(std::string b) { return {Kind::body, 200, std::move(b), {}}; }
    static HttpResponse error(int code) { return {Kind::status, code, "error page", {}}; }
    // Announces the whole body, sends only its first half, then closes.
    static HttpResponse cutShort(std::string b) { return {Kind::cut, 200, std::move(b), {}}; }
    static HttpResponse slowly(std::string b, std::chrono::milliseconds d) {
        return {Kind::slow, 200, std::move(b), d};
    }
    // Sends the headers and a few bytes, then nothing until the client goes.
    static HttpResponse stall(std::string b) { return {Kind::stall, 200, std::move(b), {}}; }
    // Stalls like stall() until the server's release(), then sends the rest.
    static HttpResponse held(std::string b) { return {Kind::held, 200, std::move(b), {}}; }
    // Announces no length and sends the piece again and again, one every
    // delay, until the client goes: fast enough for any stall time-out.
    static HttpResponse trickle(std::string piece, std::chrono::milliseconds d) {
        return {Kind::trickle, 200, std::move(piece), d};
    }
    // Takes the request and answers nothing until the client goes.
    static HttpResponse silence() { return {Kind::silence, 200, {}, {}}; }
    // The whole body without a Content-Length: its end is the connection's.
    static HttpResponse unannounced(std::string b) { return {Kind::unannounced, 200, std::move(b), {}}; }
};

class HttpServer {
public:
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int port() const { return server_.port(); }
    std::string baseUrl() const;  // "http://127.0.0.1:<port>"
    void route(const std::string& path, HttpResponse response);
    // The User-Agent header of every request, in order.
    std::vector<std::string> userAgents() const;
    std::vector<std::string> requestedPaths() const;
    // Held responses, those waiting and those to come, send their rest.
    void release();

private:
    void answer(net::TcpStream& stream, const site::Request& request, const std::stop_token& stop);
    // True once released; false when the client went or the server stops.
    bool waitForRelease(net::TcpStream& stream, const std::stop_token& stop);

    mutable std::mutex mutex_;  // a leaf lock: guards the maps and lists below
    std::map<std::string, HttpResponse> routes_;
    std::vector<std::string> userAgents_;
    std::vector<std::string> paths_;
    bool released_ = false;
    site::LoopbackServer server_;  // last: its thread stops before the routes go
};

}  // namespace qvl::test
