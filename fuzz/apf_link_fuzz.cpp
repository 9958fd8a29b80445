// The user's link file of an airport and the learned file that the park
// airport's load derives from what it resolves to. The first byte says in
// which of the user's folders the link file lies and whether an airport file
// lies beside it; the next line is the publisher that the airport file names;
// the rest is the link file. Whatever the link says, the airport resolves to
// an archive file, the local airport file or nothing, and a learned file
// always lies inside the learned folder, named as the airport file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "airports/apf_file.h"
#include "airports/apf_resolution.h"
#include "core/fixed_code.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("apf_link");
    return folder;
}

const FixedCode4 kIcao("ZZZZ");

struct Input {
    fs::path folder;
    bool airportFileBeside = false;
    std::string_view publisher;
    std::string_view linkFile;
};

Input inputOf(std::string_view bytes) {
    Input input{.folder = (bytes.front() & 1) != 0 ? kMySimaddonFolder : kMyThirdpartyFolder,
                .airportFileBeside = (bytes.front() & 2) != 0};
    bytes.remove_prefix(1);
    const std::size_t newline = bytes.find('\n');
    input.publisher = bytes.substr(0, newline);
    input.linkFile = newline == std::string_view::npos ? std::string_view{} : bytes.substr(newline + 1);
    return input;
}

bool endsWithXmlAnyCase(std::string_view text) {
    if (text.size() < 4) return false;
    std::string tail(text.substr(text.size() - 4));
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".xml";
}

// An archive path of a link: a file of the maker's archive, never one above
// it, on a drive or at a root.
void expectArchiveTarget(std::string_view target) {
    expect(target.starts_with("archive/") || target.starts_with("archive\\"), "a link names the archive");
    expect(endsWithXmlAnyCase(target), "a link names an airport file");
    expect(target.find(':') == std::string_view::npos, "a link names no drive");
    expect(target.find_last_of(" \t\n\v\f\r") != target.size() - 1, "a link target has no trailing space");
    std::string pieces(target);
    for (char& c : pieces) c = c == '\\' ? '/' : c;
    for (const auto& piece : fs::path(pieces)) expect(piece != "..", "a link never climbs out of the archive");
}

// The learned file lies in the learned folder and bears the airport file's name.
void expectLearnedPath(const fs::path& learned, std::string_view apfPathText) {
    if (learned.empty()) return;
    expect(learned.is_relative() && !learned.has_root_name(), "a learned file lies below the working folder");
    std::vector<std::string> pieces;
    for (const fs::path& each : learned) pieces.push_back(each.string());
    expect(pieces.size() >= 3 && fs::path(pieces[0]) / pieces[1] == kLearnedFolder,
           "a learned file lies in the learned folder");
    for (const std::string& piece : pieces) {
        expect(!piece.empty() && piece != "." && piece != "..", "a learned file's path never climbs");
        expect(piece.find(':') == std::string::npos, "a learned file's path names no drive");
        expect(piece.find('\\') == std::string::npos, "a learned file's path holds no other separator");
    }
    const std::string_view name = apfPathText.substr(apfPathText.find_last_of("/\\") + 1);
    expect(learned.filename() == fs::path(name), "a learned file is named as its airport file");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const fuzz::InFolder inScratch(scratch().path());
    fs::create_directories(kMyThirdpartyFolder);
    fs::create_directories(kMySimaddonFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const fuzz::InFolder inScratch(scratch().path());
    const Input input = inputOf(fuzz::bytesOf(data, size));
    std::error_code ec;
    for (const fs::path& folder : {kMyThirdpartyFolder, kMySimaddonFolder}) {
        fs::remove(folder / lf_apfTxtFileName(kIcao), ec);
        fs::remove(folder / gf_apfXmlFileName(kIcao), ec);
    }
    const fs::path link = input.folder / lf_apfTxtFileName(kIcao);
    const fs::path airportFile = input.folder / gf_apfXmlFileName(kIcao);
    fuzz::writeBytes(link, input.linkFile);
    if (input.airportFileBeside) fuzz::writeBytes(airportFile, "<root/>");

    std::string linkTarget;
    const bool linked = lf_readApfLink(link, linkTarget);
    const std::string resolved = gf_apfPathFor(kIcao);
    if (linked) {
        expectArchiveTarget(linkTarget);
        expect(resolved == linkTarget, "a link that names an archive file wins");
    } else {
        expect(linkTarget.empty(), "a refused link gives no target");
        expect(resolved == (input.airportFileBeside ? gf_pathToUtf8(airportFile) : std::string()),
               "without a link the airport file beside it, or nothing, stands for the airport");
    }
    if (!resolved.empty()) {
        expectLearnedPath(lf_archivedApfPath(resolved, input.publisher), resolved);
    }
    // The mapping on its own, with the link's first line as the airport file's path.
    const std::string_view firstLine = input.linkFile.substr(0, input.linkFile.find('\n'));
    expectLearnedPath(lf_archivedApfPath(firstLine, input.publisher), firstLine);
    return 0;
}
