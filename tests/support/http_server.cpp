#include "support/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <stdexcept>

namespace qvl::test {
namespace {

void sendAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

std::string headerValue(const std::string& request, const std::string& name) {
    std::string lower = request;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    std::string key = "\r\n" + name + ":";
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    const auto at = lower.find(key);
    if (at == std::string::npos) return {};
    const auto start = request.find_first_not_of(' ', at + key.size());
    const auto end = request.find("\r\n", start);
    return request.substr(start, end - start);
}

// Waits for the duration; false when the server is stopping, which ends the
// wait at once.
bool pauseUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds duration) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    return !wake.wait_for(lock, stop, duration, [] { return false; }) && !stop.stop_requested();
}

}  // namespace

HttpServer::HttpServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw std::runtime_error("socket failed");
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 16) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("bind/listen failed");
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::jthread([this](const std::stop_token& stop) { serve(stop); });
}

HttpServer::~HttpServer() {
    thread_.request_stop();
    thread_.join();
    ::close(listenFd_);
}

std::string HttpServer::baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

void HttpServer::route(const std::string& path, HttpResponse response) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(response);
}

std::vector<std::string> HttpServer::userAgents() const {
    std::lock_guard lock(mutex_);
    return userAgents_;
}

std::vector<std::string> HttpServer::requestedPaths() const {
    std::lock_guard lock(mutex_);
    return paths_;
}

void HttpServer::serve(const std::stop_token& stop) {
    while (!stop.stop_requested()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        answer(fd, stop);
        ::close(fd);
    }
}

void HttpServer::answer(int fd, const std::stop_token& stop) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) return;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return;
        request.append(buf, static_cast<std::size_t>(n));
    }
    const auto sp1 = request.find(' ');
    const auto sp2 = request.find(' ', sp1 + 1);
    const std::string path = request.substr(sp1 + 1, sp2 - sp1 - 1);

    HttpResponse response = HttpResponse::error(404);
    {
        std::lock_guard lock(mutex_);
        userAgents_.push_back(headerValue(request, "User-Agent"));
        paths_.push_back(path);
        if (auto it = routes_.find(path); it != routes_.end()) response = it->second;
    }
    const std::string reason = response.status == 200 ? "OK" : "Error";
    const std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + reason +
                             "\r\nContent-Length: " + std::to_string(response.body.size()) +
                             "\r\nConnection: close\r\n\r\n";
    sendAll(fd, head);
    switch (response.kind) {
        case HttpResponse::Kind::body:
        case HttpResponse::Kind::status: sendAll(fd, response.body); break;
        case HttpResponse::Kind::cut: sendAll(fd, response.body.substr(0, response.body.size() / 2)); break;
        case HttpResponse::Kind::slow:
            for (std::size_t at = 0; at < response.body.size(); at += 16) {
                sendAll(fd, response.body.substr(at, 16));
                if (!pauseUnlessStopped(stop, response.delay)) break;
            }
            break;
        case HttpResponse::Kind::stall:
            sendAll(fd, response.body.substr(0, 4));
            pauseUnlessStopped(stop, std::chrono::hours(1));  // until the server stops
            break;
    }
}

}  // namespace qvl::test
