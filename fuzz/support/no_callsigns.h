// The traffic reader's callsign collection for the engine's fuzz targets: it
// saw no callsign.
#pragma once

#include <set>
#include <string>

#include "engine/base/engine.h"

namespace qvl::fuzz {

// A traffic reader that saw no callsign.
class NoCallsigns final : public CallsignCollection {
public:
    void startCallsignCollection() override {}
    [[nodiscard]] std::set<std::string> takeCollectedCallsigns() override { return {}; }
};

}  // namespace qvl::fuzz
