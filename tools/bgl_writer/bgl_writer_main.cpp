// qvl_bgl_writer airport <file.bgl> <ICAO> <latitude> <longitude> [stands]
// qvl_bgl_writer samples <folder>
// Writes one add-on airport's BGL file (gates around the position and a
// helipad), or a folder of sample files: airports and corrupt variants.
#include <fmt/format.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text_file.h"
#include "tools/bgl_writer/bgl_writer.h"

namespace {

namespace fs = std::filesystem;
namespace bw = qvl::bgl_writer;

int usage() {
    fmt::print(stderr,
               "usage: qvl_bgl_writer airport <file.bgl> <ICAO> <latitude> <longitude> [stands]\n"
               "       qvl_bgl_writer samples <folder>\n");
    return 2;
}

template <typename T>
bool readNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

bool save(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    if (bw::saveBgl(file, bytes)) return true;
    fmt::print(stderr, "cannot write {}\n", qvl::gf_pathToUtf8(file));
    return false;
}

int writeSamples(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    const bw::BglImage sample = bw::writeBgl(bw::sampleAirport("EHAM", 52.3086, 4.7639, 6));
    const std::vector<std::pair<std::string, bw::Corruption>> variants{
        {"zero_airport_size", bw::Corruption::zeroAirportSize},
        {"zero_sub_record_size", bw::Corruption::zeroSubRecordSize},
        {"huge_airport_size", bw::Corruption::hugeAirportSize},
        {"records_offset_past_end", bw::Corruption::recordsOffsetPastEnd},
        {"parking_count_too_large", bw::Corruption::parkingCountTooLarge},
        {"truncated_in_parking_list", bw::Corruption::truncatedInParkingList},
        {"unaligned_records_offset", bw::Corruption::unalignedRecordsOffset},
    };
    bool ok = save(folder / "sample.bgl", sample.bytes);
    for (const auto& [name, corruption] : variants) {
        ok = save(folder / (name + ".bgl"), bw::corrupted(sample, corruption).bytes) && ok;
    }
    bw::AirportSpec second{.ident = "EGLL", .altitudeMillimetres = 25000};
    second.parkings.push_back({.nameCode = 14, .type = 3, .number = 5, .latitude = 51.47, .longitude = -0.45});
    bw::FileSpec two = bw::sampleAirport("EHAM", 52.3086, 4.7639, 2);
    two.sections.front().subsections.push_back({.otherRecordsBefore = 2, .airports = {second}});
    ok = save(folder / "two_subsections.bgl", bw::writeBgl(two).bytes) && ok;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "samples") return writeSamples(qvl::pathFromUtf8(args[1]));
    if (args.size() < 5 || args.size() > 6 || args[0] != "airport") return usage();
    double latitude = 0.0;
    double longitude = 0.0;
    std::size_t stands = 8;
    if (args[2].size() != 4 || !readNumber(args[3], latitude) || !readNumber(args[4], longitude)) return usage();
    if (args.size() == 6 && !readNumber(args[5], stands)) return usage();
    const bw::BglImage image = bw::writeBgl(bw::sampleAirport(std::string(args[2]), latitude, longitude, stands));
    return save(qvl::pathFromUtf8(args[1]), image.bytes) ? 0 : 1;
}
