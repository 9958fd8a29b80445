// versions.json as the download site serves it, through the version check's
// reader: never a crash or an exception, and every key lands on one side.
#include <cstddef>
#include <cstdint>
#include <string>

#include "run/version_check.h"
#include "support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qvl;
    using fuzz::expect;
    const std::string text(fuzz::bytesOf(data, size));
    const auto read = readVersionsJson(text);
    if (read) {
        for (const std::string& key : read->unreadableKeys) {
            expect(read->versions.find(key) == read->versions.end(), "a key is readable or not, never both");
        }
    }
    return 0;
}
