#include "refdata/data_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/paths.h"
#include "refdata/support/program_folder.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

// Plain text that differs from chunk to chunk.
std::string plainOfSize(std::size_t size) {
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
    return text;
}

class DataFile : public test::ProgramFolder {
protected:
    std::string encrypted(const std::string& plain) {
        writeEncrypted("dbase.enc", plain);
        return readFile(kDbaseEnc);
    }
    void expectFailure(const std::string& reason) {
        EXPECT_FALSE(gf_streamDecrypt(kDbaseEnc, kDbaseXml));
        EXPECT_FALSE(fs::exists(kDbaseXml)) << "plain file left behind";
        EXPECT_TRUE(logHas("gf_streamDecrypt exception: " + reason)) << reason;
    }
};

TEST_F(DataFile, RoundTripKeepsEveryChunkSize) {
    for (const std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 8192u, 3u * 4096u + 5u}) {
        const std::string plain = plainOfSize(size);
        // Full 4096-byte chunks and one last chunk, no empty one after an exact multiple.
        const std::size_t chunks = size == 0 ? 1 : (size + 4095) / 4096;
        EXPECT_EQ(encrypted(plain).size(), 24 + size + chunks * 17) << size;
        ASSERT_TRUE(gf_streamDecrypt(kDbaseEnc, kDbaseXml)) << size;
        EXPECT_EQ(readFile(kDbaseXml), plain) << size;
    }
}

TEST_F(DataFile, DamagedFilesFailAndLeaveNoPlainText) {
    const std::string good = encrypted(plainOfSize(9000));
    for (const std::size_t offset : {kStreamHeaderBytes + 10, good.size() - 5}) {
        std::string bad = good;
        bad[offset] = static_cast<char>(bad[offset] ^ 0x01);
        writeFile(kDbaseEnc, bad);
        expectFailure("Decryption failed");
    }
    writeFile(kDbaseEnc, good.substr(0, good.size() - 1));
    expectFailure("Decryption failed");
    writeFile(kDbaseEnc, "");
    expectFailure("Truncated file (incomplete header): input/dbase.enc");
    writeFile(kDbaseEnc, good.substr(0, 20));
    expectFailure("Truncated file (incomplete header): input/dbase.enc");
    writeFile(kDbaseEnc, good.substr(0, kStreamHeaderBytes));
    expectFailure("Truncated file (no final chunk): input/dbase.enc");
    // Cut at a chunk boundary: every chunk present authenticates, only the tail is missing.
    writeFile(kDbaseEnc, good.substr(0, kStreamHeaderBytes + kCipherChunkBytes));
    expectFailure("Truncated file (no final chunk): input/dbase.enc");
}

TEST_F(DataFile, BytesAfterAFullFinalChunkAreIgnored) {
    const std::string plain = plainOfSize(2 * kPlainChunkBytes);
    writeFile(kDbaseEnc, encrypted(plain) + "trailing garbage");
    ASSERT_TRUE(gf_streamDecrypt(kDbaseEnc, kDbaseXml));
    EXPECT_EQ(readFile(kDbaseXml), plain);
    // After a short final chunk they are read with it (chunks carry no length) and fail its check.
    writeFile(kDbaseEnc, encrypted(plainOfSize(5000)) + "trailing garbage");
    expectFailure("Decryption failed");
}

TEST_F(DataFile, OnlyTheProgramsKeyOpensItsFiles) {
    DataFileKey other{};
    other.fill(0x5A);
    writeFile(kDbaseEnc, lf_streamEncryptCore(other, "<root/>"));
    expectFailure("Decryption failed");
    lf_streamDecryptCore(other, "input/dbase.enc", "input/dbase.xml");
    EXPECT_EQ(readFile(kDbaseXml), "<root/>");
}

TEST_F(DataFile, MissingFilesAreNamed) {
    writeFile(kDbaseXml, "stale plain text");
    expectFailure("Could not open input file: input/dbase.enc");
    encrypted("<root/>");
    EXPECT_FALSE(gf_streamDecrypt(kDbaseEnc, "no_such_folder/dbase.xml"));
    EXPECT_TRUE(logHas("Could not open output file: no_such_folder/dbase.xml"));
}

TEST_F(DataFile, RemovalWarnsOnlyWhenSomethingIsLeft) {
    gf_removeWithWarning("input/never_there.xml");
    EXPECT_FALSE(logHas("Warning"));
    fs::create_directories("input/busy");
    writeFile("input/busy/file", "x");
    gf_removeWithWarning("input/busy");  // a folder that is not empty cannot be removed
    EXPECT_TRUE(logHas("==> Warning: could not remove input/busy, errorcode: "));
}

}  // namespace
}  // namespace qvl
