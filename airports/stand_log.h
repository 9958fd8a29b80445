// Log lines of a stand load, written at once or held: a load builds its
// stands on the thread that read its files, yet its lines belong in Log.txt
// among those that the main loop writes when it takes the stands in, in the
// order a load in one go would have written them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "airports/stand.h"

namespace pugi {
class xml_node;
}

namespace qvl {

class HeldLogLines {
public:
    enum class Timing : std::uint8_t {
        now,   // each line goes to the log as it comes
        held,  // the lines wait for write()
    };
    explicit HeldLogLines(Timing timing) : timing_(timing) {}

    // As gf_log, gf_logAttention and gf_logContinuation.
    void log(std::string text);
    void attention(std::string text);
    void continuation(std::string text);

    // Writes the held lines in order and forgets them.
    void write();
    [[nodiscard]] bool empty() const { return lines_.empty(); }

private:
    enum class Kind : std::uint8_t { plain, attention, continuation };
    void add(Kind kind, std::string text);
    static void writeLine(Kind kind, std::string_view text);

    Timing timing_;
    std::vector<std::pair<Kind, std::string>> lines_;
};

// lf_checkStands and lf_readStands with their lines given to `log`.
void readStandsInto(const pugi::xml_node& document, std::vector<Stand>& stands, HeldLogLines& log);
void readStandInto(const pugi::xml_node& parkpos, const std::string& id, FlightSource source,
                   std::vector<Stand>& stands, HeldLogLines& log);

}  // namespace qvl
