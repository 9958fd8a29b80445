#include "core/parameters.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/files.h"
#include "platform/ui/headless_controls.h"
#include "support/settings_fixture.h"

namespace qvl {
namespace {

using test::readFile;
using test::writeFile;

std::string wrap(const std::string& params) {
    return "<?xml version=\"1.0\"?><root><parameters>" + params + "</parameters></root>";
}

std::string param(const std::string& name, const std::string& value) {
    return "<parameter name=\"" + name + "\" value=\"" + value + "\"/>";
}

int countOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class Parameters : public test::SettingsFolder {};

TEST_F(Parameters, MissingFileIsCreatedWithDefaultsAndBothScansOn) {
    SCAN_LIVERIES.set(false);
    SCAN_AIRPORTS.set(false);
    gf_initParameters();
    EXPECT_TRUE(SCAN_LIVERIES.value());
    EXPECT_TRUE(SCAN_AIRPORTS.value());
    const std::string xml = file();
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <parameters>\n", 0), 0u) << xml;
    EXPECT_NE(xml.find(R"(<parameter name="PROGRAM_VERSION" value="12.2.0" />)"), std::string::npos);
    EXPECT_NE(xml.find(R"(<parameter name="SCAN_LIVERIES" value="true" />)"), std::string::npos);
    EXPECT_NE(xml.find(R"(<parameter name="LAST_EPOCH_TIME:" value="0" />)"), std::string::npos);
    EXPECT_EQ(countOf(xml, R"(name="AIRP_HEIGHT" value="18000")"), 2);
    for (const char* absent : {"parking_percentage", "MAX_FIT_FL", "ALL_INSTALL_PATH", "CALLSIGN_2_OBJECTID"}) {
        EXPECT_EQ(xml.find(absent), std::string::npos) << absent;
    }
    // Registries in order: the first and the last elements written.
    EXPECT_LT(xml.find("\"RANDOM\""), xml.find("\"ALWAYS_ON_TOP\""));
    EXPECT_LT(xml.find("\"MAX_FIT\""), xml.find("\"MATCHING_DEPTH\""));
    EXPECT_LT(xml.find("\"DESTINATION\""), xml.find("\"BLOCK_CALLSIGN\""));
    EXPECT_LT(xml.find("\"BLOCK_CALLSIGN\""), xml.find("\"SIM_CHOICE\""));
    EXPECT_NE(log.text().find(" not found, creating new with default values:"), std::string::npos);
}

TEST_F(Parameters, MalformedOrRootlessOrEmptyFiles) {
    writeParameters("<root><parameters><parameter name=");  // malformed
    EXPECT_TRUE(gf_readParameters());
    // The damaged file is kept aside before it is replaced.
    EXPECT_EQ(readFile(gf_parametersFile().parent_path() / "parameters0.xml"), "<root><parameters><parameter name=");
    EXPECT_NE(file().find("PROGRAM_VERSION"), std::string::npos);

    writeParameters("<root><other/></root>");  // no parameters element
    EXPECT_TRUE(gf_readParameters());

    // Elements straight under parameters at document level: read normally,
    // and the first single-setting save rewrites the file with root.
    writeParameters("<parameters>" + param("RANGE", "65") + param("PORT_NUMBER", "20000") + "</parameters>");
    EXPECT_FALSE(gf_readParameters());
    EXPECT_EQ(RANGE.value(), 65);
    EXPECT_EQ(PORT_NUMBER.value(), "20000");
    MATCHING_DEPTH.set(2);
    gf_saveIntParameter(MATCHING_DEPTH);
    const std::string xml = file();
    EXPECT_NE(xml.find("<root>"), std::string::npos);
    EXPECT_NE(xml.find(R"(name="MATCHING_DEPTH" value="2")"), std::string::npos);
    EXPECT_NE(xml.find(R"(name="RANGE" value="65")"), std::string::npos);
    EXPECT_NE(log.text().find("Placing a root level around a new parameters.xml"), std::string::npos);
}

TEST_F(Parameters, ValuesAreClampedDefaultedAndSpelledAsStored) {
    writeParameters(wrap(param("RANGE", "1") + param("AIRP_RANGE", "500") + param("AR_ABOVE_HEIGHT", "20000") +
                         param("CUSTOM_PARKING_PERCENTAGE", "-5") + param("MAX_HOLDING_MINUTES", "abc") +
                         param("ALWAYS_ON_TOP", "1") + param("OBJECTID_LIST", "yes") + param("AEROWINX", "Yes") +
                         param("GUID_CHANGES", "no") + param("SCAN_LIVERIES", "0") + param("LIG_AUTOMATIC", "x") +
                         param("RANDOM", "t") + param("lfolder3", "/data/ai &amp; more") +
                         param("parking_percentage", "77") + "<parameter name=\"MAX_FIT\"/>"));
    EXPECT_FALSE(gf_readParameters());
    EXPECT_EQ(RANGE.value(), 2);
    EXPECT_EQ(AIRP_RANGE.value(), 30);
    EXPECT_EQ(AR_ABOVE_HEIGHT.value(), 20000);  // inside the limits though not in the list: kept
    EXPECT_EQ(CUSTOM_PARKING_PERCENTAGE.value(), -1);
    EXPECT_EQ(MAX_HOLDING_MINUTES.value(), 1);  // abc reads as 0, then clamped
    EXPECT_EQ(MAX_FIT.value(), 0);              // no value attribute: 0
    EXPECT_TRUE(ALWAYS_ON_TOP.value());
    EXPECT_TRUE(OBJECTID_LIST.value());
    EXPECT_TRUE(AEROWINX.value());
    EXPECT_TRUE(RANDOM.value());
    EXPECT_FALSE(GUID_CHANGES.value());
    EXPECT_FALSE(SCAN_LIVERIES.value());
    EXPECT_FALSE(LIG_AUTOMATIC.value());
    EXPECT_EQ(lfolder3.value(), "/data/ai & more");
    EXPECT_EQ(parking_percentage.value(), 30);  // never read from the file
    // Missing keys were appended with their defaults and the file saved again.
    EXPECT_NE(file().find(R"(name="MAX_PARK_SEL" value="500")"), std::string::npos);
}

TEST_F(Parameters, DuplicateAndUnknownKeys) {
    writeParameters(wrap(param("RANGE", "10") + param("RANGE", "20") + param("NO_SUCH_KEY", "kept")));
    EXPECT_FALSE(gf_readParameters());
    EXPECT_EQ(RANGE.value(), 10);  // the first one counts
    EXPECT_NE(file().find("NO_SUCH_KEY"), std::string::npos);  // survives a start

    RANGE.set(35);
    gf_saveIntParameter(RANGE);
    EXPECT_EQ(countOf(file(), R"(name="RANGE" value="35")"), 2);  // every match updated
    EXPECT_NE(file().find("NO_SUCH_KEY"), std::string::npos);     // survives a single save

    parking_percentage.set(45);
    gf_saveIntParameter(parking_percentage);  // not in a registry, still written
    EXPECT_NE(file().find(R"(name="parking_percentage" value="45")"), std::string::npos);

    gf_saveAllParameters(false);  // a whole-file write drops both
    EXPECT_EQ(file().find("NO_SUCH_KEY"), std::string::npos);
    EXPECT_EQ(file().find("parking_percentage"), std::string::npos);
}

TEST_F(Parameters, SingleSaveOfAnUnreadableFileKeepsEveryOtherSetting) {
    gf_initParameters();
    RANGE.set(80);
    PORT_NUMBER.set("11000");
    writeParameters("garbage <<<");
    BLOCK_CALLSIGN.set("KLM123");
    gf_saveStringParameter(BLOCK_CALLSIGN);
    const std::string xml = file();
    EXPECT_NE(xml.find(R"(name="BLOCK_CALLSIGN" value="KLM123")"), std::string::npos);
    EXPECT_NE(xml.find(R"(name="RANGE" value="80")"), std::string::npos);
    EXPECT_NE(xml.find(R"(name="PORT_NUMBER" value="11000")"), std::string::npos);
    EXPECT_EQ(readFile(gf_parametersFile().parent_path() / "parameters0.xml"), "garbage <<<");
}

TEST_F(Parameters, FailedRenameLeavesTheOldFileWhole) {
    gf_initParameters();
    const std::string before = file();
    RANGE.set(100);
    gf_setRenameFunctionForTests([](const char*, const char*) { return -1; });
    gf_saveIntParameter(RANGE);
    gf_saveAllParameters(false);
    gf_setRenameFunctionForTests(nullptr);
    EXPECT_EQ(file(), before);
    EXPECT_NE(log.text().find("==> saving: "), std::string::npos);
    gf_saveIntParameter(RANGE);
    EXPECT_NE(file().find(R"(name="RANGE" value="100")"), std::string::npos);
}

TEST_F(Parameters, ControlsShowWhatWasRead) {
    auto controls = std::make_shared<ui::HeadlessControls>();
    ALWAYS_ON_TOP.setControlHandle(controls->create(ui::ControlKind::CheckBox, ALWAYS_ON_TOP.controlId()));
    RANGE.setControlHandle(controls->create(ui::ControlKind::ComboBox, RANGE.controlId()));
    BLOCK_CALLSIGN.setControlHandle(controls->create(ui::ControlKind::Edit, BLOCK_CALLSIGN.controlId()));
    ui::installControls(controls);
    writeParameters(wrap(param("ALWAYS_ON_TOP", "true") + param("RANGE", "25") + param("BLOCK_CALLSIGN", "DLH4")));
    EXPECT_FALSE(gf_readParameters());
    EXPECT_TRUE(controls->isChecked(ALWAYS_ON_TOP.controlHandle()));
    EXPECT_EQ(controls->text(RANGE.controlHandle()), "25");
    EXPECT_EQ(controls->text(BLOCK_CALLSIGN.controlHandle()), "DLH4");
    // A control the window never made is logged, not crashed on.
    EXPECT_NE(log.text().find("GetDlgItem failed for ID 32808"), std::string::npos);
    ui::installControls(nullptr);
    for (ControlBinding* b : std::initializer_list<ControlBinding*>{&ALWAYS_ON_TOP, &RANGE, &BLOCK_CALLSIGN}) {
        b->setControlHandle(ui::kNoControl);
    }
}

// The upgrade by stored program version, with dummy data files to see what goes.
class Upgrade : public test::SettingsFolder {
protected:
    void prepare(const std::string& storedVersion) {
        writeParameters(wrap(param("PROGRAM_VERSION", storedVersion) + param("RANGE", "65")));
        std::filesystem::create_directories("input");
        std::filesystem::create_directories("new_version/sub");
        for (const char* f : {"input/dbase.enc", "input/airports.enc", "input/AIG-regcodes.enc"}) writeFile(f, "x");
        gf_initParameters();
    }
    bool dataFilesKept() {
        return std::filesystem::exists("input/dbase.enc") && std::filesystem::exists("input/airports.enc") &&
               std::filesystem::exists("input/AIG-regcodes.enc");
    }
    bool dataFilesGone() {
        return !std::filesystem::exists("input/dbase.enc") && !std::filesystem::exists("input/airports.enc") &&
               !std::filesystem::exists("input/AIG-regcodes.enc");
    }
};

TEST_F(Upgrade, TooOldResetsEverything) {
    prepare("11.0.1");
    EXPECT_TRUE(dataFilesGone());
    const std::string text = log.text();
    EXPECT_NE(text.find("This is a version update from 11.0.1 -> 12.2.0"), std::string::npos);
    EXPECT_NE(text.find("Your previous version was too old"), std::string::npos);
    EXPECT_NE(text.find("Quorvelant re-starts with default parameter values ..."), std::string::npos);
    EXPECT_NE(file().find(R"(name="RANGE" value="40")"), std::string::npos);  // defaults in the file
    EXPECT_EQ(RANGE.value(), 65);  // this run keeps what it read
    EXPECT_TRUE(std::filesystem::exists("new_version"));
}

TEST_F(Upgrade, BeforeTwelveRemovesDataFilesAndKeepsSettings) {
    for (const char* v : {"11.0.2", "11.9.0"}) {
        prepare(v);
        EXPECT_TRUE(dataFilesGone()) << v;
        EXPECT_FALSE(std::filesystem::exists("new_version")) << v;
        EXPECT_NE(file().find(R"(name="RANGE" value="65")"), std::string::npos) << v;
        EXPECT_NE(file().find(R"(name="PROGRAM_VERSION" value="12.2.0")"), std::string::npos) << v;
    }
}

TEST_F(Upgrade, SameMajorOnlyRemovesTheDownloadFolder) {
    prepare("12.1.7");
    EXPECT_TRUE(dataFilesKept());
    EXPECT_FALSE(std::filesystem::exists("new_version"));
}

TEST_F(Upgrade, SameOrNewerVersionChangesNothingElse) {
    prepare("12.2.0");
    EXPECT_TRUE(dataFilesKept());
    EXPECT_TRUE(std::filesystem::exists("new_version"));
    EXPECT_EQ(log.text().find("version update"), std::string::npos);

    prepare("13.0.0");
    EXPECT_TRUE(dataFilesKept());
    EXPECT_TRUE(std::filesystem::exists("new_version"));
    EXPECT_NE(file().find(R"(name="PROGRAM_VERSION" value="12.2.0")"), std::string::npos);
}

TEST_F(Upgrade, StrayBlanksAroundTheVersionAreNotAVersionChange) {
    prepare(" 12.2.0&#10;");
    EXPECT_TRUE(dataFilesKept());
    EXPECT_TRUE(std::filesystem::exists("new_version"));
    EXPECT_NE(file().find(R"(name="RANGE" value="65")"), std::string::npos);
}

TEST_F(Upgrade, UnreadableVersionCountsAsZero) {
    prepare("twelve");
    EXPECT_TRUE(dataFilesGone());
    EXPECT_NE(log.text().find("This is a version update from 0.0.0 -> 12.2.0"), std::string::npos);
    EXPECT_NE(file().find(R"(name="RANGE" value="40")"), std::string::npos);
}

TEST_F(Upgrade, NoStoredVersionRecordsTheRunningOne) {
    prepare("");
    EXPECT_TRUE(dataFilesKept());
    EXPECT_NE(file().find(R"(name="PROGRAM_VERSION" value="12.2.0")"), std::string::npos);
}

}  // namespace
}  // namespace qvl
