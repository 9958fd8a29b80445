// qvl_encryptor <plain file> <encrypted file>
//
// Encrypts one data file with the program's key: a secretstream header,
// chunks of exactly 4096 plain bytes and a last chunk tagged final. An XML
// input must be well-formed, so a broken data file fails the build instead
// of the program's start-up. The output is written atomically.
#include <fmt/format.h>
#include <pugixml.hpp>

#include <cstdio>
#include <exception>
#include <filesystem>

#include "core/strings.h"
#include "core/text_file.h"
#include "refdata/data_file.h"

namespace {

bool isWellFormedXml(const std::filesystem::path& input) {
    const std::string extension = qvl::gf_pathToUtf8(input.extension());
    if (!qvl::gf_upperEquals(extension, ".XML")) return true;
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_file(input.c_str());
    if (!parsed) {
        fmt::print(stderr, "qvl_encryptor: {} is not well-formed XML: {} at byte {}\n", qvl::gf_pathToUtf8(input),
                   parsed.description(), parsed.offset);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fmt::print(stderr, "usage: qvl_encryptor <plain file> <encrypted file>\n");
        return 2;
    }
    const std::filesystem::path input(argv[1]);
    const std::filesystem::path output(argv[2]);
    try {
        if (!isWellFormedXml(input)) return 1;
        if (!qvl::streamEncrypt(input, output)) {
            fmt::print(stderr, "qvl_encryptor: could not encrypt {} into {}\n", qvl::gf_pathToUtf8(input),
                       qvl::gf_pathToUtf8(output));
            return 1;
        }
    } catch (const std::exception& e) {
        fmt::print(stderr, "qvl_encryptor: {}\n", e.what());
        return 1;
    }
    return 0;
}
