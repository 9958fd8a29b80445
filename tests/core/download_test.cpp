#include "core/download.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/http_server.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

using test::HttpResponse;
using test::HttpServer;
using test::readFile;
using test::TempDir;
using test::writeFile;

class Download : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QVL_DOWNLOAD_BASE", (server.baseUrl() + "/downloads/").c_str(), 1);
        writeFile(target, "the good old file");
    }
    void TearDown() override {
        unsetenv("QVL_DOWNLOAD_BASE");
        gf_setDownloadLimits({});
    }

    TempDir dir;
    test::LogCapture log{dir.path()};
    HttpServer server;
    std::filesystem::path target = dir / "dbase.enc";
};

TEST_F(Download, SuccessReplacesTheTargetAndNamesTheVersionFolder) {
    const std::string body(100000, 'x');
    server.route("/downloads/12/dbase.enc", HttpResponse::ok(body));
    EXPECT_TRUE(gf_downloadFile("dbase.enc", target));
    EXPECT_EQ(readFile(target), body);
    EXPECT_FALSE(std::filesystem::exists(dir / "dbase.enc.part"));
    ASSERT_EQ(server.userAgents().size(), 1u);
    EXPECT_EQ(server.userAgents()[0], "QVLT");
    EXPECT_NE(log.text().find("Downloaded '" + server.baseUrl() + "/downloads/12/dbase.enc' to '"), std::string::npos);
}

TEST_F(Download, NotFoundKeepsTheTargetAndLogsCurlsText) {
    EXPECT_FALSE(gf_downloadFile("dbase.enc", target));
    EXPECT_EQ(readFile(target), "the good old file");
    EXPECT_FALSE(std::filesystem::exists(dir / "dbase.enc.part"));
    const std::string text = log.text();
    EXPECT_NE(text.find("Download error: 'HTTP response code said error' for "), std::string::npos) << text;
    EXPECT_NE(text.find("==> Downloading '" + server.baseUrl() + "/downloads/12/dbase.enc' failed !"),
              std::string::npos);
}

TEST_F(Download, CutTransferKeepsTheTarget) {
    server.route("/downloads/12/dbase.enc", HttpResponse::cutShort(std::string(5000, 'y')));
    EXPECT_FALSE(gf_downloadFile("dbase.enc", target));
    EXPECT_EQ(readFile(target), "the good old file");
    EXPECT_FALSE(std::filesystem::exists(dir / "dbase.enc.part"));
}

TEST_F(Download, SlowButSteadyTransferSucceeds) {
    const std::string body(160, 's');
    server.route("/downloads/12/dbase.enc", HttpResponse::slowly(body, std::chrono::milliseconds(20)));
    EXPECT_TRUE(gf_downloadFile("dbase.enc", target));
    EXPECT_EQ(readFile(target), body);
}

TEST_F(Download, StalledTransferEndsAndKeepsTheTarget) {
    gf_setDownloadLimits({std::chrono::seconds(5), std::chrono::seconds(1)});
    server.route("/downloads/12/dbase.enc", HttpResponse::stall(std::string(1000, 'z')));
    EXPECT_FALSE(gf_downloadFile("dbase.enc", target));
    EXPECT_NE(log.text().find("Download error: 'Timeout was reached'"), std::string::npos);
    EXPECT_EQ(readFile(target), "the good old file");
    EXPECT_FALSE(std::filesystem::exists(dir / "dbase.enc.part"));
}

TEST_F(Download, UnwritableTargetAndMissingHandle) {
    server.route("/f", HttpResponse::ok("data"));
    CurlHandle curl;
    EXPECT_FALSE(gf_downloadToFile(curl, server.baseUrl() + "/f", dir / "no" / "such" / "folder", true));
    EXPECT_NE(log.text().find("Could not open output file: "), std::string::npos);
    EXPECT_TRUE(gf_downloadToFile(curl, server.baseUrl() + "/f", dir / "text.txt", false));
    EXPECT_EQ(readFile(dir / "text.txt"), "data");
}

TEST(DownloadAddress, BaseFromEnvironmentElseBuild) {
    unsetenv("QVL_DOWNLOAD_BASE");
    EXPECT_EQ(gf_downloadBase().substr(gf_downloadBase().size() - 11), "/downloads/");
    setenv("QVL_DOWNLOAD_BASE", "http://127.0.0.1:9/downloads/", 1);
    EXPECT_EQ(gf_downloadUrlFor("ReleaseNotes.pdf"), "http://127.0.0.1:9/downloads/12/ReleaseNotes.pdf");
    unsetenv("QVL_DOWNLOAD_BASE");
}

}  // namespace
}  // namespace qvl
