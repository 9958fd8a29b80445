#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "liveries/fltsim_section.h"
#include "liveries/livery_scan_state.h"
#include "liveries/livery_tables.h"
#include "liveries/scan_findings.h"
#include "liveries/support/liveries_folder.h"

namespace qvl {
namespace {

constexpr int kWorkers = 8;
constexpr int kTitles = 200;
// Known to the database; BAW and EZY are interned by the workers themselves.
const std::vector<std::string> kAirlines{"DLH", "BAW", "KLM", "EZY"};

class ScanWorkers : public test::LiveriesFolder {};

// Every worker reads the same titles from its own aircraft.cfg, as packages
// that ship the same liveries do, interning codes side by side; merged in
// start order, each title is catalogued exactly once, by the first worker.
TEST_F(ScanWorkers, EachTitleIsTakenByExactlyOneWorker) {
    std::vector<CfgFileFindings> found(kWorkers);
    {
        std::vector<std::jthread> workers;
        for (int w = 0; w < kWorkers; ++w) {
            workers.emplace_back([w, &findings = found[static_cast<std::size_t>(w)]] {
                const CfgFileSource source{.folderIndex = static_cast<std::int16_t>(w),
                                           .cfgPath = "pkg" + std::to_string(w) + "/aircraft.cfg",
                                           .aircraftFolder = "pkg" + std::to_string(w)};
                for (int t = 0; t < kTitles; ++t) {
                    const std::vector<std::string> lines{
                        "[fltsim." + std::to_string(t) + "]", "title=Livery " + std::to_string(t),
                        "icao_airline=" + kAirlines[static_cast<std::size_t>(t) % kAirlines.size()]};
                    if (auto candidate = lf_procesFltSimSection(findings, source, lines, "A320")) {
                        findings.candidates.push_back(std::move(*candidate));
                    }
                }
            });
        }
    }
    LiveryList liveries;
    for (CfgFileFindings& findings : found) mergeFindings(scan_, std::move(findings), liveries);
    std::set<std::string> titles;
    for (const auto& livery : liveries) {
        titles.insert(livery.title);
        EXPECT_EQ(livery.folderIndex, 0) << "the first worker in start order keeps the title";
    }
    EXPECT_EQ(liveries.size(), static_cast<std::size_t>(kTitles));
    EXPECT_EQ(titles.size(), static_cast<std::size_t>(kTitles));
    EXPECT_EQ(scan_.incompleteSections.size(), static_cast<std::size_t>((kWorkers - 1) * kTitles));
    EXPECT_EQ(scan_.seenTitles.size(), static_cast<std::size_t>(kTitles));
}

TEST(ScanProblemLists, LinesAddedFromManyThreadsAreAllKept) {
    LiveryScanState state;
    {
        std::vector<std::jthread> workers;
        for (int w = 0; w < kWorkers; ++w) {
            workers.emplace_back([&state, w] {
                for (int i = 0; i < 500; ++i) {
                    lf_addInvalidModelCode(state, "B7X" + std::to_string(w), "cfg" + std::to_string(i));
                    lf_addModelFix(state, "fix");
                }
            });
        }
    }
    EXPECT_EQ(state.invalidModelCodes.size(), static_cast<std::size_t>(kWorkers * 500));
    EXPECT_EQ(state.modelFixes.size(), static_cast<std::size_t>(kWorkers * 500));
}

// The window asks for the clear while the run thread still reads the tables;
// only the run thread empties them.
TEST_F(ScanWorkers, AClearAskedForFromAnotherThreadLeavesTheTablesToTheRunThread) {
    build({livery("DLH", "A320", "Lufthansa")});
    tables_.catalogueBuilt = true;
    EXPECT_FALSE(honourLiveryTablesClearRequest(tables_)) << "nothing asked for";
    std::atomic<bool> asked{false};
    std::jthread window([this, &asked] {
        gf_requestLiveryTablesClear(tables_);
        asked.store(true);
    });
    while (!asked.load()) {
        ASSERT_EQ(lf_findLiveryTitle(tables_, "Lufthansa"), "Lufthansa");
        ASSERT_TRUE(gf_hasLiveriesFor(tables_, airlineId("DLH"), modelId("A320")));
    }
    window.join();
    EXPECT_TRUE(gf_hasLiveriesFor(tables_, airlineId("DLH"), modelId("A320")));
    EXPECT_TRUE(honourLiveryTablesClearRequest(tables_));
    EXPECT_TRUE(tables_.airlineModels.empty());
    EXPECT_FALSE(tables_.catalogueBuilt);
    EXPECT_FALSE(honourLiveryTablesClearRequest(tables_)) << "honoured once";
}

}  // namespace
}  // namespace qvl
