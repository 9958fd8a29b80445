// Inside the generator: writes the files of a tree and gathers their
// expectation. Not published beyond this folder's sources.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "core/text_file.h"
#include "tools/livery_tree/livery_tree.h"
#include "tools/livery_tree/text_bytes.h"

namespace qvl::livery_tree {

// One aircraft.cfg being put together: its text (UTF-8, "\n" line ends) and
// what its readers must give.
class CfgCase {
public:
    CfgCase(std::filesystem::path path, CfgReader reader, std::int16_t folderIndex, std::string note) {
        expected_.path = std::move(path);
        expected_.reader = reader;
        expected_.folderIndex = folderIndex;
        expected_.note = std::move(note);
        cfgText_ = gf_pathToUtf8(expected_.path);
        dirText_ = gf_pathToUtf8(expected_.path.parent_path());
    }

    CfgCase& line(std::string_view text) {
        text_ += text;
        text_ += '\n';
        return *this;
    }
    CfgCase& livery(ExpectedLivery record) {
        record.folderIndex = expected_.folderIndex;
        expected_.liveries.push_back(std::move(record));
        return *this;
    }
    ProblemLines& problems() { return expected_.problems; }
    CfgCase& incomplete(std::string text) {
        expected_.problems.incompleteSections.push_back(std::move(text));
        return *this;
    }
    // The line of a section that ends without an airline code.
    CfgCase& missingAirline(std::string_view header) {
        return incomplete(cfgText_ + " " + std::string(header) + " icao_airline is missing, or it has invalid info ");
    }
    CfgCase& invalidAirline(std::string_view code, std::string_view header);
    CfgCase& notWalked() {
        expected_.walked = false;
        expected_.liveries.clear();
        expected_.problems = {};
        return *this;
    }

    [[nodiscard]] const std::string& cfg() const { return cfgText_; }
    [[nodiscard]] const std::string& dir() const { return dirText_; }
    [[nodiscard]] const std::string& text() const { return text_; }
    [[nodiscard]] const CfgFileExpectation& expected() const { return expected_; }
    CfgFileExpectation takeExpected() { return std::move(expected_); }

private:
    CfgFileExpectation expected_;
    std::string cfgText_;
    std::string dirText_;
    std::string text_;
};

class TreeWriter {
public:
    TreeWriter(Preset preset, std::filesystem::path community);

    [[nodiscard]] const std::filesystem::path& community() const { return expectation_.community; }
    TreeExpectation& expectation() { return expectation_; }

    // Appends the package folder (created) and gives its folder index.
    std::int16_t addPackage(const std::filesystem::path& folder);
    // The file's bytes, its folders created first. Throws the file-system
    // error of a failing write.
    static void writeBytes(const std::filesystem::path& file, std::string_view bytes);
    // The case's text in the encoding, and its expectation kept.
    void add(CfgCase cfg, TextEncoding encoding = TextEncoding::utf8, LineEnd lineEnd = LineEnd::lf);
    // A file whose bytes are given as they stand (empty, binary, copies).
    void addRaw(CfgCase cfg, std::string_view bytes);

private:
    TreeExpectation expectation_;
};

void buildFullCaseTree(TreeWriter& writer);

}  // namespace qvl::livery_tree
