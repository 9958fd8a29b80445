// A temporary program folder as the working folder (the stand files live in
// relative airports/ folders), with Log.txt open in it, parameters.xml in its
// own roaming folder, fresh settings, an empty reference database and
// airport list, and a headless window bound to the parking controls.
#pragma once

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "airports/loaded_park_airport.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/range_control.h"
#include "core/settings.h"
#include "core/support/bound_controls.h"
#include "refdata/airports.h"
#include "refdata/code_table.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/fake_status.h"
#include "support/http_server.h"
#include "support/log_capture.h"
#include "support/settings_scope.h"
#include "support/temp_dir.h"

namespace qvl::test {

// One <info> row per name of the meta block, as the program writes it.
inline std::string metaBlock(const std::string& version = "12.2.0") {
    return fmt::format(R"(<meta><info name="author" value="Quorvelant"/><info name="version" value="{}"/>)"
                       R"(<info name="copyright" value="Ostrevane"/><info name="sim" value="1"/></meta>)",
                       version);
}

// A stand file: meta, the parameter rows given as name/value pairs, and the
// parkpos elements as written.
inline std::string standFile(const std::vector<std::pair<std::string, std::string>>& parameters,
                             const std::string& parkpositions, const std::string& version = "12.2.0") {
    std::string rows;
    for (const auto& [name, value] : parameters)
        rows += fmt::format(R"(<parameter name="{}" value="{}"/>)", name, value);
    return fmt::format(
        "<?xml version=\"1.0\"?>\n<root>{}<parameters>{}</parameters><parkpositions>{}</parkpositions></root>\n",
        metaBlock(version), rows, parkpositions);
}

class AirportsFolder : public ::testing::Test {
protected:
    void SetUp() override {
        previousFolder_ = std::filesystem::current_path();
        std::filesystem::current_path(folder.path());
        setenv("QVL_ROAMING_DIR", (folder / "roaming").c_str(), 1);
        std::filesystem::create_directories(productFolder());
        for (const auto& sub : {kInputFolder, kMyThirdpartyFolder, kMySimaddonFolder, kLearnedFolder}) {
            std::filesystem::create_directories(sub);
        }
        resetAllSettings();
        resetMessages();
        resetDbaseTables();
        resetAirportList();
    }
    void TearDown() override {
        resetMessages();
        resetDbaseTables();
        resetAirportList();
        unsetenv("QVL_ROAMING_DIR");
        std::filesystem::current_path(previousFolder_);
    }

    bool logged(const std::string& text) const { return log.text().find(text) != std::string::npos; }

    // The airport list from "<ap .../>" rows.
    void airports(const std::string& rows) {
        encrypt("airports.enc", "<?xml version=\"1.0\"?>\n<root><airports>\n" + rows + "</airports></root>\n");
        ASSERT_TRUE(gf_readAirports());
    }

    // The reference database with the given registrations ("<d r=... a=... m=.../>").
    void registrations(const std::string& records) {
        encrypt("dbase.enc", fmt::format(R"(<?xml version="1.0"?>
<root><aircrafts><aircraft types="B738,A20N,B77L"/></aircrafts><cargo_types><cargo_type types="B77L"/></cargo_types>
<heavy><hvy types="B77L"/></heavy><large><lar types="A20N,B738"/></large><buzjet><bzj types="C25C"/></buzjet>
<high_performance><hpf types="TBM9"/></high_performance><rotorcraft><rot types="EC35"/></rotorcraft>
<ICAO_airlines><ICAO codes="KLM"/><ICAO codes="DLH"/></ICAO_airlines><cargo_operators><ICAO codes="FDX"/></cargo_operators>
<simaddons20><simaddon20 arpts="EHAM"/></simaddons20><simaddons24><simaddon24 arpts="EHAM"/></simaddons24>
<dbase>{}</dbase></root>
)",
                                         records));
        ASSERT_TRUE(gf_readDbase());
    }

    static CodeId airline(const char* code) { return gf_airlineId(code); }
    static CodeId model(const char* code) { return gf_modelId(code); }

    SettingsScope settings;
    TempDir folder;
    LogCapture log{folder.path()};
    BoundControls window;
    FakeStatus status{window.controls()};
    LoadedParkAirport park{status};
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};

private:
    void encrypt(const std::string& name, const std::string& plain) {
        writeFile(folder / "plain.tmp", plain);
        ASSERT_TRUE(streamEncrypt(folder / "plain.tmp", kInputFolder / name));
        std::filesystem::remove(folder / "plain.tmp");
    }

    std::filesystem::path previousFolder_;
};

// The folder with the archive served from a loopback server.
class ArchiveFolder : public AirportsFolder {
protected:
    void SetUp() override {
        AirportsFolder::SetUp();
        setenv("QVL_DOWNLOAD_BASE", (server.baseUrl() + "/downloads/").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("QVL_DOWNLOAD_BASE");
        AirportsFolder::TearDown();
    }

    HttpServer server;
};

}  // namespace qvl::test
