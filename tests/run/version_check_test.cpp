// The version check against a loopback download site: versions.json, real
// encrypted data files and real zip archives, in a temporary program folder.
#include "run/version_check.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "airports/addon/zip_archive.h"
#include "core/files.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/user_error.h"
#include "refdata/data_file.h"
#include "run/window/folder_openers.h"
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

// The archive with its first entry's CRC changed where the archive states
// it twice (the entry's own header and the central directory), so that only
// the check of the unpacked bytes finds it.
std::string withWrongCrc(std::string archive) {
    const std::array<std::pair<std::string_view, std::size_t>, 2> places{{{"PK\x03\x04", 14}, {"PK\x01\x02", 16}}};
    for (const auto& [signature, crcAt] : places) {
        const std::size_t header = archive.find(signature);
        EXPECT_NE(header, std::string::npos);
        archive[header + crcAt] = static_cast<char>(archive[header + crcAt] ^ 0x01);
    }
    return archive;
}

// An archive of one entry, deflated or stored as it is.
void writeZip(const fs::path& file, const std::string& name, const std::string& bytes, bool stored) {
    int error = 0;
    zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    ASSERT_NE(source, nullptr);
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    ASSERT_GE(index, 0);
    ASSERT_EQ(
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0),
        0);
    ASSERT_EQ(zip_close(archive), 0);
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
    std::string zipOf(const std::string& name, const std::string& bytes) {
        writeZip(dir / "one.zip", name, bytes, false);
        return readFile(dir / "one.zip");
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
    // The plain text of a check never stays, whether the file decrypted or not.
    EXPECT_FALSE(fs::exists(dir / "input" / "airports.enc.new.check"));
    EXPECT_FALSE(fs::exists(dir / "input" / "dbase.enc.new.check"));
    EXPECT_FALSE(fs::exists(dir / "input" / "dbase.enc.new"));
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

// A version stored beyond any release would leave no later release newer.
TEST_F(VersionCheckTest, AVersionBeyondAnyReleaseIsNotFoundAndNothingIsStored) {
    server.route("/downloads/versions.json",
                 HttpResponse::ok(R"({"airports": {"major": 2147483647, "minor": 0, "patch": 0},
                                      "liveries": {"major": 1, "minor": 2147483647, "patch": 0},
                                      "dbase": {"major": 1, "minor": 2, "patch": -1},
                                      "addons": {"major": 65535, "minor": 65535, "patch": 65535}})"));
    EXPECT_TRUE(check.gf_checkVersions());
    for (const char* key : {"airports", "liveries", "dbase"}) {
        EXPECT_TRUE(logged(std::string(key) + " version not found")) << key;
    }
    EXPECT_TRUE(logged("'airports' has no whole-number major, minor and patch from 0 to 65535"));
    EXPECT_EQ(AIRPORTS_VERSION.value(), gf_versionToString(kStored));
    EXPECT_EQ(LIV_SCAN_VERSION.value(), gf_versionToString(kStored));
    EXPECT_FALSE(SCAN_LIVERIES.value());
    // The highest plausible version is still one.
    EXPECT_EQ(ADDONS_SCAN_VERSION.value(), "65535.65535.65535");
    EXPECT_TRUE(SCAN_AIRPORTS.value());
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

// A site that trickles versions.json, or never answers, ends at the check's
// own limit with its failure line, and the run goes on.
TEST_F(VersionCheckTest, ATrickleOrASilentSiteEndsTheCheckAtItsLimit) {
    UpdateLimits limits;
    limits.versionInfo.totalTime = std::chrono::milliseconds(400);
    VersionCheck shortCheck{{.run = run, .status = status, .programFolder = dir.path(), .limits = limits}};
    for (const HttpResponse& response :
         {HttpResponse::trickle("{ ", std::chrono::milliseconds(50)), HttpResponse::silence()}) {
        server.route("/downloads/versions.json", response);
        const std::size_t before = log.text().size();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(shortCheck.gf_checkVersions());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        EXPECT_NE(log.text().find("Downloading version info from my web site failed!", before), std::string::npos);
        EXPECT_FALSE(fs::exists(dir / "versions.json"));
        EXPECT_FALSE(fs::exists(dir / "versions.json.part"));
        EXPECT_FALSE(run.isClosing());
    }
}

TEST_F(VersionCheckTest, AVersionsJsonOverAMegabyteIsRefused) {
    std::string padded = R"({"msfs_app": {"major": 99, "minor": 0, "patch": 0}, "pad": ")";
    padded += std::string(1024 * 1024, ' ') + "\"}";
    server.route("/downloads/versions.json", HttpResponse::unannounced(padded));
    EXPECT_TRUE(check.gf_checkVersions());
    EXPECT_TRUE(logged("Download error: 'larger than 1048576 bytes'"));
    EXPECT_TRUE(logged("Downloading version info from my web site failed!"));
    EXPECT_FALSE(run.isClosing());
}

TEST_F(VersionCheckTest, AnInstallerThatUnpacksPastTheLimitFailsAndNothingMoves) {
    UpdateLimits limits;
    limits.installerMaxBytes = 1024 * 1024;
    VersionCheck smallCheck{{.run = run, .status = status, .programFolder = dir.path(), .limits = limits}};
    fs::create_directories(dir / "new_version");
    writeFile(dir / "new_version" / "install_new_version.exe", "the last version's installer");
    serveVersions(newerProgram(), kStored);
    // Three megabytes of zeros pack into a few kilobytes.
    serveZip({{"install_new_version.exe", std::string(3 * 1024 * 1024, '\0')}});
    ASSERT_LT(readFile(dir / "served.zip").size(), 64U * 1024U);
    try {
        (void)smallCheck.gf_checkVersions();
        ADD_FAILURE() << "no user error";
    } catch (const UserErrorException& e) {
        EXPECT_EQ(e.code(), 112);
    }
    EXPECT_TRUE(logged("unpacks to more than 1048576 bytes"));
    EXPECT_EQ(readFile(dir / "new_version" / "install_new_version.exe"), "the last version's installer");
    EXPECT_FALSE(fs::exists(dir / "install_new_version.exe"));
    EXPECT_FALSE(fs::exists(dir / "install_new_version.exe.unzip"));
    EXPECT_FALSE(fs::exists(dir / "latest_version.zip"));
    EXPECT_NE(run.restartReason.load(), RestartReason::newVersion);
}

TEST_F(VersionCheckTest, AnInstallerWithAWrongCrcFailsAndNothingMoves) {
    fs::create_directories(dir / "new_version");
    writeFile(dir / "new_version" / "install_new_version.exe", "the last version's installer");
    serveVersions(newerProgram(), kStored);
    server.route(zipPath, HttpResponse::ok(withWrongCrc(zipOf("install_new_version.exe", "the new installer"))));
    EXPECT_THROW((void)check.gf_checkVersions(), UserErrorException);
    EXPECT_FALSE(fs::exists(dir / "install_new_version.exe"));
    EXPECT_FALSE(fs::exists(dir / "latest_version.zip"));
    EXPECT_TRUE(logged("Unzipping error: entry 'install_new_version.exe' is damaged"));
    EXPECT_EQ(readFile(dir / "new_version" / "install_new_version.exe"), "the last version's installer");
    EXPECT_FALSE(fs::exists(dir / "install_new_version.exe.unzip"));
}

// The README beside the new installer is written whole or not at all.
TEST_F(VersionCheckTest, TheReadmeIsRenamedIntoPlace) {
    serveVersions(newerProgram(), kStored);
    serveZip({{"install_new_version.exe", "the installer"}});
    setRenameFunctionForTests([](const fs::path&, const fs::path&) { return false; });
    EXPECT_FALSE(check.gf_checkVersions());
    setRenameFunctionForTests(nullptr);
    EXPECT_EQ(readFile(dir / "new_version" / "install_new_version.exe"), "the installer");
    EXPECT_FALSE(fs::exists(dir / "new_version" / "README.txt")) << "a write cut before its rename leaves none";
    EXPECT_TRUE(logged("could not write README.txt"));
    EXPECT_EQ(fs::directory_iterator(dir / "new_version")->path().filename(), "install_new_version.exe");

    RunState nextRun;
    EXPECT_FALSE(VersionCheck({.run = nextRun, .status = status, .programFolder = dir.path()}).gf_checkVersions());
    EXPECT_EQ(readFile(dir / "new_version" / "README.txt"), gf_checkNewVersionRights(dir.path()) + "\n");
}

// The start's sweep of what an interrupted download, update or save left,
// in a program folder and a settings folder of the test's own.
class InterruptedLeftovers : public ::testing::Test {
protected:
    // Writes each file, making its folders.
    void place(const std::vector<std::string>& names, const std::string& bytes) const {
        for (const std::string& name : names) {
            fs::create_directories((dir / name).parent_path());
            writeFile(dir / name, bytes);
        }
    }
    // The temporary file a save of the target leaves when a kill comes
    // between its write and its rename.
    fs::path interruptedSaveOf(const fs::path& target) const {
        fs::create_directories(target.parent_path());
        setRenameFunctionForTests([](const fs::path&, const fs::path&) { return true; });
        const bool written = writeFileAtomically(target, "half");
        setRenameFunctionForTests(nullptr);
        EXPECT_TRUE(written);
        for (const auto& entry : fs::directory_iterator(target.parent_path())) {
            if (entry.path().filename().string().starts_with(target.filename().string() + ".")) return entry.path();
        }
        ADD_FAILURE() << "no temporary file beside " << target;
        return {};
    }
    void sweep() const { removeInterruptedLeftovers(dir.path(), dir / "roaming" / "Quorvelant"); }

    test::TempDir dir;
    test::LogCapture log{dir.path()};
};

// Only the names the program's own writes give their temporaries go; a
// user's file that looks like one stays, wherever it lies.
TEST_F(InterruptedLeftovers, OnlyTheProgramsOwnTemporariesGo) {
    const std::vector<std::string> leftovers{"versions.json.part",
                                             "latest_version.zip.part",
                                             "install_new_version.exe.unzip",
                                             "airport.xml.part",
                                             "input/airports.enc.new.part",
                                             "input/AIG-regcodes.enc.new.check",
                                             "new_version/install_new_version.exe.part",
                                             "new_version/ReleaseNotes.pdf.part",
                                             "airports/park_airport.xml.part"};
    const std::vector<std::string> users{"user_notes.part",
                                         "user.unzip",
                                         "my.1.2.tmp",
                                         "notes.txt.17.3.tmp",
                                         "versions.json.unzip",
                                         "input/notes.part",
                                         "input/my.1.2.tmp",
                                         "new_version/user_notes.part",
                                         "new_version/user.unzip",
                                         "new_version/my.1.2.tmp",
                                         "new_version/install_new_version.exe.unzip",
                                         "airports/user_notes.part",
                                         "airports/user.unzip",
                                         "airports/my.1.2.tmp",
                                         "airports/my_simaddon/EHAM.xml.part",
                                         "airports/my_thirdparty/my.1.2.tmp",
                                         "airports/learned/stock/LOWW.xml.part",
                                         "airports/learned/stock/my.1.2.tmp",
                                         "output/my.1.2.tmp",
                                         "output/notes.1.2.qvlt",
                                         "output/.1.2.qvlt.tmp",
                                         "roaming/Quorvelant/my.1.2.tmp",
                                         "roaming/Quorvelant/user_notes.part"};
    place(leftovers, "left");
    place(users, "the user's");
    std::vector<fs::path> saves;
    for (const char* target :
         {"new_version/README.txt", "airports/my_park_airports.txt", "airports/learned/thirdparty/Maker/LFPG.xml",
          "output/LiveriesScanned.xml", "roaming/Quorvelant/parameters.xml"}) {
        saves.push_back(interruptedSaveOf(dir / target));
    }

    sweep();
    for (const std::string& name : leftovers) EXPECT_FALSE(fs::exists(dir / name)) << name;
    for (const fs::path& save : saves) EXPECT_FALSE(fs::exists(save)) << save;
    for (const std::string& name : users) EXPECT_EQ(readFile(dir / name), "the user's") << name;
}

// A folder link under the learned files (a share, say) is not walked: a
// share that hangs would hold every start, and what lies there is not the
// program's to remove.
TEST_F(InterruptedLeftovers, AFolderLinkUnderTheLearnedFilesIsNotFollowed) {
    const fs::path share = dir / "share";
    const std::vector<std::string> shared{"share/LFPG.xml.part", "share/LFPG.xml.3.4.qvlt.tmp",
                                          "share/Maker/LFPG.xml.5.6.qvlt.tmp"};
    place(shared, "shared");
    fs::create_directories(dir / "airports/learned/thirdparty");
    fs::create_directory_symlink(share, dir / "airports/learned/linked");
    fs::create_directory_symlink(share, dir / "airports/learned/thirdparty/Linked");
    const fs::path own = interruptedSaveOf(dir / "airports/learned/thirdparty/Maker/LFPG.xml");

    sweep();
    EXPECT_FALSE(fs::exists(own)) << "the real folders are swept";
    for (const std::string& name : shared) EXPECT_EQ(readFile(dir / name), "shared") << name;
}

// The reader itself, for both ways an entry is stored: a wrong CRC shows
// only once the last byte is read, and by then nothing may have reached the
// target; a limit stops the writing where it is.
TEST(ZipReader, AWrongCrcOrTooManyBytesLeaveTheTargetAsItWas) {
    test::TempDir dir;
    const fs::path target = dir / "install_new_version.exe";
    const std::string installer = "MZ" + std::string(5000, 'i');
    for (const bool stored : {false, true}) {
        writeZip(dir / "good.zip", "install_new_version.exe", installer, stored);
        writeFile(dir / "bad.zip", withWrongCrc(readFile(dir / "good.zip")));
        writeFile(target, "the target before");
        auto reader = ZipArchiveReader::open(dir / "bad.zip");
        ASSERT_TRUE(reader);
        const auto done = reader->extract("install_new_version.exe", target, kInstallerMaxBytes);
        ASSERT_FALSE(done) << "stored: " << stored;
        EXPECT_EQ(done.error(), ZipReadError::readFailed);
        EXPECT_EQ(readFile(target), "the target before");
        EXPECT_FALSE(fs::exists(dir / "install_new_version.exe.unzip"));

        auto good = ZipArchiveReader::open(dir / "good.zip");
        ASSERT_TRUE(good);
        const auto capped = good->extract("install_new_version.exe", target, installer.size() - 1);
        ASSERT_FALSE(capped);
        EXPECT_EQ(capped.error(), ZipReadError::tooLarge);
        EXPECT_EQ(readFile(target), "the target before");
        EXPECT_FALSE(fs::exists(dir / "install_new_version.exe.unzip"));
        EXPECT_TRUE(good->extract("install_new_version.exe", target, installer.size()));
        EXPECT_EQ(readFile(target), installer);
    }
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
