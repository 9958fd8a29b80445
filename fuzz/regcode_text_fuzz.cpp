// A user's registration-code text file: whatever bytes it holds, in whatever
// charset they seem to be, are read by the program's folder reader. Every
// entry must follow the line rules: a title; a registration given alone is
// special; every registration kept has 3 to 12 characters.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "liveries/regcode_sources.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("regcode_text");
    return folder;
}

void expectSoundEntry(const RegcodeEntry& entry) {
    expect(!entry.title.empty(), "every entry has a title");
    expect(entry.title.find(';') == std::string::npos, "a title is one field");
    for (const std::string& registration : entry.registrations) {
        expect(registration.size() >= kMinRegcodeLength && registration.size() <= kMaxRegcodeLength,
               "kept registrations have 3 to 12 characters");
        expect(registration.find(',') == std::string::npos, "registrations are split at commas");
    }
    if (entry.registrations.empty()) expect(!entry.special, "a title that must not be used is not special");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path folder = scratch().path() / "my_regcodes";
    fs::create_directories(folder);
    fuzz::writeBytes(folder / "mine.TXT", fuzz::bytesOf(data, size));
    RegcodeEntries entries;
    const bool ok = lf_readRegcodeTextFiles(folder, entries);
    for (const RegcodeEntry& entry : entries) expectSoundEntry(entry);
    // The same bytes as one line, as the reader would meet them: a line that
    // names one registration alone marks a special livery.
    const RegcodeLine line = parseRegcodeLine(fuzz::bytesOf(data, size));
    if (line.entry && line.wrongLength.empty() && line.entry->registrations.size() == 1)
        expect(line.entry->special, "a single registration alone is special");
    (void)ok;
    return 0;
}
