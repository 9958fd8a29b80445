// The encrypted data files (input/*.enc): arbitrary bytes decrypted as the
// readers decrypt them, and the same bytes taken as plain text through the
// encryptor and back, whole and cut short.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "refdata/data_file.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("enc_file");
    return folder;
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The promise of the decryption: a plain file only on success.
bool decrypt(const fs::path& encrypted, const fs::path& plain) {
    const bool ok = gf_streamDecrypt(encrypted, plain);
    expect(ok == fs::exists(plain), "a plain file is left exactly when the decryption succeeds");
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::bytesOf(data, size);
    const fs::path enc = scratch().path() / "data.enc";
    const fs::path plain = scratch().path() / "data.xml";
    const fs::path source = scratch().path() / "source.xml";

    fuzz::writeBytes(enc, bytes);
    decrypt(enc, plain);

    // The bytes as plain text: they come back whole, and any cut loses them.
    fuzz::writeBytes(source, bytes);
    expect(streamEncrypt(source, enc), "the encryptor writes its file");
    const std::string encrypted = readAll(enc);
    expect(decrypt(enc, plain) && readAll(plain) == bytes, "a data file decrypts to its plain text");
    const std::size_t cut = size == 0 ? 0 : data[0] * encrypted.size() / 256;
    fuzz::writeBytes(enc, std::string_view(encrypted).substr(0, cut));
    expect(!decrypt(enc, plain), "a data file cut short never decrypts");
    return 0;
}
