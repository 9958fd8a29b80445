// A program folder for one test: a temporary folder that becomes the working
// folder (the readers use relative input/ paths), with input/ created, Log.txt
// open in it and every reference table empty. All is undone afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "core/log.h"
#include "refdata/airports.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/temp_dir.h"

namespace qvl::test {

class ProgramFolder : public ::testing::Test {
protected:
    void SetUp() override {
        previousFolder_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_.path());
        std::filesystem::create_directories("input");
        gf_openLogAt(folder_ / "Log.txt");
        gf_resetDbaseTables();
        gf_resetAirportList();
    }
    void TearDown() override {
        gf_resetDbaseTables();
        gf_resetAirportList();
        gf_closeLog();
        std::filesystem::current_path(previousFolder_);
    }
    // Encrypts the plain text with the program's key into input/<name>.
    void writeEncrypted(const std::string& name, const std::string& plain) {
        writeFile(folder_ / "plain.tmp", plain);
        ASSERT_TRUE(gf_streamEncrypt(folder_ / "plain.tmp", std::filesystem::path("input") / name));
    }
    bool logHas(const std::string& text) {
        gf_flushLog();
        return readFile(folder_ / "Log.txt").find(text) != std::string::npos;
    }

    TempDir folder_;
    std::filesystem::path previousFolder_;
};

// The repository's data/ folder, where the shipped plain data files live.
inline std::filesystem::path sourceDataFolder() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path() / "data";
}

inline constexpr const char* kDrop = "(drop)";

// A small database: every required section with a little content. A change
// replaces a section's inner XML, or drops the section when it is kDrop.
inline std::string dbaseXml(const std::map<std::string, std::string>& changes = {}) {
    std::map<std::string, std::string> sections{
        {"aircrafts", R"(<aircraft types="B738,A20N"/>)"},        {"cargo_types", R"(<cargo_type types="B77L"/>)"},
        {"heavy", R"(<hvy types="B77L"/>)"},                      {"large", R"(<lar types="A20N, B738"/>)"},
        {"buzjet", R"(<bzj types="C25C"/>)"},                     {"high_performance", R"(<hpf types="TBM9"/>)"},
        {"rotorcraft", R"(<rot types="EC35"/>)"},                 {"ICAO_airlines", R"(<ICAO codes="KLM"/><ICAO codes="DLH"/>)"},
        {"cargo_operators", R"(<ICAO codes="FDX"/>)"},            {"simaddons20", R"(<simaddon20 arpts="EHAM"/>)"},
        {"simaddons24", R"(<simaddon24 arpts="EHAM,EGLL"/>)"},    {"dbase", R"(<d r="D-AINA" a="DLH" m="A20N"/>)"}};
    for (const auto& [name, inner] : changes) sections[name] = inner;
    std::string xml = "<?xml version=\"1.0\"?>\n<root>\n";
    for (const auto& [name, inner] : sections) {
        if (inner != kDrop) xml += "<" + name + ">" + inner + "</" + name + ">\n";
    }
    return xml + "</root>\n";
}

}  // namespace qvl::test
