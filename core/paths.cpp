#include "core/paths.h"

#include "platform/sys/known_folders.h"

namespace qvl {

const VersionRecord& gf_programVersion() {
    static const VersionRecord version = gf_parseVersion(std::string(kProgramVersionText));
    return version;
}

path gf_productFolder() { return sys::roamingAppDataFolder() / kProductName; }

path gf_parametersFile() { return gf_productFolder() / "parameters.xml"; }

}  // namespace qvl
