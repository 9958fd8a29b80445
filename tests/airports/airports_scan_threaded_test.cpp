#include "airports/airports_scan.h"

#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>
#include <zip.h>
#include <pugixml.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "airports/addon/addon_scan_state.h"
#include "airports/addon/tblo.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/user_error.h"
#include "platform/sim/stand_in.h"
#include "refdata/airports.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/airports_fixture.h"
#include "support/temp_dir.h"
#include "tools/airport_tree/airport_tree.h"
#include "tools/bgl_writer/bgl_writer.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
namespace at = airport_tree;

std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    if (!fs::exists(folder)) return names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

std::vector<std::string> standIdsOf(const fs::path& file) {
    pugi::xml_document document;
    std::vector<std::string> ids;
    if (!document.load_file(file.c_str())) return {"(not XML)"};
    for (const pugi::xml_node parkpos : document.child("root").child("parkpositions").children("parkpos")) {
        ids.emplace_back(parkpos.attribute("id").as_string());
    }
    return ids;
}

std::set<std::string> zipEntries(const fs::path& file) {
    std::set<std::string> names;
    int error = 0;
    zip_t* archive = zip_open(file.c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr) return {"(no zip)"};
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        names.insert(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0));
    }
    zip_discard(archive);
    return names;
}

class AirportsScanTest : public test::AirportsFolder, public ::testing::WithParamInterface<at::Simulator> {
protected:
    void SetUp() override {
        AirportsFolder::SetUp();
        auto generated = at::generateTree(at::Preset::full, install(), {.simulator = GetParam()});
        ASSERT_TRUE(generated) << generated.errorText();
        tree = std::move(*generated);
        stage("airports.enc", tree.reference.airportsXml);
        stage("dbase.enc", tree.reference.dbaseXml);
        ASSERT_TRUE(gf_readAirports());
        ASSERT_TRUE(gf_readDbase());
        SIM_CHOICE.set(std::string(at::simChoiceText(GetParam())));
        SCAN_AIRPORTS.set(true);
        sim::StandInConfig config;
        config.simulatorName = std::string(at::standInSimulatorName(GetParam()));
        config.airports = tree.reference.facilityAirports;
        simulator = std::make_unique<sim::StandInSimulator>(config);
    }

    fs::path install() const { return folder.path() / "MSFS"; }
    void stage(const std::string& name, const std::string& plain) {
        test::writeFile(folder / "plain.tmp", plain);
        ASSERT_TRUE(streamEncrypt(folder / "plain.tmp", kInputFolder / name));
        fs::remove(folder / "plain.tmp");
    }
    AirportsScanCounts scan() {
        AirportsScan scanner({.simulator = *simulator,
                              .run = run,
                              .status = status,
                              .pool = {.workerCount = 4, .timeout = std::chrono::seconds(30)},
                              .facilityTiming = {}});
        return scanner.gf_scanAirports(
            {.folders = tree.scanFolders, .simNumber = GetParam() == at::Simulator::msfs2024 ? 2 : 1});
    }

    // The airport folders, the tblo package and the scan log hold exactly
    // what the tree's expectation says.
    void expectTheTreesResults() const {
        std::set<std::string> expectedSimaddon;
        std::set<std::string> expectedThirdparty;
        for (const auto& link : tree.linkFiles) {
            EXPECT_EQ(test::readFile(link.file), link.content) << link.file;
            (link.file.parent_path() == kMySimaddonFolder ? expectedSimaddon : expectedThirdparty)
                .insert(link.file.filename().string());
        }
        for (const auto& stand : tree.standFiles) {
            EXPECT_EQ(standIdsOf(stand.file), stand.ids) << stand.file << ": " << stand.note;
            (stand.file.parent_path() == kMySimaddonFolder ? expectedSimaddon : expectedThirdparty)
                .insert(stand.file.filename().string());
        }
        EXPECT_EQ(filesIn(kMySimaddonFolder), expectedSimaddon);
        EXPECT_EQ(filesIn(kMyThirdpartyFolder), expectedThirdparty);
        if (tree.tbloFiles.empty()) {
            EXPECT_FALSE(fs::exists(kTbloFolder));
        } else {
            EXPECT_EQ(zipEntries(kTbloZipFile), tree.tbloFiles);
        }
        const std::string scanLog = test::readFile(kAirportsScanLogFile);
        for (const auto& line : tree.scanLogLines) {
            EXPECT_NE(scanLog.find(line.text + "\n"), std::string::npos) << line.text << " (" << line.rule << ")";
        }
        for (const auto& text : tree.absentScanLogTexts) {
            EXPECT_EQ(scanLog.find(text.text), std::string::npos) << text.text << " (" << text.rule << ")";
        }
    }

    at::TreeExpectation tree;
    RunState run;
    std::unique_ptr<sim::StandInSimulator> simulator;
};

TEST_P(AirportsScanTest, TheTreeGivesExactlyTheExpectedFilesAndASecondScanTheSame) {
    const AirportsScanCounts counts = scan();
    ASSERT_NO_FATAL_FAILURE(expectTheTreesResults());
    EXPECT_EQ(counts.simaddonAirports, tree.simaddonFiles);
    EXPECT_EQ(counts.thirdpartyAirports, tree.thirdpartyFiles);
    EXPECT_EQ(counts.unrecognisedAirports, tree.tbloFiles.size());
    EXPECT_FALSE(SCAN_AIRPORTS.value());
    EXPECT_TRUE(logged("-------------------------- airports scan ends    ----------------------------"));
    EXPECT_TRUE(logged("SimConnect (PARKING_DATA_RDR) closed"));

    // A second scan starts from empty airport folders and gives the same.
    test::writeFile(kMyThirdpartyFolder / "ZZZZ.xml", "left from before");
    (void)scan();
    ASSERT_NO_FATAL_FAILURE(expectTheTreesResults());
}

// The folders are settled once, after every search: a file that a later
// search produces again (MSFS 2024's Community search, after the streamed
// one) stays where it is all along, so a kill between the searches never
// leaves it missing.
TEST_P(AirportsScanTest, ARescanOfAnUnchangedTreeLeavesEveryFileItProducesAgainInPlace) {
    (void)scan();
    const auto before = fs::file_time_type::clock::now() - std::chrono::hours(1);
    std::set<fs::path> files;
    for (const fs::path& airportFolder : {kMySimaddonFolder, kMyThirdpartyFolder}) {
        for (const auto& entry : fs::directory_iterator(airportFolder)) {
            fs::last_write_time(entry.path(), before);
            files.insert(entry.path());
        }
    }
    ASSERT_FALSE(files.empty());
    const AirportsScanCounts counts = scan();
    ASSERT_NO_FATAL_FAILURE(expectTheTreesResults());
    EXPECT_EQ(counts.simaddonAirports, tree.simaddonFiles);
    for (const fs::path& file : files) {
        ASSERT_TRUE(fs::exists(file)) << file;
        EXPECT_EQ(fs::last_write_time(file), before) << file << " was removed or written again";
    }
}

// A scan that ends in an error leaves the folders as one that ended
// normally would: the files of add-ons that are gone go too.
TEST_P(AirportsScanTest, AScanEndingInAnErrorStillRemovesTheFilesOfAddOnsThatAreGone) {
    (void)scan();
    test::writeFile(kMyThirdpartyFolder / "ZZZZ.xml", "an add-on uninstalled since");
    test::writeFile(kMySimaddonFolder / "ZZZY.txt", "archive/simaddon/ZZZY.xml\n");
    simulator->failOpens(1000);
    SCAN_AIRPORTS.set(true);
    try {
        (void)scan();
        ADD_FAILURE() << "the scan ended normally without the simulator's facility data";
    } catch (const UserErrorException& e) {
        EXPECT_EQ(e.code(), kFacilityDataUnavailableCode);
    }
    EXPECT_FALSE(fs::exists(kMyThirdpartyFolder / "ZZZZ.xml"));
    EXPECT_FALSE(fs::exists(kMySimaddonFolder / "ZZZY.txt"));
    EXPECT_TRUE(SCAN_AIRPORTS.value()) << "the scan is to run again";
}

INSTANTIATE_TEST_SUITE_P(BothSimulators, AirportsScanTest,
                         ::testing::Values(at::Simulator::msfs2020, at::Simulator::msfs2024));

// MSFS 2024's streamed search shows the simaddon count when it ends: the
// files it produced in airports/my_simaddon. On a rescan the airport
// folders still hold the earlier scan's files then; those left in
// my_simaddon are none of this scan's, and those left in my_thirdparty are
// no simaddon files at all.
class StreamedAirportsRescan : public AirportsScanTest {};

TEST_P(StreamedAirportsRescan, TheSimaddonCountCountsOnlyTheSimaddonFilesProducedAgain) {
    (void)scan();
    EXPECT_EQ(status.counts.at(StatusCount::simaddonAirports), tree.simaddonFilesAfterStreamed);
    test::writeFile(kMySimaddonFolder / "ZZZY.txt", "archive/simaddon/ZZZY.xml\n");
    test::writeFile(kMySimaddonFolder / "ZZZX.xml", "an airport of the simulator gone since");
    for (const char* name : {"ZZZZ.xml", "ZZZW.xml", "ZZZV.txt"}) {
        test::writeFile(kMyThirdpartyFolder / name, "an add-on uninstalled since");
    }
    status.counts.clear();
    (void)scan();
    EXPECT_EQ(status.counts.at(StatusCount::simaddonAirports), tree.simaddonFilesAfterStreamed);
    ASSERT_NO_FATAL_FAILURE(expectTheTreesResults());
}

INSTANTIATE_TEST_SUITE_P(Msfs2024, StreamedAirportsRescan, ::testing::Values(at::Simulator::msfs2024));

class AirportsScanFolders : public test::AirportsFolder {
protected:
    AirportsScanCounts scan(const std::vector<fs::path>& folders) {
        AirportsScan scanner({.simulator = simulator, .run = run, .status = status, .pool = {}, .facilityTiming = {}});
        return scanner.gf_scanAirports({.folders = folders, .simNumber = 1});
    }
    RunState run;
    sim::StandInSimulator simulator;
};

TEST_F(AirportsScanFolders, MissingFoldersAreSkippedAndTheScanStillEnds) {
    SCAN_AIRPORTS.set(true);
    test::writeFile(folder / "afile", "x");
    const AirportsScanCounts counts = scan({folder / "Official", folder / "afile"});
    EXPECT_EQ(counts.thirdpartyAirports, 0U);
    EXPECT_TRUE(logged((folder / "Official").string() + " does not exist, skipped!"));
    EXPECT_TRUE(logged((folder / "afile").string() + " is not a folder name, skipped!"));
    EXPECT_TRUE(logged("Warning: Scan has not found any add-on airports"));
    EXPECT_FALSE(SCAN_AIRPORTS.value());
    EXPECT_FALSE(fs::exists(kTbloFolder));
    EXPECT_TRUE(fs::exists(kAirportsScanLogFile));
}

TEST_F(AirportsScanFolders, WithoutAnInstallPathNoFolderOfTheWorkingFolderIsScanned) {
    airports(R"(<ap c="EHAM" la="52.3" lo="4.76" a="-11" s="10"/>)");
    fs::create_directories("Community/pkg/scenery");
    ASSERT_TRUE(bgl_writer::saveBgl("Community/pkg/scenery/EHAM.bgl",
                                    bgl_writer::writeBgl(bgl_writer::sampleAirport("EHAM", 52.3, 4.76, 2)).bytes));
    // What an empty install path joined with the package folders' names gives.
    (void)scan({"Official", "Community"});
    EXPECT_FALSE(logged("does not exist, skipped!")) << log.text();
    EXPECT_EQ(test::readFile(kAirportsScanLogFile).find("Scanning for"), std::string::npos);
    EXPECT_TRUE(filesIn(kMyThirdpartyFolder).empty());
    EXPECT_TRUE(filesIn(kMySimaddonFolder).empty());
}

// Makes the folder one that this process cannot list. Root lists every
// folder, so as root the process becomes nobody, with the rest of the
// program folder open to it.
void makeUnlistable(const fs::path& programFolder, const fs::path& unlistable) {
    if (::geteuid() == 0) {
        for (const auto& entry : fs::recursive_directory_iterator(programFolder)) {
            fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
        }
        fs::permissions(programFolder, fs::perms::all, fs::perm_options::add);
        fs::permissions(unlistable, fs::perms::none);
        constexpr ::uid_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) std::exit(3);
        return;
    }
    fs::permissions(unlistable, fs::perms::none);
}

TEST_F(AirportsScanFolders, AStreamedFolderThatCannotBeListedIsPassedOver) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path streamed = folder / "StreamedPackages";
    fs::create_directories(streamed);
    EXPECT_EXIT(
        {
            makeUnlistable(folder.path(), streamed);
            int code = 0;
            try {
                (void)scan({streamed});
            } catch (const std::exception& error) {
                std::cerr << "the scan ended: " << error.what() << std::endl;
                code = 1;
            }
            std::cerr << (logged("airports scan: folder passed over") ? "passed over" : "no line") << std::endl;
            // The empty folder goes with its parent, which is open to all.
            std::error_code ignored;
            fs::remove_all(folder.path(), ignored);
            std::exit(code);
        },
        ::testing::ExitedWithCode(0), "passed over");
}

// A gate for the BGL tasks: the first airport asked about holds its task
// until the test opens the gate (or ten seconds have passed).
struct TaskGate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;

    void hold() {
        std::unique_lock lock(mutex);
        if (entered) return;
        entered = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(10), [this] { return open; });
    }
    void release() {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

TEST_F(AirportsScanFolders, ATaskThatOutlastsItsTimeOutIsLeftOutOfTheLeftoverPass) {
    airports(R"(<ap c="EHAM" la="52.3" lo="4.76" a="-11" s="10"/>)");
    const fs::path bgl = folder / "Community/pkg/scenery/EHAM.bgl";
    fs::create_directories(bgl.parent_path());
    ASSERT_TRUE(bgl_writer::saveBgl(bgl, bgl_writer::writeBgl(bgl_writer::sampleAirport("EHAM", 52.3, 4.76, 2)).bytes));
    SCAN_AIRPORTS.set(true);
    auto gate = std::make_shared<TaskGate>();
    {
        AirportsScan scanner({.simulator = simulator,
                              .run = run,
                              .status = status,
                              .pool = {.workerCount = 1, .timeout = std::chrono::milliseconds(300)},
                              .facilityTiming = {},
                              .isKnownAirport = [gate](const FixedCode4& code) {
                                  gate->hold();
                                  return gf_isKnownAirport(code);
                              }});
        // The leftover pass would ask the simulator, which has no facility
        // data here, and end the scan with an error.
        EXPECT_NO_THROW((void)scanner.gf_scanAirports({.folders = {folder / "Community"}, .simNumber = 1}));
        gate->release();
    }
    const std::string scanLog = test::readFile(kAirportsScanLogFile);
    EXPECT_NE(scanLog.find("airports search in " + (folder / "Community").string() +
                           " aborted, futs outer error: Future wait timed out"),
              std::string::npos)
        << scanLog;
    EXPECT_NE(scanLog.find("\nBGL: " + bgl.string() + " is still being read, left out\n"), std::string::npos)
        << scanLog;
    EXPECT_EQ(scanLog.find("as BGL stem"), std::string::npos) << "its file is not read again";
    EXPECT_FALSE(SCAN_AIRPORTS.value()) << "the scan ended normally";
    EXPECT_TRUE(filesIn(kMyThirdpartyFolder).empty());
}

TEST(AirportsScanSkips, LongPathsAndFoldersOfNoAirportAreSkipped) {
    EXPECT_TRUE(lf_isSkippedFolder("/x/Aircraft/a.bgl")) << "compared lower-cased";
    EXPECT_TRUE(lf_isSkippedFolder("/x/fs-base-genericairports/a.bgl"));
    EXPECT_FALSE(lf_isSkippedFolder("/x/Community/orbx-airport-egll/scenery/a.bgl"));
    const std::string base = "/" + std::string(240, 'a') + "/";
    EXPECT_FALSE(lf_isSkippedFolder(base + "1234567"));  // 249 units
    EXPECT_TRUE(lf_isSkippedFolder(base + "12345678"));  // 250 units
    EXPECT_FALSE(lf_isSkippedFolder(base + "123456\xC3\xA9")) << "250 bytes, 249 units";
}

}  // namespace
}  // namespace qvl
