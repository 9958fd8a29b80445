// The add-on airport scan's pieces in a temporary program folder: a scan
// state, an airport list and the archive tables of the reference database,
// publishers, package trees with manifests, and a facility-data source
// that answers from a table.
#pragma once

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "airports/addon/addon_scan_state.h"
#include "airports/facility/facility_parking_source.h"
#include "airports/stand.h"
#include "airports/support/airports_fixture.h"
#include "refdata/dbase.h"

namespace qvl::test {

inline Stand standAt(const std::string& id, double latitude, bool heli = false) {
    return Stand(id, {}, StandPlacement{.latitude = latitude, .longitude = 4.0, .heading = 1.0}, 20.0,
                 StandKind{.type = heli ? std::uint16_t{7} : std::uint16_t{1}, .heli = heli});
}

class TableFacilities final : public FacilityParkingSource {
public:
    struct Airport {
        std::vector<Stand> stands;
        std::int32_t helipads = 0;
    };
    std::map<std::string, Airport, std::less<>> airports;
    bool connected = true;
    std::vector<std::string> asked;

    FacilityReadResult readFacilityParking(std::string_view icao, ApfRecord& record, std::int32_t& helipads) override {
        asked.emplace_back(icao);
        if (!connected) return {.outcome = FacilityReadOutcome::connectFailed, .scanLogLines = {}};
        const auto found = airports.find(icao);
        if (found == airports.end()) {
            // The simulator knows no stand there.
            return {.outcome = FacilityReadOutcome::noStands,
                    .scanLogLines = {fmt::format("No stand and no helipad in the facility data of {}, no file", icao)}};
        }
        record.stands = found->second.stands;
        helipads = found->second.helipads;
        return {.outcome = FacilityReadOutcome::standsRead, .scanLogLines = {}};
    }
};

class AddonFolder : public AirportsFolder {
protected:
    void SetUp() override {
        AirportsFolder::SetUp();
        airports(R"(<ap c="EGLL" la="51" lo="0" a="83" s="1"/><ap c="EHAM" la="52" lo="4" a="-11" s="1"/>)"
                 R"(<ap c="KMCI" la="39" lo="-94" a="1000" s="1"/><ap c="LFPG" la="49" lo="2" a="392" s="1"/>)");
        DbaseTables& tables = dbaseTablesForWriting();
        tables.publisherGroups = {{"My Pub", "mypub"}, {"Orbx", "orbx"}};
        tables.simaddonAirports20 = {"EHAM"};
        tables.thirdparties20 = {{.publisher = "Orbx", .airports = {"EHAM12"}},
                                 {.publisher = "My Pub", .airports = {"LFPG30", "EGLL117"}}};
        scan.reset();
    }

    // A file with the text, its folders created.
    std::filesystem::path put(const std::filesystem::path& file, const std::string& text = "") {
        std::filesystem::create_directories((folder / file).parent_path());
        writeFile(folder / file, text);
        return folder / file;
    }

    [[nodiscard]] std::string scanLogText() {
        std::string text;
        for (const std::string& line : scanLogLines(scan)) text += line + "\n";
        return text;
    }
    [[nodiscard]] bool inScanLog(const std::string& text) { return scanLogText().find(text) != std::string::npos; }

    AirportsScanState scan;
};

}  // namespace qvl::test
