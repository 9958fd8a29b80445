#include "airports/apf_resolution.h"

#include <gtest/gtest.h>

#include <string>

#include "airports/support/airports_fixture.h"
#include "core/paths.h"
#include "core/settings.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::HttpResponse;
using test::writeFile;

class Resolution : public test::ArchiveFolder {
protected:
    void SetUp() override {
        ArchiveFolder::SetUp();
        airports(R"(<ap c="EHAM" la="52.3" lo="4.76" a="-11" s="210"/><ap c="EDDF" la="50" lo="8.5" a="364" s="0"/>)");
    }
    std::string url(const std::string& path) const { return server.baseUrl() + path; }

    const FixedCode4 eham{"EHAM"};
    const fs::path parkAirportXml = kAirportsFolder / "park_airport.xml";
};

TEST_F(Resolution, FiveRulesInOrder) {
    EXPECT_EQ(gf_apfPathFor(eham), "archive/stock/EHAM.xml") << "rule 5: the list gives it stands";
    EXPECT_EQ(gf_apfPathFor(FixedCode4("EDDF")), "") << "stand count 0 and no file";
    EXPECT_EQ(gf_apfPathFor(FixedCode4("KJFK")), "") << "not listed";

    writeFile(kMySimaddonFolder / "EHAM.xml", "<root/>");
    EXPECT_EQ(gf_apfPathFor(eham), "airports/my_simaddon/EHAM.xml") << "rule 4";
    writeFile(kMySimaddonFolder / "EHAM.txt", "archive/simaddon/EHAM.xml\n");
    EXPECT_EQ(gf_apfPathFor(eham), "archive/simaddon/EHAM.xml") << "rule 3";
    writeFile(kMyThirdpartyFolder / "EHAM.xml", "<root/>");
    EXPECT_EQ(gf_apfPathFor(eham), "airports/my_thirdparty/EHAM.xml") << "rule 2";
    writeFile(kMyThirdpartyFolder / "EHAM.txt", "archive\\thirdparty\\My%20Pub\\EHAM.xml\r\nsecond line\r\n");
    EXPECT_EQ(gf_apfPathFor(eham), "archive\\thirdparty\\My%20Pub\\EHAM.xml") << "rule 1, as the link spells it";
}

TEST_F(Resolution, LinkFilesNameArchivedStandFilesOnly) {
    writeFile(kMyThirdpartyFolder / "EHAM.xml", "<root/>");
    std::string target = "stale";
    writeFile(kMyThirdpartyFolder / "EHAM.txt", "archive/stock/EHAM.XML   \n");
    EXPECT_TRUE(lf_readApfLink(kMyThirdpartyFolder / "EHAM.txt", target));
    EXPECT_EQ(target, "archive/stock/EHAM.XML");

    for (const char* line : {"archive/stock/EHAM.xm", "", ".xml", "../secret/EHAM.xml", "/etc/EHAM.xml",
                             "C:\\Users\\EHAM.xml", "archive/../../EHAM.xml", "archive\\..\\EHAM.xml",
                             "http://elsewhere/EHAM.xml", "archive/C:/EHAM.xml", "airports/my_simaddon/EHAM.xml"}) {
        writeFile(kMyThirdpartyFolder / "EHAM.txt", std::string(line) + "\n");
        EXPECT_FALSE(lf_readApfLink(kMyThirdpartyFolder / "EHAM.txt", target)) << line;
        EXPECT_EQ(target, "") << "the target is cleared first";
        EXPECT_EQ(gf_apfPathFor(eham), "airports/my_thirdparty/EHAM.xml") << line << ": the next rule applies";
    }
    EXPECT_TRUE(logged("names '../secret/EHAM.xml', which is no file of the archive: ignored"));
    EXPECT_FALSE(lf_readApfLink(kMyThirdpartyFolder / "NONE.txt", target));
}

TEST_F(Resolution, LearnedFileOfEachKindOfStandFile) {
    const fs::path thirdparty = kLearnedThirdpartyFolder;
    struct Case {
        const char* path;
        const char* publisher;
        fs::path learned;
    };
    for (const Case& c : {
             Case{"archive/stock/EHAM.xml", "", kLearnedStockFolder / "EHAM.xml"},
             Case{"archive\\stock\\EHAM.xml", "ignored", kLearnedStockFolder / "EHAM.xml"},
             Case{"archive/simaddon/EHAM.xml", "", kLearnedSimaddonFolder / "EHAM.xml"},
             Case{"archive/thirdparty/My%20Pub/EHAM.xml", "", thirdparty / "My Pub" / "EHAM.xml"},
             Case{"archive/thirdparty/EHAM.xml", "", {}},
             Case{"airports\\my_thirdparty\\EHAM.xml", " Pub/X ", thirdparty / "Pub X" / "EHAM.xml"},
             Case{"airports/my_thirdparty2024/EHAM.xml", "Pub", thirdparty / "Pub" / "EHAM.xml"},
             Case{"airports/my_simaddon/EHAM.xml", "Pub", kLearnedFolder / "my_simaddon" / "EHAM.xml"},
             Case{"airports/stock/EHAM.xml", "", kLearnedFolder / "stock" / "EHAM.xml"},
             Case{"airports/my_thirdparty/EHAM.txt", "Pub", {}},
             Case{"archive/stock/EHAM.XML", "", kLearnedStockFolder / "EHAM.XML"},
             Case{"Airports/my_simaddon/EHAM.xml", "", {}},
             Case{"", "Pub", {}},
         }) {
        EXPECT_EQ(lf_archivedApfPath(c.path, c.publisher), c.learned) << c.path << " / " << c.publisher;
    }
}

TEST_F(Resolution, APublisherBecomesOneSafeFolderName) {
    const fs::path mine = "airports/my_thirdparty/EHAM.xml";
    const fs::path thirdparty = kLearnedThirdpartyFolder;
    EXPECT_EQ(lf_archivedApfPath(mine.string(), "A:B<C>D\"E|F?G*H"), thirdparty / "A B C D E F G H" / "EHAM.xml");
    EXPECT_EQ(lf_archivedApfPath(mine.string(), "..\\..\\Windows"), thirdparty / ".. .. Windows" / "EHAM.xml")
        << "one folder, never a climb";
    for (const char* unusable : {"", "   ", "..", ".", " / \\ ", "*?", " .. "}) {
        EXPECT_EQ(lf_archivedApfPath(mine.string(), unusable), fs::path()) << "'" << unusable << "'";
    }
    EXPECT_TRUE(logged("publisher '..' of airports/my_thirdparty/EHAM.xml names no usable learned folder"));
    EXPECT_EQ(lf_archivedApfPath("archive/thirdparty/%20..%20/EHAM.xml", ""), fs::path());
    EXPECT_EQ(lf_archivedApfPath("airports/../../EHAM.xml", ""), fs::path()) << "the user's folders do not climb";
}

TEST_F(Resolution, AFileNameWithAColonHasNoLearnedFile) {
    // On Windows "C:a.xml" is drive-relative and "EH:M.xml" an alternate stream.
    for (const char* path :
         {"archive\\stock\\C:a.xml", "archive/stock/EH:M.xml", "archive/simaddon/EH:M.xml",
          "archive/simaddon/EHAM.xml:x.xml", "archive/thirdparty/Pub/C:EHAM.xml", "airports/my_thirdparty/EH:M.xml"}) {
        EXPECT_EQ(lf_archivedApfPath(path, "Pub"), fs::path()) << path;
    }
}

TEST_F(Resolution, StockFilesComeFromTheFirstSimulatorsFolder) {
    server.route("/downloads/MSFS/archive/stock/EHAM.xml", HttpResponse::ok("<root>stock</root>"));
    server.route("/downloads/MSFS2024/archive/thirdparty/Pub/EHAM.xml", HttpResponse::ok("<root>third</root>"));
    server.route("/downloads/MSFS/archive/thirdparty/Pub/EHAM.xml", HttpResponse::ok("<root>old</root>"));

    EXPECT_TRUE(lf_downloadStockApf("archive/stock/EHAM.xml", parkAirportXml, {}).ok());
    EXPECT_EQ(test::readFile(parkAirportXml), "<root>stock</root>");
    EXPECT_TRUE(lf_downloadStockApf("archive/thirdparty/Pub/EHAM.xml", parkAirportXml, {}).ok());
    EXPECT_EQ(test::readFile(parkAirportXml), "<root>old</root>") << "MSFS 2020 takes everything from MSFS/";

    SIM_CHOICE.set(std::string(kSimChoice2024));
    EXPECT_TRUE(lf_downloadStockApf("archive/thirdparty/Pub/EHAM.xml", parkAirportXml, {}).ok());
    EXPECT_EQ(test::readFile(parkAirportXml), "<root>third</root>");
    EXPECT_TRUE(lf_downloadStockApf("archive/stock/EHAM.xml", parkAirportXml, {}).ok());
    EXPECT_EQ(test::readFile(parkAirportXml), "<root>stock</root>");
    EXPECT_EQ(server.userAgents().back(), "QVLT");
}

TEST_F(Resolution, AFailedDownloadLeavesNoTarget) {
    server.route("/downloads/MSFS/archive/stock/CUT.xml", HttpResponse::cutShort(std::string(4000, 'x')));
    writeFile(parkAirportXml, "<root>an earlier airport</root>");
    const std::string missing = url("/downloads/MSFS/archive/stock/NONE.xml");
    EXPECT_EQ(lf_downloadStockApf("archive/stock/NONE.xml", parkAirportXml, {}).errorText(),
              "failed to download: '" + missing + "'");
    EXPECT_FALSE(fs::exists(parkAirportXml)) << "404: the stale copy is gone too";
    EXPECT_TRUE(logged("failed to download: '" + missing + "'"));

    const std::string cut = url("/downloads/MSFS/archive/stock/CUT.xml");
    EXPECT_EQ(lf_downloadStockApf("archive/stock/CUT.xml", parkAirportXml, {}).errorText(),
              "failed to download: '" + cut + "'");
    EXPECT_FALSE(fs::exists(parkAirportXml));
    EXPECT_FALSE(fs::exists(parkAirportXml.string() + ".part"));
}

}  // namespace
}  // namespace qvl
