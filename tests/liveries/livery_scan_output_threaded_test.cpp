// The files a whole liveries scan writes, byte for byte, on the generated
// trees: LiveriesScanned.xml and the problem files must stay exactly what
// they were when the scan's walk, workers and sort change. The recorded
// files live in data/scan_output/<tree>/, the tree's folder written as
// "@FOLDER@" (and the length-limit folder, whose name depends on that
// folder's length, as "@LONG@"). With QVL_RECORD_SCAN_OUTPUT set to a folder
// the files are written there instead, to record them afresh.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/text_file.h"
#include "liveries/livery_scan.h"
#include "liveries/scan_problem_files.h"
#include "liveries/support/liveries_folder.h"
#include "support/fake_status.h"
#include "support/temp_dir.h"
#include "tools/livery_tree/livery_tree.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
namespace lt = livery_tree;

fs::path recordedFolder() { return fs::path(__FILE__).parent_path() / "data" / "scan_output"; }

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

class LiveryScanOutput : public test::LiveriesFolder {
protected:
    // Generates the preset's tree, scans it with each worker count in turn
    // and compares (or records) every file each scan wrote.
    void scanAndCompare(lt::Preset preset, const std::string& name, const lt::TreeOptions& options,
                        const std::vector<std::int32_t>& workerCounts) {
        const fs::path community = folder_.path() / "Community";
        auto generated = lt::generateTree(preset, community, options);
        ASSERT_TRUE(generated) << generated.errorText();
        fs::create_directories(kMyRegcodesFolder);
        test::writeFile(kMyRegcodesFolder / "livery_tree.txt", lt::myRegcodesText(*generated));
        for (const std::int32_t workers : workerCounts) {
            ASSERT_NO_FATAL_FAILURE(scanOnce(community, workers));
            ASSERT_NO_FATAL_FAILURE(compare(*generated, name));
        }
    }

    static void scanOnce(const fs::path& community, std::int32_t workers) {
        LiveryScanState state;
        RunState run;
        test::FakeStatus status;
        std::vector<std::string> regcodeResults;
        LiveryScan scan({.scan = state,
                         .run = run,
                         .status = status,
                         .regcodeResults = regcodeResults,
                         .openManualAndSettingsFolder = [] {},
                         .pool = {.workerCount = workers, .timeout = std::chrono::seconds(30)}});
        scan.gf_scanLiveries({.communityFolder = community, .simNumber = 1});
    }

    void compare(const lt::TreeExpectation& tree, const std::string& name) const {
        const std::string longFolder = gf_pathToUtf8(tree.shapes.enteredLongPath);
        const std::string folderText = gf_pathToUtf8(folder_.path());
        const std::array<const fs::path*, 7> outputs{
            &kLiveriesScannedXml,         &kInvalidAirlineCodesTxt, &kInvalidAircraftCodesTxt, &kFixesTxt,
            &kInvalidAircraftCfgFilesTxt, &kIncompleteSectionsTxt,  &kNoFltsimSectionTxt};
        const char* record = std::getenv("QVL_RECORD_SCAN_OUTPUT");
        const fs::path recorded = (record != nullptr ? fs::path(record) : recordedFolder()) / name;
        for (const fs::path* output : outputs) {
            const fs::path file = recorded / output->filename();
            if (!fs::exists(*output)) {
                EXPECT_FALSE(fs::exists(file)) << output->filename() << " was not written";
                continue;
            }
            std::string bytes = test::readFile(*output);
            replaceAll(bytes, longFolder, "@LONG@");
            replaceAll(bytes, folderText, "@FOLDER@");
            // The day of the scan is the one line that changes from day to day.
            bytes = std::regex_replace(bytes, std::regex(R"(<info name="date" value="[^"]*")"),
                                       R"(<info name="date" value="@DATE@")");
            if (record != nullptr) {
                fs::create_directories(recorded);
                test::writeFile(file, bytes);
                continue;
            }
            ASSERT_TRUE(fs::exists(file)) << output->filename() << " was written but not recorded";
            EXPECT_EQ(bytes, test::readFile(file)) << name << ": " << output->filename();
        }
    }
};

TEST_F(LiveryScanOutput, TheFullTreeGivesTheRecordedFilesWithOneWorkerOrFour) {
    ASSERT_NO_FATAL_FAILURE(readDbase(lt::referenceDbaseXml(lt::Preset::full)));
    ASSERT_NO_FATAL_FAILURE(scanAndCompare(lt::Preset::full, "full", {}, {4, 1}));
}

TEST_F(LiveryScanOutput, TheBenchTreeGivesTheRecordedFiles) {
    ASSERT_NO_FATAL_FAILURE(readDbase(lt::referenceDbaseXml(lt::Preset::bench)));
    ASSERT_NO_FATAL_FAILURE(scanAndCompare(lt::Preset::bench, "bench", {.fileCount = 60, .sectionsPerFile = 10}, {2}));
}

TEST_F(LiveryScanOutput, TheDemoTreeGivesTheRecordedFiles) {
    ASSERT_NO_FATAL_FAILURE(readDbase(test::readFile(test::sourceDataFolder() / "dbase.xml")));
    ASSERT_NO_FATAL_FAILURE(scanAndCompare(lt::Preset::demo, "demo", {}, {2}));
}

}  // namespace
}  // namespace qvl
