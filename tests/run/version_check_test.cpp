// The version check against a loopback download site: versions.json, real
// encrypted data files and real zip archives, in a temporary program folder.
#include "run/version_check.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "airports/addon/zip_archive.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/user_error.h"
#include "refdata/data_file.h"
#include "run/zip_reader.h"
#include "support/fake_status.h"
#include "support/http_server.h"
#include "support/log_capture.h"
#include "support/settings_scope.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::HttpResponse;
using test::readFile;
using test::writeFile;

std::string versionJson(const VersionRecord& v) {
    return "{\"major\": " + std::to_string(v.major) + ", \"minor\": " + std::to_string(v.minor) +
           ", \"patch\": " + std::to_string(v.patch) + "}";
}

const VersionRecord kStored{.major = 1, .minor = 2, .patch = 3};
const VersionRecord kNewer{.major = 1, .minor = 10, .patch = 0};

class VersionCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetAllSettings();
        ::setenv("QVL_DOWNLOAD_BASE", (server.baseUrl() + "/downloads/").c_str(), 1);
        ::setenv("QVL_ROAMING_DIR", (dir / "roaming").c_str(), 1);
        ::setenv("QVL_SHELL_OPEN_LOG", (dir / "opened.txt").c_str(), 1);
        fs::create_directories(dir / "roaming" / "Quorvelant");
        fs::create_directories(dir / "input");
        fs::create_directories(dir / "output");
        for (StringParameter* stored :
             {&AIRPORTS_VERSION, &AIG_VERSION, &DBASE_VERSION, &LIV_SCAN_VERSION, &ADDONS_SCAN_VERSION}) {
            stored->set(gf_versionToString(kStored));
        }
        for (const char* name : {"airports.enc", "AIG-regcodes.enc", "dbase.enc"}) {
            writeFile(dir / "input" / name, "old " + std::string(name));
        }
        writeFile(dir / "output" / "LiveriesScanned.xml", "<liveries/>");
        SCAN_LIVERIES.set(false);
        SCAN_AIRPORTS.set(false);
    }
    void TearDown() override {
        ::unsetenv("QVL_DOWNLOAD_BASE");
        ::unsetenv("QVL_ROAMING_DIR");
        ::unsetenv("QVL_SHELL_OPEN_LOG");
    }

    // versions.json with the program at `program` and every other key at `data`.
    void serveVersions(const VersionRecord& program, const VersionRecord& data) {
        std::string json = "{\"msfs_app\": " + versionJson(program);
        for (const char* key : {"airports", "aig", "liveries", "addons", "dbase"}) {
            json += ", \"" + std::string(key) + "\": " + versionJson(data);
        }
        server.route("/downloads/versions.json", HttpResponse::ok(json + "}"));
    }
    std::string encrypted(const std::string& plain) {
        writeFile(dir / "plain.tmp", plain);
        EXPECT_TRUE(streamEncrypt(dir / "plain.tmp", dir / "enc.tmp"));
        return readFile(dir / "enc.tmp");
    }
    std::string dataPath(const std::string& name) const {
        return "/downloads/" + std::to_string(programVersion().major) + "/" + name;
    }
    void serveZip(std::initializer_list<std::pair<std::string, std::string>> entries) {
        auto writer = ZipArchiveWriter::create();
        ASSERT_TRUE(writer);
        for (const auto& [name, bytes] : entries) ASSERT_TRUE(writer->add(name, bytes));
        ASSERT_TRUE(writer->closeInto(dir / "served.zip"));
        server.route(zipPath, HttpResponse::ok(readFile(dir / "served.zip")));
    }
    bool logged(const std::string& text) const { return log.text().find(text) != std::string::npos; }
    // The program update failed with the code the user is told to act on.
    void expectUpdateFails() {
        try {
            (void)check.gf_checkVersions();
            ADD_FAILURE() << "no user error";
        } catch (const UserErrorException& e) {
            EXPECT_EQ(e.code(), 112);
        }
        EXPECT_NE(run.restartReason.load(), RestartReason::newVersion);
        EXPECT_FALSE(fs::exists(dir / "new_version" / "install_new_version.exe"));
        EXPECT_FALSE(fs::exists(dir / "install_new_version.exe"));
        EXPECT_FALSE(fs::exists(dir / "latest_version.zip"));
    }
    VersionRecord newerProgram() const {
        VersionRecord v = programVersion();
        ++v.patch;
        return v;
    }

    test::SettingsScope settings;
    test::TempDir dir;
    test::LogCapture log{dir.path()};
    test::HttpServer server;
    test::FakeStatus status;
    RunState run;
    VersionCheck check{{.run = run, .status = status, .programFolder = dir.path()}};
    const std::string zipPath = "/downloads/release/Quorvelant/latest_version.zip";
};

TEST_F(VersionCheckTest, UpToDateKeepsEveryFileAndSetting) {
    serveVersions(programVersion(), kStored);
    EXPECT_TRUE(check.gf_checkVersions());
    for (const char* key : {"msfs_app", "airports", "aig", "liveries", "addons", "dbase"}) {
        EXPECT_TRUE(logged(std::string(key) + " version up-to-date")) << key;
    }
    EXPECT_EQ(readFile(dir / "input" / "dbase.enc"), "old dbase.enc");
    EXPECT_FALSE(SCAN_LIVERIES.value());
    EXPECT_FALSE(fs::exists(dir / "versions.json"));
    EXPECT_FALSE(run.isClosing());
}

TEST_F(VersionCheckTest, NewDataFilesReplaceOnlyWhenTheyDecrypt) {
    serveVersions(programVersion(), kNewer);
    server.route(dataPath("dbase.enc"), HttpResponse::ok(encrypted("<dbase/>")));
    server.route(dataPath("airports.enc"), HttpResponse::ok("<html>maintenance</html>"));
    server.route(dataPath("AIG-regcodes.enc"), HttpResponse::error(404));
    EXPECT_TRUE(check.gf_checkVersions());

    EXPECT_EQ(readFile(dir / "input" / "dbase.enc"), readFile(dir / "enc.tmp"));
    EXPECT_EQ(DBASE_VERSION.value(), "1.10.0");
    EXPECT_TRUE(logged("dbase updated to 1.10.0"));
    // An error page served as the file, and a missing file, keep the old one.
    EXPECT_EQ(readFile(dir / "input" / "airports.enc"), "old airports.enc");
    EXPECT_EQ(AIRPORTS_VERSION.value(), "1.2.3");
    EXPECT_TRUE(logged("The downloaded airports.enc is not usable; the old file stays"));
    EXPECT_EQ(readFile(dir / "input" / "AIG-regcodes.enc"), "old AIG-regcodes.enc");
    EXPECT_EQ(AIG_VERSION.value(), "1.2.3");
    EXPECT_FALSE(fs::exists(dir / "input" / "airports.enc.new"));
    EXPECT_FALSE(fs::exists(dir / "input" / "airports.enc.new.check"));
    // Newer scan rules switch both scans on, shown and stored.
    EXPECT_TRUE(SCAN_LIVERIES.value());
    EXPECT_TRUE(SCAN_AIRPORTS.value());
    EXPECT_EQ(status.settingsShown.size(), 2U);
    EXPECT_EQ(LIV_SCAN_VERSION.value(), "1.10.0");
    EXPECT_NE(readFile(parametersFile()).find("1.10.0"), std::string::npos);
}

TEST_F(VersionCheckTest, MissingFilesAreFetchedAtTheStoredVersion) {
    serveVersions(programVersion(), kStored);
    fs::remove(dir / "input" / "dbase.enc");
    fs::remove(dir / "output" / "LiveriesScanned.xml");
    server.route(dataPath("dbase.enc"), HttpResponse::ok(encrypted("<dbase/>")));
    EXPECT_TRUE(check.gf_checkVersions());
    EXPECT_EQ(readFile(dir / "input" / "dbase.enc"), readFile(dir / "enc.tmp"));
    EXPECT_TRUE(SCAN_LIVERIES.value());
    EXPECT_FALSE(SCAN_AIRPORTS.value());
}

TEST_F(VersionCheckTest, MalformedVersionsJsonFindsNoVersionAndTheRunGoesOn) {
    server.route("/downloads/versions.json", HttpResponse::ok("{\"msfs_app\": {\"major\": 99,"));
    EXPECT_TRUE(check.gf_checkVersions());
    EXPECT_TRUE(logged("versions.json is not readable"));
    for (const char* key : {"msfs_app", "airports", "dbase"}) {
        EXPECT_TRUE(logged(std::string(key) + " version not found")) << key;
    }
    EXPECT_FALSE(fs::exists(dir / "versions.json"));
    EXPECT_FALSE(run.isClosing());
}

TEST_F(VersionCheckTest, AKeyWithoutWholeNumbersIsNotFound) {
    server.route("/downloads/versions.json", HttpResponse::ok(R"({"msfs_app": {"major": "99", "minor": 0, "patch": 0},
                                      "dbase": {"major": 1, "minor": 2.5, "patch": 0},
                                      "aig": {"major": 1, "minor": 2, "patch": 3}})"));
    EXPECT_TRUE(check.gf_checkVersions());
    EXPECT_TRUE(logged("'msfs_app' has no whole-number major, minor and patch"));
    EXPECT_TRUE(logged("msfs_app version not found"));
    EXPECT_TRUE(logged("dbase version not found"));
    EXPECT_TRUE(logged("aig version up-to-date"));
    EXPECT_FALSE(run.isClosing());
}

TEST_F(VersionCheckTest, UnreachableSiteLetsTheRunGoOn) {
    EXPECT_TRUE(check.gf_checkVersions());
    EXPECT_TRUE(logged("Downloading version info from my web site failed!"));
    EXPECT_FALSE(logged("version not found")) << "nothing more to check without the site";
}

TEST_F(VersionCheckTest, NewProgramUnpacksOnlyTheInstallerAndEndsTheRun) {
    serveVersions(newerProgram(), kNewer);
    serveZip({{"README.txt", "read me"}, {"install_new_version.exe", "the installer"}, {"../evil.exe", "x"}});
    server.route("/downloads/docs/ReleaseNotes.pdf", HttpResponse::ok("%PDF notes"));
    EXPECT_FALSE(check.gf_checkVersions());
    EXPECT_EQ(readFile(dir / "new_version" / "install_new_version.exe"), "the installer");
    EXPECT_EQ(readFile(dir / "new_version" / "ReleaseNotes.pdf"), "%PDF notes");
    EXPECT_FALSE(fs::exists(dir / "README.txt"));
    EXPECT_FALSE(fs::exists(dir.path().parent_path() / "evil.exe"));
    EXPECT_FALSE(fs::exists(dir / "install_new_version.exe"));
    EXPECT_FALSE(fs::exists(dir / "latest_version.zip"));
    EXPECT_EQ(run.restartReason.load(), RestartReason::newVersion);
    EXPECT_NE(readFile(dir / "opened.txt").find("new_version"), std::string::npos);
    // The data files wait for the new program.
    EXPECT_EQ(readFile(dir / "input" / "dbase.enc"), "old dbase.enc");
}

TEST_F(VersionCheckTest, AnArchiveOfOneEntryGivesTheInstaller) {
    serveVersions(newerProgram(), kStored);
    serveZip({{"setup-1.2.4.exe", "the only one"}});
    EXPECT_FALSE(check.gf_checkVersions());
    EXPECT_EQ(readFile(dir / "new_version" / "install_new_version.exe"), "the only one");
}

TEST_F(VersionCheckTest, AnEntryThatClimbsOutOfTheFolderFails) {
    serveVersions(newerProgram(), kStored);
    serveZip({{"../install_new_version.exe", "escaped"}});
    expectUpdateFails();
    EXPECT_FALSE(fs::exists(dir.path().parent_path() / "install_new_version.exe"));
}

TEST_F(VersionCheckTest, SeveralEntriesWithoutTheInstallerFail) {
    serveVersions(newerProgram(), kStored);
    serveZip({{"a.exe", "a"}, {"b.exe", "b"}});
    expectUpdateFails();
}

TEST_F(VersionCheckTest, ACorruptArchiveFails) {
    serveVersions(newerProgram(), kStored);
    server.route(zipPath, HttpResponse::ok("PK\x03\x04 this is no zip archive at all"));
    expectUpdateFails();
}

TEST_F(VersionCheckTest, ALeftoverInstallerDoesNotPassForAMissingArchive) {
    serveVersions(newerProgram(), kStored);
    writeFile(dir / "install_new_version.exe", "an older attempt");
    server.route(zipPath, HttpResponse::error(404));
    expectUpdateFails();
    EXPECT_TRUE(logged("Downloading program installer file version"));
}

TEST(ZipEntryNames, OnlyNamesInsideTheFolderAreContained) {
    EXPECT_TRUE(isContainedEntryName("install_new_version.exe"));
    EXPECT_TRUE(isContainedEntryName("bin/setup..exe"));
    EXPECT_FALSE(isContainedEntryName("../setup.exe"));
    EXPECT_FALSE(isContainedEntryName("bin\\..\\..\\setup.exe"));
    EXPECT_FALSE(isContainedEntryName("/etc/setup.exe"));
    EXPECT_FALSE(isContainedEntryName("C:setup.exe"));
    EXPECT_FALSE(isContainedEntryName(""));
}

}  // namespace
}  // namespace qvl
