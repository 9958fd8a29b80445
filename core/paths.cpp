#include "core/paths.h"

#include "platform/sys/known_folders.h"

namespace qvl {

const VersionRecord& programVersion() {
    static const VersionRecord version = gf_parseVersion(std::string(kProgramVersionText));
    return version;
}

path productFolder() { return sys::roamingAppDataFolder() / kProductName; }

path parametersFile() { return productFolder() / "parameters.xml"; }

}  // namespace qvl
