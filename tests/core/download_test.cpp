#include "core/download.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/http_server.h"
#include "support/logged_folder.h"

namespace qvl {
namespace {

using test::HttpResponse;
using test::readFile;

class Download : public test::LoggedFolder {
protected:
    void SetUp() override {
        setenv("QVL_DOWNLOAD_BASE", (server.baseUrl() + "/downloads/").c_str(), 1);
        test::writeFile(target, "the good old file");
    }
    void TearDown() override { unsetenv("QVL_DOWNLOAD_BASE"); }
    void expectTargetKept() {
        EXPECT_EQ(readFile(target), "the good old file");
        EXPECT_FALSE(std::filesystem::exists(dir / "dbase.enc.part"));
    }

    test::HttpServer server;
    std::filesystem::path target = dir / "dbase.enc";
    const std::string url = server.baseUrl() + "/downloads/12/dbase.enc";
};

TEST_F(Download, SuccessReplacesTheTargetFromTheVersionFolder) {
    const std::string body(100000, 'x');
    server.route("/downloads/12/dbase.enc", HttpResponse::ok(body));
    EXPECT_TRUE(gf_downloadFile("dbase.enc", target));
    EXPECT_EQ(readFile(target), body);
    EXPECT_EQ(server.userAgents(), std::vector<std::string>{"QVLT"});
    EXPECT_TRUE(logged("Downloaded '" + url + "' to '"));
}

TEST_F(Download, NotFoundOrCutTransferKeepsTheTarget) {
    EXPECT_FALSE(gf_downloadFile("dbase.enc", target));
    expectTargetKept();
    EXPECT_TRUE(logged("Download error: 'HTTP response code said error' for ")) << log.text();
    EXPECT_TRUE(logged("==> Downloading '" + url + "' failed !"));

    server.route("/downloads/12/dbase.enc", HttpResponse::cutShort(std::string(5000, 'y')));
    EXPECT_FALSE(gf_downloadFile("dbase.enc", target));
    expectTargetKept();
}

TEST_F(Download, SlowButSteadyTransferSucceeds) {
    const std::string body(160, 's');
    server.route("/downloads/12/dbase.enc", HttpResponse::slowly(body, std::chrono::milliseconds(20)));
    EXPECT_TRUE(gf_downloadFile("dbase.enc", target));
    EXPECT_EQ(readFile(target), body);
}

TEST_F(Download, StalledTransferEndsAndKeepsTheTarget) {
    server.route("/downloads/12/dbase.enc", HttpResponse::stall(std::string(1000, 'z')));
    const DownloadLimits shortStall{.connectTimeout = std::chrono::seconds(5), .stallTime = std::chrono::seconds(1)};
    EXPECT_FALSE(gf_downloadFile("dbase.enc", target, shortStall));
    EXPECT_TRUE(logged("Download error: 'Timeout was reached'"));
    expectTargetKept();
}

// Limits that only the total time may end: a site that trickles or says
// nothing keeps any stall time-out from firing.
const DownloadLimits kShortTotal{.totalTime = std::chrono::milliseconds(400)};

TEST_F(Download, ATrickleOrASilentSiteEndsAtTheTotalTime) {
    for (const HttpResponse& response :
         {HttpResponse::trickle("ab", std::chrono::milliseconds(50)), HttpResponse::silence()}) {
        server.route("/downloads/12/dbase.enc", response);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(gf_downloadFile("dbase.enc", target, kShortTotal));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        EXPECT_TRUE(logged("Download error: 'Timeout was reached'"));
        expectTargetKept();
    }
}

TEST_F(Download, MoreBytesThanTheLimitAreRefusedAnnouncedOrNot) {
    const DownloadLimits small{.maxBytes = 1000};
    for (const HttpResponse& response :
         {HttpResponse::ok(std::string(5000, 'o')), HttpResponse::unannounced(std::string(5000, 'u'))}) {
        server.route("/downloads/12/dbase.enc", response);
        const std::size_t before = log.text().size();
        EXPECT_FALSE(gf_downloadFile("dbase.enc", target, small));
        EXPECT_NE(log.text().find("Download error: 'larger than 1000 bytes'", before), std::string::npos);
        expectTargetKept();
    }
    server.route("/downloads/12/dbase.enc", HttpResponse::unannounced(std::string(1000, 'e')));
    EXPECT_TRUE(gf_downloadFile("dbase.enc", target, small)) << "exactly the limit is allowed";
    EXPECT_EQ(readFile(target), std::string(1000, 'e'));
}

TEST_F(Download, AStopEndsAHangingDownloadWithinASecond) {
    server.route("/downloads/12/dbase.enc", HttpResponse::silence());
    const auto start = std::chrono::steady_clock::now();
    const auto stopAt = start + std::chrono::milliseconds(300);
    const DownloadStop closing = [stopAt] { return std::chrono::steady_clock::now() >= stopAt; };
    EXPECT_FALSE(gf_downloadFile("dbase.enc", target, {}, closing));
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::milliseconds(1300));
    EXPECT_TRUE(logged("stopped: no longer needed"));
    EXPECT_FALSE(logged("failed !")) << "a stopped download is no failed one";
    expectTargetKept();
    // Once stopped, nothing more is asked of the site.
    const auto asked = server.requestedPaths().size();
    EXPECT_FALSE(gf_downloadFile("dbase.enc", target, {}, closing));
    EXPECT_EQ(server.requestedPaths().size(), asked);
}

// On Windows a text mode would write every "\n" as "\r\n" (and read 0x1A as
// the end); a download keeps every byte as the server sent it.
TEST_F(Download, TheFileHoldsTheBytesAsSent) {
    const std::string body("line\r\nline\nend\x1A\0\r\r\n", 19);
    server.route("/f", HttpResponse::ok(body));
    CurlHandle curl;
    ASSERT_TRUE(gf_downloadToFile(curl, server.baseUrl() + "/f", target));
    EXPECT_EQ(readFile(target), body);
}

TEST_F(Download, UnwritableTargetIsLogged) {
    server.route("/f", HttpResponse::ok("data"));
    CurlHandle curl;
    EXPECT_FALSE(gf_downloadToFile(curl, server.baseUrl() + "/f", dir / "no" / "such" / "folder"));
    EXPECT_TRUE(logged("Could not open output file: "));
}

}  // namespace
}  // namespace qvl
