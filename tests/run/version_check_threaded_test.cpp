// A close of the program (the window's close button, Ctrl+C) while the
// version check waits on a download: the download ends within about a
// second and the run does not go on, whatever the download was for.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>

#include "core/paths.h"
#include "core/settings.h"
#include "run/version_check.h"
#include "support/fake_status.h"
#include "support/http_server.h"
#include "support/log_capture.h"
#include "support/settings_scope.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::HttpResponse;
using test::readFile;
using test::writeFile;

std::string versionJson(const VersionRecord& v) {
    return "{\"major\": " + std::to_string(v.major) + ", \"minor\": " + std::to_string(v.minor) +
           ", \"patch\": " + std::to_string(v.patch) + "}";
}

class VersionCheckClose : public ::testing::Test {
protected:
    void SetUp() override {
        resetAllSettings();
        ::setenv("QVL_DOWNLOAD_BASE", (server.baseUrl() + "/downloads/").c_str(), 1);
        ::setenv("QVL_ROAMING_DIR", (dir / "roaming").c_str(), 1);
        ::setenv("QVL_SHELL_OPEN_LOG", (dir / "opened.txt").c_str(), 1);
        fs::create_directories(dir / "roaming" / "Quorvelant");
        fs::create_directories(dir / "input");
        fs::create_directories(dir / "output");
        writeFile(dir / "input" / "dbase.enc", "old dbase");
        writeFile(dir / "output" / "LiveriesScanned.xml", "<liveries/>");
    }
    void TearDown() override {
        ::unsetenv("QVL_DOWNLOAD_BASE");
        ::unsetenv("QVL_ROAMING_DIR");
        ::unsetenv("QVL_SHELL_OPEN_LOG");
    }

    void serveVersions(const VersionRecord& program, const VersionRecord& dbase) {
        server.route("/downloads/versions.json", HttpResponse::ok("{\"msfs_app\": " + versionJson(program) +
                                                                  ", \"dbase\": " + versionJson(dbase) + "}"));
    }

    // Runs the check with the default limits (so only the close can end the
    // hanging download), closes the program as the window does once the
    // site has been asked for `path`, and gives how long the check took
    // after the close.
    std::chrono::steady_clock::duration closeWhileFetching(const std::string& path, bool& result) {
        std::jthread checking([&] {
            try {
                result = check.gf_checkVersions();
            } catch (const std::exception& e) {
                ADD_FAILURE() << "the check failed on the close: " << e.what();
            }
        });
        const auto asked = std::chrono::steady_clock::now() + 10s;
        while (!wasAsked(path) && std::chrono::steady_clock::now() < asked) std::this_thread::sleep_for(10ms);
        EXPECT_TRUE(wasAsked(path)) << path;
        std::this_thread::sleep_for(100ms);  // the download is under way
        const auto closed = std::chrono::steady_clock::now();
        run.recordUserClose();
        run.closingFlag.store(true);
        checking.join();
        return std::chrono::steady_clock::now() - closed;
    }
    bool wasAsked(const std::string& path) const {
        for (const std::string& p : server.requestedPaths()) {
            if (p == path) return true;
        }
        return false;
    }
    bool logged(const std::string& text) const { return log.text().find(text) != std::string::npos; }

    test::SettingsScope settings;
    test::TempDir dir;
    test::LogCapture log{dir.path()};
    test::HttpServer server;
    test::FakeStatus status;
    RunState run;
    VersionCheck check{{.run = run, .status = status, .programFolder = dir.path()}};
};

TEST_F(VersionCheckClose, ASilentSiteForVersionsJson) {
    server.route("/downloads/versions.json", HttpResponse::silence());
    bool result = true;
    EXPECT_LT(closeWhileFetching("/downloads/versions.json", result), 1500ms);
    EXPECT_FALSE(result) << "the run does not go on";
    EXPECT_TRUE(logged("stopped: Quorvelant is closing"));
    EXPECT_FALSE(logged("failed")) << "a close is no failed download";
    EXPECT_FALSE(fs::exists(dir / "versions.json"));
    EXPECT_FALSE(fs::exists(dir / "versions.json.part"));
}

TEST_F(VersionCheckClose, ATrickleOfTheProgramArchiveIsNoUpdateError) {
    VersionRecord newer = programVersion();
    ++newer.patch;
    serveVersions(newer, programVersion());
    const std::string archive = "/downloads/release/Quorvelant/latest_version.zip";
    server.route(archive, HttpResponse::trickle("PK", 50ms));
    bool result = true;
    EXPECT_LT(closeWhileFetching(archive, result), 1500ms);
    EXPECT_FALSE(result);
    EXPECT_NE(run.restartReason.load(), RestartReason::newVersion);
    EXPECT_FALSE(logged("Downloading program installer file version")) << "a close is no failed download";
    EXPECT_FALSE(fs::exists(dir / "latest_version.zip"));
    EXPECT_FALSE(fs::exists(dir / "latest_version.zip.part"));
    EXPECT_FALSE(fs::exists(dir / "new_version" / "install_new_version.exe"));
}

TEST_F(VersionCheckClose, ASilentSiteForADataFileKeepsTheOldFile) {
    serveVersions(programVersion(), VersionRecord{.major = 99, .minor = 0, .patch = 0});
    const std::string dbase = "/downloads/" + std::to_string(programVersion().major) + "/dbase.enc";
    server.route(dbase, HttpResponse::silence());
    bool result = true;
    EXPECT_LT(closeWhileFetching(dbase, result), 1500ms);
    EXPECT_EQ(readFile(dir / "input" / "dbase.enc"), "old dbase");
    EXPECT_FALSE(fs::exists(dir / "input" / "dbase.enc.new"));
    EXPECT_FALSE(fs::exists(dir / "input" / "dbase.enc.new.part"));
}

// The first data file hangs when the program closes: the log says the
// close stopped it, calls nothing a failure, and checks nothing more.
TEST_F(VersionCheckClose, ACloseDuringADataFileEndsTheCheckWithoutAFailure) {
    std::string json = "{\"msfs_app\": " + versionJson(programVersion());
    for (const char* key : {"airports", "aig", "liveries", "addons", "dbase"}) {
        json += ", \"" + std::string(key) + "\": " + versionJson({.major = 99, .minor = 0, .patch = 0});
    }
    server.route("/downloads/versions.json", HttpResponse::ok(json + "}"));
    const std::string airports = "/downloads/" + std::to_string(programVersion().major) + "/airports.enc";
    server.route(airports, HttpResponse::silence());
    bool result = true;
    EXPECT_LT(closeWhileFetching(airports, result), 1500ms);
    EXPECT_FALSE(result);

    const std::string text = log.text();
    const std::string stopped = "Download of " + server.baseUrl() + airports + " stopped: Quorvelant is closing";
    const std::size_t at = text.find(stopped);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.find("failed"), std::string::npos) << text;
    EXPECT_EQ(text.find_first_not_of("\r\n", at + stopped.size()), std::string::npos) << "logged after the close:\n"
                                                                                      << text.substr(at);
    EXPECT_EQ(server.requestedPaths().size(), 2U) << "nothing more is fetched";
}

}  // namespace
}  // namespace qvl
