// The automatic radius through the whole program over the stand-in simulator
// (real time): with AUTO_RANGE on, as it is by default, the aircraft-in-range
// requests that reach the simulator carry the radius the user's situation
// gives, chosen from what the run publishes: 10 nm on the ground at the park
// airport, the park airport's distance band in the air near it, 100 nm high
// above the ground.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "core/messages.h"
#include "core/range_control.h"
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

std::filesystem::path autoRangeDataFolder() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "data";
}

// Vienna as the airport list has it; the user's park airport.
constexpr double kViennaLatitude = 48.110298;
constexpr double kViennaLongitude = 16.5697;
constexpr double kViennaElevationFt = 600.0;
constexpr std::uint32_t kMetresPerNm = 1852;

struct UserPlace {
    const char* name;
    double latitude;
    double heightAboveGroundFt;
    bool onGround;
    std::uint32_t radiusNm;  // what the requests must carry
};

void PrintTo(const UserPlace& place, std::ostream* out) { *out << place.name; }

sim::StandInConfig configFor(const UserPlace& place) {
    sim::StandInConfig config;
    config.groundElevationFt = kViennaElevationFt;
    config.user.latitude = place.latitude;
    config.user.longitude = kViennaLongitude;
    config.user.altitudeFt = kViennaElevationFt + place.heightAboveGroundFt;
    config.user.onGround = place.onGround;
    return config;
}

class ProgramAutoRange : public ::testing::TestWithParam<UserPlace> {
protected:
    ProgramAutoRange() : previous_(std::filesystem::current_path()) {
        namespace fs = std::filesystem;
        for (const char* folder : {"docs", "input", "output", "airports", "roaming/Quorvelant"}) {
            fs::create_directories(dir / folder);
        }
        streamEncrypt(autoRangeDataFolder() / "dbase.xml", dir / "input" / "dbase.enc");
        streamEncrypt(autoRangeDataFolder() / "airports.xml", dir / "input" / "airports.enc");
        writeFile(dir / "output" / "LiveriesScanned.xml",
                  "<root><liveries><l a=\"AUA\" m=\"A320\" t=\"Test A320\"/></liveries></root>");
        writeFile(dir / "airports" / "my_park_airports.txt", "LOWW\n");
        writeFile(dir / "roaming" / "Quorvelant" / "parameters.xml",
                  "<root><parameters><parameter name=\"PROGRAM_VERSION\" value=\"12.2.0\"/>"
                  "<parameter name=\"MSFS_INSTALL_PATH\" value=\"" +
                      (dir / "sim").string() +
                      "\"/><parameter name=\"SCAN_LIVERIES\" value=\"false\"/>"
                      "<parameter name=\"SCAN_AIRPORTS\" value=\"false\"/></parameters></root>");
        ::setenv("QVL_ROAMING_DIR", (dir / "roaming").c_str(), 1);
        fs::current_path(dir.path());
        resetAllSettings();
        resetMessages();
        resetAirportList();
        // The radius a run finds before it chooses one: RANGE's default.
        gf_setRange(RANGE.defaultValue(), program.parts().status);
        simulator.keepTraceInMemory(true);
        program.parts().trafficPort = 0;
        program.parts().qnhPort = 0;
    }
    ~ProgramAutoRange() override {
        program.onClose();
        program.finish(10s);
        std::filesystem::current_path(previous_);
        ::unsetenv("QVL_ROAMING_DIR");
        resetMessages();
    }

    // The radii (metres) of the aircraft-in-range requests in the trace.
    std::vector<std::uint32_t> requestedRadii() const {
        std::vector<std::uint32_t> radii;
        for (const std::string& line : simulator.traceLines()) {
            if (line.find("RequestDataOnSimObjectType") == std::string::npos) continue;
            const auto at = line.find(" radius ");
            if (at != std::string::npos) radii.push_back(static_cast<std::uint32_t>(std::stoul(line.substr(at + 8))));
        }
        return radii;
    }
    // One traffic line moves the traffic clock, so the run does not wait for traffic.
    void sendOneTrafficLine() {
        const auto end = Clock::now() + 60s;
        std::uint16_t port = 0;
        while ((port = program.parts().readers.traffic().boundPort()) == 0 && Clock::now() < end) {
            std::this_thread::sleep_for(20ms);
        }
        ASSERT_NE(port, 0) << logCapture.text();
        net::UdpSocket udp;
        ASSERT_EQ(udp.create(), 0);
        const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        udp.sendTo(std::string(14, ',') + std::to_string(now), port);
    }

    SettingsScope settings;
    TempDir dir;
    LogCapture logCapture{dir.path()};
    sim::StandInSimulator simulator{configFor(GetParam())};
    SilentRunWindow window;
    ui::HeadlessWindow mainWindow;
    SteadyRunClock clock;
    Program program{simulator, window, mainWindow, clock};

private:
    std::filesystem::path previous_;
};

TEST_P(ProgramAutoRange, TheAircraftInRangeRequestsCarryTheAutomaticRadius) {
    ASSERT_TRUE(AUTO_RANGE.value()) << "on by default";
    program.startRun();
    sendOneTrafficLine();
    // The main loop asks every 20 ticks: a few requests within a few seconds.
    const auto end = Clock::now() + 60s;
    while (requestedRadii().size() < 5 && Clock::now() < end) std::this_thread::sleep_for(100ms);
    const std::vector<std::uint32_t> radii = requestedRadii();
    ASSERT_GE(radii.size(), 5U) << logCapture.text();
    for (const std::uint32_t radius : radii) EXPECT_EQ(radius, GetParam().radiusNm * kMetresPerNm);
    EXPECT_EQ(rangeNm.load(), static_cast<double>(GetParam().radiusNm));
}

// 8 nm north of Vienna is 8 nm from the first park airport.
INSTANTIATE_TEST_SUITE_P(
    UserPlaces, ProgramAutoRange,
    ::testing::Values(UserPlace{"OnTheGroundAtTheParkAirport", kViennaLatitude, 0.0, true, 10},
                      UserPlace{"InTheAirEightMilesFromTheParkAirport", kViennaLatitude + 8.0 / 60.0, 3000.0, false, 8},
                      UserPlace{"HighAboveTheGround", kViennaLatitude, 50000.0, false, 100}),
    [](const ::testing::TestParamInfo<UserPlace>& place) { return std::string(place.param.name); });

}  // namespace
}  // namespace qvl::test
