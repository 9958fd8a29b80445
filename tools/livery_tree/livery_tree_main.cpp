// qvl_livery_tree <preset> <folder> [--files N] [--sections N]
//                 [--expect <folder>] [--no-prioritize]
// Writes the preset's Community folder (full, bench or demo) and, beside it,
// what a scan of it must give (default <folder>.expected): the records of
// LiveriesScanned.xml, the problem files, the reference database and the
// "don't use" titles the expectation assumes.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "core/text_file.h"
#include "tools/livery_tree/livery_tree.h"

namespace {

namespace fs = std::filesystem;
namespace lt = qvl::livery_tree;

int usage() {
    fmt::print(stderr,
               "usage: qvl_livery_tree full|bench|demo <folder> [--files N] [--sections N] "
               "[--expect <folder>] [--no-prioritize]\n");
    return 2;
}

bool readCount(std::string_view text, std::size_t& count) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    return error == std::errc{} && end == text.data() + text.size() && count > 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() < 2) return usage();
    const auto preset = lt::presetFromName(args[0]);
    if (!preset) return usage();
    const fs::path community = fs::absolute(qvl::pathFromUtf8(args[1])).lexically_normal();
    fs::path expectFolder = community.parent_path() / (community.filename().u8string() + u8".expected");
    lt::TreeOptions options;
    bool prioritized = true;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--files" && hasValue) {
            if (!readCount(args[++i], options.fileCount)) return usage();
        } else if (args[i] == "--sections" && hasValue) {
            if (!readCount(args[++i], options.sectionsPerFile)) return usage();
        } else if (args[i] == "--expect" && hasValue) {
            expectFolder = fs::absolute(qvl::pathFromUtf8(args[++i]));
        } else if (args[i] == "--no-prioritize") {
            prioritized = false;
        } else {
            return usage();
        }
    }
    auto tree = lt::generateTree(*preset, community, options);
    if (!tree) {
        fmt::print(stderr, "qvl_livery_tree: {}\n", tree.errorText());
        return 1;
    }
    if (auto written = lt::writeExpectation(*tree, expectFolder, prioritized); !written) {
        fmt::print(stderr, "qvl_livery_tree: {}\n", written.errorText());
        return 1;
    }
    fmt::print("{} aircraft.cfg files in {}, {} liveries expected; expectation in {}\n", tree->files.size(),
               qvl::gf_pathToUtf8(community), tree->scannedLiveries(prioritized).size(),
               qvl::gf_pathToUtf8(expectFolder));
    return 0;
}
