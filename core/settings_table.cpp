// Every setting of the program with its key, default, limits, allowed values
// and control (id and row), then the registries and the stand file's parking
// keys. Registries and keys are defined below the settings in this one file,
// so that static initialisation builds them after the objects they point to.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/settings.h"
#include "platform/units.h"

namespace qvl {

namespace {

constexpr std::int32_t kDefaultRangeNm = 40;

// first, first + step, ... up to last.
std::vector<std::int32_t> stepList(std::int32_t first, std::int32_t last, std::int32_t step) {
    std::vector<std::int32_t> values;
    for (std::int32_t v = first; v <= last; v += step) {
        values.push_back(v);
    }
    return values;
}

}  // namespace

// Booleans.
BoolParameter RANDOM("RANDOM", true);
BoolControlParameter ALWAYS_ON_TOP("ALWAYS_ON_TOP", false, {.controlId = 32771, .rowY = 147});
BoolControlParameter OBJECTID_LIST("OBJECTID_LIST", false, {.controlId = 32775, .rowY = 175});
BoolControlParameter NAV_LIGHTS_WHILE_PARKED("NAV_LIGHTS_WHILE_PARKED", true, {.controlId = 32774, .rowY = 175});
BoolControlParameter AEROWINX("AEROWINX", false, {.controlId = 32776, .rowY = 203});
BoolControlParameter GUID_CHANGES("GUID_CHANGES", true, {.controlId = 32773, .rowY = 203});
BoolControlParameter SCAN_LIVERIES("SCAN_LIVERIES", true, {.controlId = 32798, .rowY = 147});
BoolControlParameter LIG_AUTOMATIC("LIG_AUTOMATIC", true, {.controlId = 32799, .rowY = 147});
BoolControlParameter LIG_PRIORITIZE("LIG_PRIORITIZE", true, {.controlId = 32800, .rowY = 147});
BoolControlParameter SCAN_AIRPORTS("SCAN_AIRPORTS", true, {.controlId = 32802, .rowY = 175});
BoolControlParameter LIGHT_AIRCRAFT("LIGHT_AIRCRAFT", true, {.controlId = 32809, .rowY = 203});
BoolControlParameter HELICOPTERS("HELICOPTERS", true, {.controlId = 32810, .rowY = 203});
BoolControlParameter HIGH_PERF_AIRCRAFT("HIGH_PERF_AIRCRAFT", true, {.controlId = 32811, .rowY = 203});
BoolControlParameter AUTO_RANGE("AUTO_RANGE", true, {.controlId = 32819, .rowY = 231});
BoolControlParameter AIRBORNE_ONLY("AIRBORNE_ONLY", false, {.controlId = 32821, .rowY = 231});
BoolControlParameter COLLISION_USER_GND("COLLISION_USER_GND", true, {.controlId = 32834, .rowY = 287});
BoolControlParameter COLLISION_USER_AIR("COLLISION_USER_AIR", true, {.controlId = 32833, .rowY = 287});
BoolControlParameter COLLISION_LIVE_PARKED_GND("COLLISION_LIVE_PARKED_GND", false, {.controlId = 32835, .rowY = 287});
BoolControlParameter STRAIGHT_PBS_ONLY("STRAIGHT_PBS_ONLY", false, {.controlId = 32855, .rowY = 315});
BoolControlParameter INITIAL_LOAD_ONLY("INITIAL_LOAD_ONLY", false, {.controlId = 32851, .rowY = 371});
BoolControlParameter WEEK("WEEK", false, {.controlId = 32853, .rowY = 371});
BoolControlParameter PARK_SOFT("PARK_SOFT", false, {.controlId = 32852, .rowY = 371});

// Integers.
RangeParameter MAIN_WINDOW_X("MAIN_WINDOW_X", {.defaultValue = 400, .minimum = -30000, .maximum = 30000});
RangeParameter MAIN_WINDOW_Y("MAIN_WINDOW_Y", {.defaultValue = 20, .minimum = -30000, .maximum = 30000});
RangeParameter LAST_EPOCH_TIME("LAST_EPOCH_TIME:", {.defaultValue = 0, .minimum = 0, .maximum = 2147483647});
RangeParameter CUSTOM_PARKING_PERCENTAGE("CUSTOM_PARKING_PERCENTAGE",
                                         {.defaultValue = -1, .minimum = -1, .maximum = 100});
RangeParameter HOLDING_THRESHOLD_METERS("HOLDING_THRESHOLD_METERS",
                                        {.defaultValue = 250, .minimum = 10, .maximum = 4000});
RangeParameter MAX_HOLDING_MINUTES("MAX_HOLDING_MINUTES", {.defaultValue = 20, .minimum = 1, .maximum = 60});
RangeControlParameter AIRP_HEIGHT("AIRP_HEIGHT", 18000,
                                  {2000, 4000, 6000, 8000, 10000, 12000, 14000, 16000, 18000, 36000, 48000},
                                  {.controlId = 32841, .rowY = 343});
RangeParameter MAX_FIT("MAX_FIT", {.defaultValue = 47, .minimum = 0, .maximum = 47});
RangeControlParameter MATCHING_DEPTH("MATCHING_DEPTH", 4, {1, 2, 3, 4}, {.controlId = 32808, .rowY = 203});
RangeControlParameter RANGE("RANGE", kDefaultRangeNm,
                            {2, 3, 4, 5, 6, 8, 10, 12, 14, 16, 18, 20, 25, 30, 35, 40, 50, 65, 80, 100},
                            {.controlId = 32818, .rowY = 231});
RangeControlParameter AR_ABOVE_HEIGHT("AR_ABOVE_HEIGHT", 48000, stepList(18000, 48000, 3000),
                                      {.controlId = 32820, .rowY = 231});
RangeControlParameter MAX_PARK_SEL("MAX_PARK_SEL", 500, {0, 10, 25, 50, 75, 100, 500},
                                   {.controlId = 32848, .rowY = 315});
RangeControlParameter MAX_LIVE_SEL("MAX_LIVE_SEL", 500, {0, 10, 25, 50, 75, 100, 500},
                                   {.controlId = 32849, .rowY = 315});
RangeControlParameter AIRP_RANGE("AIRP_RANGE", 20, {5, 10, 15, 20, 25, 30}, {.controlId = 32840, .rowY = 343});
RangeControlParameter parking_percentage("parking_percentage", 30, stepList(0, 100, 5),
                                         {.controlId = 32850, .rowY = 371});
FloatRangeControlParameter MAX_FIT_FL("MAX_FIT_FL", 24.0F,
                                      {0.5F, 1.0F, 1.5F, 2.0F, 2.5F,  3.0F,  3.5F,  4.0F,  4.5F,  5.0F,
                                       6.0F, 7.0F, 8.0F, 9.0F, 10.0F, 12.0F, 15.0F, 18.0F, 21.0F, 24.0F},
                                      {.controlId = 32854, .rowY = 371});

// Constant-initialised, so readers in other translation units see them even
// during static initialisation.
constinit std::atomic<double> rangeNm{static_cast<double>(kDefaultRangeNm)};

std::int32_t rangeMeters() {
    const double metres = rangeNm.load() * kMetresPerNm;
    if (!(metres >= 0.0)) return 0;  // NaN included
    return static_cast<std::int32_t>(std::min(metres, static_cast<double>(INT32_MAX)));
}

// Texts.
StringParameter PROGRAM_VERSION("PROGRAM_VERSION", "");
StringParameter MSFS_INSTALL_PATH("MSFS_INSTALL_PATH", "");
StringParameter PORT_NUMBER("PORT_NUMBER", "10747");
StringParameter lfolder0("lfolder0", "");
StringParameter lfolder1("lfolder1", "");
StringParameter lfolder2("lfolder2", "");
StringParameter lfolder3("lfolder3", "");
StringParameter lfolder4("lfolder4", "");
StringParameter lfolder5("lfolder5", "");
StringParameter lfolder6("lfolder6", "");
StringParameter lfolder7("lfolder7", "");
StringParameter lfolder8("lfolder8", "");
StringParameter lfolder9("lfolder9", "");
StringParameter AIG_VERSION("AIG_VERSION", "");
StringParameter DBASE_VERSION("DBASE_VERSION", "");
StringParameter AIRPORTS_VERSION("AIRPORTS_VERSION", "");
StringParameter LIV_SCAN_VERSION("LIV_SCAN_VERSION", "");
StringParameter ADDONS_SCAN_VERSION("ADDONS_SCAN_VERSION", "");
StringParameter MYSIMADDON24_VERSION("MYSIMADDON24_VERSION", "");
StringParameter MSFS_2024_INSTALL_PATH("MSFS_2024_INSTALL_PATH", "");
// Every ordering of every non-empty subset of the four package families,
// largest subsets first.
ChoiceParameter AI_PACKAGE_SELECTOR("AI_PACKAGE_SELECTOR", "AIG, FSLTL, JF, MTL",
                                    {
                                        "AIG, FSLTL, JF, MTL",
                                        "AIG, FSLTL, MTL, JF",
                                        "AIG, JF, FSLTL, MTL",
                                        "AIG, JF, MTL, FSLTL",
                                        "AIG, MTL, FSLTL, JF",
                                        "AIG, MTL, JF, FSLTL",
                                        "FSLTL, AIG, JF, MTL",
                                        "FSLTL, AIG, MTL, JF",
                                        "FSLTL, JF, AIG, MTL",
                                        "FSLTL, JF, MTL, AIG",
                                        "FSLTL, MTL, AIG, JF",
                                        "FSLTL, MTL, JF, AIG",
                                        "JF, AIG, FSLTL, MTL",
                                        "JF, AIG, MTL, FSLTL",
                                        "JF, FSLTL, AIG, MTL",
                                        "JF, FSLTL, MTL, AIG",
                                        "JF, MTL, AIG, FSLTL",
                                        "JF, MTL, FSLTL, AIG",
                                        "MTL, AIG, FSLTL, JF",
                                        "MTL, AIG, JF, FSLTL",
                                        "MTL, FSLTL, AIG, JF",
                                        "MTL, FSLTL, JF, AIG",
                                        "MTL, JF, AIG, FSLTL",
                                        "MTL, JF, FSLTL, AIG",
                                        "AIG, FSLTL, JF",
                                        "AIG, JF, FSLTL",
                                        "FSLTL, AIG, JF",
                                        "FSLTL, JF, AIG",
                                        "JF, AIG, FSLTL",
                                        "JF, FSLTL, AIG",
                                        "AIG, FSLTL, MTL",
                                        "AIG, MTL, FSLTL",
                                        "FSLTL, AIG, MTL",
                                        "FSLTL, MTL, AIG",
                                        "MTL, AIG, FSLTL",
                                        "MTL, FSLTL, AIG",
                                        "AIG, JF, MTL",
                                        "AIG, MTL, JF",
                                        "JF, AIG, MTL",
                                        "JF, MTL, AIG",
                                        "MTL, AIG, JF",
                                        "MTL, JF, AIG",
                                        "FSLTL, JF, MTL",
                                        "FSLTL, MTL, JF",
                                        "JF, FSLTL, MTL",
                                        "JF, MTL, FSLTL",
                                        "MTL, FSLTL, JF",
                                        "MTL, JF, FSLTL",
                                        "AIG, FSLTL",
                                        "FSLTL, AIG",
                                        "AIG, JF",
                                        "JF, AIG",
                                        "AIG, MTL",
                                        "MTL, AIG",
                                        "FSLTL, JF",
                                        "JF, FSLTL",
                                        "FSLTL, MTL",
                                        "MTL, FSLTL",
                                        "JF, MTL",
                                        "MTL, JF",
                                        "AIG",
                                        "FSLTL",
                                        "JF",
                                        "MTL",
                                    },
                                    {.controlId = 32790, .rowY = 147});
StringControlParameter DESTINATION("DESTINATION", "", {.controlId = 32839, .rowY = 343});
StringControlParameter BLOCK_CALLSIGN("BLOCK_CALLSIGN", "", {.controlId = 32828, .rowY = 259});
ChoiceParameter SIM_CHOICE("SIM_CHOICE", std::string(kSimChoice2020),
                           {std::string(kSimChoice2020), std::string(kSimChoice2024)},
                           {.controlId = 32789, .rowY = 119});
StringControlParameter ALL_INSTALL_PATH("ALL_INSTALL_PATH", "", {.controlId = 32788, .rowY = 119});
SharedChoiceParameter CALLSIGN_2_OBJECTID("CALLSIGN_2_OBJECTID", "", {.controlId = 32831, .rowY = 259});

// Buttons.
CommandButton FLUSH_STATIC_BUTTON("Flush static", {.controlId = 32857, .rowY = 369});
CommandButton TBLO_ZIP_BUTTON("tblo.zip", {.controlId = 32804, .rowY = 175});
CommandButton UNBLOCK_BUTTON("Unblock", {.controlId = 32829, .rowY = 257});
CommandButton CS_TO_OID_BUTTON("cs->oid:", {.controlId = 32830, .rowY = 257});
CommandButton BLOCK_BUTTON("Block", {.controlId = 32832, .rowY = 257});
CommandButton NOW_BUTTON("Now", {.controlId = 32847, .rowY = 313});
CommandButton REREAD_BUTTON("Re-read", {.controlId = 32838, .rowY = 341});

// Registries. Settings outside them (parking_percentage, MAX_FIT_FL,
// ALL_INSTALL_PATH, CALLSIGN_2_OBJECTID, the buttons) are never read from
// parameters.xml nor written by the whole-file writer.
const std::vector<BoolParameter*> boolParameters{&RANDOM};

const std::vector<BoolControlParameter*> boolControlParameters{
    &ALWAYS_ON_TOP,
    &OBJECTID_LIST,
    &NAV_LIGHTS_WHILE_PARKED,
    &AEROWINX,
    &GUID_CHANGES,
    &SCAN_LIVERIES,
    &LIG_AUTOMATIC,
    &LIG_PRIORITIZE,
    &SCAN_AIRPORTS,
    &LIGHT_AIRCRAFT,
    &HELICOPTERS,
    &HIGH_PERF_AIRCRAFT,
    &AUTO_RANGE,
    &AIRBORNE_ONLY,
    &COLLISION_USER_GND,
    &COLLISION_USER_AIR,
    &COLLISION_LIVE_PARKED_GND,
    &STRAIGHT_PBS_ONLY,
    &INITIAL_LOAD_ONLY,
    &WEEK,
    &PARK_SOFT,
};

const std::vector<RangeParameter*> rangeParameters{
    &MAIN_WINDOW_X,       &MAIN_WINDOW_Y, &LAST_EPOCH_TIME, &CUSTOM_PARKING_PERCENTAGE, &HOLDING_THRESHOLD_METERS,
    &MAX_HOLDING_MINUTES, &AIRP_HEIGHT,   &MAX_FIT,
};

const std::vector<RangeControlParameter*> rangeControlParameters{
    &MATCHING_DEPTH, &RANGE, &AR_ABOVE_HEIGHT, &MAX_PARK_SEL, &MAX_LIVE_SEL, &AIRP_RANGE, &AIRP_HEIGHT,
};

const std::vector<StringParameter*> stringParameters{
    &PROGRAM_VERSION,
    &MSFS_INSTALL_PATH,
    &PORT_NUMBER,
    &lfolder0,
    &lfolder1,
    &lfolder2,
    &lfolder3,
    &lfolder4,
    &lfolder5,
    &lfolder6,
    &lfolder7,
    &lfolder8,
    &lfolder9,
    &AIG_VERSION,
    &DBASE_VERSION,
    &AIRPORTS_VERSION,
    &LIV_SCAN_VERSION,
    &ADDONS_SCAN_VERSION,
    &MYSIMADDON24_VERSION,
    &MSFS_2024_INSTALL_PATH,
    &AI_PACKAGE_SELECTOR,
    &DESTINATION,
};

const std::vector<StringControlParameter*> shownStringParameters{&BLOCK_CALLSIGN, &SIM_CHOICE};

void resetAllSettings() {
    const auto resetEach = [](const auto& registry) {
        for (Parameter* setting : registry) setting->reset();
    };
    resetEach(boolParameters);
    resetEach(boolControlParameters);
    resetEach(rangeParameters);
    resetEach(rangeControlParameters);
    resetEach(stringParameters);
    resetEach(shownStringParameters);
    // The settings outside the registries.
    for (Parameter* setting :
         std::initializer_list<Parameter*>{&parking_percentage, &MAX_FIT_FL, &ALL_INSTALL_PATH, &CALLSIGN_2_OBJECTID}) {
        setting->reset();
    }
    rangeNm.store(static_cast<double>(RANGE.value()));
}

// Views into the keys above, which live as long as the views.
const std::array<std::string_view, 8> parkingSettingKeys{
    RANGE.key(),   AUTO_RANGE.key(), INITIAL_LOAD_ONLY.key(), PARK_SOFT.key(), parking_percentage.key(),
    MAX_FIT.key(), WEEK.key(),       MAX_LIVE_SEL.key(),
};

}  // namespace qvl
