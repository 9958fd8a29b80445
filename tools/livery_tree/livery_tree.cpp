#include "tools/livery_tree/livery_tree.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <exception>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "core/text_file.h"
#include "tools/livery_tree/tree_writer.h"

namespace qvl::livery_tree {
namespace fs = std::filesystem;
namespace {

// The walk passes over folders whose path holds one of these; so must the
// folder the tree is written to, or nothing in it would be scanned. The
// IVAO names would send every file to the IVAO reader.
constexpr std::array<std::string_view, 11> kForbiddenInFolder{"airport",     "lvfr",      "mkstudios", "simwings",
                                                              "fsdreamteam", "navigraph", "flytampa",  "inibuilds",
                                                              "_CVT_",       "IVAO_MTL",  "ivao_x-csl"};

constexpr int kPrivateEvery = 10;  // one bench section in ten is private

std::string dbaseXml(std::string_view records) {
    return fmt::format(
        "<?xml version=\"1.0\"?>\n<root>\n"
        "<aircrafts><aircraft types=\"A319,A320,A321,B738,B77L,C172,C25C,EC35,TBM9\"/></aircrafts>\n"
        "<cargo_types><cargo_type types=\"B77L\"/></cargo_types>\n"
        "<heavy><hvy types=\"B77L\"/></heavy>\n"
        "<large><lar types=\"A319,A320,A321,B738\"/></large>\n"
        "<buzjet><bzj types=\"C25C\"/></buzjet>\n"
        "<high_performance><hpf types=\"TBM9\"/></high_performance>\n"
        "<rotorcraft><rot types=\"EC35\"/></rotorcraft>\n"
        "<ICAO_airlines><ICAO codes=\"AUA,BAW,CLH,DLH,EZY,KLM,PVT,ZZZ\"/></ICAO_airlines>\n"
        "<cargo_operators><ICAO codes=\"BOX\"/></cargo_operators>\n"
        "<simaddons20><simaddon20 arpts=\"EHAM\"/></simaddons20>\n"
        "<simaddons24><simaddon24 arpts=\"EHAM\"/></simaddons24>\n"
        "<fixes><fx wro=\"A21S\" cor=\"A321\"/><fx wro=\"B73H\" cor=\"B738\"/></fixes>\n"
        "<dbase>{}</dbase>\n</root>\n",
        records);
}

// D-AIZA: a Lufthansa A320 flown for CityLine, carrying cargo; D-AIZB a
// Lufthansa A321; PH-BXA a KLM B738; N123 a private C172 (the only
// registration short enough to be found inside a title); D-NOMOD a Lufthansa
// aircraft of no known model.
constexpr std::string_view kFullCaseRecords =
    "<d r=\"D-AIZA\" a=\"DLH\" o=\"CLH\" m=\"A320\" c=\"yes\"/><d r=\"D-AIZB\" a=\"DLH\" m=\"A321\"/>"
    "<d r=\"PH-BXA\" a=\"KLM\" m=\"B738\"/><d r=\"N123\" a=\"PVT\" m=\"C172\"/><d r=\"D-NOMOD\" a=\"DLH\" m=\"\"/>";

void checkFolder(const fs::path& community) {
    const std::string text = gf_pathToUtf8(community);
    for (const std::string_view word : kForbiddenInFolder) {
        if (text.find(word) != std::string::npos) {
            throw std::invalid_argument(
                fmt::format("the folder {} holds \"{}\": the scan would pass over it", text, word));
        }
    }
    std::error_code error;
    if (fs::exists(community, error) && !fs::is_empty(community, error)) {
        throw std::invalid_argument(fmt::format("the folder {} exists and is not empty", text));
    }
}

// Every file of the bench tree: sections of airlines in turn, every tenth a
// private aircraft without registration.
void buildBenchTree(TreeWriter& writer, const TreeOptions& options) {
    constexpr std::array<std::string_view, 4> kModels{"A319", "A320", "A321", "B738"};
    constexpr std::array<std::string_view, 5> kAirlines{"DLH", "BAW", "KLM", "EZY", "AUA"};
    const fs::path package = writer.community() / "aig-aitraffic-oci";
    const std::int16_t index = writer.addPackage(package);
    const fs::path airplanes = package / "SimObjects" / "Airplanes";
    std::size_t counter = 0;
    for (std::size_t file = 0; file < options.fileCount; ++file) {
        const std::string_view model = kModels[file % kModels.size()];
        CfgCase c(airplanes / fmt::format("AIG_{}_{:05}", model, file) / "aircraft.cfg", CfgReader::ordinary, index,
                  "bench");
        c.line("[General]").line(fmt::format("icao_type_designator={}", model));
        for (std::size_t section = 0; section < options.sectionsPerFile; ++section, ++counter) {
            const std::string header = fmt::format("[fltsim.{}]", section);
            c.line(header).line("atc_parking_types=GATE");
            if (counter % kPrivateEvery == kPrivateEvery - 1) {
                // Private: its title is searched for a short registration.
                const std::string title = fmt::format("private livery {} {}", file, section);
                c.line("title=" + title).line("texture=private");
                c.missingAirline(header).livery({.title = title, .airline = "PVT", .model = std::string(model)});
                continue;
            }
            const std::string_view airline = kAirlines[counter % kAirlines.size()];
            const std::string title = fmt::format("{} {} livery {} {}", model, airline, file, section);
            const std::string registration = fmt::format("QV-{:06}", counter);
            c.line("title=" + title).line(fmt::format("icao_airline={}", airline));
            c.line("atc_id=" + registration).line("texture=" + std::string(airline));
            c.livery({.title = title,
                      .registration = registration,
                      .airline = std::string(airline),
                      .model = std::string(model)});
        }
        writer.add(std::move(c));
    }
}

// The demonstration's one installed livery, for the shipped database.
void buildDemoTree(TreeWriter& writer) {
    const fs::path package = writer.community() / "aig-aitraffic-oci-demo";
    const std::int16_t index = writer.addPackage(package);
    CfgCase c(package / "SimObjects" / "Airplanes" / "AIG_A320_AUA" / "aircraft.cfg", CfgReader::ordinary, index,
              "the demonstration's livery");
    c.line("[General]").line("icao_type_designator=A320");
    c.line("[fltsim.0]").line("title=Airbus A320 Austrian OE-LB").line("icao_airline=AUA");
    c.line("atc_parking_types=GATE").line("texture=AUA");
    c.livery({.title = "Airbus A320 Austrian OE-LB", .airline = "AUA", .model = "A320"});
    writer.add(std::move(c));
}

// Two walked files with one title would make the scan's result depend on
// which worker reads first; the generator keeps titles unique.
void checkUniqueTitles(const TreeExpectation& expectation) {
    std::set<std::string, std::less<>> titles;
    for (const auto& file : expectation.files) {
        for (const auto& livery : file.liveries) {
            if (!titles.insert(livery.title).second) {
                throw std::logic_error("the generated tree holds the title '" + livery.title + "' twice");
            }
        }
    }
}

void sortLines(std::vector<std::string>& lines) { std::sort(lines.begin(), lines.end()); }

void append(std::vector<std::string>& to, const std::vector<std::string>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

void writeText(const fs::path& file, const std::string& text) { TreeWriter::writeBytes(file, text); }

std::string linesText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

}  // namespace

TreeWriter::TreeWriter(Preset preset, fs::path community) {
    expectation_.preset = preset;
    expectation_.community = std::move(community);
}

std::int16_t TreeWriter::addPackage(const fs::path& folder) {
    fs::create_directories(folder);
    expectation_.packageFolders.push_back(folder);
    return static_cast<std::int16_t>(expectation_.packageFolders.size());
}

void TreeWriter::writeBytes(const fs::path& file, std::string_view bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw fs::filesystem_error("write", file, std::make_error_code(std::errc::io_error));
    }
}

void TreeWriter::add(CfgCase cfg, TextEncoding encoding, LineEnd lineEnd) {
    const std::string bytes = encodeText(cfg.text(), encoding, lineEnd);
    addRaw(std::move(cfg), bytes);
}

void TreeWriter::addRaw(CfgCase cfg, std::string_view bytes) {
    writeBytes(cfg.expected().path, bytes);
    expectation_.files.push_back(cfg.takeExpected());
}

std::optional<Preset> presetFromName(std::string_view name) {
    if (name == "full") return Preset::full;
    if (name == "bench") return Preset::bench;
    if (name == "demo") return Preset::demo;
    return std::nullopt;
}

Result<TreeExpectation, TreeError> generateTree(Preset preset, const fs::path& community, const TreeOptions& options) {
    try {
        checkFolder(community);
    } catch (const std::exception& e) {
        return fail(TreeError::badFolder, e.what());
    }
    try {
        TreeWriter writer(preset, community);
        fs::create_directories(community);
        switch (preset) {
            case Preset::full: buildFullCaseTree(writer); break;
            case Preset::bench: buildBenchTree(writer, options); break;
            case Preset::demo: buildDemoTree(writer); break;
        }
        checkUniqueTitles(writer.expectation());
        return std::move(writer.expectation());
    } catch (const std::length_error& e) {
        return fail(TreeError::badFolder, e.what());
    } catch (const std::exception& e) {
        return fail(TreeError::writeFailed, e.what());
    }
}

std::vector<ExpectedLivery> TreeExpectation::scannedLiveries(bool prioritized) const {
    std::vector<ExpectedLivery> all;
    for (const auto& file : files) all.insert(all.end(), file.liveries.begin(), file.liveries.end());
    if (prioritized) {
        // The lowest folder index of every airline, second airline and model.
        std::map<std::tuple<std::string, std::string, std::string>, std::int16_t> first;
        for (const auto& r : all) {
            auto [it, added] = first.try_emplace({r.airline, r.secondAirline, r.model}, r.folderIndex);
            if (!added) it->second = std::min(it->second, r.folderIndex);
        }
        std::erase_if(all, [&](const ExpectedLivery& r) {
            return first.at({r.airline, r.secondAirline, r.model}) < r.folderIndex;
        });
    }
    const auto order = [](const ExpectedLivery& r) { return std::tie(r.airline, r.secondAirline, r.model, r.title); };
    std::stable_sort(all.begin(), all.end(),
                     [&](const ExpectedLivery& a, const ExpectedLivery& b) { return order(a) < order(b); });
    // Records equal but for the cargo flag: the first after sorting stays.
    const auto end = std::unique(all.begin(), all.end(), [](const ExpectedLivery& a, const ExpectedLivery& b) {
        return a.title == b.title && a.airline == b.airline && a.secondAirline == b.secondAirline &&
               a.model == b.model && a.registration == b.registration;
    });
    all.erase(end, all.end());
    return all;
}

ProblemLines TreeExpectation::problemFiles() const {
    ProblemLines lines;
    for (const auto& file : files) {
        append(lines.invalidAirlineCodes, file.problems.invalidAirlineCodes);
        append(lines.invalidModelCodes, file.problems.invalidModelCodes);
        append(lines.modelFixes, file.problems.modelFixes);
        append(lines.invalidCfgFiles, file.problems.invalidCfgFiles);
        append(lines.incompleteSections, file.problems.incompleteSections);
        append(lines.noFltsimFiles, file.problems.noFltsimFiles);
    }
    for (auto* list : {&lines.invalidAirlineCodes, &lines.invalidModelCodes, &lines.modelFixes, &lines.invalidCfgFiles,
                       &lines.incompleteSections, &lines.noFltsimFiles}) {
        sortLines(*list);
    }
    auto& incomplete = lines.incompleteSections;
    incomplete.erase(std::unique(incomplete.begin(), incomplete.end()), incomplete.end());
    return lines;
}

std::string referenceDbaseXml(Preset preset) {
    switch (preset) {
        case Preset::full:
        case Preset::bench: return dbaseXml(kFullCaseRecords);
        case Preset::demo: return {};
    }
    return {};
}

std::string myRegcodesText(const TreeExpectation& expectation) { return linesText(expectation.dontUseTitles); }

Result<void, TreeError> writeExpectation(const TreeExpectation& expectation, const fs::path& folder, bool prioritized) {
    try {
        std::string records;
        for (const auto& r : expectation.scannedLiveries(prioritized)) {
            records += fmt::format("{}\t{}\t{}\t{}\t{}\t{}\t{}\n", r.airline, r.secondAirline, r.model,
                                   r.cargo ? "cargo" : "pax", r.title, r.registration, r.folderIndex);
        }
        writeText(folder / "LiveriesScanned.txt", records);
        const ProblemLines problems = expectation.problemFiles();
        const fs::path errors = folder / "errors";
        writeText(errors / "InvalidAirlineCodes.txt", linesText(problems.invalidAirlineCodes));
        writeText(errors / "InvalidAircraftCodes.txt", linesText(problems.invalidModelCodes));
        writeText(errors / "Fixes.txt", linesText(problems.modelFixes));
        writeText(errors / "InvalidAircraftCfgFiles.txt", linesText(problems.invalidCfgFiles));
        writeText(errors / "IncompleFltsimSections.txt", linesText(problems.incompleteSections));
        writeText(folder / "info" / "AircraftCfgWithNoFltsimSection.txt", linesText(problems.noFltsimFiles));
        if (const std::string dbase = referenceDbaseXml(expectation.preset); !dbase.empty()) {
            writeText(folder / "dbase.xml", dbase);
        }
        if (!expectation.dontUseTitles.empty()) {
            writeText(folder / "my_regcodes" / "livery_tree.txt", myRegcodesText(expectation));
        }
    } catch (const std::exception& e) {
        return fail(TreeError::writeFailed, e.what());
    }
    return {};
}

}  // namespace qvl::livery_tree
