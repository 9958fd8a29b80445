// The park airport's stands are published on the run thread while the
// simulator client's thread names the user's stand from them and hands it
// back: every lookup sees one whole publication, never a list in the making.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "airports/stand.h"
#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "engine/base/user_stand_exchange.h"

namespace qvl::test {
namespace {

constexpr GeoPosition kUser{.latitude = 10.0, .longitude = 20.0};
constexpr int kStands = 200;
constexpr int kPublications = 3000;
constexpr int kHandOvers = 100;

// Stands "<prefix>1" under the user, the others a little further north each.
std::vector<Stand> standsOf(const std::string& prefix) {
    std::vector<Stand> stands(kStands);
    for (int i = 0; i < kStands; ++i) {
        stands[static_cast<std::size_t>(i)].id = prefix + std::to_string(i + 1);
        stands[static_cast<std::size_t>(i)].latitude = kUser.latitude + i * 0.001;
        stands[static_cast<std::size_t>(i)].longitude = kUser.longitude;
    }
    return stands;
}

TEST(UserStandExchangeThreaded, TheClientSeesWholePublicationsWhileTheRunThreadPublishes) {
    UserStandExchange exchange;
    const std::vector<Stand> eham = standsOf("E");
    const std::vector<Stand> lfpg = standsOf("L");
    std::atomic<bool> published{false};
    std::atomic<int> handedOver{0};

    std::thread client([&] {
        while (!published.load()) {
            const std::string name = exchange.standNameAt(kUser);
            EXPECT_TRUE(name.empty() || name == "E1" || name == "L1") << name;
            const auto places = exchange.places();
            const std::string_view airport = places->airport.view();
            EXPECT_TRUE(places->stands.empty() || places->stands.size() == static_cast<std::size_t>(kStands));
            for (const NamedStandPosition& place : places->stands) {
                ASSERT_EQ(place.id.front(), airport.front()) << "stands of one airport only";
            }
            if (!name.empty()) {
                exchange.handOverUserStand(name);
                handedOver.fetch_add(1);
            }
        }
    });
    int taken = 0;
    // On until the client has handed over often enough, however the threads are scheduled.
    for (int i = 0; i < kPublications || handedOver.load() < kHandOvers; ++i) {
        switch (i % 3) {
            case 0: exchange.publish(FixedCode4("EHAM"), eham); break;
            case 1: exchange.publish(FixedCode4("LFPG"), lfpg); break;
            default: exchange.clearStands(); break;
        }
        if (const auto handOver = exchange.takeHandOver()) {
            EXPECT_TRUE(handOver->stand == "E1" || handOver->stand == "L1") << handOver->stand;
            ++taken;
        }
    }
    published.store(true);
    client.join();
    if (exchange.takeHandOver()) ++taken;
    EXPECT_LE(taken, handedOver.load()) << "a later hand-over replaces one not taken";
}

}  // namespace
}  // namespace qvl::test
