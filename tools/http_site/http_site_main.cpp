// qvl_http_site: serves a folder as a download site on 127.0.0.1, at a port
// the system picks, so that a demonstration's program downloads from it
// beside any other run. The port is the first line printed; each request
// then prints one line. SIGINT or SIGTERM ends it.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>

#include "core/text_file.h"
#include "tools/http_site/http_site.h"

namespace {

namespace fs = std::filesystem;

std::atomic<bool> gStopped{false};

extern "C" void onSignal(int /*signal*/) { gStopped.store(true); }

constexpr std::string_view kUsage =
    "usage: qvl_http_site <folder>\n"
    "  Serves the folder's files on 127.0.0.1 at a free port, printed as the first line.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string_view(argv[1]).starts_with("-")) {
        std::cerr << kUsage;
        return 2;
    }
    const fs::path folder = qvl::pathFromUtf8(argv[1]);
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        std::cerr << "qvl_http_site: no folder " << argv[1] << "\n";
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    try {
        const qvl::site::FolderSite site(folder, [](const std::string& line) { std::cout << line << std::endl; });
        std::cout << site.port() << std::endl;
        while (!gStopped.load()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } catch (const std::exception& e) {
        std::cerr << "qvl_http_site: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
