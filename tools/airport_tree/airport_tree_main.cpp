// qvl_airport_tree <preset> <install-folder> [--sim 2020|2024] [--files N]
//                  [--airport-files N] [--streamed N] [--expect <folder>]
// Writes the preset's simulator install folder (full, bench or demo) and,
// beside it, what a scan of it must give (default <install-folder>.expected):
// link files, stand files, tblo.zip entries, scan-log lines, and the
// reference data and stand-in facility data the expectation assumes.
#include <fmt/format.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_file.h"
#include "tools/airport_tree/airport_tree.h"

namespace {

namespace fs = std::filesystem;
namespace at = qvl::airport_tree;

int usage() {
    fmt::print(stderr,
               "usage: qvl_airport_tree full|bench|demo <install-folder> [--sim 2020|2024] [--files N] "
               "[--airport-files N] [--streamed N] [--expect <folder>]\n");
    return 2;
}

bool readCount(std::string_view text, std::size_t& count) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    return error == std::errc{} && end == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() < 2) return usage();
    const auto preset = at::presetFromName(args[0]);
    if (!preset) return usage();
    const fs::path install = fs::absolute(qvl::pathFromUtf8(args[1])).lexically_normal();
    fs::path expectFolder = install.parent_path() / (install.filename().u8string() + u8".expected");
    at::TreeOptions options;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (!hasValue) return usage();
        const std::string_view key = args[i];
        const std::string_view value = args[++i];
        if (key == "--sim") {
            const auto simulator = at::simulatorFromName(value);
            if (!simulator) return usage();
            options.simulator = *simulator;
        } else if (key == "--files") {
            if (!readCount(value, options.fileCount)) return usage();
        } else if (key == "--airport-files") {
            if (!readCount(value, options.airportFiles)) return usage();
        } else if (key == "--streamed") {
            if (!readCount(value, options.streamedPackages)) return usage();
        } else if (key == "--expect") {
            expectFolder = fs::absolute(qvl::pathFromUtf8(value));
        } else {
            return usage();
        }
    }
    auto tree = at::generateTree(*preset, install, options);
    if (!tree) {
        fmt::print(stderr, "qvl_airport_tree: {}\n", tree.errorText());
        return 1;
    }
    if (auto written = at::writeExpectation(*tree, expectFolder); !written) {
        fmt::print(stderr, "qvl_airport_tree: {}\n", written.errorText());
        return 1;
    }
    fmt::print(
        "{} BGL files, {} streamed packages in {} ({}); {} link and {} stand files expected; expectation in {}\n",
        tree->bglFiles.size(), tree->streamedPackages.size(), qvl::gf_pathToUtf8(install),
        at::simChoiceText(tree->simulator), tree->linkFiles.size(), tree->standFiles.size(),
        qvl::gf_pathToUtf8(expectFolder));
    return 0;
}
