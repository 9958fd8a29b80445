// A learned file over a fixed stand file: its settings, changes, manual
// stands and flights merged by the park airport's load, and the user's
// settings put back when the airport is left.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

#include "airports/loaded_park_airport.h"
#include "airports/park_airport.h"
#include "core/current_park_airport.h"
#include "core/paths.h"
#include "core/range_control.h"
#include "core/settings.h"
#include "refdata/dbase.h"
#include "support/fuzz_support.h"
#include "support/quiet_status.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("learned_file");
    return folder;
}

const fs::path kStandFile = kMySimaddonFolder / "EHAM.xml";
const fs::path kLearnedFile = kLearnedFolder / "my_simaddon" / "EHAM.xml";

// Three stands; A1 holds two flights of the stand file.
constexpr const char* kAirportStands = R"(<?xml version="1.0"?>
<root><meta><info name="version" value="12.2.0"/><info name="copyright" value="Ostrevane"/><info name="sim" value="1"/></meta>
<parameters><parameter name="airport_name" value="Schiphol"/><parameter name="altitude" value="-11"/></parameters>
<parkpositions>
<parkpos id="A1" latitude="52.3" longitude="4.76" heading="90" radius="30" type="3">
  <opt reg="PH-BXA" airl="KLM" type="B738" hh="12:14" day="3" cs="KLM1"/>
  <opt reg="PH-BXB" airl="KLM" type="B738" hh="20" day="5" soft="true"/></parkpos>
<parkpos id="B2" latitude="52.3002" longitude="4.76" radius="40" cargo="true"/>
<parkpos id="H1" latitude="52.31" longitude="4.77" radius="20" heli="true"/>
</parkpositions></root>
)";

template <typename Setting>
bool withinLimits(const Setting& setting) {
    return setting.value() >= setting.minimum() && setting.value() <= setting.maximum();
}

void expectSoundSettings() {
    expect(withinLimits(parking_percentage), "the parking percentage lies within its limits");
    expect(withinLimits(MAX_LIVE_SEL), "MAX_LIVE_SEL lies within its limits");
    expect(withinLimits(MAX_FIT), "MAX_FIT lies within its limits");
    expect(withinLimits(RANGE), "RANGE lies within its limits");
    expect(rangeNm.load() == static_cast<double>(RANGE.value()), "the traffic radius is RANGE's");
}

void expectSoundStand(const Stand& stand) {
    expect(std::isfinite(stand.latitude) && std::isfinite(stand.longitude), "every stand has a position");
    if (stand.radiusChange || stand.manual) {
        expect(std::isfinite(stand.radius) && stand.radius > 0.0, "a learned radius is a usable radius");
    }
    std::unordered_set<std::uint32_t> ordinals;
    for (const LearnedFlight& flight : stand.flights) {
        expect(flight.day >= 1 && flight.day <= 7, "every flight has a day of the week");
        // A manual stand's own flights are read as a stand file's are.
        if (flight.source == FlightSource::learned && !stand.manual) {
            expect(flight.hours.any(), "every merged flight has half hours");
        }
        expect(flight.ordinal != 0, "every flight read has a number");
        expect(ordinals.insert(flight.ordinal).second, "flight numbers are unique within a stand");
    }
}

void expectSettingsRestored() {
    expect(RANGE.value() == RANGE.defaultValue(), "leaving restores RANGE");
    expect(AUTO_RANGE.value() == AUTO_RANGE.defaultValue(), "leaving restores AUTO_RANGE");
    expect(WEEK.value() == WEEK.defaultValue() && PARK_SOFT.value() == PARK_SOFT.defaultValue(),
           "leaving restores WEEK and PARK_SOFT");
    expect(parking_percentage.value() == parking_percentage.defaultValue(), "leaving restores the parking percentage");
    expect(MAX_FIT.value() == MAX_FIT.defaultValue(), "leaving restores MAX_FIT");
    expect(MAX_LIVE_SEL.value() == MAX_LIVE_SEL.defaultValue(), "leaving restores MAX_LIVE_SEL");
    expect(INITIAL_LOAD_ONLY.value() == INITIAL_LOAD_ONLY.defaultValue(), "leaving restores INITIAL_LOAD_ONLY");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("QVL_ROAMING_DIR", (scratch().path() / "roaming").c_str(), 1);
    const fuzz::InFolder inScratch(scratch().path());
    fs::create_directories(productFolder());
    fs::create_directories(kMySimaddonFolder);
    fs::create_directories(kLearnedFile.parent_path());
    fuzz::writeBytes(kStandFile, kAirportStands);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::InFolder inScratch(scratch().path());
    fuzz::resetAllSettings();
    resetDbaseTables();  // the code tables too, so a long run never fills them
    fuzz::writeBytes(kLearnedFile, fuzz::bytesOf(data, size));

    fuzz::QuietStatus status;
    LoadedParkAirport park{status};
    CurrentParkAirportState parkAirport;
    const RunState run;
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};
    const ApfLoadResult result = gf_readApf({.pathText = kStandFile.string(), .icao = FixedCode4("EHAM")}, park,
                                            {.parkAirport = parkAirport, .range = range, .status = status, .run = run});
    expect(result.ok() || (result.error() == ApfLoadError::noStands && park.apfHandmade),
           "a learned file never makes the airport's own file fail");
    expectSoundSettings();
    for (const Stand& stand : park.parkStands) expectSoundStand(stand);

    gf_applyApfSettings(park, status);
    expectSettingsRestored();
    return 0;
}
