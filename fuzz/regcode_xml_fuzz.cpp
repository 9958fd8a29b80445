// The shipped registration-code file after decryption: whatever bytes the
// plain XML holds are read by the program's reader. What it gives must be
// usable entries: a title each, no title twice in a row, registrations that
// are trimmed and not empty; a file it cannot load is removed.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/strings.h"
#include "liveries/regcode_sources.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("regcode_xml");
    return folder;
}

void expectSoundEntries(const RegcodeEntries& entries) {
    const RegcodeEntry* previous = nullptr;
    for (const RegcodeEntry& entry : entries) {
        expect(!entry.title.empty(), "every entry has a title");
        expect(previous == nullptr || previous->title != entry.title, "no title follows itself");
        for (const std::string& registration : entry.registrations) {
            expect(!registration.empty(), "no registration is empty");
            expect(trimView(registration) == registration, "registrations are trimmed");
            expect(registration.find(',') == std::string::npos, "registrations are split at commas");
        }
        previous = &entry;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path file = scratch().path() / "AIG-regcodes.xml";
    fuzz::writeBytes(file, fuzz::bytesOf(data, size));
    RegcodeEntries entries;
    const bool ok = lf_readAigRegcodesXml(entries, file);
    expectSoundEntries(entries);
    expect(!ok || fs::exists(file), "a file read without errors is left to its caller");
    return 0;
}
