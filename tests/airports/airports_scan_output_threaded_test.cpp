// What a whole add-on airports scan leaves behind, byte for byte, on the
// generated trees: every file of airports/my_simaddon and
// airports/my_thirdparty, the entries of tblo/tblo.zip (names, order and
// bytes) and AirportsScanLog.txt must stay exactly what they were when the
// scan's walk, workers, writing and packing change. The recorded files live
// in data/scan_output/<tree>/, with the tree's folder written as "@FOLDER@"
// and the meta block's date and version as "@DATE@" and "@VERSION@". With
// QVL_RECORD_AIRPORTS_SCAN_OUTPUT set to a folder the files are written
// there instead, to record them afresh.
#include <gtest/gtest.h>
#include <zip.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "airports/addon/addon_scan_state.h"
#include "airports/addon/tblo.h"
#include "airports/airports_scan.h"
#include "core/meta_info.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "core/time_text.h"
#include "core/version.h"
#include "platform/sim/stand_in.h"
#include "refdata/data_file.h"
#include "support/airports_fixture.h"
#include "support/temp_dir.h"
#include "tools/airport_tree/airport_tree.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
namespace at = airport_tree;

fs::path recordedFolder() { return fs::path(__FILE__).parent_path() / "data" / "scan_output"; }

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// The archive's entries in their order: "== name ==" and the
// bytes, each entry after the other; "(no zip)" when it cannot be read.
std::string zipEntriesText(const fs::path& file) {
    int error = 0;
    zip_t* archive = zip_open(file.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (archive == nullptr) return "(no zip)";
    std::string text;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        const auto index = static_cast<zip_uint64_t>(i);
        if (zip_stat_index(archive, index, 0, &stat) != 0) return "(bad entry)";
        std::string bytes(static_cast<std::size_t>(stat.size), '\0');
        zip_file_t* entry = zip_fopen_index(archive, index, 0);
        if (entry == nullptr) return "(entry not readable)";
        const zip_int64_t read = zip_fread(entry, bytes.data(), bytes.size());
        zip_fclose(entry);
        if (read != static_cast<zip_int64_t>(bytes.size())) return "(entry not readable)";
        text += "== " + std::string(stat.name) + " ==\n" + bytes;
    }
    zip_discard(archive);
    return text;
}

class AirportsScanOutput : public test::AirportsFolder {
protected:
    // Generates the tree, then scans it once per worker count, comparing (or
    // recording) what each scan left; before each later scan a stale file
    // lies in my_thirdparty, which that scan must not keep.
    void scanAndCompare(at::Preset preset, at::Simulator simulator, const std::string& name,
                        const at::TreeOptions& options, const std::vector<std::int32_t>& workerCounts) {
        auto generated = at::generateTree(preset, folder.path() / "MSFS", options);
        ASSERT_TRUE(generated) << generated.errorText();
        tree_ = std::move(*generated);
        stage("airports.enc", tree_.reference.airportsXml);
        stage("dbase.enc", tree_.reference.dbaseXml);
        ASSERT_TRUE(gf_readAirports());
        ASSERT_TRUE(gf_readDbase());
        SIM_CHOICE.set(std::string(at::simChoiceText(simulator)));
        sim::StandInConfig config;
        config.simulatorName = std::string(at::standInSimulatorName(simulator));
        config.airports = tree_.reference.facilityAirports;
        sim::StandInSimulator standIn(config);
        bool first = true;
        for (const std::int32_t workers : workerCounts) {
            if (!first) leaveTracesOfAnEarlierScan();
            first = false;
            SCAN_AIRPORTS.set(true);
            RunState run;
            AirportsScan scanner({.simulator = standIn,
                                  .run = run,
                                  .status = status,
                                  .pool = {.workerCount = workers, .timeout = std::chrono::seconds(30)},
                                  .facilityTiming = {}});
            (void)scanner.gf_scanAirports(
                {.folders = tree_.scanFolders, .simNumber = simulator == at::Simulator::msfs2024 ? 2 : 1});
            SCOPED_TRACE(name + " with " + std::to_string(workers) + " workers");
            ASSERT_NO_FATAL_FAILURE(compare(name));
        }
    }

private:
    // What a later scan must not keep or trust: a stale file, a link file
    // beside each generated simaddon file (which would send that file away
    // as linked), and a generated file whose bytes changed but not its size.
    static void leaveTracesOfAnEarlierScan() {
        test::writeFile(kMyThirdpartyFolder / "ZZZZ.xml", "left from before");
        for (const auto& entry : fs::directory_iterator(kMySimaddonFolder)) {
            fs::path link = entry.path();
            link.replace_extension(".txt");
            if (entry.path().extension() == ".xml" && !fs::exists(link)) {
                test::writeFile(link, "archive/simaddon/" + gf_pathToUtf8(link.stem()) + ".xml\n");
            }
        }
        std::set<fs::path> generated;
        for (const auto& entry : fs::directory_iterator(kMyThirdpartyFolder)) {
            if (entry.path().extension() == ".xml") generated.insert(entry.path());
        }
        if (generated.empty()) return;
        std::string bytes = test::readFile(*generated.begin());
        bytes[bytes.size() / 2] = bytes[bytes.size() / 2] == 'x' ? 'y' : 'x';
        test::writeFile(*generated.begin(), bytes);
    }

    void stage(const std::string& name, const std::string& plain) {
        test::writeFile(folder / "plain.tmp", plain);
        ASSERT_TRUE(streamEncrypt(folder / "plain.tmp", kInputFolder / name));
        fs::remove(folder / "plain.tmp");
    }

    std::string normalised(std::string bytes) const {
        replaceAll(bytes, gf_pathToUtf8(folder.path()), "@FOLDER@");
        replaceAll(bytes, "<info name=\"date\" value=\"" + gf_utcDateNow() + "\"",
                   "<info name=\"date\" value=\"@DATE@\"");
        replaceAll(bytes, "<info name=\"version\" value=\"" + gf_versionToString(programVersion()) + "\"",
                   "<info name=\"version\" value=\"@VERSION@\"");
        return bytes;
    }

    // Each output under its recorded name: the folders' files as
    // "<folder>/<name>", the archive as "tblo.zip.entries".
    std::vector<std::pair<std::string, std::string>> outputs() const {
        std::vector<std::pair<std::string, std::string>> found;
        for (const fs::path& airportFolder : {kMySimaddonFolder, kMyThirdpartyFolder}) {
            std::set<fs::path> files;
            for (const auto& entry : fs::directory_iterator(airportFolder)) files.insert(entry.path());
            for (const fs::path& file : files) {
                found.emplace_back(gf_pathToUtf8(airportFolder.filename() / file.filename()),
                                   normalised(test::readFile(file)));
            }
        }
        if (fs::exists(kTbloFolder)) {
            for (const auto& entry : fs::directory_iterator(kTbloFolder)) {
                EXPECT_EQ(entry.path().filename(), kTbloZipFile.filename()) << "tblo holds only the archive";
            }
            found.emplace_back("tblo.zip.entries", normalised(zipEntriesText(kTbloZipFile)));
        }
        found.emplace_back("AirportsScanLog.txt", normalised(test::readFile(kAirportsScanLogFile)));
        return found;
    }

    void compare(const std::string& name) const {
        const char* record = std::getenv("QVL_RECORD_AIRPORTS_SCAN_OUTPUT");
        const fs::path recorded = (record != nullptr ? fs::path(record) : recordedFolder()) / name;
        const auto found = outputs();
        std::set<std::string> names;
        for (const auto& [file, bytes] : found) {
            names.insert(file);
            if (record != nullptr) {
                fs::create_directories((recorded / file).parent_path());
                test::writeFile(recorded / file, bytes);
                continue;
            }
            ASSERT_TRUE(fs::exists(recorded / file)) << file << " was written but not recorded";
            EXPECT_EQ(bytes, test::readFile(recorded / file)) << file;
        }
        if (record != nullptr) return;
        for (const auto& entry : fs::recursive_directory_iterator(recorded)) {
            if (!entry.is_regular_file()) continue;
            const std::string file = gf_pathToUtf8(fs::relative(entry.path(), recorded));
            EXPECT_TRUE(names.contains(file)) << file << " was recorded but not written";
        }
    }

    at::TreeExpectation tree_;
};

TEST_F(AirportsScanOutput, TheFullTreeOf2020GivesTheRecordedFilesWithFourWorkersOrOne) {
    ASSERT_NO_FATAL_FAILURE(scanAndCompare(at::Preset::full, at::Simulator::msfs2020, "full2020",
                                           {.simulator = at::Simulator::msfs2020}, {4, 1}));
}

TEST_F(AirportsScanOutput, TheFullTreeOf2024GivesTheRecordedFilesWithFourWorkersOrOne) {
    ASSERT_NO_FATAL_FAILURE(scanAndCompare(at::Preset::full, at::Simulator::msfs2024, "full2024",
                                           {.simulator = at::Simulator::msfs2024}, {4, 1}));
}

TEST_F(AirportsScanOutput, ASmallBenchTreeGivesTheRecordedFiles) {
    ASSERT_NO_FATAL_FAILURE(scanAndCompare(at::Preset::bench, at::Simulator::msfs2024, "bench",
                                           {.simulator = at::Simulator::msfs2024,
                                            .fileCount = 80,
                                            .airportFiles = 8,
                                            .minParkings = 20,
                                            .maxParkings = 150,
                                            .filesPerPackage = 20,
                                            .streamedPackages = 6},
                                           {2, 2}));
}

}  // namespace
}  // namespace qvl
