// The update check's rules without a window: what a reply means, which downloaded file counts as a
// Windows program, and where the update site is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "RegistryKey.h"
#include "RegistrySandbox.h"
#include "TempFolder.h"
#include "UpdateClient.h"

namespace {

std::string BinFile(const char* name)
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder = path;
    return folder.substr(0, folder.rfind('\\') + 1) + name;
}

// A DOS header whose e_lfanew points at `peOffset`, then `pe` there.
std::string Image(LONG peOffset, const std::string& pe, size_t size = 0)
{
    std::string bytes(std::max<size_t>(sizeof(IMAGE_DOS_HEADER), static_cast<size_t>(peOffset) + pe.size()), '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    memcpy(&bytes[0x3C], &peOffset, sizeof(peOffset));
    bytes.replace(static_cast<size_t>(peOffset), pe.size(), pe);
    if (size)
        bytes.resize(size);
    return bytes;
}

std::string PeHeader(WORD characteristics)
{
    std::string header("PE\0\0", 4);
    IMAGE_FILE_HEADER file = {};
    file.Machine = IMAGE_FILE_MACHINE_I386;
    file.Characteristics = characteristics;
    header.append(reinterpret_cast<const char*>(&file), sizeof(file));
    return header;
}

BOOL HeadersOf(const std::string& path)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    const BOOL result = HasWindowsProgramHeaders(file);
    ::CloseHandle(file);
    return result;
}

} // namespace

TEST(UpdateReplyTest, OnlyAWholeAnswerOfTheSiteCounts)
{
    const struct { DWORD status; const char* body; UPDATE_REPLY_KIND kind; const char* address; } cases[] = {
        { 200, "noupdate", UPDATE_REPLY_NONE, "" },
        { 200, "noupdate and more", UPDATE_REPLY_NONE, "" },
        { 200, "NOUPDATE", UPDATE_REPLY_UNEXPECTED, "" },
        { 200, "available http://host/setup.exe", UPDATE_REPLY_AVAILABLE, "http://host/setup.exe" },
        { 200, "available \r\n https://host/a/setup.exe<br>\r\n", UPDATE_REPLY_AVAILABLE, "https://host/a/setup.exe" },
        { 200, "available<br>HTTP://host/setup.exe<br>", UPDATE_REPLY_AVAILABLE, "HTTP://host/setup.exe" },
        { 200, "availablehttp://host/x.exe", UPDATE_REPLY_AVAILABLE, "http://host/x.exe" },
        // Nothing after the word: a newer version without an installer, which ends quietly.
        { 200, "available", UPDATE_REPLY_AVAILABLE, "" },
        { 200, "available <br> ", UPDATE_REPLY_AVAILABLE, "" },
        // Anything but a web address is not an installer to fetch and run.
        { 200, "available C:\\setup.exe", UPDATE_REPLY_UNEXPECTED, "" },
        { 200, "available \\\\server\\share\\setup.exe", UPDATE_REPLY_UNEXPECTED, "" },
        { 200, "available ftp://host/setup.exe", UPDATE_REPLY_UNEXPECTED, "" },
        { 200, "available file:///C:/setup.exe", UPDATE_REPLY_UNEXPECTED, "" },
        { 200, "available http://", UPDATE_REPLY_UNEXPECTED, "" },
        { 200, "available http://host/set up.exe", UPDATE_REPLY_UNEXPECTED, "" },
        { 200, "", UPDATE_REPLY_UNEXPECTED, "" },
        { 200, "<html>available</html>", UPDATE_REPLY_UNEXPECTED, "" },
        // An error page that happens to begin with the word is an error all the same.
        { 404, "available http://host/setup.exe", UPDATE_REPLY_UNEXPECTED, "" },
        { 500, "noupdate", UPDATE_REPLY_UNEXPECTED, "" },
        { 0, "available http://host/setup.exe", UPDATE_REPLY_UNEXPECTED, "" },
    };
    for (const auto& c : cases) {
        const UpdateReply reply = ParseUpdateReply(c.status, c.body);
        EXPECT_EQ(c.kind, reply.kind) << c.status << " " << c.body;
        EXPECT_EQ(CString(c.address), reply.address) << c.status << " " << c.body;
    }
}

TEST(UpdateReplyTest, OnlyAWindowsProgramPassesTheHeaderCheck)
{
    CTempFolder folder;
    const struct { const char* name; std::string bytes; BOOL program; } cases[] = {
        { "program.exe", Image(0x80, PeHeader(IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_32BIT_MACHINE), 0x200), TRUE },
        { "library.exe", Image(0x80, PeHeader(IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_DLL), 0x200), FALSE },
        { "object.exe", Image(0x80, PeHeader(0), 0x200), FALSE },
        { "dosonly.exe", Image(0x80, "NE\0\0", 0x200), FALSE },
        { "cut.exe", Image(0x80, PeHeader(IMAGE_FILE_EXECUTABLE_IMAGE)).substr(0, 0x90), FALSE },
        { "beyond.exe", Image(0x10000, "").substr(0, 0x100), FALSE },
        { "mzonly.exe", "MZ", FALSE },
        { "empty.exe", "", FALSE },
        { "page.exe", "<html><body>Not Found</body></html>", FALSE },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.program, HeadersOf(folder.WriteFile(c.name, c.bytes))) << c.name;
    EXPECT_EQ(TRUE, HeadersOf(BinFile("stub_installer.exe")));
    EXPECT_EQ(FALSE, HeadersOf(BinFile("engine.dll")));
}

TEST(UpdateReplyTest, TheUpdateSiteIsTheSettingWhenOneIsStored)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    EXPECT_EQ(CString(kDefaultUpdateSite), GetUpdateSite());
    CRegistryKey key;
    ASSERT_TRUE(key.Open());
    key.WriteString(kUpdateSiteValue, " http://127.0.0.1:8080/ ");
    EXPECT_EQ(CString("http://127.0.0.1:8080"), GetUpdateSite());
    EXPECT_EQ(CString("http://127.0.0.1:8080/update/versionRead.php?version=100001"),
              CUpdateClient(GetUpdateSite(), "agent").GetCheckAddress());
    key.WriteString(kUpdateSiteValue, "");
    EXPECT_EQ(CString(kDefaultUpdateSite), GetUpdateSite());
}
