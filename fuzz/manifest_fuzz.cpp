// A package's manifest.json as the add-on airport scan reads it: the
// publisher details from its text, and the manifest search and publisher
// search over a package holding it. Only the JSON library's own errors may
// leave the text reader; the searches never throw.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "airports/addon/addon_scan_state.h"
#include "airports/addon/publishers.h"
#include "refdata/dbase.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("manifest");
    return folder;
}

const fs::path kPackage = fs::path("Community") / "pkg";
const fs::path kBglFile = kPackage / "scenery" / "x.bgl";

bool logHas(AirportsScanState& state, std::string_view start) {
    for (const std::string& line : scanLogLines(state)) {
        if (line.starts_with(start)) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const fuzz::InFolder inScratch(scratch().path());
    fs::create_directories(kBglFile.parent_path());
    dbaseTablesForWriting().publisherGroups = {{"My Pub", "mypub"}};
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::InFolder inScratch(scratch().path());
    const std::string_view text = fuzz::bytesOf(data, size);
    try {
        (void)publisherInfoFromManifestText(text);
    } catch (const nlohmann::json::exception&) {
        // Invalid JSON or a member of the wrong kind: the search logs it.
    }

    fuzz::writeBytes(kPackage / "manifest.json", text);
    AirportsScanState state;
    const auto details = gf_searchManifest(state, kBglFile);
    expect(!details || logHas(state, "Manifest file: "), "found details are logged");
    expect(!(details && logHas(state, "exception in gf_searchManifest")), "a failed search gives no details");

    AirportsScanState again;
    const AddonPublisher publisher = lf_findPublisher(again, kBglFile, std::nullopt);
    expect(publisher.title.empty(), "the title never becomes the publisher's");
    expect(!publisher.publisher.empty() || logHas(again, "===> No publisher found") ||
               logHas(again, "no valid info found in manifest about publisher"),
           "an empty publisher is said so");
    return 0;
}
