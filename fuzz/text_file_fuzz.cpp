// Text files from outside (users' lists, registration-code files, package
// files): the charset detection on the file's first bytes, then the reading
// as every charset, and the plain line reading.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_file.h"
#include "platform/sys/text_codec.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;

constexpr Charset kReadable[] = {Charset::ANSI, Charset::Unicode, Charset::Unicode_big_endian, Charset::UTF8_with_BOM,
                                 Charset::UTF8_without_BOM};
// Detection tests this many bytes for UTF-8; a shorter file is tested whole.
constexpr std::size_t kDetectWindow = 4096;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("text_file");
    return folder;
}

bool isUtf8(std::string_view text) { return sys::utf8ToUtf16(text).has_value(); }

// Lines that were converted from another charset are proper UTF-8.
bool convertedToUtf8(Charset charset, Charset detected, std::size_t fileSize) {
    if (charset == Charset::ANSI || charset == Charset::Unicode || charset == Charset::Unicode_big_endian) return true;
    return charset == detected && charset == Charset::UTF8_without_BOM && fileSize <= kDetectWindow;
}

void readAs(Charset charset, Charset detected, const std::filesystem::path& file, std::size_t fileSize) {
    std::vector<std::string> lines{"left from an earlier file"};
    const bool read = gf_readTextFileWithCharset(charset, file, lines);
    if (!read) {
        expect(lines.empty(), "a failed read leaves no lines");
        return;
    }
    for (const std::string& line : lines) {
        expect(line.find('\n') == std::string::npos, "a line holds no line end");
        if (convertedToUtf8(charset, detected, fileSize)) {
            expect(isUtf8(line), "lines read from a detected or converted charset are UTF-8");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::bytesOf(data, size);
    const std::filesystem::path file = scratch().path() / "list.txt";
    fuzz::writeBytes(file, bytes);

    const Charset detected = gf_detectCharset(file);
    expect(detected != Charset::none_found, "an existing file has a charset");
    for (Charset charset : kReadable) readAs(charset, detected, file, size);

    std::vector<std::string> split;
    std::istringstream in{std::string(bytes)};
    gf_readStreamLines(in, split);
    const ReadLinesResult plain = gf_readLines(file, 16);
    expect(plain.ok() && plain.lines == split, "the plain reading gives the file's lines as they stand");
    return 0;
}
