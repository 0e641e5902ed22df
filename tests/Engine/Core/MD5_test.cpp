#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <thread>

#include "Database/MD5.h"
#include "TempFolder.h"

namespace {

CString DigestOf(const std::string& text)
{
    CMD5 md5;
    return CMD5::ToText(md5.DigestBuffer(reinterpret_cast<const unsigned char*>(text.data()),
                                         static_cast<unsigned>(text.size())));
}

} // namespace

TEST(CMD5, TestSuiteOfTheStandard)
{
    const struct {
        const char* message;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DigestOf(c.message), c.digest) << '"' << c.message << '"';
}

TEST(CMD5, FilesIncludingEmptyAndBlockMultiples)
{
    CTempFolder folder;
    CMD5 md5;
    EXPECT_EQ(CMD5::ToText(md5.DigestFile(folder.WriteFile("empty", "").c_str())), "d41d8cd98f00b204e9800998ecf8427e");

    const std::string block(16384 * 2, 'k');
    const CString fromFile = CMD5::ToText(md5.DigestFile(folder.WriteFile("two_blocks", block).c_str()));
    EXPECT_EQ(fromFile, DigestOf(block));

    EXPECT_EQ(md5.DigestFile(folder.PathOf("missing").c_str()), nullptr);
    EXPECT_EQ(CMD5::ToText(nullptr), "");
    EXPECT_EQ(md5.DigestBuffer(nullptr, 3), nullptr);
}

TEST(CMD5, FileHeldOpenForWritingIsStillRead)
{
    CTempFolder folder;
    const std::string path = folder.WriteFile("busy.log", "abc");
    HANDLE writer = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    CMD5 md5;
    EXPECT_EQ(CMD5::ToText(md5.DigestFile(path.c_str())), "900150983cd24fb0d6963f7d28e17f72");
    ::CloseHandle(writer);
}

// A read that fails part-way (here: the pipe's server disconnects while a read waits) must
// not give the digest of the part that was read.
TEST(CMD5, ReadThatFailsPartWayGivesNoDigest)
{
    // Named per process: two runs of the suite may share a wineserver.
    const std::string name = "\\\\.\\pipe\\kelvara_md5_partial_read_" + std::to_string(::GetCurrentProcessId());
    HANDLE pipe = ::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0,
                                     nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    std::thread server([pipe] {
        ::ConnectNamedPipe(pipe, nullptr);
        const std::string part(20000, 'q');
        DWORD written = 0;
        ::WriteFile(pipe, part.data(), static_cast<DWORD>(part.size()), &written, nullptr);
        ::FlushFileBuffers(pipe);
        ::DisconnectNamedPipe(pipe);
    });
    CMD5 md5;
    EXPECT_EQ(md5.DigestFile(name.c_str()), nullptr);
    server.join();
    ::CloseHandle(pipe);
}
