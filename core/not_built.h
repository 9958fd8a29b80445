// Work that is not built yet. Each such step is one entry beside the real
// header in the folder that will own it; the entry does the least the caller
// needs (usually nothing) and calls notBuiltYet once it runs, so Log.txt
// tells the user, in words, what the program does not do yet.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qvl {

// Logs "not built yet: <feature>" the first time in the process that an entry
// of that feature runs ("static parking", "the livery scan").
void notBuiltYet(std::string_view feature);

// The features logged so far in this process, in the order first logged.
[[nodiscard]] std::vector<std::string> notBuiltLogged();

}  // namespace qvl
