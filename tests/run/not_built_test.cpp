// The work not built yet, by name: every entry that calls notBuiltYet, found
// in the source tree. Each later piece of work that builds one removes its
// line here; when everything is built the list is empty. The README's "What
// it does not do yet" says the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace qvl::test {
namespace {

namespace fs = std::filesystem;

// "<function>: <feature>", one per call, sorted.
const std::vector<std::string> kNotBuiltYet{
    "lf_HandleWMCOMMAND: the window's command handlers",
};

struct Entry {
    fs::path file;
    std::string function;
    std::string feature;
};

bool skippedFolder(const fs::path& folder) {
    const std::string name = folder.filename().string();
    return name.starts_with(".") || name.starts_with("build") || name == "tests";
}

// Each call with the function it sits in: the nearest definition above it
// that starts a line (namespaces are not indented).
std::vector<Entry> entriesIn(const fs::path& file) {
    static const std::regex call(R"re(notBuiltYet\("([^"]*)"\))re");
    static const std::regex definition(R"(^[A-Za-z].*?\b(\w+)\()");
    std::ifstream in(file);
    std::vector<Entry> entries;
    std::string line;
    std::string function;
    while (std::getline(in, line)) {
        std::smatch match;
        if (std::regex_search(line, match, definition) && !line.starts_with("namespace")) function = match[1];
        if (std::regex_search(line, match, call)) entries.push_back({file, function, match[1]});
    }
    return entries;
}

std::vector<Entry> sourceEntries() {
    const fs::path root = QVL_SOURCE_DIR;
    std::vector<Entry> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_directory() && skippedFolder(it->path())) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->path().extension() != ".cpp") continue;
        for (Entry& entry : entriesIn(it->path())) entries.push_back(std::move(entry));
    }
    return entries;
}

TEST(NotBuilt, TheSourceTreeHoldsExactlyTheListedEntries) {
    std::vector<std::string> found;
    for (const Entry& entry : sourceEntries()) found.push_back(entry.function + ": " + entry.feature);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, kNotBuiltYet);
}

TEST(NotBuilt, EveryEntryLivesInANotBuiltFileBesideItsHeader) {
    for (const Entry& entry : sourceEntries()) {
        const std::string name = entry.file.filename().string();
        EXPECT_TRUE(name.ends_with("_not_built.cpp")) << entry.file << " holds " << entry.function;
        const std::string concern = name.substr(0, name.size() - std::string("_not_built.cpp").size());
        EXPECT_TRUE(fs::exists(entry.file.parent_path() / (concern + ".h"))) << entry.file;
    }
}

TEST(NotBuilt, FeaturesAreWordsAUserReads) {
    for (const Entry& entry : sourceEntries()) {
        EXPECT_FALSE(entry.feature.empty()) << entry.function;
        EXPECT_TRUE(
            std::none_of(entry.feature.begin(), entry.feature.end(), [](char c) { return c >= '0' && c <= '9'; }))
            << entry.function << ": " << entry.feature;
        EXPECT_EQ(entry.feature.find("Part"), std::string::npos) << entry.function;
    }
}

TEST(NotBuilt, TheReadmeNamesEveryFeatureLeft) {
    std::ifstream in(fs::path(QVL_SOURCE_DIR) / "README.md");
    std::stringstream text;
    text << in.rdbuf();
    const std::string readme = text.str();
    const auto section = readme.find("## What it does not do yet");
    ASSERT_NE(section, std::string::npos);
    const std::string part = readme.substr(section, readme.find("\n## ", section + 1) - section);
    for (const std::string& line : kNotBuiltYet) {
        const std::string feature = line.substr(line.find(": ") + 2);
        EXPECT_NE(part.find(feature), std::string::npos) << feature;
    }
}

}  // namespace
}  // namespace qvl::test
