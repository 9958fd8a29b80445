// Writers and readers of settings at once; under the thread sanitizer any
// unguarded access shows up as a race.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/parameters.h"
#include "core/random.h"
#include "core/setting_controls.h"
#include "core/settings.h"
#include "platform/ui/headless_controls.h"
#include "support/settings_fixture.h"
#include "support/settings_scope.h"

namespace qvl {
namespace {

constexpr int kRounds = 5000;

class SettingsThreaded : public ::testing::Test {
protected:
    void TearDown() override { CALLSIGN_2_OBJECTID.setControlHandle(ui::kNoControl); }
    test::SettingsScope settings;
};

TEST_F(SettingsThreaded, StringAndIntegerWritersAgainstReaders) {
    // Long enough to live on the heap, so a torn copy would show.
    const std::string pathA(200, 'a');
    const std::string pathB = std::string(150, 'b') + "\\Community";
    MSFS_INSTALL_PATH.set(pathA);
    std::atomic<bool> torn{false};
    std::atomic<bool> outOfRange{false};

    constexpr int kReaders = 3;
    std::vector<std::jthread> threads;
    threads.reserve(3 + kReaders);
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) MSFS_INSTALL_PATH.set(i % 2 == 0 ? pathA : pathB);
    });
    threads.emplace_back([] {
        for (int i = 0; i < kRounds; ++i) {
            RANGE.set(RANGE.clamp(i % 150));
            rangeNm.store(RANGE.value());
        }
    });
    threads.emplace_back([] {
        for (int i = 0; i < kRounds; ++i) PROGRAM_VERSION.setDefault(i % 2 == 0 ? "12.2.0" : "12.3.0");
    });
    for (int r = 0; r < kReaders; ++r) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                const std::string path = MSFS_INSTALL_PATH.value();
                if (path != pathA && path != pathB) torn = true;
                const std::int32_t nm = RANGE.value();
                if (nm < RANGE.minimum() || nm > RANGE.maximum()) outOfRange = true;
                const std::string version = PROGRAM_VERSION.defaultValue();
                if (!version.empty() && version != "12.2.0" && version != "12.3.0") torn = true;
                if (rangeMeters() % 1852 != 0) torn = true;  // whole miles are stored
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_FALSE(torn);
    EXPECT_FALSE(outOfRange);
}

TEST_F(SettingsThreaded, CallsignChoicesFilledWhileTheWindowRefills) {
    ui::HeadlessControls controls;
    const auto combo = controls.create(ui::ControlKind::ComboBox, CALLSIGN_2_OBJECTID.controlId());

    std::jthread window([&] {
        for (int i = 0; i < kRounds / 5; ++i) {
            CALLSIGN_2_OBJECTID.setControlHandle(i % 2 == 0 ? combo : ui::kNoControl);
            gf_fillCallsignComboBox(controls);
        }
    });
    std::jthread run([] {
        for (int i = 0; i < kRounds / 5; ++i) {
            CALLSIGN_2_OBJECTID.set("AAL" + std::to_string(i));
            CALLSIGN_2_OBJECTID.setValues({"AAL" + std::to_string(i), "BAW" + std::to_string(i)});
        }
    });
    window.join();
    run.join();

    CALLSIGN_2_OBJECTID.setControlHandle(combo);
    gf_fillCallsignComboBox(controls);
    EXPECT_EQ(controls.items(combo), CALLSIGN_2_OBJECTID.values());
    EXPECT_EQ(controls.currentSelection(combo), 0);
}

class ParametersThreaded : public test::SettingsFolder {};

// Two threads save different settings at once: neither save is lost.
TEST_F(ParametersThreaded, ConcurrentSingleSavesLoseNothing) {
    gf_initParameters();
    constexpr int kSaves = 60;
    std::jthread a([] {
        for (int i = 0; i < kSaves; ++i) {
            RANGE.set(i % 2 == 0 ? 50 : 65);
            gf_saveIntParameter(RANGE);
        }
    });
    std::jthread b([] {
        for (int i = 0; i < kSaves; ++i) {
            BLOCK_CALLSIGN.set("CS" + std::to_string(i));
            gf_saveStringParameter(BLOCK_CALLSIGN);
        }
    });
    std::jthread c([] {
        for (int i = 0; i < kSaves; ++i) {
            AEROWINX.set(i % 2 == 0);
            gf_saveBoolParameter(AEROWINX);
        }
    });
    a.join();
    b.join();
    c.join();
    const std::string xml = file();
    EXPECT_NE(xml.find(R"(name="RANGE" value="65")"), std::string::npos) << xml;
    EXPECT_NE(xml.find("name=\"BLOCK_CALLSIGN\" value=\"CS" + std::to_string(kSaves - 1) + "\""), std::string::npos);
    EXPECT_NE(xml.find(R"(name="AEROWINX" value="false")"), std::string::npos);
    EXPECT_EQ(gf_readParameters(), false);  // still a whole, readable file
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "CS" + std::to_string(kSaves - 1));
}

TEST(RandomThreaded, EachThreadHasItsOwnEngine) {
    std::uint32_t first[2] = {0, 0};
    std::jthread a([&] { first[0] = static_cast<std::uint32_t>(randomEngine()()); });
    std::jthread b([&] { first[1] = static_cast<std::uint32_t>(randomEngine()()); });
    a.join();
    b.join();
    EXPECT_NE(first[0], first[1]);  // equal by chance once in 2^32
}

}  // namespace
}  // namespace qvl
