// LiveriesScanned.xml as a start-up finds it: whatever bytes the file holds
// are read by the program's reader. A file it accepts must give liveries in
// livery order that write out and read back unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "core/user_error.h"
#include "liveries/liveries_file.h"
#include "liveries/livery_data.h"
#include "refdata/code_table.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("liveries_scanned");
    return folder;
}

// Fresh code tables whose id 0 is the empty code, as after the database.
void freshCodeTables() {
    modelCodes().clear();
    airlineCodes().clear();
    gf_modelId("");
    gf_airlineId("");
}

bool sameLiveries(const LiveryList& a, const LiveryList& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const LiveryData& x, const LiveryData& y) {
        return x.title == y.title && x.registration == y.registration && x.key == y.key &&
               x.folderIndex == y.folderIndex;
    });
}

void expectSoundList(const LiveryList& liveries) {
    expect(!liveries.empty(), "an accepted file has liveries");
    expect(std::is_sorted(liveries.begin(), liveries.end(), lf_liveryLess), "liveries come in livery order");
    for (const LiveryData& livery : liveries) {
        expect(!livery.title.empty(), "every livery has a title");
        expect(livery.key.airlineId != 0 && livery.key.modelId != 0, "every livery has an airline and a model");
        expect(livery.folderIndex == 0, "liveries read back have folder index 0");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    freshCodeTables();
    const fs::path file = scratch().path() / "LiveriesScanned.xml";
    fuzz::writeBytes(file, fuzz::bytesOf(data, size));
    LiveryList liveries;
    try {
        lf_readLiveriesScanned(liveries, file);
    } catch (const UserErrorException&) {
        // A damaged file is a user error: the start-up reports it.
        return 0;
    }
    expectSoundList(liveries);
    const fs::path again = scratch().path() / "again.xml";
    expect(lf_writeLiveriesScanned(liveries, 2, again), "an accepted list is written");
    LiveryList reread;
    lf_readLiveriesScanned(reread, again);
    expect(sameLiveries(liveries, reread), "a written list reads back unchanged");
    return 0;
}
