// A bounded end that gives up on a thread (a file writer inside an operation
// that never returns, a scan's worker) leaves it to end on its own. Once its
// operation returns, such a thread goes on: it logs, and it may reach the
// program's process-wide parts (the log, the settings' saves), which static
// destructors free at the end of the process. So the end of the program asks
// here, and a process that left a thread behind ends at once, through its
// last line, never through static destructors.
//
// Any thread may record, at any time, even after the end of main: the
// record itself is never destroyed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qvl {

// `thread` names what was left behind ("file writer").
void recordThreadLeftBehind(std::string_view thread);
// What was left behind so far, once per thread given up on, in that order;
// empty when nothing was.
[[nodiscard]] std::vector<std::string> threadsLeftBehind();

}  // namespace qvl
