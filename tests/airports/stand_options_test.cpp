#include "airports/stand_options.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "airports/support/airports_fixture.h"
#include "core/time_text.h"

namespace qvl {
namespace {

class StandOptions : public test::AirportsFolder {
protected:
    StandOptionResult add(std::string_view registration, std::uint32_t day, std::uint32_t slot,
                          std::string_view callsign = "KLM123_") {
        return lf_addStandOption(options,
                                 {.ids = {.marker = 0},
                                  .weekTime = packDaySlot(day, slot),
                                  .callsign = callsign,
                                  .registration = registration,
                                  .cpl = false},
                                 park);
    }
    static HalfHourSlots slots(std::vector<int> list) {
        HalfHourSlots set;
        for (int slot : list) set.set(static_cast<std::size_t>(slot));
        return set;
    }
    std::vector<LearnedFlight> options;
};

TEST_F(StandOptions, AnOptionIsAddedOncePerRegistrationDayAndHalfHour) {
    const std::atomic<int>& repaints = status.parkingStatsChanges;
    EXPECT_EQ(add("PHBXA", 3, 20).number, 1U);
    ASSERT_EQ(options.size(), 1U);
    EXPECT_EQ(options[0].callsign1, "KLM123") << "one trailing '_' goes";
    EXPECT_EQ(options[0].hours, slots({20}));

    const StandOptionResult again = add("PHBXA", 3, 20);
    EXPECT_FALSE(again.added);
    EXPECT_EQ(again.number, 1U) << "the option that is there";
    EXPECT_EQ(options.size(), 1U);

    SlotList wider{18, 19};
    ASSERT_TRUE(updateOptions(options, wider, 1));
    const StandOptionResult added = add("PHBXA", 3, 20);
    EXPECT_TRUE(added.added) << "option 1 no longer holds just that half hour";
    EXPECT_EQ(added.number, 2U);
    EXPECT_EQ(park.stats.snapshot().updates, 2);
    EXPECT_EQ(repaints, 2);

    EXPECT_EQ(add("", 3, 21).number, 0U) << "no registration, no option";
    EXPECT_THROW(add("PHBXB", 3, 48), std::out_of_range);
    EXPECT_EQ(options.size(), 2U) << "nothing changes on a slot beyond the day";
}

TEST_F(StandOptions, TheDatabaseGivesTheIdsOfAKnownRegistration) {
    registrations(R"(<d r="PH-BXA" a="KLM" m="B738"/>)");
    add("PHBXA", 1, 1);
    EXPECT_EQ(options[0].ids.airlineId, airline("KLM"));
    const DbaseKey given{
        .airlineId = airline("DLH"), .operatorId = 0, .modelId = model("A20N"), .cargo = 0, .marker = 1};
    lf_addStandOption(
        options, {.ids = given, .weekTime = packDaySlot(1, 2), .callsign = "", .registration = "PHBXA", .cpl = true},
        park);
    EXPECT_EQ(options[1].ids, given) << "ids that have a value are kept";
}

TEST_F(StandOptions, CallsignsFillTheFirstThenTheSecondPart) {
    add("PHBXA", 3, 20, "KLM123");
    lf_setOptionCallsign(options, 1, "KLM123_");
    EXPECT_EQ(options[0].callsign2, "");
    lf_setOptionCallsign(options, 1, "KLM9Y");
    lf_setOptionCallsign(options, 1, "KLM77");
    EXPECT_EQ(options[0].callsign2, "KLM77");
    lf_setOptionCallsign(options, 1, "_");
    lf_setOptionCallsign(options, 7, "KLM1");
    EXPECT_EQ(options[0].callsign1, "KLM123");
    EXPECT_EQ(options[0].callsign2, "KLM77");

    add("PHBXB", 3, 20, "");
    lf_setOptionCallsign(options, 2, "DLH4");
    EXPECT_EQ(options[1].callsign1, "DLH4");
    options[1].ordinal = 0;
    lf_setOptionCallsign(options, 0, "DLH5");
    EXPECT_EQ(options[1].callsign2, "") << "an option used up is no option";
}

TEST_F(StandOptions, SlotWalksBackPastMidnight) {
    EXPECT_EQ(lf_slotsBackFrom(packDaySlot(2, 2), 5), (SlotList{2, 1, 0, 47, 46}));
    EXPECT_TRUE(lf_slotsBackFrom(packDaySlot(2, 2), -3).empty());

    add("PREV", 1, 30);
    add("CURR", 2, 30);
    SlotList walk = lf_slotsBackFrom(packDaySlot(2, 2), 5);
    SlotList plain = walk;
    ASSERT_TRUE(updateOptions(options, plain, 1));
    EXPECT_TRUE(plain.empty());
    EXPECT_EQ(options[0].hours, slots({0, 1, 2, 30, 46, 47}));

    options[0].hours = slots({30});
    ASSERT_TRUE(updateOptionsWrapped(options, walk, 1, 2));
    EXPECT_EQ(options[0].hours, slots({30, 46, 47}));
    EXPECT_EQ(options[1].hours, slots({0, 1, 30}));
    EXPECT_EQ(walk, SlotList{2}) << "the newest half hour stays in the list";

    SlotList fromZero{4, 3, 2, 1, 0};
    ASSERT_TRUE(updateOptionsWrapped(options, fromZero, 1, 2));
    EXPECT_EQ(options[0].hours, slots({30, 46, 47})) << "nothing for the previous day";
    EXPECT_EQ(options[1].hours, slots({0, 1, 2, 3, 30}));
    EXPECT_EQ(fromZero, SlotList{4});
}

TEST_F(StandOptions, BadSlotsAndMissingOptionsAnswerFalse) {
    add("A", 1, 5);
    SlotList tooLate{48, 6};
    EXPECT_FALSE(updateOptions(options, tooLate, 1));
    EXPECT_TRUE(options[0].hours.test(6)) << "slots set before the bad one stay";
    EXPECT_TRUE(logged("==> updateOptions exception:"));

    SlotList some{3};
    EXPECT_FALSE(updateOptions(options, some, 9));
    EXPECT_FALSE(updateOptionsWrapped(options, some, 9, 1));
    EXPECT_FALSE(updateOptionsWrapped(options, some, 1, 9));
    SlotList empty;
    EXPECT_FALSE(updateOptionsWrapped(options, empty, 1, 1)) << "an empty list is no walk";
    SlotList wrappedBad{2, 1, 0, 60};
    EXPECT_FALSE(updateOptionsWrapped(options, wrappedBad, 1, 1));
    EXPECT_TRUE(logged("==> updateOptionsWrapped exception:"));
}

}  // namespace
}  // namespace qvl
