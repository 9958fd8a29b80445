// The one way the program saves its XML files, the attribute helpers every
// XML writer shares, and the emptying of folders.
#pragma once

#include <pugixml.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qvl {

// Gives the document a first-line declaration with version "1.0" and
// encoding "UTF-8", then writes it indented by two blanks, in UTF-8 without a
// byte-order mark. The file is written to a temporary name and renamed over
// the target, so the target is never left half-written. True when written.
bool gf_saveXmlDocument(pugi::xml_document& document, const std::filesystem::path& path);
// The bytes gf_saveXmlDocument writes; none when the document has no place
// for its declaration.
std::optional<std::string> xmlDocumentText(pugi::xml_document& document);

// The one way the program reads an XML file. A name that is there but is no
// file (a folder, say) is refused as unreadable before the parser sees it:
// the parser would take a folder's size for the file's and ask for that much
// memory.
pugi::xml_parse_result loadXmlFile(pugi::xml_document& document, const std::filesystem::path& path,
                                   unsigned int options = pugi::parse_default,
                                   pugi::xml_encoding encoding = pugi::encoding_auto);

// Appends an attribute with a text value; false when it cannot be appended.
bool gf_appendAttribute(pugi::xml_node node, std::string_view name, std::string_view text);
bool gf_appendAttributeValue(pugi::xml_node node, std::string_view name, std::string_view text);
// Sets the attribute's text, appending the attribute first when missing.
bool gf_setOrAppendAttribute(pugi::xml_node node, std::string_view name, std::string_view text);

// Removes the regular files directly in the folder; sub-folders stay. A
// missing folder is left alone. Failures are logged, never thrown.
void gf_removeFilesFromDirectory(const std::filesystem::path& folder);
// Removes the *.XML files (extension in any case) of the "tblo" folder.
void gf_removeXMLFilesFromDirectory();
// The same for a given folder (the tblo folder above; tests).
void gf_removeXMLFilesFromDirectory(const std::filesystem::path& folder);

}  // namespace qvl
