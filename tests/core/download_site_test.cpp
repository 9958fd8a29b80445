// The download site of the demonstration (a folder served on loopback),
// fetched with the program's own downloads.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "core/download.h"
#include "support/logged_folder.h"
#include "support/temp_dir.h"
#include "tools/http_site/http_site.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

class DownloadSite : public test::LoggedFolder {
protected:
    void SetUp() override {
        fs::create_directories(folder / "12");
        fs::create_directories(folder / "sub");
        writeFile(dir.path() / "secret.txt", "outside the site");
        setenv("QVL_DOWNLOAD_BASE", ("http://127.0.0.1:" + std::to_string(site.port()) + "/").c_str(), 1);
    }
    void TearDown() override { unsetenv("QVL_DOWNLOAD_BASE"); }

    std::vector<std::string> requests() {
        const std::lock_guard lock(mutex);
        return seen;
    }

    fs::path folder = dir.path() / "site";
    std::mutex mutex;
    std::vector<std::string> seen;
    site::FolderSite site{folder, [this](const std::string& line) {
                              const std::lock_guard lock(mutex);
                              seen.push_back(line);
                          }};
};

TEST_F(DownloadSite, ServesTheFolderByteForByteAndNothingElse) {
    std::string bytes = "line\r\nnext\n";
    bytes += std::string(1, '\0') + std::string(70000, '\xb5');
    writeFile(folder / "12" / "dbase.enc", bytes);
    writeFile(folder / "versions.json", R"({"msfs_app": {"major": 12, "minor": 2, "patch": 0}})");

    const fs::path target = dir.path() / "dbase.enc";
    ASSERT_TRUE(gf_downloadFile("dbase.enc", target));
    EXPECT_EQ(readFile(target), bytes);
    const CurlHandle curl;
    ASSERT_TRUE(gf_downloadToFile(curl, downloadBase() + "versions.json", dir.path() / "versions.json"));
    EXPECT_EQ(readFile(dir.path() / "versions.json"), readFile(folder / "versions.json"));

    writeFile(dir.path() / "aig.enc", "the good old file");
    EXPECT_FALSE(gf_downloadFile("aig.enc", dir.path() / "aig.enc"));
    EXPECT_EQ(readFile(dir.path() / "aig.enc"), "the good old file");

    EXPECT_EQ(requests(),
              (std::vector<std::string>{"GET /12/dbase.enc 200", "GET /versions.json 200", "GET /12/aig.enc 404"}));
}

TEST_F(DownloadSite, AnswersNoTargetOutsideTheFolder) {
    writeFile(folder / "sub" / "inner.txt", "inner");
    writeFile(folder / "with space.txt", "spaced");
    // Elsewhere "C:" names another drive: never a part of a served path.
    fs::create_directories(folder / "C:");
    writeFile(folder / "C:" / "secret.txt", "outside the site");
    EXPECT_EQ(site::folderReply(folder, "/sub/inner.txt?fresh=1").body, "inner");
    EXPECT_EQ(site::folderReply(folder, "/with%20space.txt").body, "spaced");
    for (const char* target : {"/../secret.txt", "/sub/../../secret.txt", "/%2e%2e/secret.txt", "/..%2fsecret.txt",
                               "/sub%5c..%5c..%5csecret.txt", "//secret.txt", "/./sub/inner.txt", "/sub/", "/", "",
                               "secret.txt", "/%zz", "/sub/inner.txt%", "/C:/secret.txt", "/sub/inner.txt%00.json"}) {
        const site::Reply reply = site::folderReply(folder, target);
        EXPECT_EQ(reply.status, 404) << target;
        EXPECT_NE(reply.body, "outside the site") << target;
    }
}

TEST_F(DownloadSite, AnswersOnlyAWellFormedGet) {
    writeFile(folder / "versions.json", "{}");
    const auto exchange = [&](const std::string& request) {
        int error = 0;
        const auto stream = net::TcpStream::connectTo(site.port(), error);
        EXPECT_TRUE(stream) << error;
        if (!stream) return std::string();
        stream->send(request);
        std::string answer;
        std::array<char, 1024> buffer{};
        for (;;) {
            const net::IoResult got = stream->receive(buffer, std::chrono::seconds(5));
            if (got.status != net::IoStatus::ok) break;
            answer.append(buffer.data(), got.bytes);
        }
        return answer;
    };
    EXPECT_EQ(exchange("GET /versions.json HTTP/1.1\r\nHost: x\r\n\r\n"),
              "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}");
    EXPECT_TRUE(exchange("PUT /versions.json HTTP/1.1\r\n\r\n").starts_with("HTTP/1.1 405 "));
    // A head longer than any download client sends is not answered.
    EXPECT_EQ(
        exchange("GET /versions.json HTTP/1.1\r\nX: " + std::string(site::kMaxRequestHead + 8192, 'x') + "\r\n\r\n"),
        "");
    EXPECT_EQ(exchange("GARBAGE\r\nHost: a b\r\n\r\n"), "");
    // The site still serves after all that.
    EXPECT_TRUE(exchange("GET /versions.json HTTP/1.1\r\n\r\n").starts_with("HTTP/1.1 200 "));
}

}  // namespace
}  // namespace qvl
