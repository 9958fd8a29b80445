#include <gtest/gtest.h>

#include <thread>

#include "core/parameters.h"
#include "support/settings_fixture.h"

namespace qvl {
namespace {

class ParametersThreaded : public test::SettingsFolder {};

// Two threads save different settings at once: neither save is lost.
TEST_F(ParametersThreaded, ConcurrentSingleSavesLoseNothing) {
    gf_initParameters();
    constexpr int kRounds = 60;
    std::jthread a([] {
        for (int i = 0; i < kRounds; ++i) {
            RANGE.set(i % 2 == 0 ? 50 : 65);
            gf_saveIntParameter(RANGE);
        }
    });
    std::jthread b([] {
        for (int i = 0; i < kRounds; ++i) {
            BLOCK_CALLSIGN.set("CS" + std::to_string(i));
            gf_saveStringParameter(BLOCK_CALLSIGN);
        }
    });
    std::jthread c([] {
        for (int i = 0; i < kRounds; ++i) {
            AEROWINX.set(i % 2 == 0);
            gf_saveBoolParameter(AEROWINX);
        }
    });
    a.join();
    b.join();
    c.join();
    const std::string xml = file();
    EXPECT_NE(xml.find(R"(name="RANGE" value="65")"), std::string::npos) << xml;
    EXPECT_NE(xml.find("name=\"BLOCK_CALLSIGN\" value=\"CS" + std::to_string(kRounds - 1) + "\""), std::string::npos);
    EXPECT_NE(xml.find(R"(name="AEROWINX" value="false")"), std::string::npos);
    EXPECT_EQ(gf_readParameters(), false);  // still a whole, readable file
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "CS" + std::to_string(kRounds - 1));
}

}  // namespace
}  // namespace qvl
