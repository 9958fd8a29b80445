#include "airports/stand_log.h"

#include "core/log.h"

namespace qvl {

void HeldLogLines::log(std::string text) { add(Kind::plain, std::move(text)); }
void HeldLogLines::attention(std::string text) { add(Kind::attention, std::move(text)); }
void HeldLogLines::continuation(std::string text) { add(Kind::continuation, std::move(text)); }

void HeldLogLines::add(Kind kind, std::string text) {
    if (timing_ == Timing::now) {
        writeLine(kind, text);
        return;
    }
    lines_.emplace_back(kind, std::move(text));
}

void HeldLogLines::write() {
    for (const auto& [kind, text] : lines_) writeLine(kind, text);
    lines_.clear();
}

void HeldLogLines::writeLine(Kind kind, std::string_view text) {
    switch (kind) {
        case Kind::plain: gf_log(text); return;
        case Kind::attention: gf_logAttention(text); return;
        case Kind::continuation: gf_logContinuation(text); return;
    }
}

}  // namespace qvl
