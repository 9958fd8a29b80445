// Until the installer rights check is built, the new version's folder gets
// no README.txt about administrator rights.
#include "core/not_built.h"
#include "run/version_check_rights.h"

namespace qvl {

std::string newVersionRightsText(const std::filesystem::path& /*programFolder*/) {
    notBuiltYet("the installer rights check");
    return {};
}

}  // namespace qvl
