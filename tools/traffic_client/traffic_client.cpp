// qvl_traffic_client: the stand-in traffic client (see stand_in_client.h).
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/net/socket.h"
#include "tools/traffic_client/stand_in_client.h"

namespace {

using qvl::standin::Options;
using qvl::standin::ReplyShape;

std::atomic<bool> gInterrupted{false};

extern "C" void onSignal(int) { gInterrupted.store(true); }

constexpr std::string_view kUsage = R"(usage: qvl_traffic_client [options]
  --port N              the program's TCP port (10747)
  --traffic-port N      UDP port of traffic lines (49005)
  --qnh-port N          UDP port of QNH datagrams (49004)
  --no-link             no TCP link, datagrams only (a client on another PC)
  --level N             edition level of the version reply (2 = prof)
  --version TEXT        version of the version reply (10.0.1)
  --reply SHAPE         whole, split, empty or missing
  --file PATH           traffic file to replay
  --speed X             time scale of the file (1; 0 = no waiting)
  --loops N             replay the file N times (1)
  --shift-time          set the time field of each line to now
  --shift-position      move the file's positions to the user's position
  --fault LIST          oversized,vehicle,short,malformed,duplicates
  --drop-link-after N   close the TCP link after N traffic lines
  --record PATH         write every received line with its time (ms)
  --linger SECONDS      wait this long for "exit" after the replay (30)
  --free-ports          print three free ports, "TCP TRAFFIC QNH", and end
)";

[[noreturn]] void usageError(const std::string& why) {
    std::cerr << "qvl_traffic_client: " << why << "\n" << kUsage;
    std::exit(2);
}

long number(const std::string& text, const std::string& option) {
    try {
        std::size_t used = 0;
        const long value = std::stol(text, &used);
        if (used == text.size()) return value;
    } catch (const std::exception&) {
    }
    usageError(fmt::format("{} wants a number, not '{}'", option, text));
}

double decimal(const std::string& text, const std::string& option) {
    try {
        std::size_t used = 0;
        const double value = std::stod(text, &used);
        if (used == text.size() && value >= 0.0) return value;
    } catch (const std::exception&) {
    }
    usageError(fmt::format("{} wants a number of 0 or more, not '{}'", option, text));
}

std::uint16_t port(const std::string& text, const std::string& option) {
    const long value = number(text, option);
    if (value < 1 || value > 65535) usageError(fmt::format("{}: no port {}", option, text));
    return static_cast<std::uint16_t>(value);
}

void addFaults(Options& options, const std::string& list) {
    for (const auto& name : qvl::standin::splitLine(list)) {
        if (name == "oversized")
            options.faults.oversized = true;
        else if (name == "vehicle")
            options.faults.vehicle = true;
        else if (name == "short")
            options.faults.shortLines = true;
        else if (name == "malformed")
            options.faults.malformed = true;
        else if (name == "duplicates")
            options.faults.duplicates = true;
        else
            usageError(fmt::format("unknown fault '{}'", name));
    }
}

// Three ports that are free now: one for the program's TCP link and two for
// its UDP readers, so that a test's program and client run beside any other
// program. None is a default port, which a demonstration may take later.
// The sockets stay open until all are chosen, so no port comes twice.
int printFreePorts() {
    constexpr std::array<std::uint16_t, 3> kDefaultPorts{10747, 49004, 49005};
    constexpr int kAttempts = 20;
    const auto usable = [&](std::uint16_t port) {
        return port != 0 && std::find(kDefaultPorts.begin(), kDefaultPorts.end(), port) == kDefaultPorts.end();
    };
    std::vector<std::unique_ptr<qvl::net::TcpListener>> listeners;
    std::uint16_t tcp = 0;
    for (int attempt = 0; attempt < kAttempts && tcp == 0; ++attempt) {
        auto& listener = *listeners.emplace_back(std::make_unique<qvl::net::TcpListener>());
        if (listener.create() != 0 || listener.bind(qvl::net::Address::any, 0) != 0) break;
        if (usable(listener.localPort())) tcp = listener.localPort();
    }
    std::vector<std::unique_ptr<qvl::net::UdpSocket>> sockets;
    std::vector<std::uint16_t> udp;
    for (int attempt = 0; attempt < kAttempts && udp.size() < 2; ++attempt) {
        auto& socket = *sockets.emplace_back(std::make_unique<qvl::net::UdpSocket>());
        if (socket.create() != 0 || socket.bind(qvl::net::Address::any, 0) != 0) break;
        if (usable(socket.localPort())) udp.push_back(socket.localPort());
    }
    if (tcp == 0 || udp.size() < 2) {
        std::cerr << "qvl_traffic_client: no free ports\n";
        return 1;
    }
    std::cout << fmt::format("{} {} {}\n", tcp, udp[0], udp[1]);
    return 0;
}

ReplyShape replyShape(const std::string& text) {
    if (text == "whole") return ReplyShape::whole;
    if (text == "split") return ReplyShape::split;
    if (text == "empty") return ReplyShape::empty;
    if (text == "missing") return ReplyShape::missing;
    usageError(fmt::format("unknown reply shape '{}'", text));
}

struct CommandLine {
    Options options;
    long lingerSeconds = 30;
};

// Options without a value; false when the option is none of them.
bool applyFlag(Options& options, const std::string& option) {
    if (option == "--no-link")
        options.link = false;
    else if (option == "--shift-time")
        options.shiftTime = true;
    else if (option == "--shift-position")
        options.shiftPosition = true;
    else
        return false;
    return true;
}

constexpr std::array<std::string_view, 12> kValueOptions{
    "--port",  "--traffic-port", "--qnh-port", "--level",           "--version", "--reply",
    "--speed", "--loops",        "--fault",    "--drop-link-after", "--record",  "--linger",
};

void applyValueOption(CommandLine& line, const std::string& option, const std::string& value) {
    Options& options = line.options;
    if (option == "--port")
        options.tcpPort = port(value, option);
    else if (option == "--traffic-port")
        options.trafficPort = port(value, option);
    else if (option == "--qnh-port")
        options.qnhPort = port(value, option);
    else if (option == "--level")
        options.level = static_cast<int>(number(value, option));
    else if (option == "--version")
        options.version = value;
    else if (option == "--reply")
        options.reply = replyShape(value);
    else if (option == "--speed")
        options.speed = decimal(value, option);
    else if (option == "--loops")
        options.loops = static_cast<int>(number(value, option));
    else if (option == "--fault")
        addFaults(options, value);
    else if (option == "--drop-link-after")
        options.faults.dropLinkAfter = static_cast<int>(number(value, option));
    else if (option == "--record")
        options.recordFile = value;
    else if (option == "--linger")
        line.lingerSeconds = number(value, option);
}

// Reads the traffic file; false (said on stderr) when it cannot be read.
bool readTraffic(Options& options, const std::string& file) {
    try {
        options.traffic = qvl::standin::readTrafficFile(file);
        return true;
    } catch (const std::exception& e) {
        std::cerr << "qvl_traffic_client: " << e.what() << "\n";
        return false;
    }
}

// Empty to run the client; an exit code when the command line already decided.
std::optional<int> parseCommandLine(int argc, char** argv, CommandLine& line) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (applyFlag(line.options, option)) continue;
        if (option == "--free-ports") return printFreePorts();
        if (option == "--help" || option == "-h") {
            std::cout << kUsage;
            return 0;
        }
        const bool takesValue =
            option == "--file" || std::find(kValueOptions.begin(), kValueOptions.end(), option) != kValueOptions.end();
        if (!takesValue) usageError(fmt::format("unknown option '{}'", option));
        if (i + 1 >= argc) usageError(option + " wants a value");
        const std::string value = argv[++i];
        if (option != "--file") {
            applyValueOption(line, option, value);
        } else if (!readTraffic(line.options, value)) {
            return 1;
        }
    }
    return std::nullopt;
}

int runClient(const CommandLine& line) {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    qvl::standin::StandInClient client(line.options);
    std::jthread watcher([&](const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            if (gInterrupted.load()) client.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    if (line.options.link) {
        std::cout << fmt::format("connecting to 127.0.0.1:{} ...\n", line.options.tcpPort) << std::flush;
    }
    const int rc = client.run(std::chrono::seconds(line.lingerSeconds));
    std::cout << fmt::format("{} traffic lines sent, {} lines received{}\n", client.trafficSent(),
                             client.receivedLines().size(), client.exitReceived() ? ", exit received" : "");
    watcher.request_stop();
    watcher.join();
    client.stop();
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (const std::optional<int> exitCode = parseCommandLine(argc, argv, line)) return *exitCode;
    return runClient(line);
}
