#include "tools/http_site/http_site.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "core/text_file.h"

namespace fs = std::filesystem;

namespace qvl::site {
namespace {

constexpr std::chrono::milliseconds kAcceptWait{50};
constexpr std::chrono::milliseconds kRequestWait{2000};
// A backslash, a drive's colon or a NUL would name a file outside the folder
// on one system or another.
constexpr std::string_view kRefusedInPart("\\:\0", 3);

char lowered(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowered(x) == lowered(y); });
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The path part of the target with its %XX escapes decoded; none when an
// escape is broken.
std::optional<std::string> decodedPath(std::string_view target) {
    target = target.substr(0, target.find_first_of("?#"));
    std::string path;
    for (std::size_t i = 0; i < target.size(); ++i) {
        if (target[i] != '%') {
            path += target[i];
            continue;
        }
        if (i + 2 >= target.size()) return std::nullopt;
        const int high = hexValue(target[i + 1]);
        const int low = hexValue(target[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return path;
}

std::string_view reasonOf(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        default: return "Error";
    }
}

}  // namespace

std::string Request::header(std::string_view name) const {
    std::string_view rest(head);
    for (auto end = rest.find("\r\n"); end != std::string_view::npos; end = rest.find("\r\n")) {
        rest.remove_prefix(end + 2);
        const std::string_view line = rest.substr(0, rest.find("\r\n"));
        const auto colon = line.find(':');
        if (colon != std::string_view::npos && equalsIgnoringCase(line.substr(0, colon), name)) {
            return std::string(trimmed(line.substr(colon + 1)));
        }
    }
    return {};
}

std::optional<Request> readRequest(net::TcpStream& stream, std::chrono::milliseconds timeout) {
    std::string head;
    std::array<char, 4096> buffer{};
    auto end = std::string::npos;
    while ((end = head.find("\r\n\r\n")) == std::string::npos) {
        if (head.size() > kMaxRequestHead) return std::nullopt;
        const net::IoResult got = stream.receive(buffer, timeout);
        if (got.status != net::IoStatus::ok) return std::nullopt;
        head.append(buffer.data(), got.bytes);
    }
    head.resize(end);
    const auto firstSpace = head.find(' ');
    const auto secondSpace = head.find(' ', firstSpace == std::string::npos ? firstSpace : firstSpace + 1);
    const auto lineEnd = head.find("\r\n");
    if (firstSpace == std::string::npos || secondSpace == std::string::npos || secondSpace > lineEnd) {
        return std::nullopt;
    }
    std::string method = head.substr(0, firstSpace);
    std::string target = head.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    return Request{.method = std::move(method), .target = std::move(target), .head = std::move(head)};
}

std::string responseHead(int status, std::size_t contentLength) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " ";
    head += reasonOf(status);
    head += "\r\nContent-Length: " + std::to_string(contentLength) + "\r\nConnection: close\r\n\r\n";
    return head;
}

std::string responseHeadWithoutLength(int status) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " ";
    head += reasonOf(status);
    head += "\r\nConnection: close\r\n\r\n";
    return head;
}

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) {
    if (listener_.create() != 0 || listener_.bind(net::Address::loopback, 0) != 0 || listener_.listen() != 0) {
        throw std::runtime_error("no socket listens on 127.0.0.1");
    }
    port_ = listener_.localPort();
    thread_ = std::jthread([this](const std::stop_token& stop) { serve(stop); });
}

LoopbackServer::~LoopbackServer() {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
    listener_.close();
}

void LoopbackServer::serve(const std::stop_token& stop) {
    while (!stop.stop_requested()) {
        const net::TcpListener::Accepted accepted = listener_.accept(kAcceptWait);
        if (accepted.result.status == net::IoStatus::closed) return;
        if (accepted.result.status != net::IoStatus::ok) continue;
        if (const std::optional<Request> request = readRequest(*accepted.stream, kRequestWait)) {
            handler_(*accepted.stream, *request, stop);
        }
        accepted.stream->close();
    }
}

Reply folderReply(const fs::path& folder, std::string_view target) {
    const std::optional<std::string> path = decodedPath(target);
    if (!path || path->size() < 2 || path->front() != '/') return {.status = 404, .body = "not found"};
    fs::path file = folder;
    std::string_view rest = std::string_view(*path).substr(1);
    while (true) {
        const auto slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (part.empty() || part == "." || part == ".." ||
            part.find_first_of(kRefusedInPart) != std::string_view::npos) {
            return {.status = 404, .body = "not found"};
        }
        file /= pathFromUtf8(part);
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    std::error_code error;
    if (!fs::is_regular_file(file, error)) return {.status = 404, .body = "not found"};
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) return {.status = 404, .body = "not found"};
    std::string body{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return {.status = 200, .body = std::move(body)};
}

FolderSite::FolderSite(fs::path folder, RequestSeen onRequest)
    : folder_(std::move(folder)),
      onRequest_(std::move(onRequest)),
      server_([this](net::TcpStream& stream, const Request& request, const std::stop_token&) {
          answer(stream, request);
      }) {}

void FolderSite::answer(net::TcpStream& stream, const Request& request) const {
    Reply reply{.status = 405, .body = "GET only"};
    if (request.method == "GET") reply = folderReply(folder_, request.target);
    // Told before it is answered: whoever has the answer finds the request
    // already seen.
    if (onRequest_) onRequest_(request.method + " " + request.target + " " + std::to_string(reply.status));
    stream.send(responseHead(reply.status, reply.body.size()));
    stream.send(reply.body);
}

}  // namespace qvl::site
