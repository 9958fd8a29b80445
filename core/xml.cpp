#include "core/xml.h"

#include <fmt/format.h>

#include <functional>
#include <sstream>
#include <string>

#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/strings.h"
#include "core/text_file.h"

namespace fs = std::filesystem;

namespace qvl {
namespace {

pugi::xml_node declarationOf(pugi::xml_document& document) {
    for (pugi::xml_node child : document.children()) {
        if (child.type() == pugi::node_declaration) return child;
    }
    return document.prepend_child(pugi::node_declaration);
}

void removeFiles(const fs::path& folder, const char* who, const std::function<bool(const fs::path&)>& wanted) {
    try {
        std::error_code ec;
        const auto status = fs::status(folder, ec);
        if (ec && ec != std::errc::no_such_file_or_directory) throw fs::filesystem_error("status", folder, ec);
        if (!fs::is_directory(status)) return;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (!entry.is_regular_file() || !wanted(entry.path())) continue;
            std::error_code rec;
            if (!fs::remove(entry.path(), rec) || rec) {
                gf_logAttention(fmt::format("Failed to remove {} ({})", gf_pathToUtf8(entry.path()),
                                            rec ? rec.message() : std::string("not removed")));
            }
        }
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{} exception: {}", who, e.what()));
    }
}

}  // namespace

std::optional<std::string> xmlDocumentText(pugi::xml_document& document) {
    pugi::xml_node declaration = declarationOf(document);
    if (!declaration) return std::nullopt;
    gf_setOrAppendAttribute(declaration, "version", "1.0");
    gf_setOrAppendAttribute(declaration, "encoding", "UTF-8");
    std::ostringstream out;
    document.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
    if (!out) return std::nullopt;
    return std::move(out).str();
}

bool gf_saveXmlDocument(pugi::xml_document& document, const fs::path& path) {
    const std::optional<std::string> bytes = xmlDocumentText(document);
    return bytes && writeFileAtomically(path, *bytes);
}

bool gf_appendAttribute(pugi::xml_node node, std::string_view name, std::string_view text) {
    pugi::xml_attribute a = node.append_attribute(std::string(name).c_str());
    return a && a.set_value(std::string(text).c_str());
}

bool gf_appendAttributeValue(pugi::xml_node node, std::string_view name, std::string_view text) {
    return gf_appendAttribute(node, name, text);
}

bool gf_setOrAppendAttribute(pugi::xml_node node, std::string_view name, std::string_view text) {
    const std::string key(name);
    pugi::xml_attribute a = node.attribute(key.c_str());
    if (!a) a = node.append_attribute(key.c_str());
    return a && a.set_value(std::string(text).c_str());
}

void gf_removeFilesFromDirectory(const fs::path& folder) {
    removeFiles(folder, "gf_removeFilesFromDirectory", [](const fs::path&) { return true; });
}

void gf_removeXMLFilesFromDirectory(const fs::path& folder) {
    removeFiles(folder, "gf_removeXMLFilesFromDirectory",
                [](const fs::path& p) { return gf_upperEquals(gf_pathToUtf8(p.extension()), ".XML"); });
}

void gf_removeXMLFilesFromDirectory() { gf_removeXMLFilesFromDirectory(kTbloFolder); }

pugi::xml_parse_result loadXmlFile(pugi::xml_document& document, const std::filesystem::path& path,
                                   unsigned int options, pugi::xml_encoding encoding) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        document.reset();
        pugi::xml_parse_result refused;
        refused.status = pugi::status_io_error;
        return refused;
    }
    return document.load_file(path.c_str(), options, encoding);
}

}  // namespace qvl
