// Start-up reading of the reference data, the way the program does it: the
// encrypted database (the shipped one, its registrations replaced by 50,000
// generated ones) and the shipped airport list, decrypted, parsed and turned
// into tables; plus the lookups the engine and the livery scan repeat.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "refdata/airports.h"
#include "refdata/code_table.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "refdata/lookups.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRegistrations = 50000;

fs::path dataFolder() { return fs::path(__FILE__).parent_path().parent_path() / "data"; }

std::string registrationOf(int i) {
    static const char* const prefixes[] = {"D-A", "G-", "F-H", "EI-", "PH-", "HB-J", "OE-L", "N", "C-F", "VH-"};
    std::string suffix;
    for (int n = i / 10, k = 0; k < 4; ++k, n /= 26) suffix.insert(suffix.begin(), static_cast<char>('A' + n % 26));
    return prefixes[i % 10] + suffix;
}

// The shipped database with its dbase section replaced by generated records.
std::string largeDatabase() {
    std::string xml = qvl::test::readFile(dataFolder() / "dbase.xml");
    const auto begin = xml.find("<dbase>");
    const auto end = xml.find("</dbase>");
    if (begin == std::string::npos || end == std::string::npos) throw std::runtime_error("no dbase section");
    static const char* const airlines[] = {"DLH", "KLM", "BAW", "AFR", "EZY", "RYR", "UAL", "AAL", "DAL", "UAE"};
    static const char* const models[] = {"A20N", "A320", "B738", "B77W", "A359",
                                         "E190", "CRJ9", "B789", "A321", "DH8D"};
    std::string records = "<dbase>\n";
    for (int i = 0; i < kRegistrations; ++i) {
        records += fmt::format("    <d r=\"{}\" a=\"{}\" m=\"{}\"{}/>\n", registrationOf(i), airlines[i % 10],
                               models[(i / 10) % 10], i % 17 == 0 ? " c=\"true\"" : "");
    }
    return xml.substr(0, begin) + records + xml.substr(end);
}

// A program folder with input/dbase.enc and input/airports.enc, made once;
// it becomes the working folder, as the readers use relative input/ paths.
struct BenchFolder {
    qvl::test::TempDir folder;
    BenchFolder() {
        fs::create_directories(folder / "input");
        fs::current_path(folder.path());
        qvl::test::writeFile("plain.xml", largeDatabase());
        qvl::streamEncrypt("plain.xml", "input/dbase.enc");
        qvl::streamEncrypt(dataFolder() / "airports.xml", "input/airports.enc");
        fs::remove("plain.xml");
    }
    ~BenchFolder() {
        // Leave the folder before TempDir removes it.
        std::error_code ignored;
        fs::current_path(fs::temp_directory_path(), ignored);
    }
};

BenchFolder& benchFolder() {
    static BenchFolder folder;
    return folder;
}

void BM_ReadDbase50k(benchmark::State& state) {
    benchFolder();
    for (auto _ : state) {
        state.PauseTiming();
        qvl::resetDbaseTables();
        state.ResumeTiming();
        if (!qvl::gf_readDbase()) state.SkipWithError("gf_readDbase failed");
    }
    state.counters["records"] = static_cast<double>(qvl::dbaseTables().dbaseRecords.size());
}
BENCHMARK(BM_ReadDbase50k)->Unit(benchmark::kMillisecond);

void BM_ReadAirports(benchmark::State& state) {
    benchFolder();
    for (auto _ : state) {
        state.PauseTiming();
        qvl::resetAirportList();
        state.ResumeTiming();
        if (!qvl::gf_readAirports()) state.SkipWithError("gf_readAirports failed");
    }
    state.counters["airports"] = static_cast<double>(qvl::airportList().size());
}
BENCHMARK(BM_ReadAirports)->Unit(benchmark::kMillisecond);

void BM_FindDbaseRecord(benchmark::State& state) {
    benchFolder();
    qvl::resetDbaseTables();
    qvl::gf_readDbase();
    // Traffic gives registrations without the hyphen: up to three binary searches each.
    std::vector<std::string> wanted;
    for (int i = 0; i < 1000; ++i) {
        std::string r = registrationOf(i * 37 % kRegistrations);
        std::erase(r, '-');
        wanted.push_back(std::move(r));
    }
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(qvl::gf_findDbaseRecord(wanted[i++ % wanted.size()]));
}
BENCHMARK(BM_FindDbaseRecord);

void BM_ModelIdOfKnownCode(benchmark::State& state) {
    benchFolder();
    // Once for all threads of the benchmark (a function-local static is built once).
    static const bool loaded = [] {
        qvl::resetDbaseTables();
        return qvl::gf_readDbase();
    }();
    if (!loaded) state.SkipWithError("gf_readDbase failed");
    for (auto _ : state) benchmark::DoNotOptimize(qvl::gf_modelId("B738"));
}
BENCHMARK(BM_ModelIdOfKnownCode)->Threads(1)->Threads(4);

// One prefix group as large as a whole registry: its map must stay linear.
void BM_BuildPrefixMap8000(benchmark::State& state) {
    qvl::TextGroups groups(1);
    for (int i = 0; i < 8000; ++i) groups.front().push_back(fmt::format("P{:04}-", i));
    for (auto _ : state) benchmark::DoNotOptimize(qvl::lf_buildPrefixMap(groups));
    state.counters["prefixes"] = static_cast<double>(qvl::lf_buildPrefixMap(groups).size());
}
BENCHMARK(BM_BuildPrefixMap8000)->Unit(benchmark::kMillisecond);

}  // namespace
