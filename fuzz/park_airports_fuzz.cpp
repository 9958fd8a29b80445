// The user's my_park_airports.txt: the input's bytes become the file in a
// program folder of its own, with a small airport list and a my_thirdparty
// folder that also holds a badly named file. Whatever the file says, the
// list holds each known airport once with a clean reserved stand, and the
// first entry written back leaves a sorted file of distinct lines and no
// temporary file.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "airports/apf_file.h"
#include "airports/loaded_park_airport.h"
#include "core/current_park_airport.h"
#include "core/paths.h"
#include "core/range_control.h"
#include "core/run_state.h"
#include "core/text_file.h"
#include "engine/base/engine.h"
#include "engine/base/engine_state.h"
#include "engine/flight_plans.h"
#include "engine/parking/park_airports.h"
#include "engine/stands/park_airport_stands.h"
#include "feed/feed_state.h"
#include "feed/traffic_queue.h"
#include "refdata/airports.h"
#include "refdata/data_file.h"
#include "simlink/sim_state.h"
#include "support/engine_world.h"
#include "support/fuzz_support.h"
#include "support/quiet_status.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("park_airports");
    return folder;
}

constexpr std::string_view kAirports = R"(<?xml version="1.0"?>
<root><airports>
<ap c="0A12" la="40.1" lo="-80.2" a="900" s="0"/>
<ap c="EDDF" i="FRA" la="50.03" lo="8.57" a="364" s="0"/>
<ap c="EGLL" i="LHR" la="51.47" lo="-0.45" a="83" s="0"/>
<ap c="EHAM" i="AMS" la="52.31" lo="4.76" a="-11" s="0"/>
<ap c="LFPG" i="CDG" la="49.01" lo="2.55" a="392" s="0"/>
</airports></root>
)";

using World = fuzz::EngineWorld;

World& world() {
    static World w;
    return w;
}

bool clean(const std::string& stand) {
    const std::string_view blanks = " \t\r\n";
    return stand.find(',') == std::string::npos &&
           (stand.empty() || (blanks.find(stand.front()) == std::string_view::npos &&
                              blanks.find(stand.back()) == std::string_view::npos));
}

void expectSoundList(const std::list<ParkAirport>& list) {
    std::set<std::uint32_t> codes;
    for (const ParkAirport& entry : list) {
        expect(codes.insert(entry.icao.word()).second, "each airport is listed once");
        const AirportRec* listed = listedAirport(entry.icao);
        expect(listed != nullptr, "only airports of the airport list are listed");
        expect(entry.position.latitude == listed->latitude && entry.position.longitude == listed->longitude,
               "an entry's position is its airport's");
        expect(clean(entry.reservedStand), "a reserved stand is one trimmed field");
    }
}

std::vector<std::string> rawLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

void expectSoundFile(const ParkAirport& first) {
    std::ifstream in(kMyParkAirportsTxt, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    expect(!text.empty() && text.back() == '\n', "the file ends its last line");
    const std::vector<std::string> lines = rawLines(text);
    expect(std::adjacent_find(lines.begin(), lines.end(), std::greater_equal<>()) == lines.end(),
           "the file is sorted and holds each line once");
    const std::string line =
        std::string(first.icao.view()) + (first.reservedStand.empty() ? "" : "," + first.reservedStand);
    expect(std::find(lines.begin(), lines.end(), line) != lines.end(), "the file holds the first entry's line");
    std::size_t entries = 0;
    for (auto it = fs::directory_iterator(kAirportsFolder); it != fs::directory_iterator(); ++it) ++entries;
    expect(entries == 2, "no temporary file is left beside the file");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const fuzz::InFolder inScratch(scratch().path());
    fs::create_directories(kInputFolder);
    fs::create_directories(kMyThirdpartyFolder);
    fuzz::writeBytes("airports.source", kAirports);
    expect(streamEncrypt("airports.source", kAirportsEnc), "the encryptor writes input/airports.enc");
    resetAirportList();
    expect(gf_readAirports(), "the airport list is read");
    for (const char* name : {"-bad-.xml", "EGLL.xml", "lfpg.txt"}) fuzz::writeBytes(kMyThirdpartyFolder / name, "x");
    fuzz::resetAllSettings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::InFolder inScratch(scratch().path());
    World& w = world();
    w.state.parking.reset();
    fuzz::writeBytes(kMyParkAirportsTxt, fuzz::bytesOf(data, size));
    (void)lf_readMyParkAirports(w.engine);
    const std::list<ParkAirport>& list = w.state.parking.parkAirports;
    expectSoundList(list);
    expect(list.size() >= 2, "the my_thirdparty airports are always read");
    // A file that cannot be read as text is never written over: the user's
    // other airports would be lost.
    std::vector<std::string> readable;
    const Charset charset = gf_detectCharset(kMyParkAirportsTxt);
    const bool canRead =
        charset != Charset::none_found && gf_readTextFileWithCharset(charset, kMyParkAirportsTxt, readable);
    gf_addParkAirport(w.engine);
    // The save is carried out on the park airport's file writer.
    expect(w.park.learnedFiles.drain(std::chrono::seconds(10)), "the save is carried out");
    if (!canRead) {
        std::ifstream in(kMyParkAirportsTxt, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        expect(text == fuzz::bytesOf(data, size), "an unreadable file is left as it was");
        return 0;
    }
    expectSoundFile(list.front());
    return 0;
}
