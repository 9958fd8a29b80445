// What the user is told about installing a new version: whether the
// installer needs administrator rights for the program's folder.
#pragma once

#include <filesystem>
#include <string>

namespace qvl {

// The text for the new version's README.txt; empty when there is nothing to
// say.
std::string newVersionRightsText(const std::filesystem::path& programFolder);

}  // namespace qvl
