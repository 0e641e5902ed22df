#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>
#include <string>
#include <vector>

#include "Database/DataFileCipher.h"
#include "Database/MD5.h"
#include "MessageBoxRecorder.h"
#include "RegistrySandbox.h"
#include "TempFolder.h"
#include "TestDataFiles.h"

namespace {

// The pass phrase of every data file of the system. Should the engine's phrase change, files made
// elsewhere no longer open, and this reference says so.
const char kPassPhrase[] = "ujzde8gxd6ncf10epf91dhodzdoc9is0j8ht9lgmxg9edn581u33xtplpft75v2seh60kvj50ce9u";

// Plain RC4 keyed with the 16 bytes of the MD5 of the pass phrase, written from the algorithm
// alone: what the provider's derived 128-bit, unsalted key must give.
std::string ReferenceCipher(const std::string& text)
{
    CMD5 md5;
    const unsigned char* key =
        md5.DigestBuffer(reinterpret_cast<const unsigned char*>(kPassPhrase), sizeof(kPassPhrase) - 1);
    unsigned char state[256];
    for (int i = 0; i < 256; ++i)
        state[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + state[i] + key[i % 16]) & 0xFF;
        std::swap(state[i], state[j]);
    }
    std::string out(text);
    for (size_t n = 0, i = 0, j = 0; n < out.size(); ++n) {
        i = (i + 1) & 0xFF;
        j = (j + state[i]) & 0xFF;
        std::swap(state[i], state[j]);
        out[n] = static_cast<char>(out[n] ^ state[(state[i] + state[j]) & 0xFF]);
    }
    return out;
}

std::string Pattern(size_t length)
{
    std::string text(length, '\0');
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>((i * 31 + i / 7) & 0xFF);
    return text;
}

} // namespace

// Chunk boundaries of the 1000-byte loop, and lengths around the head's 2000-byte cut.
TEST(DataFileCipher, MatchesReferenceRc4AndRoundTripsAtChunkBoundaries)
{
    CTempFolder folder;
    for (size_t length : {0u, 1u, 999u, 1000u, 1001u, 2000u, 2001u, 2500u, 10000u}) {
        SCOPED_TRACE(length);
        const std::string plain = Pattern(length);
        const std::string source = folder.WriteFile("plain.bin", plain);
        const std::string enciphered = folder.PathOf("cipher.bin");
        const std::string back = folder.PathOf("back.bin");

        ASSERT_EQ(EncryptDataFile(source.c_str(), enciphered.c_str()), 1);
        EXPECT_EQ(ReadWholeFile(enciphered), ReferenceCipher(plain));
        ASSERT_EQ(DecryptDataFile(enciphered.c_str(), back.c_str()), 1);
        EXPECT_EQ(ReadWholeFile(back), plain);
    }
}

TEST(DataFileCipher, HeadStopsAfterTheChunkThatPassesTwoThousandBytes)
{
    CTempFolder folder;
    const struct {
        size_t length;
        size_t head;
    } cases[] = {{0, 0}, {1500, 1500}, {2000, 2000}, {2001, 2001}, {2500, 2500}, {3000, 3000}, {3001, 3000},
                 {10000, 3000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string plain = Pattern(c.length);
        const std::string enciphered = folder.PathOf("cipher.bin");
        WriteEncipheredFile(enciphered, plain);
        const std::string head = folder.PathOf("head.bin");
        ASSERT_EQ(DecryptDataFileHead(enciphered.c_str(), head.c_str()), 1);
        EXPECT_EQ(ReadWholeFile(head), plain.substr(0, c.head));
    }
}

TEST(DataFileCipher, WorksInPlace)
{
    CTempFolder folder;
    const std::string plain = Pattern(4321);
    const std::string path = folder.WriteFile("data.bin", plain);
    ASSERT_EQ(EncryptDataFile(path.c_str(), path.c_str()), 1);
    EXPECT_EQ(ReadWholeFile(path), ReferenceCipher(plain));
    ASSERT_EQ(DecryptDataFile(path.c_str(), path.c_str()), 1);
    EXPECT_EQ(ReadWholeFile(path), plain);
}

TEST(DataFileCipher, FailuresSpeakOnlyWhereTheUserMustKnowAndLeaveNoTemporaryFile)
{
    CTempFolder folder;
    CPrivateTempPath temporary;
    CMessageBoxRecorder boxes;
    CMessageBoxRecorder::ClearTexts();
    const std::string missing = folder.PathOf("missing.dat");
    const std::string out = folder.PathOf("out.bin");

    EXPECT_EQ(DecryptDataFile(missing.c_str(), out.c_str()), 0);
    ASSERT_EQ(CMessageBoxRecorder::Texts().size(), 1u);
    EXPECT_EQ(CMessageBoxRecorder::Texts()[0], "Unable to open file. 4: 2");

    CMessageBoxRecorder::ClearTexts();
    EXPECT_EQ(DecryptDataFileHead(missing.c_str(), out.c_str()), 0);
    EXPECT_EQ(EncryptDataFile(missing.c_str(), out.c_str()), 0);
    EXPECT_EQ(CopyDataFile(missing.c_str(), out.c_str()), 0);
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());

    // A destination that cannot be created.
    const std::string source = folder.WriteFile("plain.bin", "text");
    const std::string noFolder = folder.PathOf("no\\such\\folder.bin");
    EXPECT_EQ(EncryptDataFile(source.c_str(), noFolder.c_str()), 0);
    ASSERT_EQ(CMessageBoxRecorder::Texts().size(), 1u);
    EXPECT_EQ(CMessageBoxRecorder::Texts()[0].rfind("Unable to open file.3", 0), 0u);
    EXPECT_EQ(CopyDataFile(source.c_str(), noFolder.c_str()), 0);

    EXPECT_EQ(temporary.EngineTempFileCount(), 0);
}

// The cipher needs no stored key: it works on a verify-only context and leaves no key container
// behind. Wine keeps containers under HKEY_CURRENT_USER\Software\Wine\Crypto (Windows in files),
// so only that root is redirected here: the provider itself is found under HKEY_LOCAL_MACHINE.
TEST(DataFileCipher, CreatesNoKeyContainer)
{
    const char scratch[] = "Software\\KelvaraTests\\CipherUserRoot";
    HKEY userRoot = nullptr;
    ASSERT_TRUE(CreateScratchKey(scratch, &userRoot));
    ASSERT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, userRoot), ERROR_SUCCESS);
    CTempFolder folder;
    const std::string source = folder.WriteFile("plain.bin", "some text");
    const int enciphered = EncryptDataFile(source.c_str(), folder.PathOf("cipher.bin").c_str());
    const bool containerMade = RegKeyExists(HKEY_CURRENT_USER, "Software\\Wine\\Crypto");
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    ::RegCloseKey(userRoot);
    DeleteScratchKey(scratch);
    EXPECT_EQ(enciphered, 1);
    EXPECT_FALSE(containerMade);
}
