#include "platform/sys/install_rights.h"

#include <unistd.h>

namespace qvl::sys {

std::vector<std::filesystem::path> programFilesFolders() { return {}; }

bool processElevated() { return ::geteuid() == 0; }

}  // namespace qvl::sys
