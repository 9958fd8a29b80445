#include "core/parameters.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "core/files.h"
#include "core/setting_controls.h"
#include "core/support/bound_controls.h"
#include "support/gated_files.h"
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

bool has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

int countOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class Parameters : public test::SettingsFolder {
protected:
    std::string keptAside() { return readFile(parametersFile().parent_path() / "parameters0.xml"); }
    pugi::xml_document& loadedFile() {
        EXPECT_TRUE(loaded_.load_string(file().c_str()));
        return loaded_;
    }
    void TearDown() override {
        logRefusedParameterSaves();  // no spell of refusals goes on into the next test
        test::SettingsFolder::TearDown();
    }

private:
    pugi::xml_document loaded_;
};

TEST_F(Parameters, MissingFileIsCreatedWithDefaultsAndBothScansOn) {
    SCAN_LIVERIES.set(false);
    SCAN_AIRPORTS.set(false);
    gf_initParameters();
    EXPECT_TRUE(SCAN_LIVERIES.value() && SCAN_AIRPORTS.value());
    const std::string xml = file();
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <parameters>\n", 0), 0u) << xml;
    EXPECT_TRUE(has(xml, R"(<parameter name="PROGRAM_VERSION" value="12.2.0" />)"));
    EXPECT_EQ(countOf(xml, R"(name="AIRP_HEIGHT" value="18000")"), 2);
    for (const char* unstored : {"parking_percentage", "MAX_FIT_FL", "ALL_INSTALL_PATH", "CALLSIGN_2_OBJECTID"}) {
        EXPECT_FALSE(has(xml, unstored)) << unstored;
    }
    EXPECT_TRUE(logged(" not found, creating new with default values:"));
}

TEST_F(Parameters, MalformedOrRootlessFiles) {
    writeParameters("<root><parameters><parameter name=");
    EXPECT_TRUE(gf_readParameters());
    EXPECT_EQ(keptAside(), "<root><parameters><parameter name=");
    EXPECT_TRUE(has(file(), "PROGRAM_VERSION"));
    const std::string path = parametersFile().string();
    EXPECT_TRUE(logged("==> " + path + " is damaged (Error parsing element attribute at byte 33), kept as " +
                       (parametersFile().parent_path() / "parameters0.xml").string() +
                       "; creating new with default values:"));
    EXPECT_FALSE(logged("not found")) << "a damaged file is not a missing one";
    writeParameters("<root><other/></root>");
    EXPECT_TRUE(gf_readParameters());
    EXPECT_EQ(keptAside(), "<root><other/></root>");
    EXPECT_TRUE(logged(path + " is damaged (it holds no <parameters> element), kept as "));

    // Read normally; the first single-setting save puts a root around it.
    writeParameters("<parameters>" + param("RANGE", "65") + param("PORT_NUMBER", "20000") + "</parameters>");
    EXPECT_FALSE(gf_readParameters());
    EXPECT_EQ(PORT_NUMBER.value(), "20000");
    MATCHING_DEPTH.set(2);
    gf_saveIntParameter(MATCHING_DEPTH);
    EXPECT_TRUE(has(file(), "<root>"));
    EXPECT_TRUE(has(file(), R"(name="MATCHING_DEPTH" value="2")"));
    EXPECT_TRUE(has(file(), R"(name="RANGE" value="65")"));
    EXPECT_TRUE(logged("Placing a root level around a new parameters.xml"));
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
    EXPECT_EQ(AR_ABOVE_HEIGHT.value(), 20000);  // inside the limits though not in the list
    EXPECT_EQ(CUSTOM_PARKING_PERCENTAGE.value(), -1);
    EXPECT_EQ(MAX_HOLDING_MINUTES.value(), 1);  // abc reads as 0, then clamped
    EXPECT_EQ(MAX_FIT.value(), 0);              // no value attribute
    using Bools = std::initializer_list<const BoolParameter*>;
    for (const BoolParameter* on : Bools{&ALWAYS_ON_TOP, &OBJECTID_LIST, &AEROWINX, &RANDOM}) {
        EXPECT_TRUE(on->value()) << on->key();
    }
    for (const BoolParameter* off : Bools{&GUID_CHANGES, &SCAN_LIVERIES, &LIG_AUTOMATIC}) {
        EXPECT_FALSE(off->value()) << off->key();
    }
    EXPECT_EQ(lfolder3.value(), "/data/ai & more");
    EXPECT_EQ(parking_percentage.value(), 30);                       // never read from the file
    EXPECT_TRUE(has(file(), R"(name="MAX_PARK_SEL" value="500")"));  // missing keys appended
}

TEST_F(Parameters, DuplicateAndUnknownKeys) {
    writeParameters(wrap(param("RANGE", "10") + param("RANGE", "20") + param("NO_SUCH_KEY", "kept")));
    EXPECT_FALSE(gf_readParameters());
    EXPECT_EQ(RANGE.value(), 10);  // the first one counts
    EXPECT_TRUE(has(file(), "NO_SUCH_KEY"));

    RANGE.set(35);
    gf_saveIntParameter(RANGE);
    EXPECT_EQ(countOf(file(), R"(name="RANGE" value="35")"), 2);  // every match updated
    EXPECT_TRUE(has(file(), "NO_SUCH_KEY"));

    parking_percentage.set(45);
    gf_saveIntParameter(parking_percentage);  // not in a registry, still written
    EXPECT_TRUE(has(file(), R"(name="parking_percentage" value="45")"));

    gf_saveAllParameters(StoredValues::current);  // a whole-file write drops both
    EXPECT_FALSE(has(file(), "NO_SUCH_KEY"));
    EXPECT_FALSE(has(file(), "parking_percentage"));
}

TEST_F(Parameters, SingleSaveOfAnUnreadableFileKeepsEveryOtherSetting) {
    gf_initParameters();
    RANGE.set(80);
    writeParameters("garbage <<<");
    BLOCK_CALLSIGN.set("KLM123");
    gf_saveStringParameter(BLOCK_CALLSIGN);
    const std::string xml = file();
    EXPECT_TRUE(has(xml, R"(name="BLOCK_CALLSIGN" value="KLM123")"));
    EXPECT_TRUE(has(xml, R"(name="RANGE" value="80")"));
    EXPECT_EQ(keptAside(), "garbage <<<");
    EXPECT_TRUE(logged(" is damaged (")) << "said so, not taken for a missing file";
}

// The copy's place is taken by a folder: the line says the file was not
// kept, on the read at start-up and on a single-setting save alike.
TEST_F(Parameters, ADamagedFileThatCannotBeCopiedIsNotCalledKept) {
    const std::filesystem::path copy = parametersFile().parent_path() / "parameters0.xml";
    std::filesystem::create_directories(copy / "inside");
    writeParameters("<root><parameters>");
    EXPECT_TRUE(gf_readParameters());
    const std::string path = parametersFile().string();
    EXPECT_TRUE(logged(path + " is damaged (")) << "said so, not taken for a missing file";
    EXPECT_TRUE(logged("), could not be kept as " + copy.string() + " ("));
    EXPECT_FALSE(logged(", kept as "));
    EXPECT_EQ(file(), "<root><parameters>") << "a file that could not be kept is not written over";

    writeParameters("garbage <<<");
    gf_saveIntParameter(RANGE);
    gf_saveAllParameters(StoredValues::current);
    EXPECT_EQ(countOf(log.text(), "could not be kept as " + copy.string()), 1)
        << "the refusals after the first are counted";
    EXPECT_FALSE(logged(", kept as "));
    EXPECT_EQ(file(), "garbage <<<");
    EXPECT_TRUE(std::filesystem::is_directory(copy / "inside"));

    std::filesystem::remove_all(copy);
    gf_saveIntParameter(RANGE);
    EXPECT_EQ(keptAside(), "garbage <<<") << "once it can be kept, it is kept and written anew";
    EXPECT_TRUE(has(file(), "RANGE"));
    EXPECT_TRUE(
        logged("==> 2 more saves of settings were refused while " + path + " was damaged and could not be kept"));
}

// A file that parses but holds no <parameters> element is as damaged to every
// save as to the read at start-up, with or without a root, like a cut file.
// With its copy impossible, no save of any kind writes over it; the log says
// the refusal once and counts the rest in one line.
TEST_F(Parameters, NoSaveWritesOverADamagedFileThatCannotBeKept) {
    const std::filesystem::path copy = parametersFile().parent_path() / "parameters0.xml";
    for (const std::string damaged : {"<root><other/></root>", "<other/>", "<root><parameters>"}) {
        SCOPED_TRACE(damaged);
        std::filesystem::create_directories(copy / "inside");
        writeParameters(damaged);
        const auto logStart = log.text().size();
        gf_initParameters();  // the read refuses, then both scan settings are saved
        RANGE.set(80);
        gf_saveIntParameter(RANGE);
        WEEK.set(true);
        gf_saveBoolParameter(WEEK);
        gf_setStringParameter(BLOCK_CALLSIGN, "KLM123");
        MAIN_WINDOW_X.set(700);
        gf_saveIntParameter(MAIN_WINDOW_X);
        gf_saveAllParameters(StoredValues::current);
        ParameterSaves handed{std::make_shared<DiskFileLayer>()};
        handed.hand({intParameterSave(RANGE), boolParameterSave(WEEK)});
        ASSERT_TRUE(handed.finish(std::chrono::seconds(10)));
        EXPECT_EQ(file(), damaged) << "written over";

        std::string added = log.text().substr(logStart);
        EXPECT_EQ(countOf(added, " could not be kept as "), 1) << added;
        EXPECT_TRUE(has(added, "; the default values are in use; further refused saves are only counted"));
        EXPECT_FALSE(has(added, "more saves")) << "counted, not yet said";
        logRefusedParameterSaves();  // the program's end
        logRefusedParameterSaves();
        added = log.text().substr(logStart);
        EXPECT_EQ(countOf(added, "==> 8 more saves of settings were refused while " + parametersFile().string() +
                                     " was damaged and could not be kept"),
                  1)
            << added;
        EXPECT_EQ(countOf(added, "more saves"), 1);

        // Once the copy can be made, a save keeps the file and writes it anew.
        std::filesystem::remove_all(copy);
        gf_saveIntParameter(RANGE);
        EXPECT_EQ(keptAside(), damaged);
        EXPECT_TRUE(has(file(), R"(name="RANGE" value="80")"));
        EXPECT_TRUE(has(file(), R"(name="BLOCK_CALLSIGN" value="KLM123")"));
        EXPECT_TRUE(holdsParameters(loadedFile()));
        std::filesystem::remove(copy);
    }
}

// A file damaged while the program runs: the first refused save says so, the
// next are counted until a save goes through again or the next run reads it.
TEST_F(Parameters, RefusedSavesAreCountedUntilASaveGoesThroughOrTheNextRead) {
    const std::filesystem::path copy = parametersFile().parent_path() / "parameters0.xml";
    gf_initParameters();
    std::filesystem::create_directories(copy / "inside");
    writeParameters("<root><other/></root>");
    for (int i = 0; i < 4; ++i) gf_saveIntParameter(RANGE);
    EXPECT_EQ(file(), "<root><other/></root>");
    const std::string path = parametersFile().string();
    EXPECT_TRUE(
        logged(path + " is damaged (it holds no <parameters> element), could not be kept as " + copy.string() + " ("));
    EXPECT_TRUE(
        logged("; it is left as it is and no setting is saved until it is mended or removed; "
               "further refused saves are only counted"));

    writeParameters(wrap(param("RANGE", "10")));  // mended by hand
    RANGE.set(30);
    gf_saveIntParameter(RANGE);
    EXPECT_TRUE(has(file(), R"(name="RANGE" value="30")"));
    EXPECT_TRUE(logged("==> 3 more saves of settings were refused while " + path + " was damaged"));

    writeParameters("<root><other/></root>");  // damaged again: news again
    gf_saveIntParameter(RANGE);
    gf_saveIntParameter(RANGE);
    EXPECT_EQ(countOf(log.text(), " could not be kept as "), 2);
    const auto beforeRead = log.text().size();
    gf_readParameters();  // the next run
    const std::string added = log.text().substr(beforeRead);
    EXPECT_EQ(added.find("==> 1 more save of settings was refused while " + path), added.find("==> "))
        << "the last run's count comes before the next run's own lines: " << added;
    EXPECT_EQ(countOf(log.text(), " could not be kept as "), 3);
    EXPECT_EQ(file(), "<root><other/></root>");
}

TEST_F(Parameters, FailedRenameLeavesTheOldFileWhole) {
    gf_initParameters();
    const std::string before = file();
    RANGE.set(100);
    setRenameFunctionForTests([](const std::filesystem::path&, const std::filesystem::path&) { return false; });
    gf_saveIntParameter(RANGE);
    gf_saveAllParameters(StoredValues::current);
    setRenameFunctionForTests(nullptr);
    EXPECT_EQ(file(), before);
    EXPECT_TRUE(logged("==> saving: "));
    gf_saveIntParameter(RANGE);
    EXPECT_TRUE(has(file(), R"(name="RANGE" value="100")"));
}

// Reading the file touches no control: the program's status shows what was
// read, once the file is done (WindowStatus::settingsRead).
TEST_F(Parameters, ReadingLeavesTheControlsToTheStatus) {
    test::BoundControls window;
    const auto onTop = window.checkBox(ALWAYS_ON_TOP);
    const auto range = window.bind(RANGE, ui::ControlKind::ComboBox);
    const auto callsign = window.bind(BLOCK_CALLSIGN, ui::ControlKind::Edit);
    writeParameters(wrap(param("ALWAYS_ON_TOP", "true") + param("RANGE", "25") + param("BLOCK_CALLSIGN", "DLH4")));
    EXPECT_FALSE(gf_readParameters());
    EXPECT_FALSE(window.controls().isChecked(onTop));
    EXPECT_EQ(window.controls().text(range), "");

    showAllSettings(window.controls());
    EXPECT_TRUE(window.controls().isChecked(onTop));
    EXPECT_EQ(window.controls().text(range), "25");
    EXPECT_EQ(window.controls().text(callsign), "DLH4");
    EXPECT_TRUE(logged("GetDlgItem failed for ID 32808"));  // a control never made: logged
}

// The upgrade by stored program version, seen through dummy data files, the
// download folder and the RANGE the file holds afterwards (65 read, 40 reset).
TEST_F(Parameters, UpgradeByStoredVersion) {
    struct Case {
        const char* stored;
        bool dataKept, downloadsKept;
        const char* rangeInFile;
        const char* logged;  // "" when no version update is logged
    };
    const Case cases[] = {
        {"11.0.1", false, true, "40", "This is a version update from 11.0.1 -> 12.2.0"},
        {"11.0.2", false, false, "65", "This is a version update from 11.0.2 -> 12.2.0"},
        {"11.9.0", false, false, "65", "version update"},
        {"12.1.7", true, false, "65", "version update"},
        {"12.2.0", true, true, "65", ""},
        {"13.0.0", true, true, "65", ""},
        {" 12.2.0&#10;", true, true, "65", ""},  // stray blanks are not a version change
        {"twelve", false, true, "40", "This is a version update from 0.0.0 -> 12.2.0"},
        {"", true, true, "65", ""},
    };
    const char* dataFiles[] = {"input/dbase.enc", "input/airports.enc", "input/AIG-regcodes.enc"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        resetAllSettings();
        writeParameters(wrap(param("PROGRAM_VERSION", c.stored) + param("RANGE", "65")));
        std::filesystem::create_directories("input");
        std::filesystem::create_directories("new_version/sub");
        for (const char* f : dataFiles) writeFile(f, "x");
        const auto logStart = log.text().size();

        gf_initParameters();
        for (const char* f : dataFiles) EXPECT_EQ(std::filesystem::exists(f), c.dataKept) << f;
        EXPECT_EQ(std::filesystem::exists("new_version"), c.downloadsKept);
        EXPECT_TRUE(has(file(), std::string(R"(name="RANGE" value=")") + c.rangeInFile + "\""));
        EXPECT_TRUE(has(file(), "12.2.0"));  // the running version, or the same one with its blanks
        EXPECT_EQ(RANGE.value(), 65);        // this run keeps what it read
        const std::string added = log.text().substr(logStart);
        EXPECT_EQ(has(added, "version update"), *c.logged != '\0');
        EXPECT_TRUE(has(added, c.logged));
        EXPECT_EQ(has(added, "Your previous version was too old"), std::string(c.rangeInFile) == "40");
    }
}

// Saves handed to a writer of their own, over a disk a test may hold.
class HandedParameterSaves : public Parameters {
protected:
    void SetUp() override {
        Parameters::SetUp();
        writeParameters(wrap(param("RANGE", "10") + param("WEEK", "false") + param("MAX_FIT", "3")));
        ASSERT_FALSE(gf_readParameters());
    }
    void TearDown() override {
        files->open();
        EXPECT_TRUE(saves.finish(std::chrono::seconds(10)));
        Parameters::TearDown();
    }
    std::shared_ptr<test::GatedFiles> files = std::make_shared<test::GatedFiles>();
    ParameterSaves saves{files};
};

TEST_F(HandedParameterSaves, TheHandOverReturnsWhileTheDiskIsHeldAndTheFileIsWrittenOnceForAll) {
    files->close();
    RANGE.set(40);
    WEEK.set(true);
    saves.hand({intParameterSave(RANGE), boolParameterSave(WEEK)});
    ASSERT_TRUE(files->waitForWaiter());
    EXPECT_TRUE(has(file(), R"(name="RANGE" value="10")")) << "nothing written while the disk is held";
    files->open();
    ASSERT_TRUE(saves.drain(std::chrono::seconds(10)));
    EXPECT_TRUE(has(file(), R"(name="RANGE" value="40")"));
    EXPECT_TRUE(has(file(), R"(name="WEEK" value="true")"));
    EXPECT_TRUE(has(file(), R"(name="MAX_FIT" value="3")"));
    EXPECT_EQ(files->passed(), std::vector<std::string>{"replace parameters.xml"});
    EXPECT_TRUE(logged("RANGE=40"));
}

TEST_F(HandedParameterSaves, ASettingChangedAfterItsHandOverIsLeftToItsOwnSave) {
    files->close();
    MAX_FIT.set(4);
    saves.hand({intParameterSave(MAX_FIT)});
    ASSERT_TRUE(files->waitForWaiter());
    RANGE.set(40);
    saves.hand({intParameterSave(RANGE)});
    RANGE.set(50);  // the user's change, saved by its own save
    files->open();
    ASSERT_TRUE(saves.drain(std::chrono::seconds(10)));
    EXPECT_TRUE(has(file(), R"(name="MAX_FIT" value="4")"));
    EXPECT_FALSE(has(file(), R"(name="RANGE" value="40")")) << "an older value written over a newer one";
}

TEST_F(HandedParameterSaves, TheEndWaitsForAHeldSaveWithinItsBound) {
    files->close();
    RANGE.set(40);
    saves.hand({intParameterSave(RANGE)});
    ASSERT_TRUE(files->waitForWaiter());
    std::jthread opener([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        files->open();
    });
    EXPECT_TRUE(saves.finish(std::chrono::seconds(10)));
    EXPECT_TRUE(has(file(), R"(name="RANGE" value="40")"));
}

}  // namespace
}  // namespace qvl
