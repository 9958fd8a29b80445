// The archive of a new program version as the download site serves it:
// arbitrary bytes opened, listed and unpacked entry by entry. Never a crash;
// an entry that cannot be unpacked leaves the target as it was; a name the
// archive lacks is refused.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "run/zip_reader.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("zip_reader");
    return folder;
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

constexpr std::size_t kMostEntries = 16;
const std::string kBefore = "the target before";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path archive = scratch().path() / "latest_version.zip";
    const fs::path target = scratch().path() / "unpacked";
    fuzz::writeBytes(archive, fuzz::bytesOf(data, size));
    auto reader = ZipArchiveReader::open(archive);
    if (!reader) return 0;
    const std::vector<std::string> names = reader->entryNames();
    for (std::size_t i = 0; i < names.size() && i < kMostEntries; ++i) {
        (void)isContainedEntryName(names[i]);
        fuzz::writeBytes(target, kBefore);
        if (!reader->extract(names[i], target)) {
            expect(readAll(target) == kBefore, "an entry that cannot be unpacked leaves the target as it was");
        }
        std::error_code ignored;
        fs::remove(target, ignored);
    }
    std::string absent = "\x01missing";
    while (std::find(names.begin(), names.end(), absent) != names.end()) absent += '_';
    const auto missing = reader->extract(absent, target);
    expect(!missing && missing.error() == ZipReadError::noSuchEntry, "a name the archive lacks is refused");
    expect(!fs::exists(target), "a refused name writes nothing");
    return 0;
}
