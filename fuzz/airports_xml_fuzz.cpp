// The airport list: plain airports.xml bytes, encrypted as our encryptor
// makes input/airports.enc, then read by the program's one read path.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>

#include "core/paths.h"
#include "refdata/airports.h"
#include "refdata/data_file.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("airports_xml");
    return folder;
}

bool isCodeChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

void expectSoundList() {
    const auto& list = airportList();
    expect(std::is_sorted(list.begin(), list.end(),
                          [](const AirportRec& a, const AirportRec& b) { return a.icao < b.icao; }),
           "the list is sorted by ICAO code");
    for (const AirportRec& a : list) {
        expect(a.icao.isSet() && gf_isKnownAirport(a.icao), "every listed airport is known by its code");
        expect(std::isfinite(a.latitude) && std::fabs(a.latitude) <= 90.0, "latitude within -90..90");
        expect(std::isfinite(a.longitude) && std::fabs(a.longitude) <= 180.0, "longitude within -180..180");
        for (char c : a.code3) expect(isCodeChar(c), "a 3-character code holds only A-Z and 0-9");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fs::create_directories(scratch().path() / kInputFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::InFolder inScratch(scratch().path());
    const fs::path source = scratch().path() / "airports.source";
    fuzz::writeBytes(source, fuzz::bytesOf(data, size));
    expect(streamEncrypt(source, kAirportsEnc), "the encryptor writes input/airports.enc");
    resetAirportList();
    bool read = false;
    try {
        read = gf_readAirports();
    } catch (const std::runtime_error&) {
        // An unreadable list is a user error: the caller reports it.
    }
    expect(!fs::exists(kAirportsXml), "no plain airports.xml is left on disk");
    expect(read == !airportList().empty(), "the read says whether the list holds airports");
    if (read) expectSoundList();
    return 0;
}
