// The update check's rules without a window: what a reply means, which downloaded file counts as a
// whole Windows program, where the update site is, and how the client ends with a site that
// stalls or drips.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>

#include "LocalHttpServer.h"
#include "MessageBoxRecorder.h"
#include "RegistrySandbox.h"
#include "SettingsKey.h"
#include "TempFolder.h"
#include "UpdateClient.h"
#include "UpdateTestFiles.h"

namespace {

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

// The "PE" header of a 32-bit image with one section whose data lies at 0x200..`sectionEnd`
// (none when 0); `optional` false leaves the optional header out.
std::string PeHeader(WORD characteristics, DWORD sectionEnd = 0, bool optional = true)
{
    std::string header("PE\0\0", 4);
    IMAGE_FILE_HEADER file = {};
    file.Machine = IMAGE_FILE_MACHINE_I386;
    file.Characteristics = characteristics;
    file.NumberOfSections = sectionEnd ? 1 : 0;
    file.SizeOfOptionalHeader = optional ? sizeof(IMAGE_OPTIONAL_HEADER32) : 0;
    header.append(reinterpret_cast<const char*>(&file), sizeof(file));
    if (optional) {
        IMAGE_OPTIONAL_HEADER32 image = {};
        image.Magic = IMAGE_NT_OPTIONAL_HDR32_MAGIC;
        image.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
        header.append(reinterpret_cast<const char*>(&image), sizeof(image));
    }
    if (sectionEnd) {
        IMAGE_SECTION_HEADER section = {};
        section.PointerToRawData = 0x200;
        section.SizeOfRawData = sectionEnd - 0x200;
        header.append(reinterpret_cast<const char*>(&section), sizeof(section));
    }
    return header;
}

BOOL HeadersOf(const std::string& path)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    const BOOL result = IsWholeWindowsProgram(file);
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

TEST(UpdateReplyTest, OnlyAWholeWindowsProgramPassesTheCheck)
{
    CTempFolder folder;
    const std::string stub = ReadWholeFile(BinFile("stub_installer.exe"));
    ASSERT_GT(stub.size(), 4096u);
    const struct { const char* name; std::string bytes; BOOL program; } cases[] = {
        { "program.exe", Image(0x80, PeHeader(IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_32BIT_MACHINE, 0x400), 0x400), TRUE },
        { "headersonly.exe", Image(0x80, PeHeader(IMAGE_FILE_EXECUTABLE_IMAGE), 0x200), TRUE },
        { "sectioncut.exe", Image(0x80, PeHeader(IMAGE_FILE_EXECUTABLE_IMAGE, 0x400), 0x3FF), FALSE },
        { "nooptional.exe", Image(0x80, PeHeader(IMAGE_FILE_EXECUTABLE_IMAGE, 0, false), 0x200), FALSE },
        { "library.exe", Image(0x80, PeHeader(IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_DLL, 0x400), 0x400), FALSE },
        { "object.exe", Image(0x80, PeHeader(0, 0x400), 0x400), FALSE },
        { "dosonly.exe", Image(0x80, "NE\0\0", 0x200), FALSE },
        { "cut.exe", Image(0x80, PeHeader(IMAGE_FILE_EXECUTABLE_IMAGE)).substr(0, 0x90), FALSE },
        { "beyond.exe", Image(0x10000, "").substr(0, 0x100), FALSE },
        { "mzonly.exe", "MZ", FALSE },
        { "empty.exe", "", FALSE },
        { "page.exe", "<html><body>Not Found</body></html>", FALSE },
        { "stub.exe", stub, TRUE },
        // As a site that announced less than it sent leaves it: headers whole, the rest not.
        { "stubcut.exe", stub.substr(0, stub.size() - 1000), FALSE },
        { "stubhalf.exe", stub.substr(0, stub.size() / 2), FALSE },
        { "stubheaders.exe", stub.substr(0, 4096), FALSE },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.program, HeadersOf(folder.WriteFile(c.name, c.bytes))) << c.name;
    EXPECT_EQ(FALSE, HeadersOf(BinFile("engine.dll")));
}

TEST(UpdateReplyTest, TheUpdateSiteIsTheSettingWhenOneIsStored)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    EXPECT_EQ(CString(kDefaultUpdateSite), GetUpdateSite());
    CSettingsKey key;
    ASSERT_TRUE(key.Open());
    key.WriteString(kUpdateSiteValue, " http://127.0.0.1:8080/ ");
    EXPECT_EQ(CString("http://127.0.0.1:8080"), GetUpdateSite());
    EXPECT_EQ(CString("http://127.0.0.1:8080/update/versionRead.php?version=100001"),
              CUpdateClient(GetUpdateSite(), "agent").GetCheckAddress());
    key.WriteString(kUpdateSiteValue, "");
    EXPECT_EQ(CString(kDefaultUpdateSite), GetUpdateSite());
}

namespace {

const char kInstallerPath[] = "/files/setup.exe";

// A client with short time-outs against a local site, its downloads in a folder of its own.
class UpdateClientTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.IsListening());
        char old[MAX_PATH] = {};
        const DWORD length = ::GetEnvironmentVariableA("TMP", old, sizeof(old));
        m_oldTmp = length > 0 && length < sizeof(old) ? old : "";
        ::SetEnvironmentVariableA("TMP", m_downloads.Path().c_str());
    }
    void TearDown() override { ::SetEnvironmentVariableA("TMP", m_oldTmp.empty() ? nullptr : m_oldTmp.c_str()); }

    // Runs `call` on a thread of its own; false when it had not returned within the limit (the
    // site then ends its responses, so that it does).
    template <class F>
    bool EndsWithoutTheSite(CLocalHttpServer& server, F call)
    {
        std::future<void> done = std::async(std::launch::async, call);
        const bool ended = done.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
        if (!ended)
            server.EndResponses();
        done.wait();
        return ended;
    }
    template <class F>
    bool EndsWithoutTheSite(F call)
    {
        return EndsWithoutTheSite(m_server, call);
    }

    CLocalHttpServer m_server;
    CTempFolder m_downloads;
    std::string m_oldTmp;
    CMessageBoxRecorder m_boxes;
    UpdateTimeouts m_timeouts{ 1000, 1000, 1500, 1500 };
};

const char kCheckPath[] = "/update/versionRead.php";
const char kNoServer[] = "Error connecting to update server, please make sure you are connected to the internet";
const char kCommunication[] =
    "Communication error while checking for software update, please make sure you are connected to the internet";

HttpRoute Redirect(const std::string& location)
{
    HttpRoute route;
    route.status = 302;
    route.location = location;
    return route;
}

HttpRoute Answer(const std::string& body, DWORD dripMs = 0)
{
    HttpRoute route;
    route.body = body;
    route.dripMs = dripMs;
    return route;
}

int RequestsFor(const CLocalHttpServer& server, const std::string& path)
{
    int count = 0;
    for (const std::string& target : server.Requests())
        count += target.substr(0, target.find('?')) == path;
    return count;
}

} // namespace

TEST_F(UpdateClientTest, AStalledSiteEndsTheCheckAndTheDownloadAtTheTimeOutLeavingNothing)
{
    HttpRoute silent;
    silent.holdOnRequest = 1;
    silent.stall = true;
    silent.stallBeforeHeader = true;
    m_server.SetRoute("/update/versionRead.php", silent);
    HttpRoute stalled;
    stalled.body = ReadWholeFile(BinFile("stub_installer.exe"));
    stalled.holdOnRequest = 1;
    stalled.holdAfter = 8192;
    stalled.stall = true;
    m_server.SetRoute(kInstallerPath, stalled);
    CUpdateClient client(m_server.Url("").c_str(), "agent", m_timeouts);

    CString address = "untouched";
    BOOL available = TRUE;
    EXPECT_TRUE(EndsWithoutTheSite([&] { available = client.CheckForUpdate(address, FALSE); }));
    EXPECT_FALSE(available);
    EXPECT_EQ(CString(), address);
    EXPECT_EQ(std::vector<std::string>{ "Error connecting to update server, please make sure you are connected to the internet" },
              CMessageBoxRecorder::TextsNow());

    CString path = "untouched";
    EXPECT_TRUE(EndsWithoutTheSite([&] { path = client.DownloadFile(m_server.Url(kInstallerPath).c_str()); }));
    EXPECT_EQ(CString(), path);
    EXPECT_EQ(std::vector<std::string>(), FilesIn(m_downloads.Path()));
}

TEST_F(UpdateClientTest, ACancelEndsADrippingDownloadAtItsNextByteLeavingNothing)
{
    HttpRoute dripping;
    dripping.body = ReadWholeFile(BinFile("stub_installer.exe"));
    dripping.holdOnRequest = 1;
    dripping.holdAfter = 8192;
    dripping.dripMs = 20;
    m_server.SetRoute(kInstallerPath, dripping);
    CUpdateClient client(m_server.Url("").c_str(), "agent", m_timeouts);

    CString path;
    EXPECT_TRUE(EndsWithoutTheSite([&] {
        std::thread user([&] {
            // Part of the file is written when the site begins to drip.
            if (m_server.WaitHeld(30000))
                m_server.ReleaseHold();
            client.Cancel();
        });
        path = client.DownloadFile(m_server.Url(kInstallerPath).c_str());
        user.join();
    }));
    EXPECT_EQ(CString(kDownloadCancelled), path);
    EXPECT_EQ(std::vector<std::string>(), FilesIn(m_downloads.Path()));
}

TEST_F(UpdateClientTest, ARedirectingOrDrippingSiteEndsTheCheckWithItsErrorWithinTheDeadline)
{
    HttpRoute stalled = Answer("noupdate" + std::string(4000, ' '));
    stalled.holdOnRequest = 1;
    stalled.holdAfter = 3;
    stalled.stall = true;
    const struct {
        const char* what;
        HttpRoute check;
        std::string box;
        int checkRequests;
    } cases[] = {
        { "redirected to itself", Redirect(kCheckPath), kNoServer, 1 + kMostRedirects },
        { "redirected to FTP", Redirect("ftp://127.0.0.1/update"), kNoServer, 1 },
        { "redirected twice, then answered", Redirect("/moved"), "You are already running latest version of agent", 1 },
        // Neither sends its reply within the deadline; each byte comes well within a wait.
        { "dripping", Answer("noupdate" + std::string(4000, ' '), 20), kCommunication, 1 },
        { "stalled after 3 bytes", stalled, kCommunication, 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CLocalHttpServer server;
        server.SetRoute(kCheckPath, c.check);
        server.SetRoute("/moved", Redirect(server.Url("/final")));
        server.SetRoute("/final", Answer("noupdate"));
        CUpdateClient client(server.Url("").c_str(), "agent", m_timeouts);
        CMessageBoxRecorder::ClearTexts();
        CString address;
        BOOL available = TRUE;
        EXPECT_TRUE(EndsWithoutTheSite(server, [&] { available = client.CheckForUpdate(address, FALSE); }));
        EXPECT_FALSE(available);
        EXPECT_EQ(std::vector<std::string>{ c.box }, CMessageBoxRecorder::TextsNow());
        EXPECT_EQ(c.checkRequests, RequestsFor(server, kCheckPath));
    }
}

TEST_F(UpdateClientTest, ARedirectingOrDrippingSiteEndsTheDownloadWithinTheDeadlineLeavingNothing)
{
    const std::string installer = ReadWholeFile(BinFile("stub_installer.exe"));
    const struct {
        const char* what;
        HttpRoute route;
        int requests;
    } cases[] = {
        { "redirected to itself", Redirect(kInstallerPath), 1 + kMostRedirects },
        { "dripping", Answer(installer, 20), 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CLocalHttpServer server;
        server.SetRoute(kInstallerPath, c.route);
        CUpdateClient client(server.Url("").c_str(), "agent", m_timeouts);
        CString path = "untouched";
        EXPECT_TRUE(EndsWithoutTheSite(server, [&] { path = client.DownloadFile(server.Url(kInstallerPath).c_str()); }));
        EXPECT_EQ(CString(), path);
        EXPECT_EQ(c.requests, RequestsFor(server, kInstallerPath));
        EXPECT_EQ(std::vector<std::string>(), FilesIn(m_downloads.Path()));
    }
}
