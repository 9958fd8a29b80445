#include "tools/traffic_client/stand_in_client.h"

#include <fmt/format.h>

#include <array>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "core/geodesy.h"

namespace qvl::standin {
namespace {

constexpr std::string_view kUserStatePrefix = "Qs121=";
constexpr std::string_view kSimTimePrefix = "Qs123=";
constexpr std::chrono::milliseconds kReadSlice{50};
constexpr std::size_t kOversizedBytes = 20000;
constexpr std::size_t kShortLineFields = 12;

bool readNumber(std::string_view text, double& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size();
}

double epochSecondsNow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string withField(std::string_view line, std::size_t index, std::string value) {
    auto fields = splitLine(line);
    if (fields.size() <= index) fields.resize(index + 1);
    fields[index] = std::move(value);
    return joinLine(fields);
}

}  // namespace

std::optional<UserReport> parseUserStateLine(std::string_view line) {
    if (!line.starts_with(kUserStatePrefix)) return std::nullopt;
    line.remove_prefix(kUserStatePrefix.size());
    std::array<double, 7> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t end = line.find(';');
        if ((end == std::string_view::npos) != (i + 1 == values.size())) return std::nullopt;
        if (!readNumber(line.substr(0, end), values[i])) return std::nullopt;
        line = end == std::string_view::npos ? std::string_view{} : line.substr(end + 1);
    }
    return UserReport{.pitch = values[0] / 100000.0,
                      .bank = values[1] / 100000.0,
                      .heading = values[2],
                      .altitude = values[3] / 1000.0,
                      .groundSpeed = values[4] / 1000.0,
                      .latitude = values[5] * kRadToDeg,
                      .longitude = values[6] * kRadToDeg};
}

StandInClient::StandInClient(Options options) : options_(std::move(options)) {
    if (!options_.recordFile.empty()) record_.open(options_.recordFile, std::ios::binary | std::ios::trunc);
    udp_.create();
}

StandInClient::~StandInClient() { stop(); }

std::int64_t StandInClient::millisSinceStart() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_).count();
}

void StandInClient::stop() {
    std::shared_ptr<net::TcpStream> stream;
    {
        std::lock_guard lock(mutex_);
        stopped_.store(true);
        stream = stream_;
    }
    cv_.notify_all();
    if (stream) stream->close();
}

void StandInClient::dropLink() {
    std::shared_ptr<net::TcpStream> stream;
    {
        std::lock_guard lock(mutex_);
        stream = stream_;
    }
    if (stream) stream->close();
}

bool StandInClient::sleepUntil(std::chrono::steady_clock::time_point when) {
    std::unique_lock lock(mutex_);
    return !cv_.wait_until(lock, when, [this] { return stopped_.load(); });
}

bool StandInClient::connect() {
    const auto giveUp = std::chrono::steady_clock::now() + options_.connectTimeout;
    for (;;) {
        if (stopped_.load()) return false;
        int error = 0;
        auto stream = net::TcpStream::connectTo(options_.tcpPort, error);
        if (stream) {
            {
                std::lock_guard lock(mutex_);
                if (stopped_.load()) {
                    stream->close();
                    return false;
                }
                stream_ = stream;
            }
            // The assignment stops and joins the reader of an earlier connection.
            reader_ = std::jthread([this, stream](const std::stop_token& stop) { readLoop(stop, *stream); });
            return true;
        }
        const auto next = std::chrono::steady_clock::now() + options_.connectRetry;
        if (options_.connectTimeout.count() > 0 && next > giveUp) return false;
        if (!sleepUntil(next)) return false;
    }
}

void StandInClient::readLoop(const std::stop_token& stop, net::TcpStream& stream) {
    std::array<char, 4096> buffer{};
    std::string pending;
    while (!stop.stop_requested() && !stopped_.load()) {
        const net::IoResult r = stream.receive(buffer, kReadSlice);
        if (r.status == net::IoStatus::timedOut) continue;
        if (r.status != net::IoStatus::ok) break;
        pending.append(buffer.data(), r.bytes);
        for (std::size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            handleLine(line, stream);
        }
    }
    stream.close();
}

void StandInClient::handleLine(const std::string& line, net::TcpStream& stream) {
    {
        std::lock_guard lock(mutex_);
        const std::int64_t millis = millisSinceStart();
        lines_.push_back({millis, line});
        if (record_.is_open()) record_ << millis << '\t' << line << '\n' << std::flush;
        if (auto user = parseUserStateLine(line)) user_ = *user;
        if (line.starts_with(kSimTimePrefix)) {
            std::int64_t millisOfSim = 0;
            const char* begin = line.data() + kSimTimePrefix.size();
            if (std::from_chars(begin, line.data() + line.size(), millisOfSim).ec == std::errc{})
                simTime_ = millisOfSim;
        }
        if (line == "exit") exit_ = true;
    }
    cv_.notify_all();
    if (line == "Qs999=version") answerVersion(stream);
    if (line == "exit") stream.close();
}

void StandInClient::answerVersion(net::TcpStream& stream) {
    const std::string reply = nlohmann::json{{"level", options_.level}, {"version", options_.version}}.dump() + "\r\n";
    switch (options_.reply) {
        case ReplyShape::whole: stream.send(reply); break;
        case ReplyShape::split: {
            const std::size_t half = reply.size() / 2;
            stream.send(std::string_view(reply).substr(0, half));
            sleepUntil(std::chrono::steady_clock::now() + options_.splitPause);
            stream.send(std::string_view(reply).substr(half));
            break;
        }
        case ReplyShape::empty: stream.send("\r\n"); break;
        case ReplyShape::missing: break;
    }
}

void StandInClient::send(DatagramKind kind, const std::string& payload) {
    udp_.sendTo(payload, kind == DatagramKind::traffic ? options_.trafficPort : options_.qnhPort);
}

void StandInClient::sendTraffic(std::string payload, bool firstOfLoop) {
    if (options_.shiftPosition && options_.traffic) {
        if (const auto user = userReport()) {
            payload = withPositionShift(payload, user->latitude - options_.traffic->centreLatitude,
                                        user->longitude - options_.traffic->centreLongitude);
        }
    }
    if (options_.shiftTime) payload = withTime(payload, epochSecondsNow());
    send(DatagramKind::traffic, payload);
    if (options_.faults.duplicates) send(DatagramKind::traffic, payload);
    const std::size_t sent = trafficSent_.fetch_add(1) + 1;

    const Faults& f = options_.faults;
    if (firstOfLoop) {
        if (f.oversized) send(DatagramKind::traffic, std::string(kOversizedBytes, 'x'));
        if (f.vehicle) send(DatagramKind::traffic, withField(payload, 9, "OPS VEH"));
        if (f.shortLines) {
            auto fields = splitLine(payload);
            fields.resize(std::min(fields.size(), kShortLineFields));
            send(DatagramKind::traffic, joinLine(fields));
        }
        if (f.malformed) {
            send(DatagramKind::traffic, withField(payload, 2, "nan"));
            send(DatagramKind::traffic, withField(payload, 4, "abc"));
        }
    }
    if (f.dropLinkAfter >= 0 && sent == static_cast<std::size_t>(f.dropLinkAfter)) dropLink();
}

std::size_t StandInClient::replay() {
    if (!options_.traffic) return 0;
    if (options_.shiftPosition && options_.link) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, options_.positionWait, [this] { return stopped_.load() || user_.has_value(); });
    }
    const std::size_t before = trafficSent_.load();
    for (int loop = 0; loop < options_.loops && !stopped_.load(); ++loop) {
        const auto start = std::chrono::steady_clock::now();
        bool first = true;
        for (const TimedDatagram& d : options_.traffic->datagrams) {
            if (options_.speed > 0.0) {
                const auto offset = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(d.offsetSeconds / options_.speed));
                if (!sleepUntil(start + offset)) return trafficSent_.load() - before;
            }
            if (stopped_.load()) break;
            if (d.kind == DatagramKind::qnh) {
                send(DatagramKind::qnh, d.payload);
            } else {
                sendTraffic(d.payload, first);
                first = false;
            }
        }
    }
    return trafficSent_.load() - before;
}

int StandInClient::run(std::chrono::milliseconds linger) {
    if (options_.link && !connect()) return 1;
    replay();
    if (options_.link) waitForExit(linger);
    return 0;
}

bool StandInClient::waitForExit(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [this] { return exit_ || stopped_.load(); }) && exit_;
}

bool StandInClient::waitForLine(std::string_view prefix, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] {
        if (stopped_.load()) return true;
        for (const auto& l : lines_) {
            if (l.text.starts_with(prefix)) return true;
        }
        return false;
    }) && !stopped_.load();
}

std::vector<ReceivedLine> StandInClient::receivedLines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::optional<UserReport> StandInClient::userReport() const {
    std::lock_guard lock(mutex_);
    return user_;
}

std::optional<std::int64_t> StandInClient::simTimeMillis() const {
    std::lock_guard lock(mutex_);
    return simTime_;
}

bool StandInClient::exitReceived() const {
    std::lock_guard lock(mutex_);
    return exit_;
}

}  // namespace qvl::standin
