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

std::size_t writeToFile(char* data, std::size_t size, std::size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file));
}

fs::path partNameFor(const fs::path& target) {
    fs::path name = target;
    name += ".part";
    return name;
}

// Flushes the finished file to disk and closes it; false when either fails.
bool finishFile(FilePtr& file) {
    FILE* f = file.release();
    bool ok = sys::flushToDisk(f);
    ok = (std::fclose(f) == 0) && ok;
    return ok;
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

std::string downloadBase() {
    if (const char* v = std::getenv("QVL_DOWNLOAD_BASE"); v != nullptr && *v != '\0') return v;
    return QVL_DOWNLOAD_BASE;
}

std::string downloadUrlFor(const fs::path& fileName) {
    return fmt::format("{}{}/{}", downloadBase(), programVersion().major, gf_pathToUtf8(fileName));
}

bool gf_downloadToFile(const CurlHandle& curl, const std::string& url, const fs::path& target,
                       const DownloadLimits& limits) {
    if (!curl) return false;
    const fs::path part = partNameFor(target);
    try {
        FilePtr file(sys::openFile(part, "wb"));
        if (!file) {
            gf_log(fmt::format("Could not open output file: {}", gf_pathToUtf8(target)));
            return false;
        }
        CURL* h = curl.get();
        const std::string userAgent(kProductShortName);  // curl copies it
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_USERAGENT, userAgent.c_str());
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &writeToFile);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, file.get());
        curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.connectTimeout.count()));
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stallTime.count()));

        const CURLcode result = curl_easy_perform(h);
        if (result != CURLE_OK) {
            gf_log(fmt::format("Download error: '{}' for {}", curl_easy_strerror(result), url));
            file.reset();
            removeQuietly(part);
            return false;
        }
        if (!finishFile(file)) {
            gf_log(fmt::format("Download error: '{}' for {}", "could not write the file", url));
            removeQuietly(part);
            return false;
        }
        std::error_code ec;
        fs::rename(part, target, ec);
        if (ec) {
            gf_log(fmt::format("Download error: 'rename {} -> {}: {}' for {}", gf_pathToUtf8(part),
                               gf_pathToUtf8(target), ec.message(), url));
            removeQuietly(part);
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        gf_log(fmt::format("Downloader exception: '{}', {} => {}", e.what(), url, gf_pathToUtf8(target)));
        removeQuietly(part);
        return false;
    }
}

bool gf_downloadFile(const fs::path& fileName, const fs::path& target, const DownloadLimits& limits) {
    CurlHandle curl;
    const std::string url = downloadUrlFor(fileName);
    const bool ok = gf_downloadToFile(curl, url, target, limits);
    if (ok) {
        gf_log(fmt::format("Downloaded '{}' to '{}'", url, gf_pathToUtf8(target)));
    } else {
        gf_logAttention(fmt::format("Downloading '{}' failed !", url));
    }
    return ok;
}

}  // namespace qvl
