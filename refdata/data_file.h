// The program's encrypted data files (input/dbase.enc, input/airports.enc,
// input/AIG-regcodes.enc): libsodium secretstream (XChaCha20-Poly1305) files
// made with one 32-byte key that the program holds. A reader decrypts its
// file into a plain XML file beside it, parses that and removes it again.
//
// File layout: a 24-byte stream header, then cipher chunks of 4096 plain
// bytes plus 17 bytes of authentication each; the last chunk may be shorter
// and carries the FINAL tag. The stream ends at the FINAL chunk; bytes after
// a full-size FINAL chunk are not read. Chunks carry no length, so bytes
// after a short FINAL chunk are read as part of it and fail its check.
#pragma once

#include <sodium.h>

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace qvl {

using DataFileKey = std::array<unsigned char, crypto_secretstream_xchacha20poly1305_KEYBYTES>;

inline constexpr std::size_t kPlainChunkBytes = 4096;
inline constexpr std::size_t kCipherChunkBytes = kPlainChunkBytes + crypto_secretstream_xchacha20poly1305_ABYTES;
inline constexpr std::size_t kStreamHeaderBytes = crypto_secretstream_xchacha20poly1305_HEADERBYTES;

// Decrypts the input file into the output file with the program's key. True
// on success. On failure the reason has been logged ("gf_streamDecrypt
// exception: ..."), the output file removed, and false is returned.
bool gf_streamDecrypt(const std::filesystem::path& input, const std::filesystem::path& output);

// The decrypt loop. Throws std::runtime_error with one of:
//   "Could not open input file: <input>", "Could not open output file: <output>",
//   "Invalid header or key", "Decryption failed",
//   "Truncated file (incomplete header): <input>",
//   "Truncated file (no final chunk): <input>".
// A stream must end in a FINAL chunk: an empty, header-only, cut-off or
// tail-less file is a failure, never an empty or partial success.
void lf_streamDecryptCore(const DataFileKey& key, const std::filesystem::path& input,
                          const std::filesystem::path& output);

// The other direction, for the encryptor that makes the data files: the
// stream header, full 4096-byte chunks and a last chunk tagged FINAL (empty
// when the plain text is empty). The result is the whole .enc content.
std::string streamEncryptCore(const DataFileKey& key, std::string_view plain);

// Encrypts the plain file with the program's key and writes the result
// atomically (temporary file, then rename). False, with a log line, when the
// input cannot be read or the output cannot be written.
bool streamEncrypt(const std::filesystem::path& input, const std::filesystem::path& output);

// Removes the file when it exists. A failed removal is logged with
// gf_logAttention as "Warning: could not remove {}, errorcode: {}"; nothing
// is thrown.
void gf_removeWithWarning(const std::filesystem::path& path);

// Removes a decrypted plain file when the reader leaves its scope by any
// path, return or exception, so no plain data is left on disk.
class PlainFileGuard {
public:
    explicit PlainFileGuard(std::filesystem::path path) : path_(std::move(path)) {}
    ~PlainFileGuard() { gf_removeWithWarning(path_); }
    PlainFileGuard(const PlainFileGuard&) = delete;
    PlainFileGuard& operator=(const PlainFileGuard&) = delete;

private:
    std::filesystem::path path_;
};

}  // namespace qvl
