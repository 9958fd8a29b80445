// A temporary program folder as the working folder (the readers use relative
// input/ paths), with Log.txt open in it and every reference table empty.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "refdata/airports.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl::test {

class ReferenceDataFolder : public ::testing::Test {
protected:
    void SetUp() override {
        previousFolder_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_.path());
        std::filesystem::create_directories("input");
        resetDbaseTables();
        resetAirportList();
    }
    void TearDown() override { std::filesystem::current_path(previousFolder_); }
    void writeEncrypted(const std::string& name, const std::string& plain) {
        writeFile(folder_ / "plain.tmp", plain);
        ASSERT_TRUE(streamEncrypt(folder_ / "plain.tmp", std::filesystem::path("input") / name));
    }
    bool logHas(const std::string& text) const { return log_.text().find(text) != std::string::npos; }
    static CodeId model(const char* code) { return *modelCodes().find(code); }
    static CodeId airline(const char* code) { return *airlineCodes().find(code); }

    TempDir folder_;
    LogCapture log_{folder_.path()};
    std::filesystem::path previousFolder_;
};

inline std::filesystem::path sourceDataFolder() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path() / "data";
}

}  // namespace qvl::test
