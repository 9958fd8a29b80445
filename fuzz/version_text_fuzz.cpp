// Version texts: the download site's answers ("12.2.0" or a JSON object) and
// the version stored in parameters.xml.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/version.h"
#include "support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qvl;
    using fuzz::expect;
    const std::string text(fuzz::bytesOf(data, size));
    const std::optional<VersionRecord> version = tryParseVersion(text);
    expect(gf_parseVersion(text) == version.value_or(VersionRecord{}), "an unreadable version counts as 0.0.0");
    if (version && version->major >= 0 && version->minor >= 0 && version->patch >= 0) {
        // What the program writes of a version it reads back the same.
        expect(tryParseVersion(gf_versionToString(*version)) == version, "a version's text reads back as it");
    }
    return 0;
}
