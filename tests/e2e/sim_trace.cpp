#include "sim_trace.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace qvl::test {
namespace {

// The text between the n-th pair of double quotes (from 0).
std::string quoted(const std::string& text, int n) {
    std::size_t at = 0;
    for (int i = 0; i <= n; ++i) {
        const std::size_t open = text.find('"', at);
        if (open == std::string::npos) return {};
        const std::size_t close = text.find('"', open + 1);
        if (close == std::string::npos) return {};
        if (i == n) return text.substr(open + 1, close - open - 1);
        at = close + 1;
    }
    return {};
}

void readObjectLine(SimTrace& trace, std::uint64_t frame, std::istringstream& in, const std::string& text,
                    std::uint32_t positionDefinition) {
    std::uint32_t id = 0;
    std::string what;
    if (!(in >> id >> what)) return;
    if (what == "added") {
        if (text.find(" foreign") != std::string::npos) return;
        TracedObject& o = trace.objects[id];
        o.id = id;
        o.title = quoted(text, 0);
        o.atcId = quoted(text, 1);
        o.addedFrame = frame;
        return;
    }
    const auto it = trace.objects.find(id);
    if (it == trace.objects.end()) return;
    TracedObject& o = it->second;
    if (what == "removed") {
        o.removedFrame = frame;
    } else if (what == "event") {
        TracedEvent e{.frame = frame};
        in >> e.name >> e.data;
        o.events.push_back(e);
    } else if (what == "on" || what == "airborne") {
        o.contact.emplace_back(frame, what == "on");
    } else if (what == "data") {
        std::uint32_t definition = 0;
        TracedPosition p{.frame = frame};
        std::string lat, lon, alt, hdg;
        if (in >> definition >> lat >> p.latitude >> lon >> p.longitude >> alt >> p.altitude >> hdg >> p.heading &&
            definition == positionDefinition) {
            o.positions.push_back(p);
        }
    }
}

}  // namespace

std::size_t TracedObject::eventCount(const std::string& name) const {
    return static_cast<std::size_t>(
        std::count_if(events.begin(), events.end(), [&](const TracedEvent& e) { return e.name == name; }));
}

std::optional<std::uint64_t> TracedObject::firstEvent(const std::string& name) const {
    for (const TracedEvent& e : events) {
        if (e.name == name) return e.frame;
    }
    return std::nullopt;
}

std::vector<const TracedObject*> SimTrace::byAtcId(const std::string& atcId) const {
    std::vector<const TracedObject*> out;
    for (const auto& [id, o] : objects) {
        if (o.atcId == atcId) out.push_back(&o);
    }
    return out;
}

SimTrace readSimTrace(const std::filesystem::path& file, std::uint32_t positionDefinition) {
    SimTrace trace;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::uint64_t frame = 0;
        std::string first;
        if (!(words >> frame >> first)) continue;
        trace.lastFrame = std::max(trace.lastFrame, frame);
        if (first == "object") readObjectLine(trace, frame, words, line, positionDefinition);
    }
    return trace;
}

}  // namespace qvl::test
