// parameters.xml as the user's roaming folder holds it: read at start-up
// (created anew when unusable, upgraded when older), then written back in
// the program's own layout, which must read back to the same settings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/parameters.h"
#include "core/paths.h"
#include "core/settings.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("parameters_xml");
    return folder;
}

// Every stored value as text, in registry order.
std::vector<std::string> snapshot() {
    std::vector<std::string> values;
    for (auto* s : boolParameters) values.push_back(s->key() + (s->value() ? "=1" : "=0"));
    for (auto* s : boolControlParameters) values.push_back(s->key() + (s->value() ? "=1" : "=0"));
    for (auto* s : rangeParameters) values.push_back(s->key() + "=" + std::to_string(s->value()));
    for (auto* s : rangeControlParameters) values.push_back(s->key() + "=" + std::to_string(s->value()));
    for (auto* s : stringParameters) values.push_back(s->key() + "=" + s->value());
    for (auto* s : shownStringParameters) values.push_back(s->key() + "=" + s->value());
    return values;
}

void expectWithinLimits() {
    for (auto* s : rangeParameters) {
        expect(s->value() >= s->minimum() && s->value() <= s->maximum(), "a read number lies within its limits");
    }
    for (auto* s : rangeControlParameters) {
        expect(s->value() >= s->minimum() && s->value() <= s->maximum(), "a read number lies within its limits");
    }
}

void expectSame(const std::vector<std::string>& saved, const std::vector<std::string>& read) {
    expect(saved.size() == read.size(), "the same settings are read as were saved");
    for (std::size_t i = 0; i < saved.size(); ++i) {
        if (saved[i] != read[i]) {
            fuzz::fail("every setting reads back as it was saved: '" + saved[i] + "' came back as '" + read[i] + "'");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("QVL_ROAMING_DIR", (scratch().path() / "roaming").c_str(), 1);
    std::filesystem::create_directories(productFolder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::InFolder inScratch(scratch().path());
    fuzz::resetAllSettings();
    fuzz::writeBytes(parametersFile(), fuzz::bytesOf(data, size));
    gf_initParameters();
    expectWithinLimits();

    // What the program writes it must read back unchanged.
    gf_saveAllParameters(StoredValues::current);
    const std::vector<std::string> written = snapshot();
    fuzz::resetAllSettings();
    expect(!gf_readParameters(), "the program's own parameters.xml is usable");
    expectSame(written, snapshot());
    return 0;
}
