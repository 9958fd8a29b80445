#include "support/http_server.h"

#include <array>
#include <condition_variable>

namespace qvl::test {
namespace {

// Waits for the duration; false when the server is stopping, which ends the
// wait at once.
bool pauseUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds duration) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    return !wake.wait_for(lock, stop, duration, [] { return false; }) && !stop.stop_requested();
}

// Waits until the client closes its side or the server stops.
void waitForClientToGo(net::TcpStream& stream, const std::stop_token& stop) {
    std::array<char, 512> ignored{};
    while (!stop.stop_requested()) {
        const net::IoResult got = stream.receive(ignored, std::chrono::milliseconds(20));
        if (got.status != net::IoStatus::ok && got.status != net::IoStatus::timedOut) return;
    }
}

}  // namespace

HttpServer::HttpServer()
    : server_([this](net::TcpStream& stream, const site::Request& request, const std::stop_token& stop) {
          answer(stream, request, stop);
      }) {}

HttpServer::~HttpServer() = default;

std::string HttpServer::baseUrl() const { return "http://127.0.0.1:" + std::to_string(port()); }

void HttpServer::route(const std::string& path, HttpResponse response) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(response);
}

std::vector<std::string> HttpServer::userAgents() const {
    std::lock_guard lock(mutex_);
    return userAgents_;
}

void HttpServer::release() {
    std::lock_guard lock(mutex_);
    released_ = true;
}

bool HttpServer::waitForRelease(net::TcpStream& stream, const std::stop_token& stop) {
    std::array<char, 512> ignored{};
    while (!stop.stop_requested()) {
        {
            std::lock_guard lock(mutex_);
            if (released_) return true;
        }
        const net::IoResult got = stream.receive(ignored, std::chrono::milliseconds(20));
        if (got.status != net::IoStatus::ok && got.status != net::IoStatus::timedOut) return false;
    }
    return false;
}

std::vector<std::string> HttpServer::requestedPaths() const {
    std::lock_guard lock(mutex_);
    return paths_;
}

void HttpServer::answer(net::TcpStream& stream, const site::Request& request, const std::stop_token& stop) {
    HttpResponse response = HttpResponse::error(404);
    {
        std::lock_guard lock(mutex_);
        userAgents_.push_back(request.header("User-Agent"));
        paths_.push_back(request.target);
        if (auto it = routes_.find(request.target); it != routes_.end()) response = it->second;
    }
    switch (response.kind) {
        case HttpResponse::Kind::silence: waitForClientToGo(stream, stop); return;
        case HttpResponse::Kind::unannounced:
            stream.send(site::responseHeadWithoutLength(response.status));
            stream.send(response.body);
            return;
        case HttpResponse::Kind::trickle:
            stream.send(site::responseHeadWithoutLength(response.status));
            while (stream.send(response.body).status == net::IoStatus::ok && pauseUnlessStopped(stop, response.delay)) {
            }
            return;
        default: break;
    }
    stream.send(site::responseHead(response.status, response.body.size()));
    switch (response.kind) {
        case HttpResponse::Kind::cut: stream.send(response.body.substr(0, response.body.size() / 2)); break;
        case HttpResponse::Kind::slow:
            for (std::size_t at = 0; at < response.body.size(); at += 16) {
                stream.send(response.body.substr(at, 16));
                if (!pauseUnlessStopped(stop, response.delay)) break;
            }
            break;
        case HttpResponse::Kind::stall:
            stream.send(response.body.substr(0, 4));
            waitForClientToGo(stream, stop);
            break;
        case HttpResponse::Kind::held:
            stream.send(response.body.substr(0, 4));
            if (waitForRelease(stream, stop)) stream.send(response.body.substr(4));
            break;
        default: stream.send(response.body); break;
    }
}

}  // namespace qvl::test
