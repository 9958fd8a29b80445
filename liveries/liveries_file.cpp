#include "liveries/liveries_file.h"

#include <fmt/format.h>
#include <pugixml.hpp>

#include <array>
#include <numeric>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "core/files.h"
#include "core/log.h"
#include "core/meta_info.h"
#include "core/text_file.h"
#include "core/user_error.h"
#include "core/version.h"
#include "core/xml.h"
#include "refdata/code_table.h"

namespace qvl {
namespace {

// A damaged file may hold any number of bad liveries: the first few are
// named, the rest only counted.
constexpr int kNamedSkips = 20;

[[noreturn]] void fail(LiveriesFileError error, const std::string& message) {
    throw UserErrorException(static_cast<int>(error), message);
}

// A file that is there but cannot be used is kept as its first generation
// before the scan that the caller switches on replaces it. The words for the
// messages: "kept as <path>" once the copy is there, else why it is not (a
// folder in the file's place, or in the copy's, cannot be copied).
std::string keepAsGeneration(const std::filesystem::path& file) {
    const std::optional<std::filesystem::path> kept = generationName(file, 1);
    if (!kept) return "not kept: its name has no dot";
    std::error_code error;
    std::filesystem::copy_file(file, *kept, std::filesystem::copy_options::overwrite_existing, error);
    if (error) return fmt::format("not kept: could not be copied to {} ({})", gf_pathToUtf8(*kept), error.message());
    return "kept as " + gf_pathToUtf8(*kept);
}

// Why the parser refused the file, and where.
std::string parseFailure(const pugi::xml_parse_result& loaded) {
    if (loaded.status == pugi::status_io_error) return loaded.description();
    return fmt::format("{} at byte {}", loaded.description(), loaded.offset);
}

// The bytes that pugixml does not write as they are in an attribute's value.
constexpr std::array<bool, 256> kEscapedInAttribute = [] {
    std::array<bool, 256> escaped{};
    for (std::size_t c = 0; c < 0x20U; ++c) escaped[c] = true;
    escaped['&'] = escaped['<'] = escaped['"'] = true;
    return escaped;
}();

// An attribute's value as pugixml writes it between double quotes: '&',
// '<' and '"' as entities, control characters as two-digit character
// references, and nothing from a NUL byte on, as its texts end there.
// Runs of plain bytes go in whole.
void appendEscaped(std::string& out, std::string_view text) {
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!kEscapedInAttribute[c]) continue;
        out.append(text, plain, i - plain);
        plain = i + 1;
        switch (c) {
            case '\0': return;
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '"': out += "&quot;"; break;
            default: {
                const std::array<char, 5> reference{'&', '#', static_cast<char>('0' + c / 10U),
                                                    static_cast<char>('0' + c % 10U), ';'};
                out.append(reference.data(), reference.size());
            }
        }
    }
    out.append(text, plain, text.size() - plain);
}

void appendAttribute(std::string& out, std::string_view name, std::string_view text) {
    out += ' ';
    out += name;
    out += "=\"";
    appendEscaped(out, text);
    out += '"';
}

// The <l> elements of the records at `order` as pugixml writes them indented
// under <liveries>.
std::string liveryLines(const LiveryList& liveries, std::span<const std::uint32_t> order) {
    constexpr std::size_t kBytesPerLivery = 96;
    std::string out;
    out.reserve(order.size() * kBytesPerLivery);
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i + kLiveryPrefetchDistance < order.size()) prefetchLivery(liveries[order[i + kLiveryPrefetchDistance]]);
        const LiveryData& livery = liveries[order[i]];
        out += "    <l";
        appendAttribute(out, "a", airlineCodeOf(livery.key.airlineId));
        if (livery.key.secondAirlineId != 0) appendAttribute(out, "o", airlineCodeOf(livery.key.secondAirlineId));
        appendAttribute(out, "m", modelCodeOf(livery.key.modelId));
        if (livery.key.cargo != 0) appendAttribute(out, "c", "true");
        appendAttribute(out, "t", livery.title);
        if (!livery.registration.empty()) appendAttribute(out, "r", livery.registration);
        out += " />\n";
    }
    return out;
}

// The whole file's text. The meta block is written by pugixml into a document
// whose <liveries> is empty; the liveries then go in where it stands, written
// straight into one buffer, as a document of hundreds of thousands of nodes
// would cost far more than the text. None when the document gave no text.
std::optional<std::string> liveriesFileText(const LiveryList& liveries, std::span<const std::uint32_t> order,
                                            std::int32_t simNumber) {
    pugi::xml_document document;
    MetaInfo meta;
    meta.version = gf_versionToString(programVersion());
    meta.sim = simNumber;
    gf_writeMetaInfo(document, meta);
    document.child("root").append_child("liveries");
    std::optional<std::string> text = xmlDocumentText(document);
    if (!text) return std::nullopt;
    constexpr std::string_view kEmptyList = "  <liveries />\n";
    const std::size_t at = text->rfind(kEmptyList);
    if (at == std::string::npos) return std::nullopt;
    const std::string lines = liveryLines(liveries, order);
    std::string file;
    file.reserve(text->size() + lines.size() + kEmptyList.size());
    file.append(*text, 0, at);
    file += "  <liveries>\n";
    file += lines;
    file += "  </liveries>\n";
    file.append(*text, at + kEmptyList.size());
    return file;
}

class LiveryReader {
public:
    explicit LiveryReader(std::string pathText) : pathText_(std::move(pathText)) {}

    // Appends the element's livery, or skips it with a line.
    void read(const pugi::xml_node node, LiveryList& liveries) {
        static constexpr std::array<const char*, 3> kRequired{"a", "m", "t"};
        ++position_;
        for (const char* name : kRequired) {
            if (!node.attribute(name)) {
                fail(LiveriesFileError::missingAttribute,
                     fmt::format("Missing required attribute '{}' in <{}>", name, node.name()));
            }
        }
        for (const char* name : kRequired) {
            if (*node.attribute(name).as_string() == '\0') {
                skip(fmt::format("has an empty '{}' attribute", name));
                return;
            }
        }
        try {
            liveries.push_back(liveryOf(node));
        } catch (const CodeTableFull& e) {
            skip(e.what());
        }
    }

    void logSkips() const {
        if (skipped_ > kNamedSkips) {
            gf_logAttention(fmt::format("{:5} liveries skipped in {}", skipped_, pathText_));
        }
    }

private:
    static LiveryData liveryOf(const pugi::xml_node node) {
        const std::string_view second = node.attribute("o").as_string();
        return {.title = node.attribute("t").as_string(),
                .registration = node.attribute("r").as_string(),
                .key = {.airlineId = gf_airlineId(node.attribute("a").as_string()),
                        .secondAirlineId = second.empty() ? CodeId{0} : gf_airlineId(second),
                        .modelId = gf_modelId(node.attribute("m").as_string()),
                        .cargo = static_cast<std::uint8_t>(node.attribute("c").as_bool() ? 1 : 0)},
                .folderIndex = 0};
    }

    void skip(const std::string& why) {
        if (++skipped_ <= kNamedSkips) {
            gf_logAttention(fmt::format("livery #{} of {} skipped: {}", position_, pathText_, why));
        }
    }

    std::string pathText_;
    int position_ = 0;
    int skipped_ = 0;
};

// The liveries of a file that parsed. Throws UserErrorException 52, 533 or
// 999 for a file that cannot be used.
void readLiveries(const pugi::xml_document& document, const std::string& pathText, LiveryList& liveries) {
    // The meta block says who wrote the file; nothing here depends on it.
    (void)gf_readMetaInfo(document, SimulatorRow::optional);

    if (const pugi::xml_node root = document.child("root")) {
        const pugi::xml_node list = root.child("liveries");
        if (!list)
            fail(LiveriesFileError::noLiveriesSection,
                 fmt::format("{} does not contain a <liveries> section", pathText));
        LiveryReader reader(pathText);
        for (const pugi::xml_node node : list.children()) {
            if (node.type() == pugi::node_element) reader.read(node, liveries);
        }
        reader.logSkips();
    }
    if (liveries.empty()) fail(LiveriesFileError::noLiveries, pathText + " does not contain liveries");
}

}  // namespace

bool lf_writeLiveriesScanned(const LiveryList& liveries, std::int32_t simNumber, const std::filesystem::path& file) {
    LiveryOrder order(liveries.size());
    std::iota(order.begin(), order.end(), std::uint32_t{0});
    return lf_writeLiveriesScanned(liveries, order, simNumber, file);
}

bool lf_writeLiveriesScanned(const LiveryList& liveries, std::span<const std::uint32_t> order, std::int32_t simNumber,
                             const std::filesystem::path& file) {
    if (order.empty()) return true;
    const std::optional<std::string> text = liveriesFileText(liveries, order, simNumber);
    const std::string pathText = gf_pathToUtf8(file);
    if (!text || !writeFileAtomically(file, *text)) {
        gf_logAttention(fmt::format("could not write {}", pathText));
        return false;
    }
    gf_log(fmt::format("{} liveries in {}", order.size(), pathText));
    return true;
}

void lf_readLiveriesScanned(LiveryList& liveries, const std::filesystem::path& file) {
    liveries.clear();
    const std::string pathText = gf_pathToUtf8(file);
    pugi::xml_document document;
    const pugi::xml_parse_result loaded = loadXmlFile(document, file);
    if (loaded.status == pugi::status_file_not_found) {
        fail(LiveriesFileError::notReadable, fmt::format("File {} not found", pathText));
    }
    if (!loaded) {
        const std::string why = parseFailure(loaded);
        const std::string kept = keepAsGeneration(file);
        gf_logAttention(fmt::format("{} could not be read: {}; {}", pathText, why, kept));
        fail(LiveriesFileError::notReadable, fmt::format("File {} could not be read ({}), {}", pathText, why, kept));
    }
    try {
        readLiveries(document, pathText, liveries);
    } catch (const UserErrorException&) {
        gf_logAttention(fmt::format("{} {}", pathText, keepAsGeneration(file)));
        throw;
    }
    if (liveries.size() >= 2) sortLiveries(liveries);
    gf_log(fmt::format("{:5} liveries read from {}", liveries.size(), pathText));
}

}  // namespace qvl
