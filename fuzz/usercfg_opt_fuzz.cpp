// UserCfg.opt, the simulator's own settings file, where the program finds
// the packages folder ("InstalledPackagesPath") when the user has set none.
// The scratch folder holds a valid packages folder, "packages", that a line
// may name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/parameters.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "simlink/package_folders.h"
#include "simlink/sim_hooks.h"
#include "simlink/sim_state.h"
#include "simlink/sim_version.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("usercfg_opt");
    return folder;
}

// Where the store edition of the 2020 simulator keeps the file.
fs::path userCfgOpt() {
    return scratch().path() / "local" / "Packages" / lf_msfsPackageFamily(SimVersion::msfs2020) / "LocalCache" /
           "UserCfg.opt";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const fs::path root = scratch().path();
    ::setenv("QVL_ROAMING_DIR", (root / "roaming").c_str(), 1);
    ::setenv("QVL_LOCAL_DIR", (root / "local").c_str(), 1);
    fs::create_directories(userCfgOpt().parent_path());
    fs::create_directories(root / "packages" / kCommunityName);
    fs::create_directories(root / "packages" / kOfficialName);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::InFolder inScratch(scratch().path());
    fuzz::resetAllSettings();
    static SimLinkState link;
    static const bool wired = [] {
        // The detection saves the found path through the program's setter.
        link.hooks.publish(
            {.queueSimObjectEvent = [](const SimObjectEvent&) {},
             .onSimObjectData = [](const SimObjectDataReply&) {},
             .onSimObjectDataByType = [](const SimObjectDataReply&) {},
             .userPosition = [] { return GeoPosition{}; },
             .userAircraft = [] { return UserAircraftBlock{}; },
             .standNameAtPosition = [](const GeoPosition&) { return std::string{}; },
             .reserveUserStand = [](const std::string&) {},
             .repaintWindow = [] {},
             .setStringParameter = [](StringParameter& setting,
                                      const std::string& value) { gf_setStringParameter(setting, value); },
             .switchSimulator = [](SimVersion) {}});
        return true;
    }();
    (void)wired;
    link.simVersion.store(SimVersion::msfs2020);
    fuzz::writeBytes(userCfgOpt(), fuzz::bytesOf(data, size));

    const fs::path named = lf_readInstalledPackagesPath(SimVersion::msfs2020);
    expect(named.empty() || fs::exists(named), "only a folder that exists is taken from UserCfg.opt");
    expect(named.native().find('"') == std::string::npos, "the quotes around the path are not part of it");
    if (gf_detectMsfs(link)) {
        expect(lf_packagesPathValid(SimVersion::msfs2020, pathFromUtf8(MSFS_INSTALL_PATH.value())),
               "a detected packages folder is valid");
        expect(ALL_INSTALL_PATH.value() == MSFS_INSTALL_PATH.value(), "the detected folder is shown");
    }
    return 0;
}
