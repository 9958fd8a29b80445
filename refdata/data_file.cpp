#include "refdata/data_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "core/files.h"
#include "core/log.h"
#include "core/text_file.h"
#include "platform/sys/file_io.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

// The program's data-file key. It lives here and nowhere else: the encryptor
// links this library and encrypts with the same bytes.
constexpr DataFileKey kDataFileKey{0x45, 0x55, 0x42, 0xd3, 0xa7, 0x03, 0xb5, 0xf0, 0x7e, 0x7c, 0x05,
                                   0xa9, 0xa2, 0x6a, 0x1d, 0x9a, 0x1d, 0xc3, 0x27, 0x15, 0xee, 0xd1,
                                   0x23, 0x45, 0x7c, 0xef, 0x2d, 0x49, 0x3d, 0x41, 0x27, 0x08};

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

void initSodium() {
    // sodium_init is idempotent and thread-safe; it only fails when the
    // system gives no randomness source.
    if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
}

// Wipes a copy of secret bytes when it goes out of scope.
template <typename T>
class WipeOnExit {
public:
    explicit WipeOnExit(T& bytes) : bytes_(bytes) {}
    ~WipeOnExit() { sodium_memzero(&bytes_, sizeof(T)); }
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;

private:
    T& bytes_;
};

void writePlain(std::FILE* out, const unsigned char* bytes, std::size_t count, const std::string& outputPath) {
    if (count > 0 && std::fwrite(bytes, 1, count, out) != count) {
        throw std::runtime_error("Could not write output file: " + outputPath);
    }
}

}  // namespace

void lf_streamDecryptCore(const DataFileKey& key, const fs::path& input, const fs::path& output) {
    initSodium();
    const std::string inputPath = gf_pathToUtf8(input);
    const std::string outputPath = gf_pathToUtf8(output);
    FileHandle in(sys::openFile(input, "rb"));
    if (!in) throw std::runtime_error("Could not open input file: " + inputPath);
    FileHandle out(sys::openFile(output, "wb"));
    if (!out) throw std::runtime_error("Could not open output file: " + outputPath);

    std::array<unsigned char, kStreamHeaderBytes> header{};
    if (std::fread(header.data(), 1, header.size(), in.get()) != header.size()) {
        throw std::runtime_error("Truncated file (incomplete header): " + inputPath);
    }
    crypto_secretstream_xchacha20poly1305_state state;
    WipeOnExit wipeState(state);
    if (crypto_secretstream_xchacha20poly1305_init_pull(&state, header.data(), key.data()) != 0) {
        throw std::runtime_error("Invalid header or key");
    }

    std::array<unsigned char, kCipherChunkBytes> cipher{};
    std::array<unsigned char, kPlainChunkBytes> plain{};
    WipeOnExit wipePlain(plain);
    bool finalSeen = false;
    std::size_t got = std::fread(cipher.data(), 1, cipher.size(), in.get());
    while (got > 0) {
        unsigned long long plainLength = 0;
        unsigned char tag = 0;
        if (crypto_secretstream_xchacha20poly1305_pull(&state, plain.data(), &plainLength, &tag, cipher.data(), got,
                                                       nullptr, 0) != 0) {
            throw std::runtime_error("Decryption failed");
        }
        writePlain(out.get(), plain.data(), static_cast<std::size_t>(plainLength), outputPath);
        if (tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL) {
            finalSeen = true;
            break;
        }
        got = std::fread(cipher.data(), 1, cipher.size(), in.get());
    }
    if (std::ferror(in.get())) throw std::runtime_error("Could not read input file: " + inputPath);
    // Every chunk that was there authenticated, but a stream cut at a chunk
    // boundary does too: only the FINAL tag proves the whole file is here.
    if (!finalSeen) throw std::runtime_error("Truncated file (no final chunk): " + inputPath);
    if (std::fclose(out.release()) != 0) throw std::runtime_error("Could not write output file: " + outputPath);
}

bool gf_streamDecrypt(const fs::path& input, const fs::path& output) {
    DataFileKey key = kDataFileKey;
    WipeOnExit wipeKey(key);
    try {
        lf_streamDecryptCore(key, input, output);
        return true;
    } catch (const std::exception& e) {
        gf_log(fmt::format("{} exception: {}", "gf_streamDecrypt", e.what()));
        gf_removeWithWarning(output);
        return false;
    }
}

std::string streamEncryptCore(const DataFileKey& key, std::string_view plain) {
    initSodium();
    crypto_secretstream_xchacha20poly1305_state state;
    WipeOnExit wipeState(state);
    std::array<unsigned char, kStreamHeaderBytes> header{};
    crypto_secretstream_xchacha20poly1305_init_push(&state, header.data(), key.data());

    std::string encrypted;
    encrypted.reserve(kStreamHeaderBytes + (plain.size() / kPlainChunkBytes + 1) * kCipherChunkBytes);
    encrypted.append(reinterpret_cast<const char*>(header.data()), header.size());

    std::array<unsigned char, kCipherChunkBytes> cipher{};
    std::size_t position = 0;
    do {
        const std::size_t length = std::min(kPlainChunkBytes, plain.size() - position);
        const bool last = position + length >= plain.size();
        const unsigned char tag =
            last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
        unsigned long long cipherLength = 0;
        crypto_secretstream_xchacha20poly1305_push(&state, cipher.data(), &cipherLength,
                                                   reinterpret_cast<const unsigned char*>(plain.data()) + position,
                                                   length, nullptr, 0, tag);
        encrypted.append(reinterpret_cast<const char*>(cipher.data()), static_cast<std::size_t>(cipherLength));
        position += length;
    } while (position < plain.size());
    return encrypted;
}

bool streamEncrypt(const fs::path& input, const fs::path& output) {
    std::ifstream in(input, std::ios::binary);
    if (!in) {
        gf_logAttention(fmt::format("streamEncrypt: cannot open {}", gf_pathToUtf8(input)));
        return false;
    }
    const std::string plain((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        gf_logAttention(fmt::format("streamEncrypt: cannot read {}", gf_pathToUtf8(input)));
        return false;
    }
    DataFileKey key = kDataFileKey;
    WipeOnExit wipeKey(key);
    if (!writeFileAtomically(output, streamEncryptCore(key, plain))) {
        gf_logAttention(fmt::format("streamEncrypt: cannot write {}", gf_pathToUtf8(output)));
        return false;
    }
    return true;
}

void gf_removeWithWarning(const fs::path& path) {
    std::error_code error;
    const bool exists = fs::exists(path, error);
    if (!error && exists) {
        fs::remove(path, error);
        // Gone in the meantime is as good as removed.
        if (error == std::errc::no_such_file_or_directory) error.clear();
    }
    if (error) {
        gf_logAttention(
            fmt::format("Warning: could not remove {}, errorcode: {}", gf_pathToUtf8(path), error.message()));
    }
}

}  // namespace qvl
