// The simulator's time reaches a "prof" traffic client: the whole program
// runs over the stand-in simulator (real time), and the test is the traffic
// client on loopback. Its version reply says level 2; the program must then
// send the simulator's UTC time right after the handshake and again from the
// main loop's 5-second step, each time as the simulator gives it.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "core/messages.h"
#include "core/settings.h"
#include "platform/net/socket.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/headless_window.h"
#include "refdata/airports.h"
#include "refdata/data_file.h"
#include "run/program.h"
#include "support/log_capture.h"
#include "support/settings_scope.h"
#include "support/silent_run_window.h"
#include "support/temp_dir.h"

namespace qvl::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::filesystem::path dataFolder() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "data";
}

// The traffic client's side of the link: whole lines, as they arrive.
class ClientLines {
public:
    explicit ClientLines(std::shared_ptr<net::TcpStream> stream) : stream_(std::move(stream)) {}

    // The next line (without "\r\n") within the time; none when none came.
    std::optional<std::string> next(std::chrono::milliseconds within) {
        const auto end = Clock::now() + within;
        for (;;) {
            if (const auto at = pending_.find("\r\n"); at != std::string::npos) {
                std::string line = pending_.substr(0, at);
                pending_.erase(0, at + 2);
                return line;
            }
            if (Clock::now() >= end) return std::nullopt;
            std::array<char, 4096> buffer{};
            const net::IoResult r = stream_->receive(buffer, 100ms);
            if (r.status == net::IoStatus::ok) pending_.append(buffer.data(), r.bytes);
            if (r.status == net::IoStatus::closed || r.status == net::IoStatus::error) return std::nullopt;
        }
    }
    // The next line that starts with the prefix, skipping others.
    std::optional<std::string> nextWith(const std::string& prefix, std::chrono::milliseconds within) {
        const auto end = Clock::now() + within;
        while (Clock::now() < end) {
            const auto line = next(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
            if (!line) return std::nullopt;
            if (line->starts_with(prefix)) return line;
        }
        return std::nullopt;
    }
    void send(const std::string& text) { stream_->send(text); }

private:
    std::shared_ptr<net::TcpStream> stream_;
    std::string pending_;
};

class ProgramSimTime : public ::testing::Test {
protected:
    ProgramSimTime() : previous_(std::filesystem::current_path()) {
        namespace fs = std::filesystem;
        for (const char* folder : {"docs", "input", "output", "roaming/Quorvelant", "roaming/InsideSystems"}) {
            fs::create_directories(dir / folder);
        }
        streamEncrypt(dataFolder() / "dbase.xml", dir / "input" / "dbase.enc");
        streamEncrypt(dataFolder() / "airports.xml", dir / "input" / "airports.enc");
        writeFile(dir / "output" / "LiveriesScanned.xml",
                  "<root><liveries><l a=\"AUA\" m=\"A320\" t=\"Test A320\"/></liveries></root>");
        // The traffic client counts as installed on this PC; the link takes a free port.
        writeFile(dir / "roaming" / "InsideSystems" / "RealTraffic.jar", "");
        writeFile(dir / "roaming" / "Quorvelant" / "parameters.xml",
                  "<root><parameters><parameter name=\"PROGRAM_VERSION\" value=\"12.2.0\"/>"
                  "<parameter name=\"PORT_NUMBER\" value=\"0\"/>"
                  "<parameter name=\"MSFS_INSTALL_PATH\" value=\"" +
                      (dir / "sim").string() +
                      "\"/><parameter name=\"SCAN_LIVERIES\" value=\"false\"/>"
                      "<parameter name=\"SCAN_AIRPORTS\" value=\"false\"/></parameters></root>");
        ::setenv("QVL_ROAMING_DIR", (dir / "roaming").c_str(), 1);
        fs::current_path(dir.path());
        resetAllSettings();
        resetMessages();
        resetAirportList();
        program.parts().trafficPort = 0;
        program.parts().qnhPort = 0;
    }
    ~ProgramSimTime() override {
        program.onClose();
        program.finish(10s);
        std::filesystem::current_path(previous_);
        ::unsetenv("QVL_ROAMING_DIR");
        resetMessages();
    }

    static sim::StandInConfig userAtVienna() {
        sim::StandInConfig config;
        config.user.latitude = 48.1103;
        config.user.longitude = 16.5697;
        config.user.altitudeFt = 600.0;
        config.groundElevationFt = 600.0;
        return config;
    }
    // A port that the program's run thread opens later; 0 when it did not in time.
    static std::uint16_t portOnceOpen(const std::function<std::uint16_t()>& port) {
        const auto end = Clock::now() + 60s;
        while (port() == 0 && Clock::now() < end) std::this_thread::sleep_for(20ms);
        return port();
    }
    static std::int64_t millisOf(const std::string& qs123Line) { return std::stoll(qs123Line.substr(6)); }

    SettingsScope settings;
    TempDir dir;
    LogCapture logCapture{dir.path()};
    sim::StandInSimulator simulator{userAtVienna()};
    SilentRunWindow window;
    ui::HeadlessWindow mainWindow;
    SteadyRunClock clock;
    Program program{simulator, window, mainWindow, clock};

private:
    std::filesystem::path previous_;
};

TEST_F(ProgramSimTime, AProfClientGetsTheSimulatorsTimeAfterTheHandshakeAndEveryFiveSeconds) {
    program.startRun();
    const std::uint16_t linkPort = portOnceOpen([this] { return program.parts().realTraffic.listeningPort(); });
    ASSERT_NE(linkPort, 0) << logCapture.text();
    int error = 0;
    const auto stream = net::TcpStream::connectTo(linkPort, error);
    ASSERT_TRUE(stream) << error;
    ClientLines client(stream);
    ASSERT_EQ(client.next(30s), std::optional<std::string>("Qs999=version"));
    client.send(R"({"level":2,"version":"10.0.1"})");

    // Right after the handshake, before any user state: the stand-in's clock
    // starts on 1 June 2024 (day 153) at 12:00 UTC.
    const auto first = client.next(10s);
    ASSERT_TRUE(first.has_value()) << logCapture.text();
    ASSERT_TRUE(first->starts_with("Qs123=")) << *first;
    constexpr std::int64_t kStandInStartMs = (1717200000LL + 43200) * 1000;
    EXPECT_GE(millisOf(*first), kStandInStartMs);
    EXPECT_LT(millisOf(*first), kStandInStartMs + 120'000);

    // One traffic line moves the traffic clock, so the run does not wait for traffic.
    const std::uint16_t trafficPort = portOnceOpen([this] { return program.parts().readers.traffic().boundPort(); });
    ASSERT_NE(trafficPort, 0);
    net::UdpSocket udp;
    ASSERT_EQ(udp.create(), 0);
    const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    udp.sendTo(std::string(14, ',') + std::to_string(now), trafficPort);

    // The main loop's 5-second step sends it again, later by the simulator's seconds in between.
    const auto second = client.nextWith("Qs123=", 30s);
    ASSERT_TRUE(second.has_value()) << logCapture.text();
    EXPECT_GE(millisOf(*second) - millisOf(*first), 4000) << *first << " then " << *second;
    EXPECT_TRUE(program.parts().traffic.accepting());
}

}  // namespace
}  // namespace qvl::test
