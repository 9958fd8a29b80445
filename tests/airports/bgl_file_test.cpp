// The task of one BGL file on real files: the section-table pre-check, the
// opened flag, the program's airport list as the filter, and the lines the
// scan's thread writes when it merges.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "airports/bgl_support.h"
#include "airports/support/airports_fixture.h"

namespace qvl::test {
namespace {

namespace bw = bgl_writer;

class BglFile : public AirportsFolder {
protected:
    std::filesystem::path write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::filesystem::path file = folder / name;
        EXPECT_TRUE(bw::saveBgl(file, bytes));
        return file;
    }
};

TEST_F(BglFile, TheProgramsAirportListChoosesTheAirports) {
    airports(R"(<ap c="EHAM" la="52.3" lo="4.76" a="-11" s="10"/>)");
    bw::FileSpec spec = bw::sampleAirport("EHAM", 52.3086, 4.7639, 3);
    spec.sections.front().subsections.front().airports.push_back(
        bw::sampleAirport("EGLL", 51.47, -0.45, 2).sections.front().subsections.front().airports.front());
    const std::filesystem::path file = write("eham.bgl", bw::writeBgl(spec).bytes);

    const BglFileFindings findings = lf_processBGLfile({.bglPath = file});
    EXPECT_TRUE(findings.opened);
    EXPECT_EQ(findings.bglPath, file);
    EXPECT_FALSE(findings.failure);
    ASSERT_EQ(findings.airports.size(), 1U);
    EXPECT_EQ(findings.airports[0].record.icao.view(), "EHAM");
    EXPECT_EQ(findings.airports[0].record.stands.size(), 4U);
    EXPECT_EQ(linesOf(findings.linesAfter, BglLineKind::scanLog),
              (std::vector<std::string>{"EGLL is not an airport supported by RealTraffic "}));
}

TEST_F(BglFile, AMissingFileIsNotOpenedAndAShortOneGivesNothing) {
    const BglFileFindings missing = lf_processBGLfile({.bglPath = folder / "none.bgl", .isKnownAirport = {}});
    EXPECT_FALSE(missing.opened);
    EXPECT_TRUE(missing.airports.empty());

    const BglFileFindings shortOne = lf_processBGLfile({.bglPath = write("short.bgl", std::vector<std::uint8_t>(56, 0)),
                                                        .isKnownAirport = [](const FixedCode4&) { return true; }});
    EXPECT_TRUE(shortOne.opened);
    EXPECT_TRUE(shortOne.airports.empty());
    EXPECT_TRUE(shortOne.linesAfter.empty());
}

TEST_F(BglFile, AFilterThatThrowsIsReportedInTheFindings) {
    const std::filesystem::path file = write("x.bgl", bw::writeBgl(bw::sampleAirport("EHAM", 52.3, 4.7, 2)).bytes);
    const BglFileFindings findings = lf_processBGLfile(
        {.bglPath = file, .isKnownAirport = [](const FixedCode4&) -> bool { throw std::runtime_error("boom"); }});
    ASSERT_TRUE(findings.failure);
    EXPECT_EQ(*findings.failure, "boom");
    ASSERT_FALSE(findings.linesAfter.empty());
    EXPECT_EQ(findings.linesAfter.back().kind, BglLineKind::logAttention);
    EXPECT_EQ(findings.linesAfter.back().text, exceptionLine(file, "boom"));
    EXPECT_NE(findings.linesAfter.back().text.find("Exception in lf_processBGLfile (std::ex): "), std::string::npos);
}

TEST_F(BglFile, TheSectionTableSaysWhetherAFileHoldsAirports) {
    const bw::BglImage airport = bw::writeBgl(bw::sampleAirport("EHAM", 52.3, 4.7, 1));
    EXPECT_TRUE(lf_hasAirportSection(write("a.bgl", airport.bytes)));
    bw::FileSpec others = bw::sampleAirport("EHAM", 52.3, 4.7, 1);
    others.sections.front().type = 0x65;
    others.sections.push_back({.type = 3});  // the second entry is the airport section
    EXPECT_TRUE(lf_hasAirportSection(write("b.bgl", bw::writeBgl(others).bytes)));
    others.sections.pop_back();
    EXPECT_FALSE(lf_hasAirportSection(write("c.bgl", bw::writeBgl(others).bytes)));
    EXPECT_FALSE(lf_hasAirportSection(folder / "missing.bgl"));
    EXPECT_FALSE(lf_hasAirportSection(write("d.bgl", std::vector<std::uint8_t>(56, 3))));
    // A count larger than the table the file can hold.
    std::vector<std::uint8_t> bytes = airport.bytes;
    bw::putU32(bytes, 20, static_cast<std::uint32_t>(bytes.size()));
    EXPECT_FALSE(lf_hasAirportSection(write("e.bgl", bytes)));
    bw::putU32(bytes, 20, 0);
    EXPECT_FALSE(lf_hasAirportSection(write("f.bgl", bytes)));
}

TEST_F(BglFile, TheParkposLineIsForUnlinkedAirportsWithStandsOfOtherPublishers) {
    ApfRecord record{.icao = FixedCode4("EHAM")};
    EXPECT_FALSE(parkposLine(record, 0));
    record.stands.resize(2);
    EXPECT_EQ(parkposLine(record, 0), "EHAM has 2 parkpos while archived one has 0");
    record.publisher = "simaddon";
    EXPECT_FALSE(parkposLine(record, 0));
    record.publisher = "My Pub";
    EXPECT_FALSE(parkposLine(record, 2));
    record.icao = FixedCode4{};
    EXPECT_EQ(parkposLine(record, 1), "     has 2 parkpos while archived one has 1");
}

TEST_F(BglFile, LogTxtLinesAreWrittenAndScanLogLinesLeftToTheCaller) {
    EXPECT_FALSE(writeBglLogLine({.kind = BglLineKind::scanLog, .text = "scan only"}));
    EXPECT_TRUE(writeBglLogLine({.kind = BglLineKind::logAttention, .text = "attention here"}));
    EXPECT_TRUE(writeBglLogLine({.kind = BglLineKind::logAndFlush, .text = "flushed here"}));
    EXPECT_TRUE(logged("==> attention here"));
    EXPECT_TRUE(logged("flushed here"));
    EXPECT_FALSE(logged("scan only"));
}

TEST_F(BglFile, WordsAreReadFromAStreamToItsEnd) {
    std::istringstream in(std::string("\x01\x00\x00\x00\x02", 5));
    EXPECT_EQ(lf_readBglWords(in), (std::vector<std::uint32_t>{1U, 2U}));
}

}  // namespace
}  // namespace qvl::test
