// The reference database: plain dbase.xml bytes, encrypted as our encryptor
// makes input/dbase.enc, then read by the program's one read path.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>

#include "core/paths.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("dbase_xml");
    return folder;
}

void expectSoundTables() {
    const DbaseTables& t = dbaseTables();
    const auto& records = t.dbaseRecords;
    for (const DbaseRecord& r : records) expect(!r.registration.empty(), "every record has a registration");
    expect(std::adjacent_find(records.begin(), records.end(),
                              [](const DbaseRecord& a, const DbaseRecord& b) {
                                  return !(a.registration < b.registration);
                              }) == records.end(),
           "records are sorted by registration, one each");
    for (const auto& group : t.similarGroups) expect(std::is_sorted(group.begin(), group.end()), "groups are sorted");
    for (const auto& group : t.prefixGroups) expect(std::is_sorted(group.begin(), group.end()), "groups are sorted");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fs::create_directories(scratch().path() / kInputFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::InFolder inScratch(scratch().path());
    const fs::path source = scratch().path() / "dbase.source";
    fuzz::writeBytes(source, fuzz::bytesOf(data, size));
    expect(streamEncrypt(source, kDbaseEnc), "the encryptor writes input/dbase.enc");
    resetDbaseTables();
    bool read = false;
    try {
        read = gf_readDbase();
    } catch (const std::runtime_error&) {
        // A damaged database is a user error (or a failed decryption): the caller reports it.
    }
    expect(!fs::exists(kDbaseXml), "no plain dbase.xml is left on disk");
    if (read) expectSoundTables();
    return 0;
}
