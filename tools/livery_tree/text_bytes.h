// The bytes of a generated text file in the encodings that package makers
// save aircraft.cfg files in. Written here byte by byte, so the files test
// the program's own decoders rather than agree with them by construction.
#pragma once

#include <string>
#include <string_view>

namespace qvl::livery_tree {

enum class TextEncoding {
    utf8,
    utf8WithBom,
    utf16LeWithBom,
    utf16BeWithBom,
    utf16LeWithoutBom,
    windows1252,
};

enum class LineEnd { lf, crlf };

// `text` is UTF-8 with "\n" line ends; the result holds it in the encoding
// with the line ends asked for. Windows-1252 takes ASCII, the Latin-1 letters
// and the euro sign; another character throws std::invalid_argument, as does
// text that is not well-formed UTF-8.
std::string encodeText(std::string_view text, TextEncoding encoding, LineEnd lineEnd);

}  // namespace qvl::livery_tree
