// The stand-in traffic client: plays the traffic client on loopback so that
// the program can be run and tested end to end. It connects to the
// program's TCP port (retrying until accepted), answers the version request,
// records every line the program sends, reads the user state ("Qs121") and
// the simulator time ("Qs123"), closes on "exit", and replays a file of
// timed traffic and QNH datagrams to the UDP ports, optionally moved to the
// current time and to the user's position. It can also send faulty
// datagrams and drop the link.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/socket.h"
#include "tools/traffic_client/traffic_file.h"

namespace qvl::standin {

enum class ReplyShape {
    whole,    // the JSON reply in one piece
    split,    // the JSON reply in two pieces with a pause between
    empty,    // a blank line instead of a reply
    missing,  // no reply at all
};

struct Faults {
    bool oversized = false;   // a 20000-byte datagram
    bool vehicle = false;     // a line with " VEH" in it
    bool shortLines = false;  // a line cut after 12 fields
    bool malformed = false;   // lines with "nan" for the latitude and "abc" for the altitude
    bool duplicates = false;  // every traffic line sent twice
    int dropLinkAfter = -1;   // close the TCP link after this many traffic lines; -1: never
};

struct Options {
    std::uint16_t tcpPort = 10747;
    std::uint16_t trafficPort = 49005;
    std::uint16_t qnhPort = 49004;
    bool link = true;  // false: datagrams only, as a client on another PC
    int level = 2;     // 2 = "prof" edition
    std::string version = "10.0.1";
    ReplyShape reply = ReplyShape::whole;
    std::chrono::milliseconds splitPause{50};
    std::chrono::milliseconds connectRetry{250};
    std::chrono::milliseconds connectTimeout{0};  // 0: until stopped
    std::optional<TrafficFile> traffic;
    double speed = 1.0;  // time scale of the file's offsets; 0: no waiting
    int loops = 1;
    bool shiftTime = false;
    bool shiftPosition = false;
    std::chrono::milliseconds positionWait{5000};  // for the first "Qs121" before a shifted replay
    Faults faults;
    std::filesystem::path recordFile;  // every received line with its time; empty: none
};

struct ReceivedLine {
    std::int64_t millis = 0;  // since the client started
    std::string text;
};

// The user state of the last "Qs121" line, in the units of the simulator.
struct UserReport {
    double pitch = 0.0;        // radians
    double bank = 0.0;         // radians
    double heading = 0.0;      // radians
    double altitude = 0.0;     // feet
    double groundSpeed = 0.0;  // knots
    double latitude = 0.0;     // degrees
    double longitude = 0.0;    // degrees
};

// Reads a "Qs121=" line; empty when it is not one.
std::optional<UserReport> parseUserStateLine(std::string_view line);

class StandInClient {
public:
    explicit StandInClient(Options options);
    ~StandInClient();
    StandInClient(const StandInClient&) = delete;
    StandInClient& operator=(const StandInClient&) = delete;

    // Connects, retrying until accepted, the time-out passes or stop();
    // then answers and records in the background.
    bool connect();
    // Sends the file's datagrams (all loops); the number of traffic lines sent.
    std::size_t replay();
    // connect (when linked), replay, then wait for "exit" at most the linger time. 0 on success.
    int run(std::chrono::milliseconds linger);

    void stop();
    void dropLink();
    bool waitForExit(std::chrono::milliseconds timeout);
    // Waits until a line starting with the prefix has arrived.
    bool waitForLine(std::string_view prefix, std::chrono::milliseconds timeout);

    std::vector<ReceivedLine> receivedLines() const;
    std::optional<UserReport> userReport() const;
    std::optional<std::int64_t> simTimeMillis() const;
    bool exitReceived() const;
    std::size_t trafficSent() const noexcept { return trafficSent_.load(); }

private:
    void readLoop(const std::stop_token& stop, net::TcpStream& stream);
    void handleLine(const std::string& line, net::TcpStream& stream);
    void answerVersion(net::TcpStream& stream);
    bool sleepUntil(std::chrono::steady_clock::time_point when);
    void send(DatagramKind kind, const std::string& payload);
    void sendTraffic(std::string payload, bool firstOfLoop);
    std::int64_t millisSinceStart() const;

    const Options options_;
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    net::UdpSocket udp_;
    std::atomic<std::size_t> trafficSent_{0};
    std::atomic<bool> stopped_{false};

    // Guards everything below; cv_ is notified on each change.
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::shared_ptr<net::TcpStream> stream_;
    std::vector<ReceivedLine> lines_;
    std::optional<UserReport> user_;
    std::optional<std::int64_t> simTime_;
    bool exit_ = false;
    std::ofstream record_;

    // Answers and records what the program sends. Declared last: it is
    // stopped and joined before anything it uses goes.
    std::jthread reader_;
};

}  // namespace qvl::standin
