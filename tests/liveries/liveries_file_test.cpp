#include "liveries/liveries_file.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "core/user_error.h"
#include "liveries/support/liveries_folder.h"

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
