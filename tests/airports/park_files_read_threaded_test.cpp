// A park airport's files read on a thread of their own, so that the main
// loop, which asks each time it comes by, never waits for a download or a
// large file.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "airports/learned_saves.h"
#include "airports/park_airport.h"
#include "airports/support/airports_fixture.h"
#include "core/current_park_airport.h"
#include "core/file_writer.h"
#include "core/paths.h"
#include "core/settings.h"
#include "support/gated_files.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::HttpResponse;
using test::standFile;
using test::writeFile;

class ParkFilesRead : public test::ArchiveFolder {
protected:
    void SetUp() override {
        ArchiveFolder::SetUp();
        airports(R"(<ap c="EHAM" la="52.3" lo="4.76" a="-11" s="210"/>)");
    }
    // A stand file of the user's simaddon folder with `count` stands.
    static ApfLoadRequest userFile(const char* icao, int count) {
        std::string stands;
        for (int i = 0; i < count; ++i) {
            stands += fmt::format(R"(<parkpos id="S{}" latitude="52.3" longitude="{:.3f}" radius="20"/>)", i,
                                  4.76 + 0.01 * i);
        }
        const fs::path file = kMySimaddonFolder / (std::string(icao) + ".xml");
        writeFile(file, standFile({{"airport_name", "Schiphol"}, {"altitude", "-11"}}, stands));
        return {.pathText = file.string(), .icao = FixedCode4(icao)};
    }
    // Asks as the loop does, with a short pause between, for at most 10 s.
    static bool readyWithin(ApfFilesRead& read, const ApfLoadRequest& request) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!read.ready(request)) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    CurrentParkAirportState parkAirport;
    RunState run;
    ParkAirportLinks links{.parkAirport = parkAirport, .range = range, .status = status, .run = run};
};

TEST_F(ParkFilesRead, ADownloadDoesNotHoldTheAskerAndAStopEndsIt) {
    server.route("/downloads/MSFS/archive/stock/EHAM.xml", HttpResponse::stall("<root>"));
    const ApfLoadRequest request{.pathText = "archive/stock/EHAM.xml", .icao = FixedCode4("EHAM")};
    ApfFilesRead read;
    EXPECT_FALSE(read.ready(request)) << "the first question starts the read";
    EXPECT_FALSE(read.ready(request)) << "the site stalls";
    EXPECT_FALSE(read.take(request));
    read.stop();
    ASSERT_TRUE(readyWithin(read, request));
    const std::optional<ApfFiles> files = read.take(request);
    ASSERT_TRUE(files);
    EXPECT_NE(files->error, "");
    EXPECT_FALSE(applyApfFiles(*files, park, links));
    EXPECT_TRUE(park.parkStands.empty());
}

TEST_F(ParkFilesRead, FilesReadBeforeLoadAsTheFilesReadInPlace) {
    const ApfLoadRequest eham = userFile("EHAM", 3);
    ApfFilesRead read;
    ASSERT_TRUE(readyWithin(read, eham));
    const std::optional<ApfFiles> files = read.take(eham);
    ASSERT_TRUE(files);
    EXPECT_FALSE(read.take(eham)) << "taken once";
    ASSERT_TRUE(applyApfFiles(*files, park, links));
    ASSERT_EQ(park.parkStands.size(), 3U);
    EXPECT_EQ(park.parkStands[2].id, "S2");
    EXPECT_EQ(park.parkStands[2].number, 3U);
    EXPECT_TRUE(parkAirport.standsLoaded());

    // The read of an airport no longer wanted is not taken for another.
    const ApfLoadRequest ehrd = userFile("EHRD", 2);
    ASSERT_TRUE(readyWithin(read, eham));
    EXPECT_FALSE(read.ready(ehrd));
    EXPECT_FALSE(read.take(eham));
    ASSERT_TRUE(readyWithin(read, ehrd));
    EXPECT_EQ(read.take(ehrd)->request, ehrd);
}

// Another airport asked for while a download runs: the download is stopped,
// and the other airport's read begins with that question, not once the
// stopped one has ended.
TEST_F(ParkFilesRead, AnotherAirportStopsTheRunningDownloadAndIsReadAtOnce) {
    server.route("/downloads/MSFS/archive/stock/EHAM.xml", HttpResponse::stall("<root>"));
    const ApfLoadRequest eham{.pathText = "archive/stock/EHAM.xml", .icao = FixedCode4("EHAM")};
    const ApfLoadRequest ehrd = userFile("EHRD", 2);
    const std::string stopped = "Download of " + server.baseUrl() + "/downloads/MSFS/archive/stock/EHAM.xml stopped";
    ApfFilesRead read;
    EXPECT_FALSE(read.ready(eham));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (server.requestedPaths().empty() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(server.requestedPaths().empty()) << "the download has begun";
    EXPECT_FALSE(read.ready(ehrd)) << "the question starts the read";
    // Asked no more: the read must be under way already.
    std::optional<ApfFiles> files;
    while (!(files = read.take(ehrd)) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(files);
    ASSERT_TRUE(applyApfFiles(*files, park, links));
    EXPECT_EQ(park.parkStands.size(), 2U);
    while (!logged(stopped) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(logged(stopped)) << log.text();
}

// Every archived stand file is fetched into one file: a download stopped
// while it stalls still ends (and cleans up) when the next one begins, and
// must not spoil it.
TEST_F(ParkFilesRead, ADownloadAskedAgainWhileTheStoppedOneEndsIsFetchedWhole) {
    const std::string path = "/downloads/MSFS/archive/stock/EHAM.xml";
    server.route(path, HttpResponse::stall("<root>"));
    const ApfLoadRequest eham{.pathText = "archive/stock/EHAM.xml", .icao = FixedCode4("EHAM")};
    ApfFilesRead read;
    EXPECT_FALSE(read.ready(eham));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (server.requestedPaths().empty() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(server.requestedPaths().empty()) << "the download has begun";
    server.route(path,
                 HttpResponse::ok(standFile({{"airport_name", "Schiphol"}, {"altitude", "-11"}},
                                            R"(<parkpos id="D4" latitude="52.3" longitude="4.76" radius="20"/>)")));
    read.forget();
    ASSERT_TRUE(readyWithin(read, eham));
    const std::optional<ApfFiles> files = read.take(eham);
    ASSERT_TRUE(files);
    EXPECT_EQ(files->error, "");
    ASSERT_TRUE(applyApfFiles(*files, park, links));
    ASSERT_EQ(park.parkStands.size(), 1U);
    EXPECT_EQ(park.parkStands[0].id, "D4");
}

// A save of a learned file that never returns: handed to a writer as the
// program hands it over, marked as under way, and held at the disk until
// the test releases it.
class HangingLearnedSave {
public:
    HangingLearnedSave(const fs::path& file, std::string bytes) {
        disk_->close();
        auto mark = std::make_shared<LearnedSaveMark>(file);
        writer_.perform(
            file, [file, bytes = std::move(bytes), mark](FileLayer& layer) { return layer.replaceFile(file, bytes); });
        held_ = disk_->waitForWaiter();
    }
    ~HangingLearnedSave() { release(); }
    HangingLearnedSave(const HangingLearnedSave&) = delete;
    HangingLearnedSave& operator=(const HangingLearnedSave&) = delete;

    [[nodiscard]] bool held() const { return held_; }
    // The save ends, within the test's folder.
    void release() {
        disk_->open();
        EXPECT_TRUE(writer_.drain(10s));
    }

private:
    std::shared_ptr<test::GatedFiles> disk_ = std::make_shared<test::GatedFiles>();
    FileWriter writer_{disk_};
    bool held_ = false;
};

// The learned file is read once a save of it under way has ended (the
// airport was left a moment ago), but a save that hangs is waited for only
// up to the bound its owner gives: then the file is read as it stands, and
// the airport loads. The program waits 10 s; the test gives far less, and a
// read that waits the program's bound, or for ever, fails it.
TEST_F(ParkFilesRead, AReadWaitsForAHangingSaveOfTheLearnedFileOnlyUpToItsBound) {
    constexpr std::chrono::milliseconds kBound{200};
    constexpr std::chrono::seconds kFarPastTheBound{5};
    const ApfLoadRequest request = userFile("EHAM", 3);
    const fs::path learnedFile = kLearnedFolder / "my_simaddon" / "EHAM.xml";
    fs::create_directories(learnedFile.parent_path());
    writeFile(learnedFile,
              standFile({{"airport_name", "Schiphol"}, {"WEEK", "true"}},
                        R"(<parkpos id="S1"><opt reg="PH-L" airl="KLM" type="B738" hh="8" day="2"/></parkpos>)"));
    HangingLearnedSave save(learnedFile, standFile({{"airport_name", "Schiphol"}}, ""));
    ASSERT_TRUE(save.held());

    // The load reading its files itself, with the bound its links give.
    const ParkAirportLinks bounded{.parkAirport = parkAirport,
                                   .range = range,
                                   .status = status,
                                   .run = run,
                                   .readBounds = {.learnedSaveWait = kBound}};
    std::future<std::chrono::steady_clock::duration> loading = std::async(std::launch::async, [&] {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(gf_readApf(request, park, bounded));
        return std::chrono::steady_clock::now() - start;
    });
    const bool loadReturned = loading.wait_for(kFarPastTheBound) == std::future_status::ready;
    // The files read before the load, with the bound the reader was built with.
    ApfFilesRead read({.learnedSaveWait = kBound});
    const auto asked = std::chrono::steady_clock::now();
    const bool readReturned = loadReturned && readyWithin(read, request);
    const auto readTook = std::chrono::steady_clock::now() - asked;
    if (!loadReturned || !readReturned) save.release();
    const std::chrono::steady_clock::duration loadTook = loading.get();
    ASSERT_TRUE(loadReturned) << "the load waited for the save past its bound";
    ASSERT_TRUE(readReturned) << "the read waited for the save past its bound";
    EXPECT_GE(loadTook, kBound) << "the load did not wait for the save";
    EXPECT_GE(readTook, kBound) << "the read did not wait for the save";
    EXPECT_LT(readTook, kFarPastTheBound) << "the read waited for the save past its bound";
    EXPECT_TRUE(
        logged("'airports/learned/my_simaddon/EHAM.xml' is still being saved after 0.2 s; it is read as it "
               "stands"))
        << log.text();

    // The learned file as it stood, on top of the stand file.
    ASSERT_EQ(park.parkStands.size(), 3U);
    EXPECT_EQ(park.parkStands[1].flights.size(), 1U);
    EXPECT_TRUE(WEEK.value());
    EXPECT_TRUE(parkAirport.standsLoaded());
    const std::optional<ApfFiles> files = read.take(request);
    ASSERT_TRUE(files);
    ASSERT_TRUE(files->learnedFile);
    ASSERT_TRUE(applyApfFiles(*files, park, links));
    ASSERT_EQ(park.parkStands.size(), 3U);
    EXPECT_EQ(park.parkStands[1].flights.size(), 1U);
}

// A load chosen anew reads the files anew: the learned file may have been
// saved since, when the airport was left.
TEST_F(ParkFilesRead, AForgottenReadIsReadAgain) {
    const ApfLoadRequest eham = userFile("EHAM", 2);
    ApfFilesRead read;
    ASSERT_TRUE(readyWithin(read, eham));
    userFile("EHAM", 4);
    read.forget();
    EXPECT_FALSE(read.ready(eham));
    ASSERT_TRUE(readyWithin(read, eham));
    const std::optional<ApfFiles> files = read.take(eham);
    ASSERT_TRUE(files);
    ASSERT_TRUE(applyApfFiles(*files, park, links));
    EXPECT_EQ(park.parkStands.size(), 4U);
}

}  // namespace
}  // namespace qvl
