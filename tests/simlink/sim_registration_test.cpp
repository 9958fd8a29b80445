#include <algorithm>
#include <sstream>

#include "simlink/sim_ids.h"
#include "support/sim_link_fixture.h"

namespace qvl {
namespace {

using Texts = std::vector<std::string>;

// The first `words` words after the call's name, one entry per such call.
Texts argumentsOf(const Texts& lines, const std::string& call, int words) {
    Texts out;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        std::string connection, name, word, args;
        in >> connection >> name;
        if (name != call) continue;
        for (int i = 0; i < words && in >> word; ++i) args += (i ? " " : "") + word;
        out.push_back(args);
    }
    return out;
}

class Registration : public test::SimLinkTest {};

TEST_F(Registration, DeclaresEverythingInItsFixedOrder) {
    startSim();
    ASSERT_TRUE(sim::succeeded(sim->open(&handle, "Quorvelant", 0)));
    sim->clearTrace();
    lf_registerSimDefinitions(*handle);
    const Texts lines = sim->traceLines();

    EXPECT_EQ(argumentsOf(lines, "SubscribeToSystemEvent", 2),
              (Texts{"201 Sim", "202 ObjectAdded", "203 ObjectRemoved", "205 FlightLoaded", "204 Frame"}));
    Texts definitions{"407", "408", "409"};
    for (const auto& [id, members] :
         {std::pair<const char*, std::size_t>{"402", 8}, {"403", 12}, {"405", 2}, {"406", 1}, {"404", 4}, {"401", 3}}) {
        definitions.insert(definitions.end(), members, id);
    }
    EXPECT_EQ(argumentsOf(lines, "AddToDataDefinition", 1), definitions);
    // Every mapped event but engine auto start (220) is in the maskable group.
    Texts mapped = argumentsOf(lines, "MapClientEventToSimEvent", 1);
    ASSERT_EQ(mapped.size(), 17u);
    std::erase(mapped, "220");
    Texts grouped;
    for (const std::string& arguments : argumentsOf(lines, "AddClientEventToNotificationGroup", 3)) {
        grouped.push_back(arguments.substr(4, 3));
        EXPECT_TRUE(arguments.starts_with("301 ") && arguments.ends_with(" maskable")) << arguments;
    }
    std::sort(mapped.begin(), mapped.end());
    std::sort(grouped.begin(), grouped.end());
    EXPECT_EQ(grouped, mapped);
    EXPECT_EQ(lines.back(), "c1 SetNotificationGroupPriority 301 1");
    pump();
    EXPECT_FALSE(logHas("EXCEPTION"));  // the simulator knew every name
}

TEST_F(Registration, BlocksHaveTheSizesTheirReadersExpect) {
    connectWithAircraft();
    handle->requestDataOnSimObject(reqUserBlock, defUserBlock, sim::kUserObject, sim::Period::once);
    handle->requestDataOnSimObject(reqUserModel, defUserModel, sim::kUserObject, sim::Period::once);
    handle->requestDataOnSimObjectType(reqAircraftInRange, defAircraftInRange, 1000, sim::kObjectTypeAircraft);
    // The position block is the first 64 bytes of a PositionCommand.
    const PositionCommand p{51.5, 7.25, -0.1, 0.2, 1.0, 3500.0, -12.0, 180.0, aircraft};
    handle->setDataOnSimObject(defAiPosition, aircraft, 0, 0, kAiPositionBlockSize, &p);
    pump();
    ASSERT_EQ(rec.data.size(), 2u);
    EXPECT_EQ(rec.data[0].data.size(), kUserBlockSize);
    EXPECT_EQ(rec.data[1].data.size(), kUserModelBlockSize);
    ASSERT_EQ(rec.byType.size(), 1u);
    EXPECT_EQ(rec.byType[0].data.size(), kAircraftInRangeBlockSize);
    const auto object = sim->object(aircraft);
    EXPECT_DOUBLE_EQ(object->latitude, 51.5);
    EXPECT_DOUBLE_EQ(object->bankRad, 0.2);
    EXPECT_DOUBLE_EQ(object->airspeedKt, 180.0);
    EXPECT_FALSE(logHas("INVALID_DATA_SIZE"));
}

}  // namespace
}  // namespace qvl
