#include "liveries/liveries_file.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/meta_info.h"
#include "core/user_error.h"
#include "core/version.h"
#include "core/xml.h"
#include "liveries/package_search.h"
#include "liveries/support/liveries_folder.h"
#include "refdata/code_table.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

class LiveriesFile : public test::LiveriesFolder {
protected:
    void SetUp() override {
        LiveriesFolder::SetUp();
        fs::create_directories("output");
    }

    // The error code of reading the file, or 0.
    int readError(LiveryList& list) {
        try {
            lf_readLiveriesScanned(list);
        } catch (const UserErrorException& e) {
            what_ = e.what();
            return e.code();
        }
        return 0;
    }
    int readXml(const std::string& xml) {
        test::writeFile(kLiveriesScannedXml, xml);
        LiveryList list;
        return readError(list);
    }
    static std::string fileWith(const std::string& liveries) {
        return "<?xml version=\"1.0\"?><root><meta/><liveries>" + liveries + "</liveries></root>";
    }

    // Titles that share long beginnings, hold NUL and high bytes, or begin
    // one another, in groups of several airlines and models, with repeats.
    static LiveryList mixedLiveries(std::size_t count) {
        constexpr std::array<std::string_view, 4> kAirlines{"DLH", "BAW", "KLM", ""};
        constexpr std::array<std::string_view, 3> kModels{"A320", "B738", "A319"};
        constexpr std::array<std::string_view, 5> kPieces{"Airbus A320 Lufthansa D-AI", "a", std::string_view("\0", 1),
                                                          "\xc3\xa9", "Z"};
        std::mt19937 random(33);
        const auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
        LiveryList liveries;
        for (std::size_t i = 0; i < count; ++i) {
            std::string title;
            for (std::size_t piece = pick(4); piece > 0; --piece) title += kPieces[pick(kPieces.size())];
            LiveryData made =
                livery(kAirlines[pick(kAirlines.size())], kModels[pick(kModels.size())], title,
                       static_cast<std::uint8_t>(pick(2)), pick(3) == 0 ? "CLH" : "", pick(2) == 0 ? "D-AIZA" : "");
            made.folderIndex = static_cast<std::int16_t>(i);
            liveries.push_back(made);
            if (pick(5) == 0) liveries.push_back(made);
        }
        return liveries;
    }

    std::string what_;
};

bool sameLivery(const LiveryData& a, const LiveryData& b) {
    return a.title == b.title && a.registration == b.registration && a.key.airlineId == b.key.airlineId &&
           a.key.secondAirlineId == b.key.secondAirlineId && a.key.modelId == b.key.modelId &&
           a.key.cargo == b.key.cargo && a.folderIndex == b.folderIndex;
}

TEST_F(LiveriesFile, AWrittenListReadsBackInLiveryOrder) {
    LiveryList written{livery("KLM", "B738", "KLM <&> \"quoted\""), livery("DLH", "A320", "Lufthansa cargo", 1),
                       livery("DLH", "A320", "CityLine", 0, "CLH", "D-AIZA"),
                       livery("DLH", "A320", "Lufthansa \t\xc3\xa9")};
    for (auto& l : written) l.folderIndex = 3;
    sortLiveries(written);
    ASSERT_TRUE(lf_writeLiveriesScanned(written, 2));
    EXPECT_TRUE(logHas("4 liveries in output/LiveriesScanned.xml"));

    LiveryList read{livery("BAW", "A320", "stale")};
    lf_readLiveriesScanned(read);
    ASSERT_EQ(read.size(), written.size());
    for (auto& l : written) l.folderIndex = 0;
    for (std::size_t i = 0; i < read.size(); ++i) EXPECT_TRUE(sameLivery(read[i], written[i])) << i;
    EXPECT_TRUE(logHas("    4 liveries read from output/LiveriesScanned.xml"));
}

TEST_F(LiveriesFile, TheFileHoldsTheMetaBlockAndOnlyTheAttributesThatSaySomething) {
    ASSERT_TRUE(lf_writeLiveriesScanned(
        {livery("DLH", "A320", "CityLine", 1, "CLH", "D-AIZA"), livery("KLM", "B738", "KLM 1")}, 1));
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(kLiveriesScannedXml.c_str()));
    std::vector<std::string> rows;
    for (const auto info : document.child("root").child("meta").children("info")) {
        rows.emplace_back(info.attribute("name").as_string());
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"author", "version", "date", "copyright", "sim"}));
    EXPECT_EQ(document.child("root").child("meta").find_child_by_attribute("name", "sim").attribute("value").as_int(),
              1);
    auto attributes = [](pugi::xml_node l) {
        std::string names;
        for (const auto a : l.attributes()) names += a.name();
        return names;
    };
    const pugi::xml_node first = document.child("root").child("liveries").first_child();
    EXPECT_EQ(attributes(first), "aomctr");
    EXPECT_STREQ(first.attribute("c").as_string(), "true");
    EXPECT_EQ(attributes(first.next_sibling()), "amt");
}

TEST_F(LiveriesFile, AnEmptyListWritesNothing) {
    EXPECT_TRUE(lf_writeLiveriesScanned({}, 1));
    EXPECT_FALSE(fs::exists(kLiveriesScannedXml));
    EXPECT_FALSE(logHas("liveries in"));
}

TEST_F(LiveriesFile, AFileThatCannotBeWrittenIsReportedNotCountedAsWritten) {
    fs::create_directories(kLiveriesScannedXml);  // a folder in the file's place
    EXPECT_FALSE(lf_writeLiveriesScanned({livery("DLH", "A320", "x")}, 1));
    EXPECT_TRUE(logHas("could not write output/LiveriesScanned.xml"));
    EXPECT_FALSE(logHas("liveries in"));
}

TEST_F(LiveriesFile, AMissingFileIsCode51NotFound) {
    LiveryList list;
    EXPECT_EQ(readError(list), 51);
    EXPECT_EQ(what_, "51: File output/LiveriesScanned.xml not found");
    EXPECT_FALSE(fs::exists("output/LiveriesScanned0.xml"));
}

TEST_F(LiveriesFile, AnUnparsableFileIsCode51SayingWhyAndIsKeptAsAGeneration) {
    const std::string damaged = "<root><liveries><l a='DLH' m='A320' t='x'></liveries>";
    EXPECT_EQ(readXml(damaged), 51);
    EXPECT_EQ(what_,
              "51: File output/LiveriesScanned.xml could not be read (Start-end tags mismatch at byte 44), kept as "
              "output/LiveriesScanned0.xml");
    EXPECT_EQ(test::readFile("output/LiveriesScanned0.xml"), damaged);
    EXPECT_TRUE(logHas("==> output/LiveriesScanned.xml could not be read: Start-end tags mismatch"));
}

TEST_F(LiveriesFile, AFileThatParsesButCannotBeUsedIsKeptAsAGenerationToo) {
    EXPECT_EQ(readXml("<root><meta/></root>"), 52);
    EXPECT_EQ(test::readFile("output/LiveriesScanned0.xml"), "<root><meta/></root>");
    EXPECT_TRUE(logHas("==> output/LiveriesScanned.xml kept as output/LiveriesScanned0.xml"));
}

// A copy that could not be made is never reported as kept: the file in
// place is a folder, or a folder stands where the copy goes.
TEST_F(LiveriesFile, AFileThatCouldNotBeKeptIsNotSaidToBeKept) {
    fs::create_directories(kLiveriesScannedXml);
    LiveryList list;
    EXPECT_EQ(readError(list), 51);
    EXPECT_NE(what_.find("not kept: could not be copied to output/LiveriesScanned0.xml ("), std::string::npos) << what_;
    EXPECT_EQ(what_.find("kept as"), std::string::npos) << what_;
    EXPECT_FALSE(logHas("kept as"));
    EXPECT_FALSE(fs::exists("output/LiveriesScanned0.xml"));

    fs::remove(kLiveriesScannedXml);
    fs::create_directories("output/LiveriesScanned0.xml");
    EXPECT_EQ(readXml("<root><meta/></root>"), 52);
    EXPECT_TRUE(
        logHas("==> output/LiveriesScanned.xml not kept: could not be copied to output/LiveriesScanned0.xml ("));
    EXPECT_FALSE(logHas("kept as"));
    EXPECT_EQ(readXml("<root>"), 51);
    EXPECT_NE(what_.find("), not kept: could not be copied to output/LiveriesScanned0.xml ("), std::string::npos)
        << what_;
}

TEST_F(LiveriesFile, NoLiveriesSectionIsCode52AndNoLiveriesOrNoRootIsCode533) {
    EXPECT_EQ(readXml("<root><meta/></root>"), 52);
    EXPECT_EQ(what_, "52: output/LiveriesScanned.xml does not contain a <liveries> section");
    EXPECT_EQ(readXml(fileWith("")), 533);
    EXPECT_EQ(what_, "533: output/LiveriesScanned.xml does not contain liveries");
    EXPECT_EQ(readXml("<other><liveries><l a='DLH' m='A320' t='x'/></liveries></other>"), 533);
}

TEST_F(LiveriesFile, AMissingRequiredAttributeIsCode999AndKeepsWhatWasRead) {
    test::writeFile(kLiveriesScannedXml, fileWith("<l a='DLH' m='A320' t='first'/><l a='DLH' m='A320'/>"));
    LiveryList list;
    EXPECT_EQ(readError(list), 999);
    EXPECT_EQ(what_, "999: Missing required attribute 't' in <l>");
    ASSERT_EQ(list.size(), 1U);
    EXPECT_EQ(list.front().title, "first");
    EXPECT_EQ(readXml(fileWith("<x m='A320' t='y'/>")), 999) << "whatever the element's name";
    EXPECT_EQ(what_, "999: Missing required attribute 'a' in <x>");
}

TEST_F(LiveriesFile, ALiveryWithAnEmptyAirlineModelOrTitleIsSkippedWithALine) {
    test::writeFile(kLiveriesScannedXml, fileWith("<l a='' m='A320' t='no airline'/><l a='DLH' m='' t='no model'/>"
                                                  "<l a='DLH' m='A320' t=''/><l a='DLH' m='A320' t='kept'/>"));
    LiveryList list;
    EXPECT_EQ(readError(list), 0);
    ASSERT_EQ(list.size(), 1U);
    EXPECT_EQ(list.front().title, "kept");
    EXPECT_TRUE(logHas("livery #1 of output/LiveriesScanned.xml skipped: has an empty 'a' attribute"));
    EXPECT_TRUE(logHas("livery #2 of output/LiveriesScanned.xml skipped: has an empty 'm' attribute"));
    EXPECT_TRUE(logHas("livery #3 of output/LiveriesScanned.xml skipped: has an empty 't' attribute"));
    EXPECT_EQ(readXml(fileWith("<l a='' m='A320' t='x'/>")), 533) << "nothing left";
}

TEST_F(LiveriesFile, OptionalAttributesReadAsNoneWhenAbsentOrEmpty) {
    test::writeFile(kLiveriesScannedXml, fileWith("<l a='DLH' o='' m='A320' t='a' c='false'/>"
                                                  "<l a='DLH' m='A320' t='b' c='0'/><l a='DLH' m='A320' t='c'/>"
                                                  "<l a='DLH' m='A320' t='d' c='yes' r='D-AIZA'/>text<!--x-->"));
    LiveryList list;
    ASSERT_EQ(readError(list), 0);
    ASSERT_EQ(list.size(), 4U);
    EXPECT_EQ(list[0].key.secondAirlineId, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(list[static_cast<std::size_t>(i)].key.cargo, 0) << i;
    EXPECT_EQ(list[3].key.cargo, 1);
    EXPECT_EQ(list[3].registration, "D-AIZA");
    EXPECT_EQ(list[2].registration, "");
}

// The file as pugixml writes the same liveries from a document of nodes,
// as the scan wrote it before it wrote the liveries into one buffer.
std::string documentText(const LiveryList& liveries, std::int32_t simNumber) {
    pugi::xml_document document;
    MetaInfo meta;
    meta.version = gf_versionToString(programVersion());
    meta.sim = simNumber;
    gf_writeMetaInfo(document, meta);
    pugi::xml_node list = document.child("root").append_child("liveries");
    const auto add = [](pugi::xml_node l, const char* name, std::string_view text) {
        l.append_attribute(name).set_value(text.data(), text.size());
    };
    for (const LiveryData& livery : liveries) {
        pugi::xml_node l = list.append_child("l");
        add(l, "a", airlineCodeOf(livery.key.airlineId));
        if (livery.key.secondAirlineId != 0) add(l, "o", airlineCodeOf(livery.key.secondAirlineId));
        add(l, "m", modelCodeOf(livery.key.modelId));
        if (livery.key.cargo != 0) add(l, "c", "true");
        add(l, "t", livery.title);
        if (!livery.registration.empty()) add(l, "r", livery.registration);
    }
    return xmlDocumentText(document).value_or("");
}

TEST_F(LiveriesFile, EveryByteOfATitleIsWrittenAsADocumentOfNodesWritesIt) {
    LiveryList liveries;
    for (int first = 1; first < 256; first += 16) {
        std::string title = "T";
        for (int c = first; c < first + 16 && c < 256; ++c) title += static_cast<char>(c);
        liveries.push_back(livery("DLH", "A320", title, static_cast<std::uint8_t>(first % 2),
                                  first % 3 == 0 ? "CLH" : "", title.substr(0, 12)));
    }
    liveries.push_back(livery("KLM", "B738", std::string("before\0after", 12), 0, "", "PH-<&>\"'"));
    liveries.push_back(livery("KLM", "B738", "\xc3\xa9t\xc3\xa9 \xff\xfe plain"));
    ASSERT_TRUE(lf_writeLiveriesScanned(liveries, 2));
    EXPECT_EQ(test::readFile(kLiveriesScannedXml), documentText(liveries, 2));
}

// What tells two sorted lists apart: every field, the folder index (the
// place before sorting) too.
std::vector<std::string> described(const LiveryList& liveries) {
    std::vector<std::string> lines;
    for (const LiveryData& l : liveries) {
        lines.push_back(fmt::format("{} {} {} {} {} {} {}", l.key.airlineId, l.key.secondAirlineId, l.key.modelId,
                                    l.key.cargo, l.title, l.registration, l.folderIndex));
    }
    return lines;
}

TEST_F(LiveriesFile, TheSortOnNumbersGivesTheOrderOfTheComparisonOfTexts) {
    const LiveryList mixed = mixedLiveries(3000);
    LiveryList expected = mixed;
    std::stable_sort(expected.begin(), expected.end(), lf_liveryLess);
    LiveryList sorted = mixed;
    sortLiveries(sorted);
    EXPECT_EQ(described(sorted), described(expected));

    // Equal in all that the file keeps but the cargo flag.
    const auto repeats = [](const LiveryData& a, const LiveryData& b) {
        return a.title == b.title && a.registration == b.registration && a.key.airlineId == b.key.airlineId &&
               a.key.secondAirlineId == b.key.secondAirlineId && a.key.modelId == b.key.modelId;
    };
    expected.erase(std::unique(expected.begin(), expected.end(), repeats), expected.end());
    ASSERT_LT(expected.size(), mixed.size());
    LiveryList dropped = mixed;
    sortLiveries(dropped, {.repeated = RepeatedLiveries::drop});
    EXPECT_EQ(described(dropped), described(expected));

    // Prioritising in the same pass keeps what prioritising first keeps.
    LiveryList folders = mixed;
    for (std::size_t i = 0; i < folders.size(); ++i) folders[i].folderIndex = static_cast<std::int16_t>(i * 7 % 5 + 1);
    expected = folders;
    prioritizeLiveries(expected);
    std::stable_sort(expected.begin(), expected.end(), lf_liveryLess);
    expected.erase(std::unique(expected.begin(), expected.end(), repeats), expected.end());
    ASSERT_LT(expected.size(), dropped.size());
    sortLiveries(folders, {.repeated = RepeatedLiveries::drop, .lowestFolderOnly = true});
    EXPECT_EQ(described(folders), described(expected));
}

TEST_F(LiveriesFile, ATenMegabyteOneLineFileIsRead) {
    std::string liveries;
    for (int i = 0; liveries.size() < (10U << 20U); ++i) {
        liveries += "<l a='DLH' m='A320' t='Lufthansa " + std::to_string(i) + "'/>";
    }
    liveries += "<l a='KLM' m='B738' t='" + std::string(1U << 20U, 'K') + "'/>";
    test::writeFile(kLiveriesScannedXml, fileWith(liveries));
    LiveryList list;
    ASSERT_EQ(readError(list), 0);
    EXPECT_GT(list.size(), 200000U);
    EXPECT_EQ(list.back().title.size(), 1U << 20U);
}

}  // namespace
}  // namespace qvl
