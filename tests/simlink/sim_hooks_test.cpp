// The simulator link's hooks are wired whole or not at all: a member left
// out is refused by name when the bundle is published, so a part that never
// wired its side is found at start-up.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "simlink/sim_hooks.h"
#include "simlink/support/complete_hooks.h"

namespace qvl::test {
namespace {

std::string refusal(SimLinkHookSlot& slot, SimLinkHooks hooks) {
    try {
        slot.publish(std::move(hooks));
    } catch (const std::logic_error& e) {
        return e.what();
    }
    return "published";
}

TEST(SimLinkHooks, EveryMemberLeftOutIsRefusedByName) {
    struct Member {
        std::string name;
        std::function<void(SimLinkHooks&)> clear;
    };
    const std::vector<Member> members{
        {"queueSimObjectEvent", [](SimLinkHooks& h) { h.queueSimObjectEvent = nullptr; }},
        {"onSimObjectData", [](SimLinkHooks& h) { h.onSimObjectData = nullptr; }},
        {"onSimObjectDataByType", [](SimLinkHooks& h) { h.onSimObjectDataByType = nullptr; }},
        {"userPosition", [](SimLinkHooks& h) { h.userPosition = nullptr; }},
        {"userAircraft", [](SimLinkHooks& h) { h.userAircraft = nullptr; }},
        {"standNameAtPosition", [](SimLinkHooks& h) { h.standNameAtPosition = nullptr; }},
        {"reserveUserStand", [](SimLinkHooks& h) { h.reserveUserStand = nullptr; }},
        {"repaintWindow", [](SimLinkHooks& h) { h.repaintWindow = nullptr; }},
        {"setStringParameter", [](SimLinkHooks& h) { h.setStringParameter = nullptr; }},
        {"switchSimulator", [](SimLinkHooks& h) { h.switchSimulator = nullptr; }},
    };
    SimLinkHookSlot slot;
    for (const Member& member : members) {
        SimLinkHooks hooks = completeHooks({});
        member.clear(hooks);
        EXPECT_EQ(refusal(slot, std::move(hooks)), "simulator link hooks not wired: " + member.name);
    }
    EXPECT_EQ(refusal(slot, {.userPosition = [] { return GeoPosition{}; }}),
              "simulator link hooks not wired: queueSimObjectEvent, onSimObjectData, onSimObjectDataByType, "
              "userAircraft, standNameAtPosition, reserveUserStand, repaintWindow, setStringParameter, "
              "switchSimulator");
    EXPECT_EQ(refusal(slot, completeHooks({})), "published");
}

TEST(SimLinkHooks, ARefusedBundleLeavesTheWiredOneAndNothingIsCalledBeforeOneIsWired) {
    SimLinkHookSlot slot;
    EXPECT_THROW(slot.repaintWindow(), std::logic_error) << "used before the program wired it";
    int repaints = 0;
    slot.publish(completeHooks({.repaintWindow = [&repaints] { ++repaints; }}));
    SimLinkHooks broken = completeHooks({});
    broken.standNameAtPosition = nullptr;
    EXPECT_THROW(slot.publish(std::move(broken)), std::logic_error);
    slot.repaintWindow();
    EXPECT_EQ(repaints, 1);
}

}  // namespace
}  // namespace qvl::test
