#include "refdata/data_file.h"

#include <gtest/gtest.h>

#include "core/paths.h"
#include "refdata/support/reference_data_folder.h"

namespace qvl {
namespace {

using test::readFile;
using test::writeFile;

// Plain text that differs from chunk to chunk.
std::string plainOfSize(std::size_t size) {
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
    return text;
}

class DataFile : public test::ReferenceDataFolder {
protected:
    std::string encrypted(const std::string& plain) {
        writeEncrypted("dbase.enc", plain);
        return readFile(kDbaseEnc);
    }
    void expectFailure(const std::string& reason) {
        EXPECT_FALSE(gf_streamDecrypt(kDbaseEnc, kDbaseXml)) << reason;
        EXPECT_FALSE(std::filesystem::exists(kDbaseXml)) << "plain file left behind: " << reason;
        EXPECT_TRUE(logHas("gf_streamDecrypt exception: " + reason)) << reason;
    }
};

TEST_F(DataFile, RoundTripKeepsEveryChunkSize) {
    for (const std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 8192u, 3u * 4096u + 5u}) {
        const std::string plain = plainOfSize(size);
        // Full chunks and one last chunk, no empty one after an exact multiple.
        const std::size_t chunks = size == 0 ? 1 : (size + 4095) / 4096;
        EXPECT_EQ(encrypted(plain).size(), 24 + size + chunks * 17) << size;
        ASSERT_TRUE(gf_streamDecrypt(kDbaseEnc, kDbaseXml)) << size;
        EXPECT_EQ(readFile(kDbaseXml), plain) << size;
    }
}

TEST_F(DataFile, DamagedOrMissingFilesFailWithTheirCauseAndLeaveNoPlainText) {
    const std::string good = encrypted(plainOfSize(9000));
    const auto flipped = [&good](std::size_t at) {
        std::string bad = good;
        bad[at] ^= 0x01;
        return bad;
    };
    DataFileKey otherKey{};
    otherKey.fill(0x5A);
    const std::string noTail = "Truncated file (no final chunk): input/dbase.enc";
    const std::pair<std::string, std::string> cases[] = {
        {flipped(kStreamHeaderBytes + 10), "Decryption failed"},
        {flipped(good.size() - 5), "Decryption failed"},
        {good.substr(0, good.size() - 1), "Decryption failed"},
        {"", "Truncated file (incomplete header): input/dbase.enc"},
        {good.substr(0, kStreamHeaderBytes), noTail},
        {good.substr(0, kStreamHeaderBytes + kCipherChunkBytes), noTail},          // every chunk present authenticates
        {encrypted(plainOfSize(5000)) + "trailing garbage", "Decryption failed"},  // read with the short final chunk
        {streamEncryptCore(otherKey, "<root/>"), "Decryption failed"}};
    for (const auto& [bytes, reason] : cases) {
        writeFile(kDbaseEnc, bytes);
        expectFailure(reason);
    }
    lf_streamDecryptCore(otherKey, "input/dbase.enc", "input/dbase.xml");
    EXPECT_EQ(readFile(kDbaseXml), "<root/>") << "the key, not the file, was wrong";

    std::filesystem::remove(kDbaseEnc);
    expectFailure("Could not open input file: input/dbase.enc");  // and the stale plain file is gone
    encrypted("<root/>");
    EXPECT_FALSE(gf_streamDecrypt(kDbaseEnc, "no_such_folder/dbase.xml"));
    EXPECT_TRUE(logHas("Could not open output file: no_such_folder/dbase.xml"));
}

}  // namespace
}  // namespace qvl
