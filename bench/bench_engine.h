// What the engine benchmarks share: the shipped reference database read
// once, a livery service that matches nothing and flight plans that are not
// written.
#pragma once

#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/engine.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/fake_status.h"
#include "support/temp_dir.h"

namespace qvl::bench {

inline void loadReferenceData() {
    static const bool loaded = [] {
        test::TempDir folder;
        const auto previous = std::filesystem::current_path();
        const auto data = std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / "dbase.xml";
        std::filesystem::current_path(folder.path());
        std::filesystem::create_directories("input");
        const bool ok = streamEncrypt(data, std::filesystem::path("input") / "dbase.enc") && gf_readDbase();
        std::filesystem::current_path(previous);
        return ok;
    }();
    if (!loaded) throw std::runtime_error("reference database not read");
}

// The traffic reader's callsigns as a benchmark sets them: the same each time.
class FixedCallsigns final : public CallsignCollection {
public:
    std::set<std::string> callsigns;
    void startCallsignCollection() override {}
    std::set<std::string> takeCollectedCallsigns() override { return callsigns; }
};

class NoLiveries final : public LiveryService {
public:
    void matchLiveAcLivery(FlightRec& /*flight*/) override {}
    bool matchStaticAcLivery(FlightRec& /*flight*/, bool /*cargoStand*/) override { return false; }
    bool matchStaticAcLiveryOnStand(FlightRec& /*flight*/, std::string_view /*standId*/, bool /*cargoStand*/) override {
        return false;
    }
    std::string_view registrationTitle(std::string_view /*registration*/) override { return {}; }
};

class NoPlans final : public FlightPlanService {
public:
    void write(std::uint32_t /*objectId*/, const FlightRec& /*flight*/) override {}
    std::filesystem::path path(std::uint32_t /*objectId*/) override { return {}; }
    void remove(std::uint32_t /*objectId*/) override {}
    std::vector<FlightPlanWritten> takeWritten() override { return {}; }
};

}  // namespace qvl::bench
