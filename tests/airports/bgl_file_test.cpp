// The task of one BGL file on real files: the section-table pre-check, the
// opened flag, the program's airport list as the filter, and the lines the
// scan's thread writes when it merges.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
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
    EXPECT_TRUE(findings.outcome);
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
    ASSERT_FALSE(findings.outcome);
    EXPECT_EQ(findings.outcome.error(), BglFileError::readFailed);
    EXPECT_EQ(findings.outcome.errorText(), "boom");
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
    // A table that runs on past the first read of the file's head.
    bw::FileSpec many = bw::sampleAirport("EHAM", 52.3, 4.7, 1);
    many.sections.front().type = 0x65;
    for (int i = 0; i < 300; ++i) many.sections.push_back({.type = 0x65});
    EXPECT_FALSE(lf_hasAirportSection(write("g.bgl", bw::writeBgl(many).bytes)));
    many.sections.push_back({.type = 3});
    const bw::BglImage last = bw::writeBgl(many);
    ASSERT_GT(last.bytes.size(), 56U + 300U * 20U);
    EXPECT_TRUE(lf_hasAirportSection(write("h.bgl", last.bytes)));
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
    std::istringstream whole(std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    EXPECT_EQ(lf_readBglWords(whole), (std::vector<std::uint32_t>{0x04030201U, 0x08070605U}));
    std::istringstream none;
    EXPECT_TRUE(lf_readBglWords(none).empty());
}

// The peak memory of the process since the mark, from the kernel's count.
class PeakMemory {
public:
    PeakMemory() {
        std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak to what is in use now
        start_ = kibibytes("VmHWM:");
    }
    [[nodiscard]] bool usable() const { return start_ > 0; }
    [[nodiscard]] std::int64_t growthKib() const { return kibibytes("VmHWM:") - start_; }

private:
    static std::int64_t kibibytes(const std::string& key) {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.starts_with(key)) return std::stoll(line.substr(key.size()));
        }
        return 0;
    }
    std::int64_t start_ = 0;
};

TEST_F(BglFile, ALargeFileIsHeldInMemoryOnce) {
    constexpr std::int64_t kFileKib = 64 * 1024;
    const std::filesystem::path file = folder / "large.bgl";
    {
        std::ofstream out(file, std::ios::binary);
        const std::string block(1024, '\x5A');
        for (std::int64_t i = 0; i < kFileKib; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
        out.put('\x01');  // a last word of one byte
    }
    std::size_t words = 0;
    std::uint32_t last = 0;
    PeakMemory peak;
    if (!peak.usable()) GTEST_SKIP() << "no peak memory count on this system";
    {
        std::ifstream in(file, std::ios::binary);
        const std::vector<std::uint32_t> read = lf_readBglWords(in);
        words = read.size();
        last = read.back();
    }
    EXPECT_EQ(words, static_cast<std::size_t>(kFileKib) * 256 + 1);
    EXPECT_EQ(last, 1U);
    EXPECT_LT(peak.growthKib(), kFileKib * 3 / 2) << "the file's bytes were held twice";
}

// The reading stops at the file's last word when records run up to it: a
// record header there has no room for its size, which is not read from
// beyond the file.
TEST_F(BglFile, RecordsEndingOnTheFilesLastWordAreNotReadPastIt) {
    bw::BglImage image = bw::writeBgl(bw::sampleAirport("EHAM", 52.3086, 4.7639, 2));
    image.bytes.resize(image.bytes.size() + 4);
    bw::putU32(image.bytes, image.bytes.size() - 4, static_cast<std::uint32_t>(BglRecordId::airport));
    const std::vector<std::uint32_t> words = bglWordsFromBytes(image.bytes);
    // Exactly the file's words (the sanitizers see a read past them), and
    // the same words with a word after them that a read past the end would
    // take for a size of 0.
    std::vector<std::uint32_t> padded = words;
    padded.push_back(0);
    for (const std::span<const std::uint32_t> span :
         {std::span<const std::uint32_t>(words), std::span<const std::uint32_t>(padded).first(words.size())}) {
        const BglAirports found = readBglAirports(span, bglContext());
        ASSERT_EQ(found.airports.size(), 1U);
        EXPECT_EQ(found.airports[0].record.stands.size(), 3U);
        EXPECT_TRUE(found.linesAfter.empty()) << found.linesAfter.front().text;
    }
}

// The sample's airport record is the file's last: its parking list ends on
// the file's last byte, and every entry of it is read.
TEST_F(BglFile, AnAirportRecordEndingAtTheEndOfTheFileIsRead) {
    airports(R"(<ap c="EHAM" la="52.3" lo="4.76" a="-11" s="10"/>)");
    const bw::BglImage image = bw::writeBgl(bw::sampleAirport("EHAM", 52.3086, 4.7639, 6));
    const std::size_t record = image.airportRecords.at(0);
    const std::uint32_t size = static_cast<std::uint32_t>(image.bytes[record + 2]) |
                               static_cast<std::uint32_t>(image.bytes[record + 3]) << 8 |
                               static_cast<std::uint32_t>(image.bytes[record + 4]) << 16 |
                               static_cast<std::uint32_t>(image.bytes[record + 5]) << 24;
    ASSERT_EQ(record + size, image.bytes.size());
    ASSERT_GT(image.parkingRecords.at(0), image.helipadRecords.at(0)) << "the parking list comes last";

    const BglFileFindings findings = lf_processBGLfile({.bglPath = write("eham.bgl", image.bytes)});
    ASSERT_EQ(findings.airports.size(), 1U);
    EXPECT_EQ(standIds(findings.airports[0]),
              (std::vector<std::string>{"g1", "g2", "g3", "g4", "g5", "g6", "helipad1"}));
    EXPECT_TRUE(findings.airports[0].standLines.empty());
}

// A file cut right after an airport record's fixed part: the airport is
// read from it, with none of the stands the cut-off rest held.
TEST_F(BglFile, AnAirportRecordWhoseFixedPartEndsTheFileGivesTheAirportWithoutStands) {
    bw::BglImage image = bw::writeBgl(bw::sampleAirport("EHAM", 52.3086, 4.7639, 6));
    const std::size_t record = image.airportRecords.at(0);
    ASSERT_EQ(record % 4, 0U);
    image.bytes.resize(record + 68);
    const BglAirports found = readBglAirports(bglWordsFromBytes(image.bytes), bglContext());
    ASSERT_EQ(found.airports.size(), 1U);
    EXPECT_EQ(found.airports[0].record.icao, FixedCode4("EHAM"));
    EXPECT_EQ(found.airports[0].record.altitude, 39);
    EXPECT_TRUE(found.airports[0].record.stands.empty());
    EXPECT_EQ(found.airports[0].helipads, 0);
}

}  // namespace
}  // namespace qvl::test
