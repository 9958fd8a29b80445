#include "core/download.h"

#include <curl/curl.h>
#include <fmt/format.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "core/log.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "platform/sys/file_io.h"

// The build's download address comes from core/CMakeLists.txt.
#ifndef QVL_DOWNLOAD_BASE
#error "QVL_DOWNLOAD_BASE must be defined by the build"
#endif

namespace fs = std::filesystem;

namespace qvl {
namespace {

// curl_global_init is not thread-safe; do it once before any handle exists.
void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Closes the output file when there is one.
struct lf_closeFile {
    void operator()(FILE* file) const noexcept {
        if (file != nullptr) std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<FILE, lf_closeFile>;

// One transfer as the callbacks see it.
struct Transfer {
    FILE* file = nullptr;
    std::uint64_t maxBytes = 0;
    const DownloadStop* stop = nullptr;
    std::uint64_t written = 0;
    bool tooLarge = false;
    bool stopped = false;
};

// Writes the received bytes, but never past the limit: a site that sends
// more than it announced (or announced nothing) is cut off there.
std::size_t writeToFile(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    if (bytes > transfer->maxBytes - transfer->written) {
        transfer->tooLarge = true;
        return 0;  // anything short of `bytes` ends the transfer
    }
    const std::size_t put = std::fwrite(data, 1, bytes, transfer->file);
    transfer->written += put;
    return put;
}

// libcurl calls this while data comes and about once a second while none
// does, so a close of the program ends even a download that hangs.
int onProgress(void* context, curl_off_t /*total*/, curl_off_t /*now*/, curl_off_t /*upTotal*/, curl_off_t /*upNow*/) {
    auto* transfer = static_cast<Transfer*>(context);
    if (*transfer->stop && (*transfer->stop)()) {
        transfer->stopped = true;
        return 1;
    }
    return 0;
}

// Flushes the finished file to disk and closes it; false when either fails.
bool finishFile(FilePtr& file) {
    FILE* f = file.release();
    bool ok = sys::flushToDisk(f);
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

struct Request {
    const std::string& url;
    const std::string& userAgent;
    const DownloadLimits& limits;
};

// Every option of the transfer, all set on each call: a handle may be used
// again, and must not keep an earlier transfer's data.
void setOptions(CURL* h, const Request& request, Transfer& transfer) {
    const DownloadLimits& limits = request.limits;
    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, request.userAgent.c_str());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &writeToFile);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stallTime.count()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTime.count()));
    // An announced size above the limit is refused before any byte is written.
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
}

void logFailure(CURLcode result, const Transfer& transfer, const std::string& url) {
    if (transfer.stopped) {
        gf_log(fmt::format("Download of {} stopped: {}", url, transfer.stop->reason()));
    } else if (transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
        gf_log(fmt::format("Download error: 'larger than {} bytes' for {}", transfer.maxBytes, url));
    } else {
        gf_log(fmt::format("Download error: '{}' for {}", curl_easy_strerror(result), url));
    }
}

void removeQuietly(const fs::path& p) {
    std::error_code ec;
    fs::remove(p, ec);
}

}  // namespace

CurlHandle::CurlHandle() {
    initCurlOnce();
    handle_ = curl_easy_init();
}

CurlHandle::~CurlHandle() {
    if (handle_ != nullptr) curl_easy_cleanup(handle_);
}

fs::path downloadPartFor(const fs::path& target) {
    fs::path name = target;
    name += ".part";
    return name;
}

std::string downloadBase() {
    if (const char* v = std::getenv("QVL_DOWNLOAD_BASE"); v != nullptr && *v != '\0') return v;
    return QVL_DOWNLOAD_BASE;
}

std::string downloadUrlFor(const fs::path& fileName) {
    return fmt::format("{}{}/{}", downloadBase(), programVersion().major, gf_pathToUtf8(fileName));
}

namespace {

// How a download ended.
enum class Fetched : std::uint8_t { whole, failed, stopped };

Fetched fetch(const CurlHandle& curl, const std::string& url, const fs::path& target, const DownloadLimits& limits,
              const DownloadStop& stop) {
    if (!curl) return Fetched::failed;
    if (stop && stop()) {
        gf_log(fmt::format("Download of {} not started: {}", url, stop.reason()));
        return Fetched::stopped;
    }
    const fs::path part = downloadPartFor(target);
    try {
        FilePtr file(sys::openFile(part, "wb"));
        if (!file) {
            gf_log(fmt::format("Could not open output file: {}", gf_pathToUtf8(target)));
            return Fetched::failed;
        }
        Transfer transfer{.file = file.get(), .maxBytes = limits.maxBytes, .stop = &stop};
        CURL* h = curl.get();
        const std::string userAgent(kProductShortName);  // curl copies it
        setOptions(h, {.url = url, .userAgent = userAgent, .limits = limits}, transfer);
        const CURLcode result = curl_easy_perform(h);
        if (result != CURLE_OK) {
            logFailure(result, transfer, url);
            file.reset();
            removeQuietly(part);
            return transfer.stopped ? Fetched::stopped : Fetched::failed;
        }
        if (!finishFile(file)) {
            gf_log(fmt::format("Download error: '{}' for {}", "could not write the file", url));
            removeQuietly(part);
            return Fetched::failed;
        }
        std::error_code ec;
        fs::rename(part, target, ec);
        if (ec) {
            gf_log(fmt::format("Download error: 'rename {} -> {}: {}' for {}", gf_pathToUtf8(part),
                               gf_pathToUtf8(target), ec.message(), url));
            removeQuietly(part);
            return Fetched::failed;
        }
        return Fetched::whole;
    } catch (const std::exception& e) {
        gf_log(fmt::format("Downloader exception: '{}', {} => {}", e.what(), url, gf_pathToUtf8(target)));
        removeQuietly(part);
        return Fetched::failed;
    }
}

}  // namespace

bool gf_downloadToFile(const CurlHandle& curl, const std::string& url, const fs::path& target,
                       const DownloadLimits& limits, const DownloadStop& stop) {
    return fetch(curl, url, target, limits, stop) == Fetched::whole;
}

bool gf_downloadFile(const fs::path& fileName, const fs::path& target, const DownloadLimits& limits,
                     const DownloadStop& stop) {
    CurlHandle curl;
    const std::string url = downloadUrlFor(fileName);
    const Fetched fetched = fetch(curl, url, target, limits, stop);
    if (fetched == Fetched::whole) {
        gf_log(fmt::format("Downloaded '{}' to '{}'", url, gf_pathToUtf8(target)));
    } else if (fetched == Fetched::failed) {
        gf_logAttention(fmt::format("Downloading '{}' failed !", url));
    }
    return fetched == Fetched::whole;
}

}  // namespace qvl
